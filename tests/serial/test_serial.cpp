#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <grp.h>
#include <map>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "../engine/DeviceTermios.h"
#include "LineSettings.h"
#include "NetworkServers.h"
#include "TestSupport.h"
#include "app/Settings.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "dialogs/NoticeQueue.h"
#include "graph/Measurements.h"
#include "serial/LineParams.h"
#include "serial/PortNotices.h"
#include "serial/ReceivePipeline.h"
#include "serial/SerialEngineMaker.h"
#include "serial/frms_ScanningSelect.h"
#include "storage/FileErrors.h"
#include "toolkit/CountText.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Twips.h"

using testsupport::finish;
using testsupport::onNextModal;
using testsupport::startWithEngine;
using testsupport::startWithFakeEngine;

namespace {

constexpr int32_t kGreen = 0x00FF00;
constexpr int32_t kRed = 0x0000FF;
constexpr int32_t kGrey = 0xC0C0C0;
constexpr int32_t kCyan = 0xFFFF00;

// A pseudo-terminal whose slave the program opens by its path; the test writes at the master.
class Pty {
public:
    Pty() {
        if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) == 0)
            m_path = QString::fromLocal8Bit(ptsname(m_master));
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    ~Pty() {
        ::close(m_master);
        ::close(m_slave);
    }
    const QString& path() const { return m_path; }
    int slave() const { return m_slave; }
    bool send(const QByteArray& bytes) const {
        return ::write(m_master, bytes.constData(), bytes.size()) == bytes.size();
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};

// Watches for modal windows other than `except` while a call runs: keeps their label texts,
// runs `whileOpen` under the first one (as a timer would tick under it) and closes each.
class ModalWatcher {
public:
    explicit ModalWatcher(QWidget* except = nullptr, std::function<void()> whileOpen = {})
        : m_except(except), m_whileOpen(std::move(whileOpen)) {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { check(); });
        m_poll.start(5);
    }
    QStringList texts;
    int shown = 0;

private:
    void check() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == m_except || m_seen.contains(w)) return;
        m_seen.append(w);
        ++shown;
        for (const QLabel* l : w->findChildren<QLabel*>())
            texts << l->text();
        if (shown == 1 && m_whileOpen) m_whileOpen();
        if (auto* ok = w->findChild<QPushButton*>(QStringLiteral("Command(1)")))
            ok->click();
        else
            w->close();
    }
    QWidget* m_except;
    std::function<void()> m_whileOpen;
    QList<QWidget*> m_seen;
    QTimer m_poll;
};

// One receive tick, then the event loop's turn, in which the boxes it posted come up.
void tickAndShow(frms_RS_GRAPH_1* form) {
    form->Timer_Receive_Timer();
    QCoreApplication::processEvents();
}

QList<int> samples(int16_t kind, int count) {
    app().iTestKind = kind;
    QList<int> out;
    for (int i = 0; i < count; ++i)
        out << ini::xfunTestData();
    return out;
}

// Puts a started window on an open port of the scripted engine, as the dialog would.
void comOn(FakeEngine* engine) {
    app().iScanSource = 0;
    app().iPortOpen = 1;
    engine->portOpen = true;
}

bool lit(const frms_RS_GRAPH_1* form, int row) {
    return form->lblmsdo[row]->isVisible() && !form->lblmsd[row]->isVisible();
}
bool unlit(const frms_RS_GRAPH_1* form, int row) {
    return form->lblmsd[row]->isVisible() && !form->lblmsdo[row]->isVisible();
}

QList<int32_t> lineColours(const frms_RS_GRAPH_1* form) {
    return {backColor(form->Cmd_DTR[0]), backColor(form->Cmd_DTR[1]), backColor(form->Cmd_RTS[0]),
            backColor(form->Cmd_RTS[1])};
}

bool lineButtonsEnabled(const frms_RS_GRAPH_1* form) {
    return form->Cmd_DTR[0]->isEnabled() && form->Cmd_DTR[1]->isEnabled() &&
           form->Cmd_RTS[0]->isEnabled() && form->Cmd_RTS[1]->isEnabled();
}

bool lineLabelsEnabled(const frms_RS_GRAPH_1* form) {
    for (const QLabel* l : {form->lblCOM, form->lblBPS, form->lblDataSize, form->lblParity,
                            form->lblStop, form->lblFlow})
        if (!l->isEnabled()) return false;
    return true;
}

bool noLampShows(const frms_RS_GRAPH_1* form) {
    for (int i = 0; i < 6; ++i)
        if (form->lblmsd[i]->isVisible() || form->lblmsdo[i]->isVisible()) return false;
    return true;
}

} // namespace

class SerialTest : public QObject {
    Q_OBJECT
private slots:
    void testPatterns_data();
    void testPatterns();
    void patternKindsKeepTheirOwnState();
    void countText_data();
    void countText();
    void counterSaturates_data();
    void counterSaturates();
    void requestFlagsServedOnlyInScanning_data();
    void requestFlagsServedOnlyInScanning();
    void dataOutsideLiveScanningIsStoredNotShown_data();
    void dataOutsideLiveScanningIsStoredNotShown();
    void engineEndedLog_data();
    void engineEndedLog();
    void lampsFollowModemBits_data();
    void lampsFollowModemBits();
    void lineButtonsDriveTheLines_data();
    void lineButtonsDriveTheLines();
    void lineButtonsDisabledWithoutPort();
    void lineParamStrings_data();
    void lineParamStrings();
    void characterRateIsTheLines_data();
    void characterRateIsTheLines();
    void flowCodeAtStartUp_data();
    void flowCodeAtStartUp();
    void dialogShowsSavedSettings_data();
    void dialogShowsSavedSettings();
    void sourceOptionsSwitchFrames_data();
    void sourceOptionsSwitchFrames();
    void dialogOutcomes_data();
    void dialogOutcomes();
    void okOpensARealPort();
    void streamIsFetchedOnceAFrame();
    void failedOkKeepsTheDialogOpen();
    void openFailureSaysWhy();
    void persistentNamesAreOfferedAndShown();
    void lostPortIsToldOnceAndReopenedByItself();
    void networkPortThroughSer2net();
    void bytesOnlyPortGreysLineControl();
    void connectingKeepsTheWindowAnswering();
    void droppedBytesAreToldOncePerBurst();
    void receptionGoesOnUnderANotice();
    void displayModes_data();
    void displayModes();
    void scanningClosesTheDataFile();
};

void SerialTest::testPatterns_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<int>>("sampleNumbers"); // 1 = first sample after start-up
    QTest::addColumn<QList<int>>("expected");
    QTest::addRow("sine: first samples")
        << 1 << QList<int>{1, 2, 3, 4, 5, 6} << QList<int>{0, 2, 3, 5, 7, 9};
    QTest::addRow("sine: peak at 90 degrees")
        << 1 << QList<int>{90, 91, 92} << QList<int>{100, 100, 100};
    QTest::addRow("sine: negative half as two's complement")
        << 1 << QList<int>{181, 182, 271, 360} << QList<int>{0, 254, 156, 254};
    QTest::addRow("sine: period of 360") << 1 << QList<int>{361, 362, 451} << QList<int>{0, 2, 100};
    QTest::addRow("triangle: nine zeros, then ten of each step")
        << 2 << QList<int>{1, 9, 10, 19, 20, 120, 129} << QList<int>{0, 0, 10, 10, 20, 120, 120};
    QTest::addRow("triangle: clipped at 127, then falling")
        << 2 << QList<int>{130, 139, 140, 149, 150} << QList<int>{127, 127, 117, 117, 107};
    QTest::addRow("triangle: clipped at -128, then rising")
        << 2 << QList<int>{389, 390, 399, 400} << QList<int>{256 - 123, 128, 128, 256 - 118};
    QTest::addRow("sawtooth: from 100 to 255, then 0")
        << 0 << QList<int>{1, 155, 156, 157, 411, 412} << QList<int>{101, 255, 0, 1, 255, 0};
    QTest::addRow("unknown kind gives 0") << 7 << QList<int>{1, 2} << QList<int>{0, 0};
}

