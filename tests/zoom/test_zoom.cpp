#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <fcntl.h>
#include <unistd.h>

#include "TestSupport.h"
#include "app/ByteZoom.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "dialogs/frms_X_Dimension.h"
#include "graph/GraphMath.h"
#include "graph/ZoomMath.h"
#include "toolkit/PictureBox.h"

namespace {

const QRgb kTraceRed = qRgb(255, 0, 0);
constexpr int64_t kFileBytes = 2'000'000;
constexpr int64_t kSpikeAt = 1'234'567;

bool redIn(const QImage& img, int x, int yFrom, int yTo) {
    for (int y = yFrom; y <= yTo; ++y)
        for (int dx = -1; dx <= 1; ++dx)
            if (img.valid(x + dx, y) && img.pixel(x + dx, y) == kTraceRed) return true;
    return false;
}

void wheel(QWidget* w, QPointF at, int delta, Qt::KeyboardModifiers mods) {
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

class TestZoom : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void zoomArithmetic_data() {
        QTest::addColumn<qint64>("top");
        QTest::addColumn<qint64>("span");
        QTest::addColumn<int>("notches");
        QTest::addColumn<double>("anchor");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<qint64>("newTop");
        QTest::addColumn<qint64>("newSpan");
        QTest::newRow("in, centre stays")
            << 1000LL << 800LL << 1 << 0.5 << 100000LL << 1200LL << 400LL;
        QTest::newRow("out, left edge stays")
            << 1000LL << 800LL << -2 << 0.0 << 100000LL << 1000LL << 3200LL;
        QTest::newRow("in, no fewer than 10") << 0LL << 16LL << 3 << 0.0 << 100LL << 0LL << 10LL;
        QTest::newRow("out, no more than all")
            << 50LL << 800LL << -10 << 1.0 << 5000LL << 0LL << 5000LL;
        QTest::newRow("out near the end stays inside")
            << 9200LL << 800LL << -1 << 0.0 << 10000LL << 8400LL << 1600LL;
        QTest::newRow("anchor off the pane counts as its edge")
            << 0LL << 800LL << 1 << 7.0 << 100000LL << 400LL << 400LL;
    }
    void zoomArithmetic() {
        QFETCH(qint64, top);
        QFETCH(qint64, span);
        QFETCH(int, notches);
        QFETCH(double, anchor);
        QFETCH(qint64, length);
        QFETCH(qint64, newTop);
        QFETCH(qint64, newSpan);
        QCOMPARE(zoom::zoomed({top, span}, notches, anchor, length), (ZoomSpan{newTop, newSpan}));
    }

    void panStaysInside() {
        QCOMPARE(zoom::panned({100, 800}, -500, 10000), (ZoomSpan{0, 800}));
        QCOMPARE(zoom::panned({100, 800}, 50000, 10000), (ZoomSpan{9200, 800}));
        QCOMPARE(zoom::panned({0, 800}, 10, 300), (ZoomSpan{0, 800}));
        QCOMPARE(zoom::whole(123456), (ZoomSpan{0, 123456}));
        QCOMPARE(zoom::sampleAt(0.0, 1'000'000), std::optional<int64_t>(0));
        QCOMPARE(zoom::sampleAt(1.0, 1'000'000), std::optional<int64_t>(999'999));
        QCOMPARE(zoom::sampleAt(0.5, 11), std::optional<int64_t>(5));
        QCOMPARE(zoom::sampleAt(-0.01, 100), std::nullopt);
        QCOMPARE(zoom::sampleAt(1.01, 100), std::nullopt);
    }

    // A file of zeros with one 255: the whole-file screen shows it as one full-height stroke in
    // its column, Ctrl + wheel and a drag move the view, and a new X dimension gives back the
    // unzoomed picture pixel for pixel.
    void wholeFileShowsTheSpike() {
        auto started = testsupport::startWithFakeEngine(m_dir.path());
        frms_RS_GRAPH_1* form = started.form;
        form->Opn_YDim[1]->click(); // unsigned: 0 at the base line, 255 at the top
        const QString path = m_dir.filePath(QStringLiteral("spike.bin"));
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        QVERIFY(::ftruncate(fd, kFileBytes) == 0);
        const uint8_t spike = 255;
        QVERIFY(::pwrite(fd, &spike, 1, kSpikeAt) == 1);
        ::close(fd);
        form->xsubFileFromCommandLine(path);
        QCOMPARE(app().lFileLen, kFileBytes);
        form->xsubGraphDrawView(0);
        const QImage unzoomed = form->pic_graph->image().copy();
        QVERIFY(form->m_zoom->Cmd_Whole->isVisible());

        form->m_zoom->Cmd_Whole->click();
        QCOMPARE(form->m_zoom->view().span, kFileBytes);
        QTRY_VERIFY(!form->m_zoom->bar_Overview->isVisible());
        form->xsubGraphDrawView(0);
        const QImage& img = form->pic_graph->image();
        // The pane's trace runs 720..8520 twips: 520 columns of a pixel.
        const int columns = 520;
        const int64_t c = kSpikeAt * columns / kFileBytes;
        const int x = int((720 + (double(c) + 0.5) * 7800 / columns) / 15);
        const int yTop = int(xfunMapY(255, 255, 0, 4800, 5040) / 15);
        const int yBase = int(xfunMapY(0, 255, 0, 4800, 5040) / 15);
        QVERIFY(redIn(img, x, yTop - 1, yTop + 1));
        QVERIFY(redIn(img, x, yBase - 1, yBase + 1));
        int high = 0;
        for (int px = 40; px < 580; ++px)
            high += redIn(img, px, yTop - 1, yTop + 1) ? 1 : 0;
        QVERIFY(high <= 3); // the spike's column and its neighbours' edge only

        // The free cursor counts the zoomed screen's samples.
        form->pic_graph_MouseMove(720 + 7800, 2000);
        QCOMPARE(form->lbl_XPosition->text(), QString::number(kFileBytes - 1));

        // Ctrl + wheel at the pane's middle: half the samples, centred where they were.
        wheel(form->pic_graph, QPointF(308, 180), 120, Qt::ControlModifier);
        QCOMPARE(form->m_zoom->view().span, kFileBytes / 2);
        QCOMPARE(app().lFileTop, kFileBytes / 4);
        // A plain notch pans an eighth of the screen back.
        wheel(form->pic_graph, QPointF(308, 180), 120, Qt::NoModifier);
        QCOMPARE(app().lFileTop, kFileBytes / 4 - kFileBytes / 16);
        // A drag of 52 pixels (a tenth of the trace) to the left moves a tenth of the screen on.
        const int64_t before = app().lFileTop;
        QTest::mousePress(form->pic_graph, Qt::LeftButton, {}, QPoint(300, 180));
        QMouseEvent move(QEvent::MouseMove, QPointF(248, 180),
                         form->pic_graph->mapToGlobal(QPointF(248, 180)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->pic_graph, &move);
        QTest::mouseRelease(form->pic_graph, Qt::LeftButton, {}, QPoint(248, 180));
        QCOMPARE(app().lFileTop, before + kFileBytes / 2 / 10);

        testsupport::onNextModal(
            [](QWidget* w) { qobject_cast<frms_X_Dimension*>(w)->Command1->click(); });
        form->cmd_x_dimension_Click();
        QVERIFY(!form->m_zoom->zoomed());
        app().lFileTop = 0;
        form->xsubGraphDrawView(0);
        QCOMPARE(form->pic_graph->image(), unzoomed);
        testsupport::finish(form);
    }
};

} // namespace

QTEST_MAIN(TestZoom)
#include "test_zoom.moc"
