#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <vector>

#include "TestSupport.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "dialogs/frms_Fourier.h"
#include "dialogs/frms_Measure.h"
#include "graph/Fourier.h"
#include "graph/Measurements.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr double kNone = -1; // no period or duty expected

// `count` samples of the program's test pattern `kind` from a fresh start, the first `skip`
// left out.
Bytes testPattern(int16_t kind, int skip, int count) {
    app() = AppState{};
    app().iTestKind = kind;
    Bytes b;
    for (int i = 0; i < skip + count; ++i) {
        const auto v = static_cast<uint8_t>(ini::xfunTestData());
        if (i >= skip) b.push_back(v);
    }
    app() = AppState{};
    return b;
}

Bytes repeated(const Bytes& period, int times) {
    Bytes b;
    for (int i = 0; i < times; ++i)
        b.insert(b.end(), period.begin(), period.end());
    return b;
}

Bytes saw(int periods) {
    Bytes one;
    for (int v = 0; v < 256; ++v)
        one.push_back(static_cast<uint8_t>(v));
    return repeated(one, periods);
}

// 200 for two samples of every eight, else 50: a quarter of the time high.
const Bytes kSquarePeriod{200, 200, 50, 50, 50, 50, 50, 50};

// n values of a sine of this amplitude with `cycles` whole periods, rounded as bytes are.
std::vector<int16_t> tone(int n, double cycles, double amplitude, double phase = 0.3) {
    std::vector<int16_t> v(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k)
        v[static_cast<size_t>(k)] = static_cast<int16_t>(
            std::lround(amplitude * std::sin(2 * M_PI * cycles * k / n + phase)));
    return v;
}

double fullScaleDb(double amplitude) {
    return 20 * std::log10(amplitude / 127.5);
}

// The main window on a scripted port at 115200 8N1, with the pane's screen filled.
struct Started {
    QTemporaryDir dir;
    frms_RS_GRAPH_1* form = nullptr;
    FakeEngine* engine = nullptr;

    Started() {
        const auto s = testsupport::startWithFakeEngine(dir.path());
        form = s.form;
        engine = s.engine;
    }
    ~Started() { testsupport::finish(form); }
    void comOn() {
        AppState& s = app();
        s.iScanSource = 0;
        s.iPortOpen = 1;
        engine->portOpen = true;
        s.strBaud = QStringLiteral("115200");
        s.strParity = QStringLiteral("なし");
        s.strDataBits = QStringLiteral("8 ビット");
        s.strStopBits = QStringLiteral("1 ビット");
    }
    void stream(const Bytes& bytes) {
        engine->pending.insert(engine->pending.end(), bytes.begin(), bytes.end());
        form->Timer_Receive_Timer();
    }
    // Chooses the item from the pane's menu as a user does.
    void menu(QAction* item) {
        form->pic_graph_ContextMenu(QPoint(100, 100));
        QVERIFY(item->isEnabled());
        form->mnu_Graph->hide();
        item->trigger();
    }
};

} // namespace

class GraphMeasureTest : public QObject {
    Q_OBJECT
private slots:
    void measurements_data();
    void measurements();
    void rates_data();
    void rates();
    void toneLandsInItsBin_data();
    void toneLandsInItsBin();
    void twoTonesResolved();

    void measurementWindow();
    void spectrumWindow();
};