void SerialTest::testPatterns() {
    QFETCH(int, kind);
    QFETCH(QList<int>, sampleNumbers);
    QFETCH(QList<int>, expected);
    app() = AppState{};
    ini::xsubSetDefaults(QString());
    const QList<int> all = samples(static_cast<int16_t>(kind), 500);
    QList<int> got;
    for (int n : sampleNumbers)
        got << all[n - 1];
    QCOMPARE(got, expected);
    app() = AppState{};
}

void SerialTest::patternKindsKeepTheirOwnState() {
    app() = AppState{};
    ini::xsubSetDefaults(QString());
    QCOMPARE(samples(0, 3), (QList<int>{101, 102, 103}));
    QCOMPARE(samples(1, 3), (QList<int>{0, 2, 3}));
    QCOMPARE(samples(2, 10).last(), 10);
    QCOMPARE(samples(0, 1), QList<int>{104});
    QCOMPARE(samples(1, 1), QList<int>{5});
    QCOMPARE(samples(2, 10), (QList<int>{10, 10, 10, 10, 10, 10, 10, 10, 10, 20}));
    app() = AppState{};
}

void SerialTest::countText_data() {
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("text");
    QTest::addRow("zero") << qint64(0) << QStringLiteral("0");
    QTest::addRow("below a thousand") << qint64(999) << QStringLiteral("999");
    QTest::addRow("a thousand") << qint64(1000) << QStringLiteral("1,000");
    QTest::addRow("millions") << qint64(1234567) << QStringLiteral("1,234,567");
    QTest::addRow("the ceiling") << qint64(2100000000) << QStringLiteral("2,100,000,000");
}

void SerialTest::countText() {
    QFETCH(qint64, count);
    QFETCH(QString, text);
    QCOMPARE(xfunCountText(count), text);
}

void SerialTest::counterSaturates_data() {
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("startCount");
    QTest::addColumn<int>("bytesPerTick");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("label");
    QTest::addRow("port: 20 bytes past the ceiling")
        << 0 << 2099999990 << 20 << 2100000000 << "2,100,000,000";
    QTest::addRow("port: stays at the ceiling")
        << 0 << 2100000000 << 5 << 2100000000 << "2,100,000,000";
    QTest::addRow("port: just below") << 0 << 2099999990 << 9 << 2099999999 << "2,099,999,999";
    QTest::addRow("test pattern: one sample per tick") << 1 << 41 << 1 << 42 << "42";
    QTest::addRow("test pattern: stays at the ceiling")
        << 1 << 2100000000 << 1 << 2100000000 << "2,100,000,000";
}

void SerialTest::counterSaturates() {
    QFETCH(int, source);
    QFETCH(int, startCount);
    QFETCH(int, bytesPerTick);
    QFETCH(int, expected);
    QFETCH(QString, label);
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    if (source == 0)
        comOn(engine);
    else
        app().iScanSource = 1;
    app().lRcvCount = startCount;
    if (source == 0)
        for (int i = 0; i < bytesPerTick; ++i)
            engine->pending.push_back(static_cast<uint8_t>(i));
    form->Timer_Receive_Timer();
    QCOMPARE(app().lRcvCount, expected);
    QCOMPARE(form->lbl_data_su->text(), label);
    QCOMPARE(app().ChData[0].lCount, bytesPerTick);
    QVERIFY(engine->pending.empty());
    finish(form);
}

void SerialTest::requestFlagsServedOnlyInScanning_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("redrawServed");
    QTest::addRow("Scanning") << 2 << true;
    QTest::addRow("Memory") << 1 << false;
    QTest::addRow("File") << 0 << false;
}

void SerialTest::requestFlagsServedOnlyInScanning() {
    QFETCH(int, mode);
    QFETCH(bool, redrawServed);
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    app().iDispMode = static_cast<int16_t>(mode);
    form->iXAxisReq = 1;
    form->iYAxisReq = 1;
    form->iRedrawReq = 1;
    form->iClearReq = 1;
    // A mark in the picture that only erasing removes.
    form->pic_graph->setForeColor(0x00FF00);
    form->pic_graph->Line(7800, 300, 8400, 300);
    const QPoint mark(twipsToPx(8100), twipsToPx(300));
    QCOMPARE(form->pic_graph->image().pixelColor(mark), QColor(0, 255, 0));

    form->Timer_Receive_Timer();
    QCOMPARE(form->iXAxisReq, int16_t(0));
    QCOMPARE(form->iYAxisReq, int16_t(0));
    QCOMPARE(form->iRedrawReq, int16_t(redrawServed ? 0 : 1));
    QCOMPARE(form->iClearReq, int16_t(0));
    if (!redrawServed) QCOMPARE(form->pic_graph->image().pixelColor(mark), QColor(0, 255, 0));
    finish(form);
}

void SerialTest::dataOutsideLiveScanningIsStoredNotShown_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("liveDraw");
    QTest::addRow("Memory view") << 1 << 1;
    QTest::addRow("File view") << 0 << 1;
    QTest::addRow("Scanning under a settings dialog") << 2 << 0;
}

void SerialTest::dataOutsideLiveScanningIsStoredNotShown() {
    QFETCH(int, mode);
    QFETCH(int, liveDraw);
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    comOn(engine);
    form->Timer_Receive_Timer(); // serves the start-up redraw
    app().iDispMode = static_cast<int16_t>(mode);
    app().iLiveDraw = static_cast<int16_t>(liveDraw);
    form->lbl_data_su->setText(QStringLiteral("77"));
    engine->push({1, 2, 3});
    form->Timer_Receive_Timer();
    QCOMPARE(app().lRcvCount, 3);
    QCOMPARE(app().ChData[0].lCount, 3);
    QCOMPARE(ini::xfunRingGet(2, 0), int16_t(3));
    QCOMPARE(form->lbl_data_su->text(), QStringLiteral("77"));
    QCOMPARE(form->iRedrawReq, int16_t(0));

    app().iLiveDraw = 1;
    form->Cmd_scanning_Click();
    QCOMPARE(form->lbl_data_su->text(), QStringLiteral("3"));
    QCOMPARE(form->iRedrawReq, int16_t(1));
    finish(form);
}

void SerialTest::engineEndedLog_data() {
    QTest::addColumn<int>("logStatus");
    QTest::addColumn<QString>("expected"); // empty: no message
    QTest::addRow("size limit reached") << 0 << QString();
    QTest::addRow("disk full") << 28 /* ENOSPC */ << appSub::fileErrText(61);
    QTest::addRow("reader fell behind")
        << int(tessavue::SerialEngine::kLogStalled) << xfunLogStalledText();
}

void SerialTest::engineEndedLog() {
    QFETCH(int, logStatus);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    comOn(engine);
    QCOMPARE(engine->LogStart("/tmp/unused.log", 0, 1048576), -1);
    app().iLogOn = 1;
    app().strLogFile = QStringLiteral("/tmp/unused.log");
    form->xsubLogButton();
    QCOMPARE(backColor(form->Cmd_Log), kRed);

    engine->nextLogStatus = static_cast<int16_t>(logStatus);
    engine->push({10, 20});
    int countUnderBox = -1;
    ModalWatcher watcher(nullptr, [&] {
        // Timers keep ticking under the box; the engine may report the failure again.
        engine->nextLogStatus = static_cast<int16_t>(logStatus);
        engine->push({30});
        form->Timer_Receive_Timer();
        countUnderBox = app().lRcvCount;
    });
    tickAndShow(form);

    QCOMPARE(app().iLogOn, int16_t(0));
    QCOMPARE(app().strLogFile, QString());
    QCOMPARE(backColor(form->Cmd_Log), kGrey);
    QCOMPARE(engine->logStopCalls, 1);
    QVERIFY(!engine->logOpen);
    QVERIFY(app().lRcvCount >= 2);

    engine->push({40, 50, 60});
    form->Timer_Receive_Timer();
    QCOMPARE(ini::xfunRingGet(app().ChData[0].lCount - 1, 0), int16_t(60));
    QCOMPARE(form->lbl_data_su->text(), QString::number(app().lRcvCount));

    if (expected.isEmpty()) {
        QCOMPARE(watcher.shown, 0);
        finish(form);
        return;
    }
    QCOMPARE(watcher.shown, 1);
    QVERIFY2(watcher.texts.contains(expected), qPrintable(watcher.texts.join(u'|')));
    QCOMPARE(countUnderBox, 3);
    QCOMPARE(engine->logStopCalls, 1);
    finish(form);
}

