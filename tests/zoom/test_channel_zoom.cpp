#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <cmath>
#include <string>

#include "TestSupport.h"
#include "app/ByteZoom.h"
#include "app/ChannelZoom.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "channels/ChannelEnvelope.h"
#include "channels/ChannelPane.h"
#include "channels/ChannelStore.h"
#include "channels/LensView.h"
#include "dialogs/frms_X_Dimension.h"
#include "graph/Envelope.h"

namespace {

constexpr int64_t kFileFrames = 300'000;
constexpr int64_t kSpikeAt = 123'457;

void wheel(QWidget* w, QPointF at, int delta, Qt::KeyboardModifiers mods) {
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// The first channel's blue, or near it where the stroke is smoothed.
bool blueIn(const QImage& img, int x, int yFrom, int yTo) {
    for (int y = yFrom; y <= yTo; ++y) {
        if (!img.valid(x, y)) continue;
        const QColor c = img.pixelColor(x, y);
        if (c.blue() > c.red() + 60 && c.blue() > c.green() + 20) return true;
    }
    return false;
}

} // namespace

class TestChannelZoom : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void envelopeIsTheColumnsRanges_data();
    void envelopeIsTheColumnsRanges();
    void wholeFileThroughALensShowsTheSpike();
    void liveZoomShowsTheNewestFrames();
    void zoomedLanesKeepEachChannelInItsLane();
};

// Each column's lowest and highest finite value in units, and its skipped mark, against a
// frame-by-frame reading of the store.
void TestChannelZoom::envelopeIsTheColumnsRanges_data() {
    QTest::addColumn<QString>("lens");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<int>("columns");
    QTest::addColumn<double>("gain");
    QTest::addColumn<bool>("hideSecond");
    QTest::addColumn<bool>("copied"); // the screen of a copy of frames 300 on

    QByteArray text;
    for (int i = 0; i < 2000; ++i) {
        // Gaps: a missing from every seventh line, b a NaN now and then; one spike.
        if (i % 7 != 0) text += "a:" + QByteArray::number(i == 1234 ? 1e6 : std::sin(i * 0.1));
        text += i % 11 == 0 ? "\tb:nan\n" : "\tb:" + QByteArray::number(i % 13) + "\n";
    }
    QTest::newRow("text with gaps, more frames than columns")
        << "text" << text << 4096 << 0LL << 2000LL << 37 << 1.0 << false << false;
    QTest::newRow("a hidden channel, a negative gain")
        << "text" << text << 4096 << 100LL << 1500LL << 64 << -2.5 << true << false;
    QTest::newRow("the history wrapped, its oldest frames gone")
        << "text" << text << 700 << 1000LL << 900LL << 50 << 1.0 << false << false;
    QTest::newRow("the screen running past the newest frame")
        << "text" << text << 4096 << 1500LL << 1000LL << 40 << 1.0 << false << false;
    QTest::newRow("one frame a column")
        << "text" << text << 4096 << 3LL << 30LL << 30 << 1.0 << false << false;
    QTest::newRow("a gain that takes the spike past the largest double")
        << "text" << text << 4096 << 0LL << 2000LL << 37 << 1e303 << false << false;
    QTest::newRow("a copy of the frames from 300 on, as the trigger holds them")
        << "text" << text << 4096 << 0LL << 1500LL << 3 << 1.0 << false << true;
    QByteArray synced;
    for (int i = 0; i < 3000; ++i) {
        synced += QByteArray("\xAA\x55", 2) + char(i % 200) + char(i % 3);
        if (i % 97 == 5) synced += "zz"; // skipped: the next frame is marked
    }
    QTest::newRow("synced frames over skipped bytes")
        << "bin sync=AA55 u8*2" << synced << 4096 << 10LL << 2900LL << 113 << 1.0 << false << false;
}