void GraphMeasureTest::measurements_data() {
    QTest::addColumn<Bytes>("shown");
    QTest::addColumn<int>("iSigned");
    QTest::addColumn<bool>("cursorsOn");
    QTest::addColumn<int>("c1");
    QTest::addColumn<int>("c2");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("rms");
    QTest::addColumn<double>("sd");
    QTest::addColumn<double>("period");
    QTest::addColumn<double>("duty");
    // A saw through every byte: the mean square of 0..255 is 255 x 511 / 6 = 21,717.5; read
    // signed it is (128 x 129 x 257 + 127 x 128 x 255) / 6 / 256 = 5,461.5, the spread the same.
    QTest::addRow("saw, unsigned view")
        << saw(2) << 0 << false << 0 << 0 << 512 << 0 << 255 << 127.5 << std::sqrt(21717.5)
        << std::sqrt(5461.25) << 256.0 << 50.0;
    QTest::addRow("saw, signed view: 127 jumps to -128")
        << saw(2) << 1 << false << 0 << 0 << 512 << -128 << 127 << -0.5 << std::sqrt(5461.5)
        << std::sqrt(5461.25) << 256.0 << 50.0;
    // The test pattern's sine: 360 samples a period, 100 x sin rounded; its RMS is 100 / sqrt 2
    // but for the rounding.
    QTest::addRow("test pattern sine, two periods")
        << testPattern(1, 0, 720) << 1 << false << 0 << 0 << 720 << -100 << 100 << 0.0
        << 100 / std::sqrt(2.0) << 100 / std::sqrt(2.0) << 360.0 << 50.0;
    // The triangle's period: 127, 26 steps of ten down to -123, -128, 25 steps up to 122, ten
    // samples each (520); from its first 127 on, a period sums to -260, and its squares
    // (worked out by hand) to 2,928,380.
    QTest::addRow("test pattern triangle, two periods from its top")
        << testPattern(2, 129, 1040) << 1 << false << 0 << 0 << 1040 << -128 << 127 << -0.5
        << std::sqrt(2928380.0 / 520) << std::sqrt(2928380.0 / 520 - 0.25) << 520.0 << 50.0;
    // 2 x 200 and 6 x 50 in 8: mean 87.5, mean square 11,875.
    QTest::addRow("square, duty 25 %%")
        << repeated(kSquarePeriod, 25) << 0 << false << 0 << 0 << 200 << 50 << 200 << 87.5
        << std::sqrt(11875.0) << std::sqrt(11875.0 - 87.5 * 87.5) << 8.0 << 25.0;
    QTest::addRow("square read signed: 200 is -56, high three quarters")
        << repeated(kSquarePeriod, 25) << 1 << false << 0 << 0 << 200 << -56 << 50 << 23.5
        << std::sqrt((2 * 56.0 * 56 + 6 * 2500) / 8)
        << std::sqrt((2 * 56.0 * 56 + 6 * 2500) / 8 - 23.5 * 23.5) << 8.0 << 75.0;
    QTest::addRow("constant: no period") << Bytes(50, 100) << 0 << false << 0 << 0 << 50 << 100
                                         << 100 << 100.0 << 100.0 << 0.0 << kNone << kNone;
    QTest::addRow("two samples") << Bytes{10, 20} << 0 << false << 0 << 0 << 2 << 10 << 20 << 15.0
                                 << std::sqrt(250.0) << 5.0 << kNone << kNone;
    QTest::addRow("one rise and one fall are no whole period")
        << Bytes{0, 0, 200, 200, 0, 0} << 0 << false << 0 << 0 << 6 << 0 << 200 << 200.0 / 3
        << std::sqrt(40000.0 / 3) << std::sqrt(40000.0 / 3 - 40000.0 / 9) << kNone << kNone;
    // Noise of 4 around each level is within a tenth of the peak-to-peak (15): no extra crossings.
    QTest::addRow("square with noise near its levels")
        << repeated({204, 196, 54, 46, 54, 46, 54, 46}, 25) << 0 << false << 0 << 0 << 200 << 46
        << 204 << 87.5 << std::sqrt((204.0 * 204 + 196 * 196 + 3 * (54 * 54 + 46 * 46)) / 8)
        << std::sqrt((204.0 * 204 + 196 * 196 + 3 * (54 * 54 + 46 * 46)) / 8 - 87.5 * 87.5) << 8.0
        << 25.0;
    // Samples 44..300 of the saw, cursor 2 left of cursor 1: 44..255 and 0..44.
    QTest::addRow("between the cursors, both ends included")
        << saw(2) << 0 << true << 300 << 44 << 257 << 0 << 255 << 32684.0 / 257 << -1.0 << -1.0
        << kNone << kNone;
    QTest::addRow("cursors off: the whole screen, wherever they stand")
        << saw(2) << 0 << false << 300 << 44 << 512 << 0 << 255 << 127.5 << std::sqrt(21717.5)
        << std::sqrt(5461.25) << 256.0 << 50.0;
    QTest::addRow("a cursor beyond the samples: up to the last")
        << saw(2) << 0 << true << 256 << 799 << 256 << 0 << 255 << 127.5 << std::sqrt(21717.5)
        << std::sqrt(5461.25) << kNone << kNone;
    QTest::addRow("both cursors beyond the samples: nothing")
        << saw(1) << 0 << true << 300 << 400 << 0 << 0 << 0 << 0.0 << 0.0 << 0.0 << kNone << kNone;
}