void SerialTest::lampsFollowModemBits_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QList<bool>>("litRows"); // RTS, CTS, DTR, DSR, DCD, RI
    QTest::addRow("none") << 0x00 << QList<bool>{false, false, false, false, false, false};
    QTest::addRow("RTS") << 0x01 << QList<bool>{true, false, false, false, false, false};
    QTest::addRow("CTS") << 0x10 << QList<bool>{false, true, false, false, false, false};
    QTest::addRow("DTR") << 0x02 << QList<bool>{false, false, true, false, false, false};
    QTest::addRow("DSR") << 0x20 << QList<bool>{false, false, false, true, false, false};
    QTest::addRow("DCD") << 0x80 << QList<bool>{false, false, false, false, true, false};
    QTest::addRow("RI") << 0x40 << QList<bool>{false, false, false, false, false, true};
    QTest::addRow("all, unused bits set")
        << 0xFF << QList<bool>{true, true, true, true, true, true};
}

void SerialTest::lampsFollowModemBits() {
    QFETCH(int, status);
    QFETCH(QList<bool>, litRows);
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    QVERIFY(noLampShows(form));

    // No lamp update without an open port.
    engine->modemStatus = static_cast<uint8_t>(status);
    app().iScanSource = 0;
    form->Timer_Receive_Timer();
    QVERIFY(noLampShows(form));

    comOn(engine);
    form->Timer_Receive_Timer(); // no data: lamps refresh all the same
    for (int row = 0; row < 6; ++row)
        QVERIFY2(litRows[row] ? lit(form, row) : unlit(form, row),
                 qPrintable(form->lampCaption[row]->text()));
    QCOMPARE(form->lbl_data_su->text(), QStringLiteral("0"));

    engine->modemStatus = static_cast<uint8_t>(~status);
    form->Timer_Receive_Timer();
    for (int row = 0; row < 6; ++row)
        QVERIFY(litRows[row] ? unlit(form, row) : lit(form, row));
    finish(form);
}

void SerialTest::lineButtonsDriveTheLines_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("statusAfter"); // what the far end then reports
    QTest::addColumn<int>("code");
    QTest::addColumn<QList<int32_t>>("colours"); // DTR ON, DTR OFF, RTS ON, RTS OFF
    QTest::addRow("DTR on") << "Cmd_DTR(0)" << 0x02 << 0x8002
                            << QList<int32_t>{kGreen, kGrey, kGrey, kRed};
    QTest::addRow("DTR off") << "Cmd_DTR(1)" << 0x01 << 0x0002
                             << QList<int32_t>{kGrey, kRed, kGreen, kGrey};
    QTest::addRow("RTS on") << "Cmd_RTS(0)" << 0x03 << 0x8001
                            << QList<int32_t>{kGreen, kGrey, kGreen, kGrey};
    QTest::addRow("RTS off") << "Cmd_RTS(1)" << 0x00 << 0x0001
                             << QList<int32_t>{kGrey, kRed, kGrey, kRed};
}

void SerialTest::lineButtonsDriveTheLines() {
    QFETCH(QString, button);
    QFETCH(int, statusAfter);
    QFETCH(int, code);
    QFETCH(QList<int32_t>, colours);
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    comOn(engine);
    form->xsubDispSource();
    QVERIFY(lineButtonsEnabled(form));
    QCOMPARE(form->Cmd_Test->text(), QStringLiteral("COM ON"));

    engine->modemStatus = static_cast<uint8_t>(statusAfter);
    testsupport::clickChild(form, button);
    QCOMPARE(engine->lineCodes.size(), size_t(1));
    QCOMPARE(static_cast<uint16_t>(engine->lineCodes[0]), static_cast<uint16_t>(code));
    QCOMPARE(lineColours(form), colours);
    QVERIFY(lineButtonsEnabled(form));
    finish(form);
}

void SerialTest::lineButtonsDisabledWithoutPort() {
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    QCOMPARE(form->Cmd_Test->text(), QStringLiteral("COM OFF"));
    for (QPushButton* b :
         {form->Cmd_DTR[0], form->Cmd_DTR[1], form->Cmd_RTS[0], form->Cmd_RTS[1]}) {
        QVERIFY(!b->isEnabled());
        b->setEnabled(true); // even if a click got through
    }
    const QList<int32_t> before = lineColours(form);
    form->Cmd_DTR_Click(0);
    form->Cmd_RTS_Click(1);
    QVERIFY(engine->lineCodes.empty());
    QCOMPARE(lineColours(form), before);
    QVERIFY(!form->Cmd_DTR[0]->isEnabled() && !form->Cmd_RTS[1]->isEnabled());
    finish(form);
}

void SerialTest::lineParamStrings_data() {
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("dataBits");
    QTest::addColumn<QString>("stopBits");
    QTest::addColumn<QString>("expected");
    QTest::addRow("9600 8N1") << "9600"
                              << "なし"
                              << "8 ビット"
                              << "1 ビット"
                              << "9600,0,8,0,0";
    QTest::addRow("300, space, 7 bits, 2 stop") << "300"
                                                << "ｽﾍﾟｰｽ"
                                                << "7 ビット"
                                                << "2 ビット"
                                                << "300,4,7,1,0";
    QTest::addRow("even") << "19200"
                          << "偶数"
                          << "8 ビット"
                          << "1 ビット"
                          << "19200,1,8,0,0";
    QTest::addRow("odd") << "57600"
                         << "奇数"
                         << "7 ビット"
                         << "1 ビット"
                         << "57600,2,7,0,0";
    QTest::addRow("mark") << "921600"
                          << "ﾏｰｸ"
                          << "8 ビット"
                          << "2 ビット"
                          << "921600,3,8,1,0";
    QTest::addRow("odd stop-bit text counts as 1") << "1200"
                                                   << "なし"
                                                   << "8 ビット"
                                                   << "1.5"
                                                   << "1200,0,8,0,0";
}

void SerialTest::lineParamStrings() {
    QFETCH(QString, baud);
    QFETCH(QString, parity);
    QFETCH(QString, dataBits);
    QFETCH(QString, stopBits);
    QFETCH(QString, expected);
    QCOMPARE(xfunLineParamString(baud, parity, dataBits, stopBits, 0), expected);

    // The same choice made in the dialog reaches the engine.
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<frms_ScanningSelect*>(w);
        QVERIFY(dialog);
        dialog->Opn_sel[0]->click();
        for (auto [list, text] : {std::pair{dialog->combo1, baud},
                                  {dialog->combo2, parity},
                                  {dialog->combo3, dataBits},
                                  {dialog->combo4, stopBits}}) {
            const int index = list->findText(text);
            if (index >= 0) list->setCurrentIndex(index);
        }
        dialog->Command1->click();
    });
    form->Cmd_test_Click();
    QCOMPARE(engine->lineParams, std::vector<std::string>{expected.toStdString()});
    finish(form);
}

void SerialTest::characterRateIsTheLines_data() {
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("dataBits");
    QTest::addColumn<QString>("stopBits");
    for (const char* data : {"5 ビット", "6 ビット", "7 ビット", "8 ビット"})
        for (const char* parity : {"なし", "偶数"})
            for (const char* stop : {"1 ビット", "1.5 ビット", "2 ビット"})
                QTest::addRow("%s %s %s", data, parity, stop)
                    << QString::fromUtf8(parity) << QString::fromUtf8(data)
                    << QString::fromUtf8(stop);
}

