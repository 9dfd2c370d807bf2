#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <numbers>

#include "FakeEngine.h"
#include "TestSupport.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "channels/ChannelAnalysis.h"
#include "channels/ChannelPane.h"
#include "channels/ChannelStore.h"
#include "channels/ChannelTrigger.h"
#include "channels/LensChoice.h"
#include "dialogs/frms_Fourier.h"
#include "dialogs/frms_Measure.h"
#include "dialogs/frms_Trigger.h"
#include "graph/Fourier.h"
#include "graph/Measurements.h"
#include "print/PrintSub.h"

namespace {

lens::Format lensOf(const char* text) {
    const auto f = lens::parseFormat(text);
    if (!f) qFatal("not a lens: %s", text);
    return *f;
}

void feedFrames(ChannelStore& store, const std::vector<std::vector<double>>& frames) {
    for (const std::vector<double>& values : frames) {
        const std::vector<uint8_t> bytes = lens::encodeFrame(store.format(), values.data());
        store.feed(bytes.data(), bytes.size());
    }
}

// The window on a scripted port at 115,200 8N1, open, with a clock of the test's own.
struct Started {
    QTemporaryDir dir;
    frms_RS_GRAPH_1* form = nullptr;
    FakeEngine* engine = nullptr;
    int64_t now = 0;

    Started() {
        const auto s = testsupport::startWithFakeEngine(dir.path());
        form = s.form;
        engine = s.engine;
        form->clockMs = [this] { return now; };
        AppState& st = app();
        st.iScanSource = kSourceCom;
        st.iPortOpen = 1;
        engine->portOpen = true;
        st.strBaud = QStringLiteral("115200");
        st.strParity = QStringLiteral("なし");
        st.strDataBits = QStringLiteral("8 ビット");
        st.strStopBits = QStringLiteral("1 ビット");
    }
    ~Started() { testsupport::finish(form); }
    void send(const std::vector<uint8_t>& bytes) {
        engine->pending.insert(engine->pending.end(), bytes.begin(), bytes.end());
        form->Timer_Receive_Timer();
    }
};

} // namespace

class ChannelToolsTest : public QObject {
    Q_OBJECT
private slots:
    void fullScale_data();
    void fullScale();
    void floatAndSixteenBitChannels();
    void fixedFramesMeasuredInTheirUnits();
    void textLinesRateIsMeasured();
    void aDevicesLineRateIsMeasured();
    void triggerOnTheSecondChannel();
    void cursorsInUnitsAndTime();
    void printedPageShowsTheChannels();
    void lanesStackTheChannels();
    void singleShotSurvivesLanesAndWidth();
    void freeCursorReadsEveryChannel();
    void printedPageFollowsTheLanes();
};

void ChannelToolsTest::fullScale_data() {
    QTest::addColumn<QString>("lens");
    QTest::addColumn<int>("channel");
    QTest::addColumn<double>("gain");
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<bool>("ofType");
    const double yHalf = 2; // the Y range below is -1 .. 3
    QTest::addRow("u8: as the byte view") << "bin u8" << 0 << 1.0 << 127.5 << true;
    QTest::addRow("i16 in millivolts") << "bin u8 i16le" << 1 << 0.001 << 32.7675 << true;
    QTest::addRow("negative gain") << "bin i16be" << 0 << -2.0 << 65535.0 << true;
    QTest::addRow("u32") << "bin u32le" << 0 << 1.0 << 2147483647.5 << true;
    QTest::addRow("f32: the Y range") << "bin u8 f32le" << 1 << 1.0 << yHalf << false;
    QTest::addRow("text: the Y range") << "text" << 0 << 5.0 << yHalf << false;
    QTest::addRow("no gain: the Y range") << "bin i16le" << 0 << 0.0 << yHalf << false;
}

void ChannelToolsTest::fullScale() {
    QFETCH(QString, lens);
    QFETCH(int, channel);
    QFETCH(double, gain);
    QFETCH(double, amplitude);
    QFETCH(bool, ofType);
    const FullScale f =
        xfunChannelFullScale(lensOf(qPrintable(lens)), channel, gain, axis::Range{-1, 3});
    QCOMPARE(f.amplitude, amplitude);
    QCOMPARE(f.ofType, ofType);
}