void GraphMeasureTest::measurements() {
    QFETCH(Bytes, shown);
    QFETCH(int, iSigned);
    QFETCH(bool, cursorsOn);
    QFETCH(int, c1);
    QFETCH(int, c2);
    QFETCH(int, count);
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(double, mean);
    QFETCH(double, rms);
    QFETCH(double, sd);
    QFETCH(double, period);
    QFETCH(double, duty);
    const Measurements m =
        xfunMeasure(xfunSpanValues(shown, int16_t(iSigned), cursorsOn, int16_t(c1), int16_t(c2)));
    QCOMPARE(m.count, count);
    QCOMPARE(m.min, min);
    QCOMPARE(m.max, max);
    QVERIFY2(std::abs(m.mean - mean) < 1e-6, qPrintable(QString::number(m.mean)));
    // The rounded sine differs from its ideal RMS by a few hundredths; the rest are exact.
    if (rms >= 0) QVERIFY2(std::abs(m.rms - rms) < 0.05, qPrintable(QString::number(m.rms)));
    if (sd >= 0) QVERIFY2(std::abs(m.stdDev - sd) < 0.05, qPrintable(QString::number(m.stdDev)));
    QCOMPARE(m.periodSamples.value_or(kNone), period);
    QVERIFY2(std::abs(m.dutyPct.value_or(kNone) - duty) < 1e-9,
             qPrintable(QString::number(m.dutyPct.value_or(kNone))));
}

void GraphMeasureTest::rates_data() {
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<double>("rate");
    QTest::addRow("115200 8N1: 10 bits a character") << 0 << "115200"
                                                     << "なし"
                                                     << "8 ビット"
                                                     << "1 ビット" << 11520.0;
    QTest::addRow("9600 7E2: 11 bits") << 0 << "9600"
                                       << "偶数"
                                       << "7 ビット"
                                       << "2 ビット" << 9600.0 / 11;
    QTest::addRow("300 space parity 8 bits 2 stop: 12 bits") << 0 << "300"
                                                             << "ｽﾍﾟｰｽ"
                                                             << "8 ビット"
                                                             << "2 ビット" << 25.0;
    QTest::addRow("9600, 5 bits, 1.5 stop set as 1: 7 bits") << 0 << "9600"
                                                             << "なし"
                                                             << "5 ビット"
                                                             << "1.5 ビット" << 9600.0 / 7;
    QTest::addRow("a baud text that is no rate") << 0 << ""
                                                 << "なし"
                                                 << "8 ビット"
                                                 << "1 ビット" << 0.0;
    QTest::addRow("test pattern: a sample a millisecond") << 1 << "115200"
                                                          << "なし"
                                                          << "8 ビット"
                                                          << "1 ビット" << 1000.0;
    QTest::addRow("COM OFF: nothing arrives") << 2 << "115200"
                                              << "なし"
                                              << "8 ビット"
                                              << "1 ビット" << 0.0;
}

void GraphMeasureTest::rates() {
    QFETCH(int, source);
    QFETCH(QString, baud);
    QFETCH(QString, parity);
    QFETCH(QString, data);
    QFETCH(QString, stop);
    QFETCH(double, rate);
    const double fromSource = xfunSourceRate(int16_t(source), baud, parity, data, stop);
    QCOMPARE(fromSource, rate);
    QCOMPARE(xfunChosenRate({RateSource::Line, 2500}, fromSource), rate);
    QCOMPARE(xfunChosenRate({RateSource::Entered, 2500}, fromSource), 2500.0);
    QCOMPARE(xfunChosenRate({RateSource::None, 2500}, fromSource), 0.0);
}

void GraphMeasureTest::toneLandsInItsBin_data() {
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("cycles");
    QTest::addColumn<double>("amplitude");
    QTest::addRow("Hann, 800 samples, 8 periods of 100")
        << int(SpectrumWindow::Hann) << 800 << 8 << 100.0;
    QTest::addRow("Hann, 333 samples (odd, no power of two), 37 periods of 9")
        << int(SpectrumWindow::Hann) << 333 << 37 << 60.0;
    QTest::addRow("flat top, 800 samples, 40 periods of 20")
        << int(SpectrumWindow::FlatTop) << 800 << 40 << 100.0;
    QTest::addRow("Hann, 10 samples, the fewest a screen has")
        << int(SpectrumWindow::Hann) << 10 << 2 << 127.0;
    QTest::addRow("rectangular, full scale")
        << int(SpectrumWindow::Rectangular) << 720 << 2 << 127.0;
    QTest::addRow("Blackman-Harris") << int(SpectrumWindow::BlackmanHarris) << 512 << 61 << 30.0;
}