// The measurement window's rate is worked out from the character the terminal is really set to.
void SerialTest::characterRateIsTheLines() {
    QFETCH(QString, parity);
    QFETCH(QString, dataBits);
    QFETCH(QString, stopBits);
    const QString baud = QStringLiteral("9600");
    const QString params = xfunLineParamString(baud, parity, dataBits, stopBits, 0);
    Pty pty;
    auto engine = tessavue::makeLinuxSerialEngine();
    QCOMPARE(engine->OpenCommPort(pty.path().toStdString()), -1);
    engine->SetCommPortParam(params.toStdString());
    DeviceTermios device;
    QVERIFY(readDeviceTermios(pty.slave(), device));
    // A pty keeps 8 bits without parity: those two come from the flags the engine asked for.
    const auto settings = tessavue::parseLineSettings(params.toStdString());
    QVERIFY(settings);
    const uint asked = tessavue::framingFlags(*settings);
    const std::map<uint, int> sizes = {{CS5, 5}, {CS6, 6}, {CS7, 7}, {CS8, 8}};
    const int bits = 1 + sizes.at(asked & CSIZE) + ((asked & PARENB) ? 1 : 0) +
                     ((device.cflag & CSTOPB) ? 2 : 1);
    QCOMPARE(device.outputRate, 9600u);
    QCOMPARE(xfunSourceRate(kSourceCom, baud, parity, dataBits, stopBits), 9600.0 / bits);
    QCOMPARE(sizes.at(asked & CSIZE), dataBits.left(1).toInt());

    const LinePanelTexts panel = xfunLinePanelTexts(parity, dataBits, stopBits);
    const bool oneAndHalf = stopBits.startsWith(QStringLiteral("1.5"));
    QCOMPARE(panel.stopBits, oneAndHalf ? QStringLiteral("1.5→1 ｽﾄｯﾌﾟ")
                                        : stopBits.left(1) + QStringLiteral(" ｽﾄｯﾌﾟﾋﾞｯﾄ"));
    QCOMPARE(panel.stopNote.isEmpty(), !oneAndHalf);
    QCOMPARE(panel.dataBits, dataBits.left(1) + QStringLiteral(" ﾋﾞｯﾄ"));
}

void SerialTest::flowCodeAtStartUp_data() {
    QTest::addColumn<QString>("flow");
    QTest::addColumn<QString>("params");
    QTest::addRow("none") << "なし"
                          << "4800,0,8,0,0";
    QTest::addRow("hardware") << "ハードウェア"
                              << "4800,0,8,0,1";
    QTest::addRow("anything else") << "XON/XOFF"
                                   << "4800,0,8,0,2";
}

void SerialTest::flowCodeAtStartUp() {
    QFETCH(QString, flow);
    QFETCH(QString, params);
    QTemporaryDir dir;
    QFile f(appSub::settingsPath(dir.path()));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(appSub::toCp932(QStringLiteral("0,COM2,4800,なし,8 ビット,1 ビット,%1\r\n").arg(flow)));
    f.close();
    auto [form, engine] = startWithFakeEngine(dir.path());
    QCOMPARE(engine->openedPorts, std::vector<std::string>{"COM2"});
    QCOMPARE(engine->lineParams, std::vector<std::string>{params.toStdString()});
    QCOMPARE(engine->resetCalls, 1);
    QCOMPARE(form->Cmd_Test->text(), QStringLiteral("COM ON"));
    QVERIFY(lineButtonsEnabled(form));
    finish(form);
}

void SerialTest::dialogShowsSavedSettings_data() {
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<int>("testKind");
    QTest::addColumn<bool>("portListGrows"); // a saved value none of the lists offers
    QTest::addRow("COM ON, listed values") << 0 << "COM3"
                                           << "19200" << 0 << false;
    QTest::addRow("test pattern, a virtual device's path") << 1 << "/tmp/ttyV0"
                                                           << "115200" << 2 << true;
    QTest::addRow("COM OFF, a fast rate") << 2 << "COM1"
                                          << "3000000" << 1 << false;
    QTest::addRow("edited file: unknown rate") << 0 << "COM4"
                                               << "31250" << 1 << true;
}

void SerialTest::dialogShowsSavedSettings() {
    QFETCH(int, source);
    QFETCH(QString, port);
    QFETCH(QString, baud);
    QFETCH(int, testKind);
    QFETCH(bool, portListGrows);
    app() = AppState{};
    ini::xsubSetDefaults(QString());
    AppState& s = app();
    s.iScanSource = static_cast<int16_t>(source);
    s.strPortName = port;
    s.strBaud = baud;
    s.strParity = QStringLiteral("ﾏｰｸ");
    s.strDataBits = QStringLiteral("7 ビット");
    s.strStopBits = QStringLiteral("2 ビット");
    s.iTestKind = static_cast<int16_t>(testKind);

    frms_ScanningSelect dialog;
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Scanning Select"));
    const QStringList machine = frms_ScanningSelect::machinePorts();
    QStringList ports{"COM1", "COM2", "COM3", "COM4"};
    ports << machine;
    QStringList rates{"300",    "600",    "1200",   "2400",    "4800",    "9600",
                      "14400",  "19200",  "38400",  "56000",   "57600",   "115200",
                      "230400", "460800", "921600", "1000000", "2000000", "3000000"};
    if (portListGrows && port.startsWith(u'/')) ports << port;
    if (portListGrows && !port.startsWith(u'/')) rates << baud;
    const auto items = [](const QComboBox* c) {
        QStringList out;
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    };
    QCOMPARE(items(dialog.Combo0), ports);
    QCOMPARE(items(dialog.combo1), rates);
    QCOMPARE(items(dialog.combo2), (QStringList{"なし", "偶数", "奇数", "ﾏｰｸ", "ｽﾍﾟｰｽ"}));
    QCOMPARE(items(dialog.combo3), (QStringList{"8 ビット", "7 ビット"}));
    QCOMPARE(items(dialog.combo4), (QStringList{"1 ビット", "2 ビット"}));
    QCOMPARE(items(dialog.Combo5), QStringList{"なし"});
    // Only the port can be typed (a port on the network).
    for (const QComboBox* c :
         {dialog.Combo0, dialog.combo1, dialog.combo2, dialog.combo3, dialog.combo4, dialog.Combo5})
        QVERIFY2(c->isEditable() == (c == dialog.Combo0), qPrintable(c->objectName()));

    QCOMPARE(dialog.Combo0->currentText(), port);
    QCOMPARE(dialog.combo1->currentText(), baud);
    QCOMPARE(dialog.combo2->currentText(), QStringLiteral("ﾏｰｸ"));
    QCOMPARE(dialog.combo3->currentText(), QStringLiteral("7 ビット"));
    QCOMPARE(dialog.combo4->currentText(), QStringLiteral("2 ビット"));
    QVERIFY(dialog.opn_tp[testKind]->isChecked());
    QVERIFY(dialog.Opn_sel[source]->isChecked());
    QCOMPARE(dialog.frm_COM->isVisible(), source == 0);
    QCOMPARE(dialog.Frm_Test->isVisible(), source == 1);
    for (int i = 0; i < 4; ++i)
        QVERIFY(!machine.contains(QStringLiteral("/dev/ttyS%1").arg(i)));
    QCOMPARE(QSet<QString>(machine.begin(), machine.end()).size(), machine.size());
    app() = AppState{};
}

void SerialTest::sourceOptionsSwitchFrames_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("comFrame");
    QTest::addColumn<bool>("testFrame");
    QTest::addRow("COM ON") << "Opn_sel(0)" << true << false;
    QTest::addRow("Test Paturn") << "Opn_sel(1)" << false << true;
    QTest::addRow("COM OFF") << "Opn_sel(2)" << false << false;
}

void SerialTest::sourceOptionsSwitchFrames() {
    QFETCH(QString, option);
    QFETCH(bool, comFrame);
    QFETCH(bool, testFrame);
    app() = AppState{};
    ini::xsubSetDefaults(QString());
    for (int16_t start : {0, 1, 2}) {
        app().iScanSource = start;
        frms_ScanningSelect dialog;
        dialog.show();
        QCOMPARE(dialog.findChild<QRadioButton*>(option)->text(),
                 (QStringList{"COM ON", "Test Paturn", "COM OFF"}[option.at(8).digitValue()]));
        testsupport::clickChild(&dialog, option);
        QCOMPARE(dialog.frm_COM->isVisible(), comFrame);
        QCOMPARE(dialog.Frm_Test->isVisible(), testFrame);
    }
    app() = AppState{};
}

void SerialTest::dialogOutcomes_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("portOpen");
    QTest::addColumn<int>("closeCalls");
    QTest::addColumn<int>("testKind");
    QTest::addColumn<QString>("caption");
    QTest::addRow("test pattern closes the port") << "Opn_sel(1)"
                                                  << "Command1" << 1 << 0 << 1 << 0 << "Test";
    QTest::addRow("COM OFF closes the port") << "Opn_sel(2)"
                                             << "Command1" << 2 << 0 << 1 << 1 << "COM OFF";
    QTest::addRow("same port again is closed and reopened")
        << "Opn_sel(0)"
        << "Command1" << 0 << 1 << 1 << 1 << "COM ON";
    QTest::addRow("cancel changes nothing") << "Opn_sel(1)"
                                            << "Command2" << 0 << 1 << 0 << 1 << "COM ON";
}