// A float sine and a 16-bit full-scale sine in one frame, each measured in its own units.
void ChannelToolsTest::floatAndSixteenBitChannels() {
    ChannelStore store;
    store.setFormat(lensOf("bin f32le i16le"));
    store.reset(0, false);
    std::vector<std::vector<double>> frames;
    for (int k = 0; k < 400; ++k)
        frames.push_back({1.5 * std::sin(2 * std::numbers::pi * k / 40),
                          std::round(32767 * std::sin(2 * std::numbers::pi * k / 40))});
    feedFrames(store, frames);
    QCOMPARE(store.frameCount(), uint64_t(400));
    store.setGainOffset(0, 2, 0.25); // amperes: 3 A peak around 0.25 A

    const std::vector<double> current = xfunChannelSpan(store, 0, 0, 400, false, 0, 0);
    const Measurements m = xfunMeasure(current);
    QCOMPARE(m.count, 400);
    // RMS of 0.25 + 3 sin: sqrt(0.25^2 + 3^2 / 2).
    QVERIFY(std::abs(m.rms - std::sqrt(0.0625 + 4.5)) < 1e-6);
    QVERIFY(std::abs(m.stdDev - 3 / std::sqrt(2.0)) < 1e-6);
    QVERIFY(std::abs(*m.periodSamples - 40) < 1e-6);

    // 10 periods in 400 frames: bin 10. The float against a Y range of +-4 A reads 3/4.
    const auto spectrum = [](const std::vector<double>& v, const FullScale& f) {
        return xfunSpectrumDb(v, SpectrumWindow::Hann, f.amplitude);
    };
    const std::vector<double> floatDb =
        spectrum(current, xfunChannelFullScale(store.format(), 0, 2, axis::Range{-4, 4}));
    QCOMPARE(xfunPeakBin(floatDb), 10);
    QVERIFY2(std::abs(floatDb[10] - 20 * std::log10(0.75)) < 0.01,
             qPrintable(QString::number(floatDb[10])));
    const std::vector<double> wordDb =
        spectrum(xfunChannelSpan(store, 1, 0, 400, false, 0, 0),
                 xfunChannelFullScale(store.format(), 1, 1, axis::Range{-1, 1}));
    QCOMPARE(xfunPeakBin(wordDb), 10);
    QVERIFY2(std::abs(wordDb[10]) < 0.1, qPrintable(QString::number(wordDb[10])));

    // Between the cursors, both ends in; frames not yet come end the span.
    QCOMPARE(xfunChannelSpan(store, 0, 0, 400, true, 12, 5).size(), size_t(8));
    QCOMPARE(xfunChannelSpan(store, 0, 390, 400, false, 0, 0).size(), size_t(10));
    QVERIFY(xfunChannelSpan(store, 2, 0, 400, false, 0, 0).empty());
}