void TestChannelZoom::envelopeIsTheColumnsRanges() {
    QFETCH(QString, lens);
    QFETCH(QByteArray, bytes);
    QFETCH(int, capacity);
    QFETCH(qint64, first);
    QFETCH(qint64, frames);
    QFETCH(int, columns);
    QFETCH(double, gain);
    QFETCH(bool, hideSecond);
    QFETCH(bool, copied);
    ChannelStore fed{std::size_t(capacity)};
    ChannelStore copy{std::size_t(capacity)};
    ChannelStore& store = copied ? copy : fed;
    fed.setFormat(*lens::parseFormat(lens.toStdString()));
    fed.reset(0, false);
    fed.feed(reinterpret_cast<const uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    if (copied) copy.copyFrames(fed, 300, 1500);
    QVERIFY(store.channelCount() == 2);
    store.setGainOffset(0, gain, 1);
    if (hideSecond) store.setVisible(1, false);
    if (lens.startsWith("bin")) QVERIFY(store.counters().bytesSkipped > 0);

    const ChannelColumns env = channelEnvelope(store, uint64_t(first), frames, columns);
    QCOMPARE(env.channels.size(), std::size_t(2));
    QCOMPARE(env.skipped.size(), std::size_t(columns));
    int marked = 0;
    for (int c = 0; c < columns; ++c) {
        const uint64_t a = uint64_t(first + xfunColumnStart(c, frames, columns));
        const uint64_t b = uint64_t(first + xfunColumnStart(c + 1, frames, columns));
        bool skipped = false;
        for (uint64_t f = std::max(a, uint64_t(first) + 1); f < b; ++f)
            skipped = skipped || store.skippedBefore(f);
        QCOMPARE(env.skipped[std::size_t(c)], skipped);
        marked += skipped ? 1 : 0;
        for (int i = 0; i < 2; ++i) {
            if (i == 1 && hideSecond) {
                QVERIFY(env.channels[1].empty());
                continue;
            }
            double lo = INFINITY;
            double hi = -INFINITY;
            for (uint64_t f = a; f < b; ++f) {
                const double v = store.value(i, f);
                if (!std::isfinite(v)) continue;
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            const ValueRange r = env.channels[std::size_t(i)][std::size_t(c)];
            QCOMPARE(r.empty(), lo > hi);
            if (lo <= hi) {
                QCOMPARE(r.lo, lo);
                QCOMPARE(r.hi, hi);
            }
        }
    }
    if (lens.startsWith("bin")) QVERIFY(marked > 10);
}

// A file of 300,000 one-byte frames, zeros but one 200, seen through its lens: Ctrl + wheel out
// to the whole file shows the spike in its column, "全体" and the wheel and a drag move the
// view, a cursor reads the zoomed screen, and a new X dimension gives back the unzoomed pane
// pixel for pixel.
void TestChannelZoom::wholeFileThroughALensShowsTheSpike() {
    auto started = testsupport::startWithFakeEngine(m_dir.path());
    frms_RS_GRAPH_1* form = started.form;
    const QString path = m_dir.filePath(QStringLiteral("spike.bin"));
    {
        QByteArray bytes(kFileFrames, '\0');
        bytes[qsizetype(kSpikeAt)] = char(200);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QVERIFY(writeLensSide(path, {*lens::parseFormat("bin u8"), 0}));
    form->xsubFileFromCommandLine(path);
    QVERIFY(form->xfunLensOn());
    form->xsubGraphDrawView(0);
    ChannelPane* pane = form->pic_channels;
    ChannelZoom* zoom = form->m_channelZoom;
    // The frame numbers under the plot stand clear of the view's scroll bar.
    QVERIFY(form->HScroll1->isVisible());
    QVERIFY(pane->bottom() + ChannelPane::kLabelRowPx <= form->HScroll1->y());
    const QImage unzoomed = pane->grab().toImage();
    const int xDim = app().ChData[0].iXDim;
    QCOMPARE(pane->framesPerScreen(), xDim);

    const QPointF middle((ChannelPane::kLeft + pane->right()) / 2, 150);
    wheel(pane, middle, -120 * 12, Qt::ControlModifier);
    QVERIFY(zoom->zoomed());
    QCOMPARE(zoom->view(), (ZoomSpan{0, kFileFrames}));
    QCOMPARE(pane->framesPerScreen(), int(kFileFrames));
    const QImage img = pane->grab().toImage();
    const int columns = int(pane->right() - ChannelPane::kLeft);
    int c = int(kSpikeAt * columns / kFileFrames);
    while (xfunColumnStart(c + 1, kFileFrames, columns) <= kSpikeAt)
        ++c;
    while (xfunColumnStart(c, kFileFrames, columns) > kSpikeAt)
        --c;
    const axis::Range r = pane->yRange();
    const auto yOf = [&](double v) {
        return int(pane->bottom() -
                   (pane->bottom() - ChannelPane::kTop) * (v - r.lo) / (r.hi - r.lo));
    };
    const int x = int(ChannelPane::kLeft + c + 0.5);
    QVERIFY(blueIn(img, x, yOf(200) - 1, yOf(200) + 1));
    QVERIFY(blueIn(img, x, yOf(0) - 1, yOf(0) + 1));
    int high = 0;
    for (int px = int(ChannelPane::kLeft) + 1; px < int(pane->right()); ++px)
        high += blueIn(img, px, yOf(200) - 1, yOf(200) + 1) ? 1 : 0;
    QVERIFY(high <= 3); // the spike's column and its neighbours' edge only

    // A cursor at the X dimension's last index reads the zoomed screen's last frame.
    app().iCurXPos[0] = int16_t(xDim - 1);
    form->chk_curx[0]->setChecked(true);
    form->xsubLensCursors();
    QCOMPARE(form->lbl_cur_x[0]->text().remove(u','), QString::number(kFileFrames - 1));

    // In at the middle: half the frames, centred where they were; a plain notch pans an
    // eighth back; a drag of a tenth of the plot to the left a tenth on.
    wheel(pane, middle, 120, Qt::ControlModifier);
    QCOMPARE(zoom->view(), (ZoomSpan{kFileFrames / 4, kFileFrames / 2}));
    wheel(pane, middle, 120, Qt::NoModifier);
    QCOMPARE(zoom->view().top, kFileFrames / 4 - kFileFrames / 16);
    const int64_t before = zoom->view().top;
    const double tenth = (pane->right() - ChannelPane::kLeft) / 10;
    QTest::mousePress(pane, Qt::LeftButton, {}, QPoint(300, 150));
    QMouseEvent move(QEvent::MouseMove, QPointF(300 - tenth, 150),
                     pane->mapToGlobal(QPointF(300 - tenth, 150)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(pane, &move);
    QTest::mouseRelease(pane, Qt::LeftButton, {}, QPoint(int(300 - tenth), 150));
    QCOMPARE(zoom->view().top, before + kFileFrames / 2 / 10);
    QCOMPARE(pane->frameNumber(0), uint64_t(zoom->view().top));
    // A redraw of the same view keeps the zoom.
    form->xsubGraphDrawView(0);
    QVERIFY(zoom->zoomed());

    form->m_zoom->Cmd_Whole->click();
    QCOMPARE(zoom->view(), (ZoomSpan{0, kFileFrames}));
    QVERIFY(!form->m_zoom->zoomed()); // the byte pane beneath stays as it was

    form->chk_curx[0]->setChecked(false);
    testsupport::onNextModal(
        [](QWidget* w) { qobject_cast<frms_X_Dimension*>(w)->Command1->click(); });
    form->cmd_x_dimension_Click();
    QVERIFY(!zoom->zoomed());
    form->xsubGraphDrawView(0);
    QCOMPARE(pane->framesPerScreen(), xDim);
    QCOMPARE(pane->grab().toImage(), unzoomed);
    testsupport::finish(form);
}

// Live, the zoom is how many of the newest frames are shown, up to all the history holds;
// there is nothing to pan, and another view ends it.
void TestChannelZoom::liveZoomShowsTheNewestFrames() {
    auto started = testsupport::startWithFakeEngine(m_dir.path());
    frms_RS_GRAPH_1* form = started.form;
    app().iScanSource = kSourceCom;
    app().iPortOpen = 1;
    started.engine->portOpen = true;
    form->xsubLensUse(*lens::parseFormat("text"), false);
    const auto send = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            for (char ch : std::to_string(i % 100) + "\n")
                started.engine->pending.push_back(uint8_t(ch));
        form->Timer_Receive_Timer();
    };
    send(0, 3000);
    ChannelPane* pane = form->pic_channels;
    QCOMPARE(pane->store(), form->Channels);
    const ChannelStore& live = *form->Channels;
    const int64_t held = int64_t(live.frameCount());
    QVERIFY(held >= 2999); // the first line may be taken as begun before the start
    wheel(pane, QPointF(100, 150), -120 * 10, Qt::ControlModifier);
    QCOMPARE(form->m_channelZoom->view().span, held);
    QCOMPARE(pane->framesPerScreen(), int(held));
    wheel(pane, QPointF(100, 150), 120, Qt::ControlModifier);
    QCOMPARE(pane->framesPerScreen(), 1500);
    send(3000, 3100);
    QCOMPARE(pane->firstFrame(), live.frameCount() - 1500); // following the newest
    wheel(pane, QPointF(100, 150), 120, Qt::NoModifier);
    QCOMPARE(pane->firstFrame(), live.frameCount() - 1500);
    form->Cmd_Memory_Click();
    QVERIFY(!form->m_channelZoom->zoomed());
    form->xsubGraphDrawView(0);
    QCOMPARE(pane->framesPerScreen(), int(app().ChData[0].iXDim));

    // The Memory view zooms over the whole copy, numbered as unzoomed: in at the left edge
    // keeps the screen's first frame.
    app().lMemTop = app().lMemCount / 2;
    form->xsubGraphDrawView(0);
    const uint64_t firstShown = pane->frameNumber(0);
    QVERIFY(firstShown > 1000);
    wheel(pane, QPointF(ChannelPane::kLeft, 150), 120, Qt::ControlModifier);
    QCOMPARE(pane->frameNumber(0), firstShown);
    QCOMPARE(pane->framesPerScreen(), app().ChData[0].iXDim / 2);
    QCOMPARE(form->ViewChannels->value(0, pane->firstFrame()), live.value(0, firstShown));
    form->m_zoom->Cmd_Whole->click();
    QCOMPARE(pane->frameNumber(0), uint64_t(0));
    QVERIFY(std::abs(int64_t(pane->framesPerScreen()) - int64_t(live.frameCount())) <= 1);
    testsupport::finish(form);
}

// Zoomed out with lanes on, each channel's columns stand in its own lane on its own range: a
// one-frame spike on the second channel reaches its lane's top and nothing of it leaks into the
// first's.
void TestChannelZoom::zoomedLanesKeepEachChannelInItsLane() {
    constexpr int kFrames = 50'000;
    constexpr int kSpike = 31'337;
    ChannelStore store(kFrames);
    store.setFormat(*lens::parseFormat("bin i16le*2"));
    std::vector<uint8_t> bytes;
    for (int f = 0; f < kFrames; ++f)
        for (int v : {f % 1000 - 500, f == kSpike ? 30000 : 0}) {
            bytes.push_back(uint8_t(v & 0xFF));
            bytes.push_back(uint8_t(uint16_t(v) >> 8));
        }
    store.feed(bytes.data(), bytes.size());
    ChannelPane pane;
    pane.resize(900, 500);
    pane.setLanes(true);
    pane.showScreen(&store, 0, kFrames, 0);
    pane.setZoomed(true);
    const QImage img = pane.grab().toImage();
    for (int c = 0; c < 2; ++c) {
        const QColor colour = store.channel(c).colour;
        const lanes::Band own = pane.band(c);
        int inside = 0;
        int outside = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = int(ChannelPane::kLeft) + 1; x < int(pane.right()); ++x)
                if (img.pixelColor(x, y) == colour && !pane.legendRow(c).contains(x, y))
                    ++(y >= own.top - 1 && y <= own.bottom + 1 ? inside : outside);
        QVERIFY2(inside > 0, qPrintable(QString::number(c)));
        QCOMPARE(outside, 0);
    }
    const lanes::Band second = pane.band(1);
    const axis::Range r = pane.yRange(1);
    QVERIFY(r.hi >= 30000 && r.lo <= 0);
    const int columns = int(pane.right() - ChannelPane::kLeft);
    const int x = int(ChannelPane::kLeft + kSpike * int64_t(columns) / kFrames + 0.5);
    const double top = second.bottom - second.height() * (30000 - r.lo) / (r.hi - r.lo);
    bool spike = false;
    for (int dx = -1; dx <= 1; ++dx)
        for (int y = int(top) - 1; y <= int(top) + 1; ++y)
            spike |= img.pixelColor(x + dx, y) == store.channel(1).colour;
    QVERIFY(spike);
}

QTEST_MAIN(TestChannelZoom)
#include "test_channel_zoom.moc"