void SerialTest::dialogOutcomes() {
    QFETCH(QString, option);
    QFETCH(QString, button);
    QFETCH(int, source);
    QFETCH(int, portOpen);
    QFETCH(int, closeCalls);
    QFETCH(int, testKind);
    QFETCH(QString, caption);
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    comOn(engine);
    form->xsubDispSource();
    form->xsubPortLabels();
    engine->modemStatus = 0x10;
    form->Timer_Receive_Timer();
    QVERIFY(lit(form, 1));

    int16_t liveDrawInside = -1;
    onNextModal([&](QWidget* w) {
        liveDrawInside = app().iLiveDraw;
        testsupport::clickChild(w, option);
        testsupport::clickChild(w, QStringLiteral("opn_tp(0)"));
        testsupport::clickChild(w, button);
    });
    form->Cmd_test_Click();
    QCOMPARE(liveDrawInside, int16_t(0));
    QCOMPARE(app().iLiveDraw, int16_t(1));
    QCOMPARE(app().iScanSource, int16_t(source));
    QCOMPARE(app().iPortOpen, int16_t(portOpen));
    QCOMPARE(engine->closeCalls, closeCalls);
    QCOMPARE(app().iTestKind, int16_t(testKind));
    QCOMPARE(form->Cmd_Test->text(), caption);
    QCOMPARE(lineLabelsEnabled(form), portOpen == 1);
    QCOMPARE(lineButtonsEnabled(form), portOpen == 1);
    QCOMPARE(noLampShows(form), portOpen == 0);
    QCOMPARE(form->iRedrawReq, int16_t(1));
    QCOMPARE(form->iClearReq, int16_t(1));
    if (source == 1) {
        form->Timer_Receive_Timer();
        QCOMPARE(ini::xfunRingGet(0, 0), int16_t(101)); // the sawtooth chosen in the dialog
    }
    finish(form);
}

void SerialTest::okOpensARealPort() {
    Pty pty;
    QVERIFY(!pty.path().isEmpty());
    QTemporaryDir dir;
    frms_RS_GRAPH_1* form = startWithEngine(dir.path(), tessavue::makeLinuxSerialEngine());
    app().strPortName = pty.path(); // as a saved setting would bring it
    QVERIFY(!lineLabelsEnabled(form));

    onNextModal([](QWidget* w) {
        auto* dialog = qobject_cast<frms_ScanningSelect*>(w);
        QVERIFY(dialog);
        testsupport::clickChild(w, QStringLiteral("Opn_sel(0)"));
        dialog->combo1->setCurrentIndex(dialog->combo1->findText(QStringLiteral("115200")));
        dialog->combo2->setCurrentIndex(dialog->combo2->findText(QStringLiteral("偶数")));
        dialog->combo3->setCurrentIndex(dialog->combo3->findText(QStringLiteral("7 ビット")));
        dialog->combo4->setCurrentIndex(dialog->combo4->findText(QStringLiteral("2 ビット")));
        testsupport::clickChild(w, QStringLiteral("Command1"));
    });
    form->Cmd_test_Click();
    QCOMPARE(app().iPortOpen, int16_t(1));
    QCOMPARE(app().iScanSource, int16_t(0));
    QCOMPARE(app().strBaud, QStringLiteral("115200"));
    QCOMPARE(app().strParity, QStringLiteral("偶数"));
    QCOMPARE(form->Cmd_Test->text(), QStringLiteral("COM ON"));
    QVERIFY(lineLabelsEnabled(form));
    QCOMPARE(form->lblCOM->text(), pty.path());
    QCOMPARE(form->lblBPS->text(), QStringLiteral("115200BPS"));
    QVERIFY(lineButtonsEnabled(form));

    // The chosen settings reach the device (a pty keeps only the stop bits of the framing: it
    // forces 8 data bits without parity).
    termios t{};
    QCOMPARE(tcgetattr(pty.slave(), &t), 0);
    QVERIFY(t.c_cflag & CSTOPB);

    QVERIFY(pty.send(QByteArray("\x00\x7f\x80\xff", 4)));
    QTRY_COMPARE(([form] {
                     form->Timer_Receive_Timer();
                     return app().lRcvCount;
                 })(),
                 4);
    QCOMPARE((QList<int>{ini::xfunRingGet(0, 0), ini::xfunRingGet(1, 0), ini::xfunRingGet(2, 0),
                         ini::xfunRingGet(3, 0)}),
             (QList<int>{0x00, 0x7f, 0x80, 0xff}));
    QCOMPARE(form->lbl_data_su->text(), QStringLiteral("4"));
    for (int row = 0; row < 6; ++row)
        QVERIFY(unlit(form, row)); // a pty has no modem lines
    finish(form);
}

// A stream at 115,200 baud's pace through a real pty, with the window's own timers: the reader's
// news wakes the window about once a frame, not at every read, and every byte arrives, the last
// ones too, which came too soon after a fetch to be told of.
void SerialTest::streamIsFetchedOnceAFrame() {
    Pty pty;
    QVERIFY(!pty.path().isEmpty());
    QTemporaryDir dir;
    frms_RS_GRAPH_1* form = startWithEngine(dir.path(), tessavue::makeLinuxSerialEngine());
    QCOMPARE(app().engine->OpenCommPort(pty.path().toStdString()), int16_t(-1));
    app().iScanSource = kSourceCom;
    app().iPortOpen = 1;
    QSignalSpy news(form->Reception, &ReceivePipeline::bytesWaiting);
    form->Timer_Start->start();

    constexpr int kBytesPer10Ms = 115;
    constexpr int kChunks = 150;
    QByteArray sent;
    for (int i = 0; i < kBytesPer10Ms * kChunks; ++i)
        sent.append(static_cast<char>(i * 13));
    std::thread writer([&] {
        auto next = std::chrono::steady_clock::now();
        for (int c = 0; c < kChunks; ++c) {
            if (!pty.send(sent.mid(c * kBytesPer10Ms, kBytesPer10Ms))) return;
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
        }
    });
    QElapsedTimer streaming;
    streaming.start();
    while (streaming.elapsed() < kChunks * 10)
        QTest::qWait(5);
    writer.join();
    const double perSecond = news.size() * 1000.0 / static_cast<double>(streaming.elapsed());
    QVERIFY2(perSecond >= 5 && perSecond <= 40, qPrintable(QString::number(perSecond)));
    QCOMPARE(form->Timer_Receive->interval(), kReceivePollMs);

    QTRY_COMPARE(app().lRcvCount, int32_t(sent.size()));
    const RingView ring = ini::xfunRingView();
    QByteArray kept;
    for (int64_t k = ring.total - sent.size(); k < ring.total; ++k)
        kept.append(static_cast<char>(ring.data[ring.positionOf(k)]));
    QCOMPARE(kept, sent);

    // The test pattern has no reader to tell of it: the timer is its only wake again.
    app().iScanSource = kSourceTest;
    QTRY_COMPARE(form->Timer_Receive->interval(), kReceiveWakeMs);
    finish(form);
}