void GraphMeasureTest::toneLandsInItsBin() {
    QFETCH(int, window);
    QFETCH(int, n);
    QFETCH(int, cycles);
    QFETCH(double, amplitude);
    // A mean far from zero must not matter: it is removed first.
    std::vector<int16_t> v = tone(n, cycles, amplitude);
    for (int16_t& x : v)
        x = static_cast<int16_t>(x + 100);
    const std::vector<double> db = xfunSpectrumDb(v, static_cast<SpectrumWindow>(window));
    QCOMPARE(int(db.size()), n / 2 + 1);
    QCOMPARE(xfunPeakBin(db), cycles);
    QVERIFY2(std::abs(db[size_t(cycles)] - fullScaleDb(amplitude)) < 0.1,
             qPrintable(QString::number(db[size_t(cycles)])));
}

void GraphMeasureTest::twoTonesResolved() {
    // Two tones ten bins apart on 800 samples: both stand out, with a deep valley between.
    std::vector<int16_t> v = tone(800, 100, 50);
    const std::vector<int16_t> second = tone(800, 110, 40, 1.1);
    for (size_t k = 0; k < v.size(); ++k)
        v[k] = static_cast<int16_t>(v[k] + second[k]);
    const std::vector<double> db = xfunSpectrumDb(v, SpectrumWindow::Hann);
    QCOMPARE(xfunPeakBin(db), 100);
    QVERIFY(std::abs(db[100] - fullScaleDb(50)) < 0.1);
    QVERIFY(std::abs(db[110] - fullScaleDb(40)) < 0.1);
    for (size_t m = 103; m <= 107; ++m)
        QVERIFY2(db[m] < db[110] - 40, qPrintable(QString::number(db[m])));
    QVERIFY(db[109] < db[110] && db[111] < db[110]);
    // Too few samples for a spectrum.
    QVERIFY(xfunSpectrumDb({5}, SpectrumWindow::Hann).empty());
    QCOMPARE(xfunPeakBin({}), -1);
}

void GraphMeasureTest::measurementWindow() {
    Started t;
    t.comOn();
    t.form->Opn_YDim[1]->click();          // unsigned
    t.stream(repeated(kSquarePeriod, 50)); // 400 bytes; the screen holds the newest 200
    t.menu(t.form->mnu_Measure);
    frms_Measure* w = t.form->frmMeasure;
    QVERIFY(w && w->isVisible() && !w->isModal());
    auto value = [w](int row) { return w->lbl_meas[size_t(row)]->text(); };
    QCOMPARE(w->cmb_rate->currentText(), QStringLiteral("回線から"));
    QCOMPARE(w->lbl_rate->text(), QStringLiteral("11,520 /s"));
    QCOMPARE(value(frms_Measure::Count), QStringLiteral("200"));
    QCOMPARE(value(frms_Measure::Min), QStringLiteral("50"));
    QCOMPARE(value(frms_Measure::Max), QStringLiteral("200"));
    QCOMPARE(value(frms_Measure::PeakToPeak), QStringLiteral("150"));
    QCOMPARE(value(frms_Measure::Mean), QStringLiteral("87.50"));
    QCOMPARE(value(frms_Measure::Period), QStringLiteral("8.00"));
    QCOMPARE(value(frms_Measure::PeriodSeconds), QStringLiteral("0.000694444 s"));
    QCOMPARE(value(frms_Measure::Frequency), QStringLiteral("1440 Hz"));
    QCOMPARE(value(frms_Measure::Duty), QStringLiteral("25.0 %"));

    // The signed view reads 200 as -56: the high part is now the longer one.
    t.form->Opn_YDim[0]->click();
    t.stream(repeated(kSquarePeriod, 1));
    w->xsubRefresh();
    QCOMPARE(value(frms_Measure::Min), QStringLiteral("-56"));
    QCOMPARE(value(frms_Measure::Duty), QStringLiteral("75.0 %"));

    // Both X cursors on: only the samples between them, here less than a period.
    app().iCurXPos = {10, 17};
    t.form->chk_curx[0]->setChecked(true);
    t.form->chk_curx[1]->setChecked(true);
    w->xsubRefresh();
    QCOMPARE(value(frms_Measure::Count), QStringLiteral("8"));
    QCOMPARE(value(frms_Measure::Period), QStringLiteral("-----"));
    QCOMPARE(value(frms_Measure::Frequency), QStringLiteral("-----"));
    t.form->chk_curx[1]->setChecked(false);

    // A rate of one's own, and none.
    w->cmb_rate->setCurrentIndex(1);
    QVERIFY(w->txt_rate->isEnabled());
    w->txt_rate->setValue(2000);
    QCOMPARE(w->lbl_rate->text(), QStringLiteral("2,000 /s"));
    QCOMPARE(value(frms_Measure::PeriodSeconds), QStringLiteral("0.004 s"));
    QCOMPARE(value(frms_Measure::Frequency), QStringLiteral("250 Hz"));
    w->cmb_rate->setCurrentIndex(2);
    QVERIFY(!w->txt_rate->isEnabled());
    QCOMPARE(w->lbl_rate->text(), QStringLiteral("-----"));
    QCOMPARE(value(frms_Measure::PeriodSeconds), QStringLiteral("-----"));
    QCOMPARE(value(frms_Measure::Frequency), QStringLiteral("0.125 /サンプル"));

    w->Cmd_Copy->click();
    const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), frms_Measure::kRows + 2);
    QCOMPARE(lines[0], QStringLiteral("サンプル数\t200"));
    QCOMPARE(lines[frms_Measure::Duty], QStringLiteral("デューティ比\t75.0 %"));
    QCOMPARE(lines[frms_Measure::kRows], QStringLiteral("サンプルレート\t----- (なし)"));

    // Closed, it keeps its choices; the memory view is measured as the live one.
    w->Cmd_Close->click();
    QVERIFY(!w->isVisible());
    t.engine->recent = {1, 2, 3};
    t.form->Cmd_Memory_Click();
    t.form->Timer1_Timer();
    t.menu(t.form->mnu_Measure);
    QCOMPARE(t.form->frmMeasure, w);
    QCOMPARE(w->cmb_rate->currentIndex(), 2);
    QCOMPARE(value(frms_Measure::Count), QStringLiteral("3"));
    QCOMPARE(value(frms_Measure::Mean), QStringLiteral("2.00"));
}