// i16le*4 at 115,200 8N1: 11,520 characters a second, 8 a frame. A square on the second
// channel, 3 frames low and 5 high, in volts.
void ChannelToolsTest::fixedFramesMeasuredInTheirUnits() {
    Started t;
    t.form->xsubLensUse(lensOf("bin i16le*4"), false);
    std::vector<uint8_t> bytes;
    for (int k = 0; k < 400; ++k) {
        const double values[4] = {100, k % 8 < 3 ? -20000.0 : 30000.0, 7, -7};
        const std::vector<uint8_t> frame = lens::encodeFrame(t.form->Channels->format(), values);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    t.send(bytes);
    t.form->Channels->setGainOffset(1, 0.001, 0);
    QVERIFY(t.form->mnu_Lens->actions().contains(t.form->mnu_Measure));
    t.form->mnu_Measure->trigger();
    frms_Measure* w = t.form->frmMeasure;
    QVERIFY(w->cmb_channel->isVisible());
    QCOMPARE(w->cmb_channel->count(), 4);
    w->cmb_channel->setCurrentIndex(1);
    auto value = [w](int row) { return w->lbl_meas[size_t(row)]->text(); };
    QCOMPARE(w->lbl_rate->text(), QStringLiteral("1,440 /s"));
    QCOMPARE(value(frms_Measure::Count), QStringLiteral("200"));
    QCOMPARE(w->Lbl_name[frms_Measure::Count]->text(), QStringLiteral("フレーム数"));
    QCOMPARE(value(frms_Measure::Min), QStringLiteral("-20"));
    QCOMPARE(value(frms_Measure::Max), QStringLiteral("30"));
    QCOMPARE(value(frms_Measure::Mean), QStringLiteral("11.25"));
    QCOMPARE(value(frms_Measure::Period), QStringLiteral("8.00"));
    QCOMPARE(value(frms_Measure::PeriodSeconds), QStringLiteral("0.00555556 s"));
    QCOMPARE(value(frms_Measure::Frequency), QStringLiteral("180 Hz"));
    QCOMPARE(value(frms_Measure::Duty), QStringLiteral("62.5 %"));

    t.form->mnu_Spectrum->trigger();
    t.form->frmSpectrum->cmb_channel->setCurrentIndex(1);
    QCOMPARE(t.form->frmSpectrum->lbl_fullscale->text(),
             QStringLiteral("0 dB: ±32.7675 (型の範囲)"));

    // Back to bytes: the windows are the byte view's again.
    t.form->xsubLensUse(lensOf("byte"), false);
    w->xsubRefresh();
    QVERIFY(!w->cmb_channel->isVisible());
    QCOMPARE(w->lbl_rate->text(), QStringLiteral("11,520 /s"));
    QCOMPARE(w->Lbl_name[frms_Measure::Count]->text(), QStringLiteral("サンプル数"));
}

// A text line has no fixed length: its rate is counted as lines come, 100 a second here.
void ChannelToolsTest::textLinesRateIsMeasured() {
    Started t;
    t.form->xsubLensUse(lensOf("text"), false);
    for (int k = 0; k < 300; ++k) {
        t.now += 10;
        const QByteArray line = QByteArray::number(k % 50) + "\r\n";
        t.send(std::vector<uint8_t>(line.begin(), line.end()));
    }
    t.form->mnu_Measure->trigger();
    frms_Measure* w = t.form->frmMeasure;
    QCOMPARE(w->lbl_rate->text(), QStringLiteral("100 /s (実測)"));
    QCOMPARE(w->lbl_meas[frms_Measure::Period]->text(), QStringLiteral("50.00"));
    QCOMPARE(w->lbl_meas[frms_Measure::Frequency]->text(), QStringLiteral("2 Hz"));
    // Nothing more for longer than the meter looks back: no rate.
    t.now += FrameRateMeter::kSpanMs;
    w->xsubRefresh();
    QCOMPARE(w->lbl_rate->text(), QStringLiteral("-----"));
}

// A device sending labelled lines at 115,200 baud through a real pty: the rate the measurement
// window reads off the line is the lines the device sends a second.
void ChannelToolsTest::aDevicesLineRateIsMeasured() {
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyV0");
    const QString record = dir.filePath("sent.bin");
    QProcess vdev;
    vdev.start(TESSAVUE_BUILD_DIR "/tools/tessavue-vdev",
               {"--link", link, "--baud", "115200", "--record", record, "--format", "labels"});
    QVERIFY(vdev.waitForReadyRead(10000));
    frms_RS_GRAPH_1* form = testsupport::startOnDevice(dir.path(), link, "115200");
    QCOMPARE(app().iPortOpen, int16_t(1));
    form->xsubLensUse(lensOf("text"), false);
    testsupport::ticksUntil(
        form, [] { return false; }, int(FrameRateMeter::kSpanMs) + 1500);
    form->mnu_Measure->trigger();
    const QString rateText = form->frmMeasure->lbl_rate->text();
    testsupport::finish(form);
    vdev.terminate();
    QVERIFY(vdev.waitForFinished(5000));

    QVERIFY2(rateText.endsWith(" /s (実測)"), qPrintable(rateText));
    const double measured = QString(rateText).remove(',').section(' ', 0, 0).toDouble();
    // vdev keeps to 11,520 bytes a second; its lines differ in length, so the lines a second
    // are worked out from what it recorded.
    QFile sent(record);
    QVERIFY(sent.open(QIODevice::ReadOnly));
    const QByteArray bytes = sent.readAll();
    const double expected = 11520.0 * double(bytes.count('\n')) / double(bytes.size());
    qInfo("measured %.1f lines/s, sent %.1f", measured, expected);
    QVERIFY2(std::abs(measured - expected) < 0.01 * expected, qPrintable(rateText));
}

// i16le*3 with a sine on the second channel only; the first counts the frames, so a held frame
// shows whether the whole frame was kept.
void ChannelToolsTest::triggerOnTheSecondChannel() {
    Started t;
    t.form->xsubLensUse(lensOf("bin i16le*3"), false);
    int sent = 0;
    const auto sendFrames = [&](int n) {
        std::vector<uint8_t> bytes;
        for (int i = 0; i < n; ++i, ++sent) {
            const double values[3] = {double(sent % 30000),
                                      std::round(8000 * std::sin(2 * std::numbers::pi * sent / 50)),
                                      -5};
            const auto frame = lens::encodeFrame(t.form->Channels->format(), values);
            bytes.insert(bytes.end(), frame.begin(), frame.end());
        }
        t.send(bytes);
    };
    sendFrames(400);
    t.form->Channels->setGainOffset(1, 0.001, 0); // volts: +-8 V

    const auto choose = [&](TriggerMode mode, TriggerSlope slope, int pct, double level) {
        testsupport::onNextModal([=](QWidget* w) {
            auto* d = qobject_cast<frms_Trigger*>(w);
            QVERIFY(d && d->cmb_channel && !d->spn_level->isVisibleTo(d));
            QCOMPARE(d->cmb_channel->count(), 3);
            d->cmb_channel->setCurrentIndex(1);
            // The middle of what the screen shows of that channel, in volts.
            if (std::isnan(level)) QVERIFY(std::abs(d->dbl_level->value()) < 0.01);
            if (!std::isnan(level)) d->dbl_level->setValue(level);
            d->opn_mode[int(mode)]->setChecked(true);
            d->opn_slope[int(slope)]->setChecked(true);
            d->spn_pos->setValue(pct);
            d->Command1->click();
        });
        t.form->mnu_Trigger->trigger();
    };
    ChannelPane* pane = t.form->pic_channels;
    const auto heldAt = [&](int c, int k) { return pane->store()->value(c, uint64_t(k)); };
    choose(TriggerMode::Normal, TriggerSlope::Rising, 50, NAN);
    QCOMPARE(t.form->channelTrigger.settings().channel, 1);
    sendFrames(500);
    QCOMPARE(pane->store(), &t.form->channelTrigger.held());
    const int p = xfunTriggerIndex(50, 200);
    QVERIFY(heldAt(1, p - 1) < 0 && heldAt(1, p) >= 0);
    for (int k = 0; k < 200; ++k)
        QCOMPARE(heldAt(0, k), double(pane->frameNumber(k) % 30000));
    QCOMPARE(t.form->lbl_lens_trig_status->text().left(3), QStringLiteral("トリガ"));
    // The held screen's counters are the stream's as it was held, not a fresh decoder's.
    QCOMPARE(pane->countersText().section(' ', 0, 1), QStringLiteral("frames 900"));

    // A single shot at 5 V falling, 10 % in: it stays over more frames and a narrower screen.
    choose(TriggerMode::Single, TriggerSlope::Falling, 10, 5);
    sendFrames(300);
    QVERIFY(t.form->channelTrigger.stopped());
    const int q = xfunTriggerIndex(10, 200);
    const uint64_t point = pane->frameNumber(q);
    QVERIFY(heldAt(1, q - 1) > 5 && heldAt(1, q) <= 5);
    sendFrames(300);
    QCOMPARE(pane->frameNumber(xfunTriggerIndex(10, 200)), point);
    app().ChData[0].iXDim = 100;
    t.form->xsubLensDraw();
    QCOMPARE(pane->framesPerScreen(), 100);
    QCOMPARE(pane->frameNumber(xfunTriggerIndex(10, 100)), point);
    QCOMPARE(t.form->lbl_lens_trig_status->text().left(2), QStringLiteral("停止"));

    // Off: the running trace again.
    choose(TriggerMode::Off, TriggerSlope::Rising, 10, 5);
    QCOMPARE(pane->store(), t.form->Channels);
    QVERIFY(!t.form->lbl_lens_trig_status->isVisible());

    // As the byte trigger, it ends with the live view.
    choose(TriggerMode::Normal, TriggerSlope::Rising, 50, 0);
    QVERIFY(t.form->channelTrigger.armed());
    t.form->Cmd_Memory_Click();
    t.form->Timer1_Timer();
    QVERIFY(!t.form->channelTrigger.armed());
    QVERIFY(!t.form->lbl_lens_trig_status->isVisibleTo(pane));
}

void ChannelToolsTest::cursorsInUnitsAndTime() {
    Started t;
    t.form->xsubLensUse(lensOf("bin i16le*4"), false);
    std::vector<uint8_t> bytes;
    for (int k = 0; k < 300; ++k) {
        const double values[4] = {double(k * 10), 0, 0, 0};
        const auto frame = lens::encodeFrame(t.form->Channels->format(), values);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    t.send(bytes);
    // 12 frames at 1,440 a second.
    app().iCurXPos = {10, 22};
    t.form->chk_curx[0]->setChecked(true);
    t.form->chk_curx[1]->setChecked(true);
    QCOMPARE(t.form->lbl_cur_dx->text(), QStringLiteral("12"));
    QCOMPARE(t.form->lbl_cur_dy->text(), QStringLiteral("8.333 ms"));
    QCOMPARE(t.form->Frm_CurDelta->findChild<QLabel*>(QStringLiteral("Lbl_DeltaHead2"))->text(),
             QStringLiteral("Δt"));

    // A Y cursor's bar at its top reads the top of the axis, at its bottom the bottom.
    const axis::Range r = t.form->pic_channels->yRange();
    t.form->chk_curY[0]->setChecked(true);
    t.form->vsc_y[0]->setValue(0);
    QCOMPARE(t.form->lbl_cur_y[0]->text(), QString::number(r.hi, 'g', 5));
    t.form->vsc_y[0]->setValue(t.form->vsc_y[0]->maximum());
    QCOMPARE(t.form->lbl_cur_y[0]->text(), QString::number(r.lo, 'g', 5));
    QCOMPARE(xfunYCursorValue(64, 256, {-1, 3}), 2.0);

    // No rate: no time.
    app().iScanSource = kSourceOff;
    t.form->xsubCurXPlace();
    QCOMPARE(t.form->lbl_cur_dy->text(), QStringLiteral("-----"));
    QCOMPARE(xfunDeltaTimeText(-3000, 1000), QStringLiteral("-3 s"));
}

namespace {
QString runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The page printed now, as a PDF file in `out`; empty when printing failed.
QString printedPdf(const QTemporaryDir& out) {
    const QString pdf = out.filePath(QStringLiteral("page.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return PrintSub::xfunPrintOnPrinter(printer).isEmpty() ? pdf : QString();
}

// A PDF's page drawn at 100 dpi into stem.png.
QImage pageImage(const QString& pdf, const QString& stem) {
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("100"),
             QStringLiteral("-singlefile"), pdf, stem});
    return QImage(stem + QStringLiteral(".png"));
}
} // namespace

// Printed through a PDF printer: the three traces in their colours, the legend and the lens.
void ChannelToolsTest::printedPageShowsTheChannels() {
    Started t;
    t.form->show();
    t.form->xsubLensUse(lensOf("bin i16le*3"), false);
    std::vector<uint8_t> bytes;
    for (int k = 0; k < 300; ++k) {
        const double values[3] = {8000 * std::sin(k / 8.0), 4000 * std::cos(k / 12.0) - 12000,
                                  12000 + 2000 * std::sin(k / 5.0)};
        const auto frame = lens::encodeFrame(t.form->Channels->format(), values);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    t.send(bytes);
    QTemporaryDir out;
    const QString pdf = printedPdf(out);
    QVERIFY(!pdf.isEmpty());
    const QString text =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
            .simplified();
    QVERIFY2(text.contains(QStringLiteral("Lens bin i16le*3")), qPrintable(text));

    // Kept for a person to look at.
    const QImage page = pageImage(pdf, QStringLiteral("/tmp/tessavue_lens_print"));
    QVERIFY(!page.isNull());
    for (int c = 0; c < 3; ++c) {
        const QColor want = t.form->Channels->channel(c).colour;
        int near = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QColor got = page.pixelColor(x, y);
                near += std::abs(got.red() - want.red()) + std::abs(got.green() - want.green()) +
                            std::abs(got.blue() - want.blue()) <
                        60;
            }
        QVERIFY2(near > 200, qPrintable(QStringLiteral("channel %1: %2 pixels").arg(c).arg(near)));
    }
}

namespace {
// The rows of the plot where channel c's colour is drawn, left of the legend.
std::pair<int, int> rowsOf(const ChannelPane& pane, const QImage& image, int c, int* count) {
    const QColor want = pane.store()->channel(c).colour;
    int top = image.height();
    int bottom = -1;
    *count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = int(ChannelPane::kLeft) + 1; x < int(pane.legendRow(0).left()) - 1; ++x) {
            const QColor got = image.pixelColor(x, y);
            if (std::abs(got.red() - want.red()) + std::abs(got.green() - want.green()) +
                    std::abs(got.blue() - want.blue()) >=
                60)
                continue;
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            ++*count;
        }
    return {top, bottom};
}

void sendThreeChannels(Started& t, int frames) {
    std::vector<uint8_t> bytes;
    for (int k = 0; k < frames; ++k) {
        // Far apart in size: on one axis the small ones would be flat lines.
        const double values[3] = {8000 * std::sin(k / 8.0), 40 * std::cos(k / 12.0) - 12000,
                                  3 * std::sin(k / 5.0)};
        const auto frame = lens::encodeFrame(t.form->Channels->format(), values);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    t.send(bytes);
}
} // namespace

// Three channels in lanes: each trace fills its own band, the bands top to bottom in order, at
// the default size and in a grown window; off again, all share the plot.
void ChannelToolsTest::lanesStackTheChannels() {
    Started t;
    t.form->show();
    t.form->xsubLensUse(lensOf("bin i16le*3"), false);
    sendThreeChannels(t, 300);
    ChannelPane* pane = t.form->pic_channels;
    QVERIFY(t.form->mnu_Lens->actions().contains(t.form->mnu_LensLanes));
    QCOMPARE(t.form->mnu_LensLanes->text(), QStringLiteral("レーン表示"));
    t.form->mnu_LensLanes->trigger();
    QVERIFY(pane->lanes());
    const QString settings = lensSettingsPath(app().strSettingsFile);
    QVERIFY(readLanesChoice(settings)); // the next start shows lanes too
    for (const QSize size : {QSize(), QSize(1500, 900)}) {
        if (size.isValid()) t.form->resize(size);
        sendThreeChannels(t, 10);
        const QImage image = pane->grab().toImage();
        for (int c = 0; c < 3; ++c) {
            const lanes::Band b = pane->band(c);
            if (c > 0) QVERIFY(pane->band(c - 1).bottom < b.top);
            int count = 0;
            const auto [top, bottom] = rowsOf(*pane, image, c, &count);
            const QString where = QStringLiteral("channel %1 in %2..%3 of %4..%5 (%6 px)")
                                      .arg(c)
                                      .arg(top)
                                      .arg(bottom)
                                      .arg(b.top)
                                      .arg(b.bottom)
                                      .arg(count);
            QVERIFY2(count > 50 && top >= b.top - 1 && bottom <= b.bottom + 1, qPrintable(where));
            // Its own range: the trace spans most of its lane, however small its values.
            QVERIFY2(bottom - top > 0.6 * b.height(), qPrintable(where));
        }
        QCOMPARE(pane->band(2).bottom, pane->bottom());
    }
    // The Y cursors read the lane of their channel (the trigger's, the first here).
    t.form->chk_curY[0]->setChecked(true);
    t.form->vsc_y[0]->setValue(0);
    QCOMPARE(t.form->lbl_cur_y[0]->text(), QString::number(pane->yRange(0).hi, 'g', 5));
    QVERIFY(pane->yRange(0) != pane->yRange(2));

    t.form->mnu_LensLanes->trigger();
    QVERIFY(!pane->lanes());
    QVERIFY(!readLanesChoice(settings));
    QCOMPARE(pane->band(2), (lanes::Band{ChannelPane::kTop, pane->bottom()}));
    QCOMPARE(pane->yRange(2), pane->yRange());
}

// A single shot's held screen stays the same frames over lanes on and off and a narrower screen.
void ChannelToolsTest::singleShotSurvivesLanesAndWidth() {
    Started t;
    t.form->xsubLensUse(lensOf("bin i16le*3"), false);
    sendThreeChannels(t, 400);
    ChannelTriggerSettings set;
    set.mode = TriggerMode::Single;
    set.channel = 0;
    set.level = 0;
    set.positionPct = 10;
    t.form->xsubChannelTriggerArm(set);
    sendThreeChannels(t, 400);
    QVERIFY(t.form->channelTrigger.stopped());
    ChannelPane* pane = t.form->pic_channels;
    const int q = xfunTriggerIndex(10, 200);
    const uint64_t point = pane->frameNumber(q);
    const double held = pane->store()->value(0, uint64_t(q));
    const auto stillHeld = [&](int frames) {
        QCOMPARE(pane->store(), &t.form->channelTrigger.held());
        QCOMPARE(pane->frameNumber(xfunTriggerIndex(10, int16_t(frames))), point);
    };
    t.form->mnu_LensLanes->trigger();
    sendThreeChannels(t, 100);
    stillHeld(200);
    QCOMPARE(pane->store()->value(0, uint64_t(q)), held);
    app().ChData[0].iXDim = 100;
    t.form->xsubLensDraw();
    stillHeld(100);
    t.form->mnu_LensLanes->trigger();
    sendThreeChannels(t, 100);
    stillHeld(100);
    QVERIFY(!pane->lanes());
    QCOMPARE(t.form->lbl_lens_trig_status->text().left(2), QStringLiteral("停止"));
}

// The mouse over the plot reads the frame under it: its number in the free cursor, every
// channel's value in the legend; off the plot, nothing.
void ChannelToolsTest::freeCursorReadsEveryChannel() {
    Started t;
    t.form->show();
    t.form->xsubLensUse(lensOf("bin i16le*3"), false);
    std::vector<uint8_t> bytes;
    for (int k = 0; k < 250; ++k) {
        const double values[3] = {double(k), double(-k), 7};
        const auto frame = lens::encodeFrame(t.form->Channels->format(), values);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    t.send(bytes);
    ChannelPane* pane = t.form->pic_channels;
    // 250 frames, 200 a screen: index 120 (as the live screen counts) is frame 170.
    const double x = ChannelPane::kLeft + (pane->right() - ChannelPane::kLeft) * 120 / 199;
    QTest::mouseMove(pane, QPoint(int(std::lround(x)), 100));
    QCOMPARE(pane->hovered(), std::optional<int>(120));
    QCOMPARE(t.form->lbl_XPosition->text(), QStringLiteral("120"));
    QCOMPARE(t.form->lbl_Value->text(), QStringLiteral("170"));
    QCOMPARE(pane->hoverText(), QStringLiteral("#120"));
    // The legend's values are those of frame 170, not the newest.
    QCOMPARE(pane->legendFrame(), std::optional<uint64_t>(170));
    QTest::mouseMove(pane, QPoint(10, 100));
    QVERIFY(!pane->hovered());
    QCOMPARE(t.form->lbl_XPosition->text(), QStringLiteral("-----"));
    QCOMPARE(t.form->lbl_Value->text(), QStringLiteral("-----"));
    QCOMPARE(pane->legendFrame(), std::optional<uint64_t>(249));
}

// The printed pane is the pane as shown: in lanes, the three traces lie one under another.
void ChannelToolsTest::printedPageFollowsTheLanes() {
    Started t;
    t.form->show();
    t.form->xsubLensUse(lensOf("bin i16le*3"), false);
    sendThreeChannels(t, 300);
    t.form->mnu_LensLanes->trigger();
    QTemporaryDir out;
    const QString pdf = printedPdf(out);
    QVERIFY(!pdf.isEmpty());
    const QImage page = pageImage(pdf, out.filePath(QStringLiteral("lanes")));
    QVERIFY(!page.isNull());
    // Each trace's rows, the middle one of them: in order from the top, far apart.
    std::vector<int> middle;
    for (int c = 0; c < 3; ++c) {
        const QColor want = t.form->Channels->channel(c).colour;
        std::vector<int> rows;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QColor got = page.pixelColor(x, y);
                if (std::abs(got.red() - want.red()) + std::abs(got.green() - want.green()) +
                        std::abs(got.blue() - want.blue()) <
                    60)
                    rows.push_back(y);
            }
        QVERIFY2(rows.size() > 100, qPrintable(QString::number(rows.size())));
        middle.push_back(rows[rows.size() / 2]);
    }
    QVERIFY2(middle[0] + 40 < middle[1] && middle[1] + 40 < middle[2],
             qPrintable(QStringLiteral("%1 %2 %3").arg(middle[0]).arg(middle[1]).arg(middle[2])));
}

QTEST_MAIN(ChannelToolsTest)
#include "test_channel_tools.moc"