void SerialTest::failedOkKeepsTheDialogOpen() {
    Pty pty;
    QTemporaryDir dir;
    frms_RS_GRAPH_1* form = startWithEngine(dir.path(), tessavue::makeLinuxSerialEngine());
    AppState& s = app();
    QCOMPARE(s.engine->OpenCommPort(pty.path().toStdString()), int16_t(-1));
    s.iPortOpen = 1;
    s.iScanSource = 1;
    s.strPortName = pty.path();
    const QString missing = QStringLiteral("/dev/tessavue-unplugged");

    bool stillOpen = false;
    bool otherEngineOpensOldPort = false;
    QStringList message;
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<frms_ScanningSelect*>(w);
        QVERIFY(dialog);
        testsupport::clickChild(w, QStringLiteral("Opn_sel(0)"));
        // An adapter unplugged after the list was filled.
        dialog->Combo0->addItem(missing);
        dialog->Combo0->setCurrentIndex(dialog->Combo0->count() - 1);
        {
            ModalWatcher watcher(dialog);
            testsupport::clickChild(w, QStringLiteral("Command1"));
            message = watcher.texts;
        }
        stillOpen = dialog->isVisible();
        QCOMPARE(s.iPortOpen, int16_t(0));
        QCOMPARE(s.iScanSource, int16_t(0));
        auto other = tessavue::makeLinuxSerialEngine();
        otherEngineOpensOldPort = other->OpenCommPort(pty.path().toStdString()) == -1;
        other->CloseCommPort();
        testsupport::clickChild(w, QStringLiteral("Command2"));
    });
    form->Cmd_test_Click();
    QVERIFY(stillOpen);
    QVERIFY(otherEngineOpensOldPort);
    QCOMPARE(s.strPortName, pty.path());
    QCOMPARE(s.iScanSource, int16_t(0));
    QCOMPARE(s.iPortOpen, int16_t(0));
    QCOMPARE(form->Cmd_Test->text(), QStringLiteral("COM ON"));
    QVERIFY(!lineLabelsEnabled(form));
    QVERIFY(noLampShows(form));
    QVERIFY(!form->Cmd_DTR[0]->isEnabled());

    QVERIFY(pty.send("abc"));
    QTest::qWait(50);
    form->Timer_Receive_Timer();
    QCOMPARE(s.lRcvCount, 0);
    QVERIFY(noLampShows(form));

    QVERIFY2(
        message.contains(missing +
                         QStringLiteral(" ポートがオープンできません (デバイスがみつかりません｡)")),
        qPrintable(message.join(u'|')));
    finish(form);
}

void SerialTest::openFailureSaysWhy() {
    Pty pty;
    QTemporaryDir dir;
    frms_RS_GRAPH_1* form = startWithEngine(dir.path(), tessavue::makeLinuxSerialEngine());
    const std::string path = pty.path().toStdString();

    // Held by another program.
    auto holder = tessavue::makeLinuxSerialEngine();
    QCOMPARE(holder->OpenCommPort(path), int16_t(-1));
    QStringList message;
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<frms_ScanningSelect*>(w);
        QVERIFY(dialog);
        testsupport::clickChild(w, QStringLiteral("Opn_sel(0)"));
        dialog->Combo0->addItem(pty.path());
        dialog->Combo0->setCurrentIndex(dialog->Combo0->count() - 1);
        {
            ModalWatcher watcher(dialog);
            testsupport::clickChild(w, QStringLiteral("Command1"));
            message = watcher.texts;
        }
        testsupport::clickChild(w, QStringLiteral("Command2"));
    });
    form->Cmd_test_Click();
    QVERIFY2(message.contains(
                 pty.path() +
                 QStringLiteral(" ポートがオープンできません (他のプログラムが使用中です｡)")),
             qPrintable(message.join(u'|')));
    holder->CloseCommPort();
    finish(form);

    // A user outside the device's group, for real: a child drops to "nobody".
    if (geteuid() != 0) QSKIP("dropping privileges needs root");
    QCOMPARE(chown(path.c_str(), 0, 20), 0); // root:dialout, as serial adapters come
    QCOMPARE(chmod(path.c_str(), 0660), 0);
    int reply[2];
    QCOMPARE(pipe(reply), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(1);
        const int16_t result = tessavue::makeLinuxSerialEngine()->OpenCommPort(path);
        const QByteArray text = xfunPortOpenReason(pty.path(), result).toUtf8();
        _exit(write(reply[1], text.constData(), text.size()) == text.size() ? 0 : 1);
    }
    close(reply[1]);
    QByteArray reason(512, '\0');
    reason.truncate(std::max<ssize_t>(read(reply[0], reason.data(), reason.size()), 0));
    close(reply[0]);
    int status = -1;
    waitpid(child, &status, 0);
    QCOMPARE(status, 0);
    QCOMPARE(
        QString::fromUtf8(reason),
        QStringLiteral(" (アクセス権がありません｡ dialout グループに入っている必要があります｡)"));
}

void SerialTest::persistentNamesAreOfferedAndShown() {
    Pty pty;
    QTemporaryDir byId;
    const QString name = byId.filePath(QStringLiteral("usb-Tessavue_Test_Adapter-if00-port0"));
    QVERIFY(QFile::link(pty.path(), name));
    QVERIFY(QFile::link(QStringLiteral("/dev/tessavue-gone"),
                        byId.filePath(QStringLiteral("usb-Gone"))));
    const QStringList ports = frms_ScanningSelect::machinePorts(byId.path());
    QVERIFY2(ports.endsWith(name), qPrintable(ports.join(u'|')));
    QVERIFY(!ports.contains(byId.filePath(QStringLiteral("usb-Gone"))));

    QTemporaryDir dir;
    frms_RS_GRAPH_1* form = startWithEngine(dir.path(), tessavue::makeLinuxSerialEngine());
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<frms_ScanningSelect*>(w);
        QVERIFY(dialog);
        testsupport::clickChild(w, QStringLiteral("Opn_sel(0)"));
        dialog->Combo0->addItem(name);
        dialog->Combo0->setCurrentIndex(dialog->Combo0->count() - 1);
        testsupport::clickChild(w, QStringLiteral("Command1"));
    });
    form->Cmd_test_Click();
    QCOMPARE(app().iPortOpen, int16_t(1));
    QCOMPARE(app().strPortName, name);
    QCOMPARE(form->lblCOM->text(), name);
    finish(form);
}

void SerialTest::lostPortIsToldOnceAndReopenedByItself() {
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    comOn(engine);
    app().strPortName = QStringLiteral("COM3");
    QCOMPARE(engine->LogStart("/tmp/unused.log", 0, 1048576), -1);
    app().iLogOn = 1;
    engine->push({1, 2, 3});
    engine->deviceGone = true;
    {
        ModalWatcher watcher(nullptr, [&] {
            for (int i = 0; i < 3; ++i)
                form->Timer_Receive_Timer();
        });
        tickAndShow(form);
        QCOMPARE(watcher.shown, 1);
        QVERIFY2(watcher.texts.contains(QStringLiteral("COM3 ポートが切断されました｡")),
                 qPrintable(watcher.texts.join(u'|')));
        tickAndShow(form);
        QCOMPARE(watcher.shown, 1);
    }
    // Everything up to the loss is kept, the log stays open, the panel says the port is gone.
    QCOMPARE(app().lRcvCount, 3);
    QCOMPARE(engine->logged, (std::vector<uint8_t>{1, 2, 3}));
    QCOMPARE(app().iLogOn, int16_t(1));
    QCOMPARE(app().iPortOpen, int16_t(0));
    QCOMPARE(form->lblCOM->text(), QStringLiteral("切断: COM3"));
    QVERIFY(noLampShows(form));
    QVERIFY(!form->Cmd_DTR[0]->isEnabled());
    QVERIFY(form->Timer_Reconnect->isActive());
    QCOMPARE(form->Timer_Reconnect->interval(), 1000);

    form->Timer_Reconnect_Timer(); // not back yet
    QCOMPARE(engine->reopenCalls, 1);
    QCOMPARE(app().iPortOpen, int16_t(0));
    engine->deviceGone = false;
    form->Timer_Reconnect_Timer();
    QCOMPARE(engine->reopenCalls, 2);
    QVERIFY(!form->Timer_Reconnect->isActive());
    QCOMPARE(app().iPortOpen, int16_t(1));
    QCOMPARE(form->lblCOM->text(), QStringLiteral("COM3"));
    QVERIFY(lineLabelsEnabled(form));
    QVERIFY(lineButtonsEnabled(form));
    engine->push({4, 5});
    form->Timer_Receive_Timer();
    QCOMPARE(app().lRcvCount, 5);
    QCOMPARE(engine->logged, (std::vector<uint8_t>{1, 2, 3, 4, 5}));

    // Lost again; choosing "COM OFF" ends the retrying.
    engine->deviceGone = true;
    {
        ModalWatcher watcher;
        tickAndShow(form);
        QCOMPARE(watcher.shown, 1);
    }
    onNextModal([](QWidget* w) {
        testsupport::clickChild(w, QStringLiteral("Opn_sel(2)"));
        testsupport::clickChild(w, QStringLiteral("Command1"));
    });
    form->Cmd_test_Click();
    QCOMPARE(form->lblCOM->text(), QStringLiteral("COM3"));
    engine->deviceGone = false;
    form->Timer_Reconnect_Timer();
    QCOMPARE(engine->reopenCalls, 2);
    QVERIFY(!form->Timer_Reconnect->isActive());
    QCOMPARE(app().iPortOpen, int16_t(0));
    finish(form);
}