void GraphMeasureTest::spectrumWindow() {
    Started t;
    // The test pattern's sine over a screen of two periods.
    app().iScanSource = 1;
    app().iTestKind = 1;
    app().ChData[0].iXDim = 720;
    for (int i = 0; i < 720; ++i)
        t.form->Timer_Receive_Timer();
    t.menu(t.form->mnu_Spectrum);
    frms_Fourier* w = t.form->frmSpectrum;
    QVERIFY(w && w->isVisible() && !w->isModal());
    QCOMPARE(w->cmb_window->currentText(), QStringLiteral("ハニング"));
    QCOMPARE(w->lbl_rate->text(), QStringLiteral("1,000 /s"));
    // Bin 2 of 720 at 1,000 a second; amplitude 100 of 127.5.
    QCOMPARE(w->lbl_peak->text(), QStringLiteral("ピーク: 2.77778 Hz, -2.11 dB"));
    QCOMPARE(w->lbl_cursor->text(), QStringLiteral("カーソル: -----"));

    w->pic_spectrum_MouseMove(w->pic_spectrum->xOfBin(5));
    QCOMPARE(w->pic_spectrum->binAt(w->pic_spectrum->xOfBin(5)), 5);
    QVERIFY(w->lbl_cursor->text().startsWith(QStringLiteral("カーソル: 6.94444 Hz, ")));
    w->pic_spectrum_MouseMove(-1);
    QCOMPARE(w->lbl_cursor->text(), QStringLiteral("カーソル: -----"));

    // The window function changes the picture at once; the tone stays where it is.
    w->cmb_window->setCurrentIndex(int(SpectrumWindow::Rectangular));
    QCOMPARE(w->lbl_peak->text(), QStringLiteral("ピーク: 2.77778 Hz, -2.11 dB"));

    // The rate is the one the measurement window shows: a choice in one is a choice in both.
    t.menu(t.form->mnu_Measure);
    t.form->frmMeasure->cmb_rate->setCurrentIndex(2);
    w->xsubRefresh();
    QCOMPARE(w->cmb_rate->currentIndex(), 2);
    QCOMPARE(w->lbl_peak->text(), QStringLiteral("ピーク: 0.002778 /サンプル, -2.11 dB"));

    w->Cmd_Copy->click();
    const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 361 + 2); // header, bins 0..360, the empty end
    QCOMPARE(lines[0], QStringLiteral("Bin,Cycles/sample,dB"));
    QCOMPARE(lines[3], QStringLiteral("2,0.002777777778,-2.11"));
}

QTEST_MAIN(GraphMeasureTest)
#include "test_graph_measure.moc"