void SerialTest::networkPortThroughSer2net() {
    Pty pty;
    Ser2net server(pty.path(), Ser2net::Mode::Rfc2217);
    const QString name = server.portName();
    QTemporaryDir dir;
    frms_RS_GRAPH_1* form = startWithEngine(dir.path(), ini::xfunMakeSerialEngine());
    AppState& s = app();
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<frms_ScanningSelect*>(w);
        QVERIFY(dialog);
        testsupport::clickChild(w, QStringLiteral("Opn_sel(0)"));
        dialog->Combo0->setEditText(name);
        QVERIFY(dialog->combo1->isEnabled());
        QVERIFY(!dialog->lbl_LineNote->isVisible());
        dialog->combo1->setCurrentIndex(dialog->combo1->findText(QStringLiteral("38400")));
        testsupport::clickChild(w, QStringLiteral("Command1"));
    });
    form->Cmd_test_Click();
    QCOMPARE(s.iPortOpen, int16_t(1));
    QCOMPARE(s.strPortName, name);
    // Shortened in the middle where it does not fit: the server's port stays in sight.
    const QString serverPort = name.section(u':', -1);
    QVERIFY2(form->lblCOM->text().endsWith(serverPort), qPrintable(form->lblCOM->text()));
    QCOMPARE(form->lblCOM->toolTip(), name);
    QVERIFY(lineLabelsEnabled(form));
    QVERIFY(lineButtonsEnabled(form));
    termios t{};
    QTRY_VERIFY(tcgetattr(pty.slave(), &t) == 0 && cfgetospeed(&t) == B38400);
    appSub::xsubSettingsWrite();
    QFile settings(dir.filePath(QStringLiteral("Tessavue.OVR")));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QVERIFY(settings.readAll().contains(name.toLatin1()));

    const QString logPath = dir.filePath(QStringLiteral("net.log"));
    QCOMPARE(s.engine->LogStart(logPath.toStdString(), 0, 0), -1);
    s.iLogOn = 1;
    const auto receivedCount = [&] {
        form->Timer_Receive_Timer();
        return s.lRcvCount;
    };
    QVERIFY(pty.send(QByteArray("\xff\x00\xff", 3)));
    QTRY_COMPARE(receivedCount(), 3);

    // The server stops: one box, the panel says so, and the port comes back by itself once the
    // server is up again.
    server.stop();
    {
        ModalWatcher watcher;
        QTRY_VERIFY(receivedCount() >= 0 && s.iPortLost == 1);
        for (int i = 0; i < 20; ++i)
            tickAndShow(form);
        QCOMPARE(watcher.shown, 1);
        QVERIFY2(watcher.texts.contains(xfunPortLostText(name)),
                 qPrintable(watcher.texts.join(u'|')));
    }
    QVERIFY(form->lblCOM->text().startsWith(QStringLiteral("切断: ")));
    QVERIFY(form->lblCOM->text().endsWith(serverPort));
    QVERIFY(form->Timer_Reconnect->isActive());
    QVERIFY(server.start());
    QTRY_COMPARE(s.iPortOpen, int16_t(1));
    QVERIFY(!form->lblCOM->text().startsWith(QStringLiteral("切断: ")));
    QVERIFY(pty.send("abc"));
    QTRY_COMPARE(receivedCount(), 6);
    QCOMPARE(s.iLogOn, int16_t(1));
    s.engine->LogStop();
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), QByteArray("\xff\x00\xff"
                                       "abc",
                                       6));
    finish(form);
}

void SerialTest::bytesOnlyPortGreysLineControl() {
    Pty pty;
    Ser2net server(pty.path(), Ser2net::Mode::Raw);
    QTemporaryDir dir;
    frms_RS_GRAPH_1* form = startWithEngine(dir.path(), ini::xfunMakeSerialEngine());
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<frms_ScanningSelect*>(w);
        QVERIFY(dialog);
        testsupport::clickChild(w, QStringLiteral("Opn_sel(0)"));
        const auto lineSettingsEnabled = [dialog] {
            return dialog->combo1->isEnabled() && dialog->combo2->isEnabled() &&
                   dialog->combo3->isEnabled() && dialog->combo4->isEnabled() &&
                   dialog->Combo5->isEnabled();
        };
        QVERIFY(lineSettingsEnabled());
        for (const QString& port : {server.portName(), QStringLiteral("COM1"), server.portName()}) {
            dialog->Combo0->setEditText(port);
            const bool bytesOnly = port.startsWith(QStringLiteral("tcp://"));
            QCOMPARE(lineSettingsEnabled(), !bytesOnly);
            QCOMPARE(dialog->lbl_LineNote->isVisible(), bytesOnly);
        }
        QVERIFY(dialog->lbl_LineNote->text().contains(QStringLiteral("tcp://")));
        testsupport::clickChild(w, QStringLiteral("Command1"));
    });
    form->Cmd_test_Click();
    QCOMPARE(app().iPortOpen, int16_t(1));
    QVERIFY(form->lblCOM->isEnabled());
    QVERIFY(!form->lblBPS->isEnabled());
    QVERIFY(!form->lblFlow->isEnabled());
    QVERIFY(!form->Cmd_DTR[0]->isEnabled());
    QVERIFY(!form->Cmd_RTS[1]->isEnabled());
    QVERIFY(!form->Cmd_DTR[0]->toolTip().isEmpty());

    QVERIFY(pty.send(QByteArray("\xff\xff\x00", 3)));
    QTRY_COMPARE(([form] {
                     form->Timer_Receive_Timer();
                     return app().lRcvCount;
                 })(),
                 3);
    QCOMPARE((QList<int>{ini::xfunRingGet(0, 0), ini::xfunRingGet(1, 0), ini::xfunRingGet(2, 0)}),
             (QList<int>{0xff, 0xff, 0x00}));
    for (int row = 0; row < 6; ++row)
        QVERIFY(unlit(form, row));
    finish(form);
}

void SerialTest::connectingKeepsTheWindowAnswering() {
    Listener listener(0);
    listener.fill(); // connections to it time out
    const QString name = QStringLiteral("rfc2217://127.0.0.1:%1").arg(listener.port());
    QTemporaryDir dir;
    frms_RS_GRAPH_1* form = startWithEngine(dir.path(), ini::xfunMakeSerialEngine());
    // The window's drawing runs on its timers: a timer of the test's own stands for them.
    int ticks = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [&ticks] { ++ticks; });
    clock.start(20);

    int ticksWhileConnecting = 0;
    QStringList message;
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<frms_ScanningSelect*>(w);
        QVERIFY(dialog);
        testsupport::clickChild(w, QStringLiteral("Opn_sel(0)"));
        dialog->Combo0->setEditText(name);
        const int before = ticks;
        {
            ModalWatcher watcher(dialog);
            testsupport::clickChild(w, QStringLiteral("Command1"));
            message = watcher.texts;
        }
        ticksWhileConnecting = ticks - before;
        testsupport::clickChild(w, QStringLiteral("Command2"));
    });
    form->Cmd_test_Click();
    QVERIFY2(ticksWhileConnecting > 20, qPrintable(QString::number(ticksWhileConnecting)));
    QVERIFY2(
        message.contains(
            name + QStringLiteral(" ポートがオープンできません (接続がタイムアウトしました｡)")),
        qPrintable(message.join(u'|')));
    QCOMPARE(app().iPortOpen, int16_t(0));
    finish(form);
}

void SerialTest::receptionGoesOnUnderANotice() {
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    comOn(engine);
    app().strPortName = QStringLiteral("COM3");
    const auto textOf = [](QWidget* box) {
        QStringList texts;
        for (const QLabel* l : box->findChildren<QLabel*>())
            texts << l->text();
        return texts.join(u'|');
    };
    QStringList shown;
    int32_t countUnderBox = 0;
    qsizetype waitingUnderBox = 0;
    onNextModal([&](QWidget* box) {
        shown << textOf(box);
        // Back again while the box is up: reception goes on by itself.
        engine->deviceGone = false;
        form->Timer_Reconnect_Timer();
        engine->push({1, 2, 3});
        QVERIFY(QTest::qWaitFor([&] { return app().lRcvCount == 3; }));
        countUnderBox = app().lRcvCount;
        // Lost again: told in turn, once this box is answered.
        engine->deviceGone = true;
        QVERIFY(QTest::qWaitFor([&] { return !form->Notices->waiting().isEmpty(); }));
        waitingUnderBox = form->Notices->waiting().size();
        onNextModal([&](QWidget* second) {
            shown << textOf(second);
            testsupport::clickChild(second, QStringLiteral("Command(1)"));
        });
        testsupport::clickChild(box, QStringLiteral("Command(1)"));
    });
    engine->deviceGone = true;
    form->Timer_Start_Timer();
    QTRY_COMPARE(shown.size(), 2);
    QCOMPARE(countUnderBox, 3);
    QCOMPARE(waitingUnderBox, 1);
    for (const QString& text : shown)
        QVERIFY2(text.contains(QStringLiteral("COM3 ポートが切断されました｡")), qPrintable(text));
    QCOMPARE(engine->reopenCalls, 1);
    QVERIFY(form->Timer_Reconnect->isActive()); // the second loss is being retried
    finish(form);
}

void SerialTest::droppedBytesAreToldOncePerBurst() {
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    comOn(engine);
    // The texts of the boxes that come up during n ticks.
    const auto boxesDuring = [&](int n) {
        ModalWatcher watcher;
        for (int i = 0; i < n; ++i)
            tickAndShow(form);
        return watcher.shown == 0 ? QStringList() : watcher.texts.filter(QStringLiteral("｡"));
    };
    engine->dropped = 1000;
    QCOMPARE(boxesDuring(1), QStringList());
    engine->dropped = 5000; // still dropping: nothing yet
    QCOMPARE(boxesDuring(1), QStringList());
    QCOMPARE(boxesDuring(5), QStringList{QStringLiteral("受信データが 5,000 バイト失われました｡")});
    engine->dropped = 5100;
    QCOMPARE(boxesDuring(5), QStringList{QStringLiteral("受信データが 100 バイト失われました｡")});
    engine->dropped = 7; // counting afresh, as after ResetStatus
    QCOMPARE(boxesDuring(5), QStringList{QStringLiteral("受信データが 7 バイト失われました｡")});
    QCOMPARE(app().lRcvCount, 0);
    finish(form);
}

void SerialTest::displayModes_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("memCount");
    QTest::addColumn<QString>("countCaption");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("dispFile");
    QTest::addColumn<QList<int32_t>>("colours"); // Scanning, View, From File
    QTest::addColumn<QList<bool>>("enabled");    // Print, Clear, Test, To File, free-cursor labels
    QTest::addColumn<int>("pointer");
    QTest::addColumn<QString>("countText");
    QTest::addColumn<bool>("redrawPosted");
    const int32_t face = kButtonFace;
    QTest::addRow("Scanning") << 2 << 5 << "Sampling Count"
                              << "Tessavue Scanning"
                              << "" << QList<int32_t>{kCyan, face, face}
                              << QList<bool>{false, true, true, false, false}
                              << int(Qt::ArrowCursor) << "1,234,567" << true;
    QTest::addRow("Memory with data")
        << 1 << 5 << "Memory Count"
        << "Tessavue Memory Readings"
        << "" << QList<int32_t>{face, kCyan, face} << QList<bool>{true, false, false, true, true}
        << int(Qt::CrossCursor) << "unchanged" << false;
    QTest::addRow("Memory, empty copy")
        << 1 << 0 << "Memory Count"
        << "Tessavue Memory Readings"
        << "" << QList<int32_t>{face, kCyan, face} << QList<bool>{true, false, false, false, true}
        << int(Qt::CrossCursor) << "unchanged" << false;
    QTest::addRow("File") << 0 << 5 << "File Count"
                          << "Tessavue File /data/LOG240101120000.log"
                          << "/data/LOG240101120000.log" << QList<int32_t>{face, face, kCyan}
                          << QList<bool>{true, false, false, false, true} << int(Qt::CrossCursor)
                          << "unchanged" << false;
}

void SerialTest::displayModes() {
    QFETCH(int, mode);
    QFETCH(int, memCount);
    QFETCH(QString, countCaption);
    QFETCH(QString, title);
    QFETCH(QString, dispFile);
    QFETCH(QList<int32_t>, colours);
    QFETCH(QList<bool>, enabled);
    QFETCH(int, pointer);
    QFETCH(QString, countText);
    QFETCH(bool, redrawPosted);
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    AppState& s = app();
    form->Timer_Receive_Timer();
    s.lRcvCount = 1234567;
    s.lMemCount = memCount;
    s.strDispFile = QStringLiteral("/data/LOG240101120000.log");
    form->lbl_data_su->setText(QStringLiteral("unchanged"));
    form->Cmd_Test->setEnabled(false); // as a file dialog would leave it
    for (QPushButton* b : {form->Cmd_Print, form->Cmd_Clear, form->Cmd_memTOFile})
        b->setEnabled(mode == 2);
    s.iDispMode = static_cast<int16_t>(mode);

    if (mode == 2)
        form->xsubDispScanning();
    else if (mode == 1)
        form->xsubDispMemory();
    else
        form->xsubDispFile();

    QCOMPARE(form->lbl_Count_Const->text(), countCaption);
    QCOMPARE(form->windowTitle(), title);
    QCOMPARE(s.strDispFile, dispFile);
    QCOMPARE((QList<int32_t>{backColor(form->Cmd_Scanning), backColor(form->Cmd_Memory),
                             backColor(form->Cmd_File)}),
             colours);
    QCOMPARE((QList<bool>{form->Cmd_Print->isEnabled(), form->Cmd_Clear->isEnabled(),
                          form->Cmd_Test->isEnabled(), form->Cmd_memTOFile->isEnabled(),
                          form->lbl_XPosition->isEnabled()}),
             enabled);
    QCOMPARE(form->lbl_Value->isEnabled(), enabled[4]);
    QCOMPARE(form->lbl_Value_hex->isEnabled(), enabled[4]);
    QCOMPARE((QStringList{form->lbl_XPosition->text(), form->lbl_Value->text(),
                          form->lbl_Value_hex->text()}),
             (QStringList{"-----", "-----", "---"}));
    QCOMPARE(int(form->pic_graph->cursor().shape()), pointer);
    QCOMPARE(form->lbl_data_su->text(), countText);
    QCOMPARE(form->iRedrawReq == 1 && form->iClearReq == 1, redrawPosted);
    finish(form);
}

void SerialTest::scanningClosesTheDataFile() {
    QTemporaryDir dir;
    auto [form, engine] = startWithFakeEngine(dir.path());
    AppState& s = app();
    QFile data(dir.filePath(QStringLiteral("MEM240101120000.log")));
    QVERIFY(data.open(QIODevice::WriteOnly));
    data.write("abc");
    data.close();
    const int fd = ::open(QFile::encodeName(data.fileName()).constData(), O_RDONLY);
    QVERIFY(fd >= 0);
    s.iFileNo = fd;
    s.iDispMode = 0;
    s.strDispFile = data.fileName();
    form->xsubDispFile();
    form->HScroll1->setVisible(true);
    form->HScroll2->setVisible(true);
    QVERIFY(form->windowTitle().endsWith(data.fileName()));

    testsupport::clickChild(form, QStringLiteral("Cmd_Scanning"));
    QCOMPARE(s.iDispMode, int16_t(2));
    QVERIFY(!form->HScroll1->isVisible());
    QVERIFY(!form->HScroll2->isVisible());
    QCOMPARE(s.strDispFile, QString());
    QCOMPARE(form->windowTitle(), QStringLiteral("Tessavue Scanning"));
    QCOMPARE(backColor(form->Cmd_Scanning), kCyan);
    QCOMPARE(s.iFileNo, -1);
    QCOMPARE(fcntl(fd, F_GETFD), -1); // really closed, not just forgotten
    finish(form);
}

QTEST_MAIN(SerialTest)
#include "test_serial.moc"
