#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <sys/mount.h>
#include <sys/stat.h>
#include <tuple>

#include "TestSupport.h"
#include "app/CommandLine.h"
#include "app/Main.h"
#include "app/Settings.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "storage/FileErrors.h"
#include "toolkit/CountText.h"
#include "toolkit/Twips.h"

using testsupport::finish;
using testsupport::startWithFakeEngine;

namespace {

void writeSettings(const QString& dir, const QString& text) {
    QFile f(appSub::settingsPath(dir));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(appSub::toCp932(text));
}

QString firstRunFile(const QString& dir) {
    return QStringLiteral(
               "2,COM1,9600,なし,8 ビット,1 ビット,なし\r\n200\r\n1\r\n0,0,0,0\r\n0,0,0,0\r\n") +
           dir + QStringLiteral(",1\r\n255\r\n,,1,,0\r\n0\r\n");
}

AppState freshState(const QString& dir) {
    AppState s;
    s.strHomeDir = dir;
    return s;
}

} // namespace

class AppTest : public QObject {
    Q_OBJECT
private slots:
    void ringWindowReads_data();
    void ringWindowReads();
    void ringCountSaturatesAndClearEmptiesTheWindow();
    void ringAddsAFetchAsByteByByte_data();
    void ringAddsAFetchAsByteByByte();

    void firstStartWritesTheDocumentedSettingsFile();
    void settingsReadingStopsAtTheFirstBadField_data();
    void settingsReadingStopsAtTheFirstBadField();
    void damagedValuesAreBroughtIntoRange_data();
    void damagedValuesAreBroughtIntoRange();
    void textsWithCommasSurviveASaveAndALoad();
    void todaysFilesKeepTheirBytes_data();
    void todaysFilesKeepTheirBytes();
    void textsCodePage932LacksSurviveARestart();
    void writingReplacesTheFileWhole();
    void settingsThatAreNoFileReadAsNone_data();
    void settingsThatAreNoFileReadAsNone();
    void fullDiskKeepsTheOldSettings();
    void filesLiveBesideAWritableCopyElsePerUser();
    void commandLine_data();
    void commandLine();
    void portFromTheCommandLineIsForThisRunOnly();

    void firstStartShowsClosedPortDefaults();
    void portThatCannotOpenGivesOneNoticeAndGoesOn();
    void savedPortIsOpenedWithItsLineParameters();
    void answeringNoToTheExitQuestionChangesNothing();
    void closingStopsTheLogAndThePortAndSaves();
    void secondInstanceIsRefused();
    void clockTextHasDayMonthYearHoursMinutes();
    void everyTextOnTheMainWindowFits();
};

void AppTest::ringWindowReads_data() {
    QTest::addColumn<int>("appends");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("expectedRingPos");
    // The value stored at ring position p is (p % 251), so the position read can be told.
    QTest::addRow("fewer samples than a screen: oldest first") << 5 << 0 << 0;
    QTest::addRow("fewer samples than a screen: newest") << 5 << 4 << 4;
    QTest::addRow("wrap after 327,681 appends: newest is ring position 0") << 327681 << 199 << 0;
    QTest::addRow("write position 3 after a wrap: oldest of the window") << 327683 << 0 << 327483;
    QTest::addRow("write position 3 after a wrap: newest of the window") << 327683 << 199 << 2;
}

void AppTest::ringWindowReads() {
    QFETCH(int, appends);
    QFETCH(int, position);
    QFETCH(int, expectedRingPos);
    app() = AppState{};
    for (int i = 0; i < appends; ++i) {
        const int pos = app().ChData[0].lWritePos;
        ini::xsubRingAdd(0, static_cast<int16_t>(pos % 251));
    }
    QCOMPARE(ini::xfunRingGet(position, 0), static_cast<int16_t>(expectedRingPos % 251));
    app() = AppState{};
}

void AppTest::ringCountSaturatesAndClearEmptiesTheWindow() {
    app() = AppState{};
    for (int i = 0; i < 327680; ++i)
        ini::xsubRingAdd(0, 1);
    QCOMPARE(app().ChData[0].lWritePos, 0);
    ini::xsubRingAdd(0, 7);
    ini::xsubRingAdd(0, 8);
    QCOMPARE(app().ChData[0].lCount, 327681);
    QCOMPARE(app().bRingBuf[0], uint8_t(7));
    ini::xsubRingClear();
    QCOMPARE(app().ChData[0].lCount, 0);
    QCOMPARE(app().ChData[0].lWritePos, 0);
    ini::xsubRingAdd(0, 9);
    QCOMPARE(ini::xfunRingGet(0, 0), int16_t(9));
#ifdef NDEBUG
    // A channel outside the table is refused, never written.
    ini::xsubRingAdd(9, 5);
    ini::xsubRingAdd(-1, 5);
    QCOMPARE(app().ChData[0].lCount, 1);
    QCOMPARE(ini::xfunRingGet(0, 9), int16_t(0));
#endif
    app() = AppState{};
}

void AppTest::ringAddsAFetchAsByteByByte_data() {
    QTest::addColumn<int>("before"); // bytes already in the ring
    QTest::addColumn<int>("count");
    QTest::addRow("inside the ring") << 10 << 1000;
    QTest::addRow("a full fetch across the end") << 327000 << 32768;
    QTest::addRow("ending on the end") << 327000 << 680;
    QTest::addRow("more than the ring holds") << 5 << 400000;
}

void AppTest::ringAddsAFetchAsByteByByte() {
    QFETCH(int, before);
    QFETCH(int, count);
    std::vector<uint8_t> fetch(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        fetch[i] = static_cast<uint8_t>(i * 7 + i / 251);
    const auto fill = [&](bool atOnce) {
        app() = AppState{};
        for (int i = 0; i < before; ++i)
            ini::xsubRingAdd(0, static_cast<int16_t>(i % 13));
        if (atOnce) {
            ini::xsubRingAddBytes(0, fetch.data(), count);
        } else {
            for (uint8_t b : fetch)
                ini::xsubRingAdd(0, b);
        }
        return std::tuple(app().bRingBuf, app().ChData[0].lWritePos, app().ChData[0].lCount,
                          app().lRingTotal);
    };
    const auto oneByOne = fill(false);
    QVERIFY(fill(true) == oneByOne);
    app() = AppState{};
}

void AppTest::firstStartWritesTheDocumentedSettingsFile() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    started.form->Form_Unload();
    QFile f(appSub::settingsPath(dir.path()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), appSub::toCp932(firstRunFile(dir.path())));
    finish(started.form);
}

void AppTest::settingsReadingStopsAtTheFirstBadField_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("xdim");
    QTest::addColumn<int>("logMax");
    QTest::addColumn<QString>("port");
    QTest::addRow("file ends after line 1")
        << QStringLiteral("0,COM3,19200,偶数,7 ビット,2 ビット,なし\r\n") << 200 << 1 << "COM3";
    QTest::addRow("letters in the X dimension")
        << QStringLiteral("1,COM2,4800,奇数,8 ビット,1 ビット,なし\r\nabc\r\n0\r\n1,2,1,1\r\n")
        << 200 << 1 << "COM2";
    QTest::addRow("X dimension too large for a 16-bit field")
        << QStringLiteral("1,COM2,4800,奇数,8 ビット,1 ビット,なし\r\n40000\r\n0\r\n") << 200 << 1
        << "COM2";
    QTest::addRow("a quote left open ends with its line")
        << QStringLiteral(
               "1,COM4,300,ｽﾍﾟｰｽ,7 ビット,2 ビット,\"なし\r\n123\r\n0\r\n0,0,0,0\r\n0,0,0,"
               "0\r\n/d,7\r\n255\r\n,,1,,0\r\n1\r\n")
        << 123 << 7 << "COM4";
    QTest::addRow("complete file")
        << QStringLiteral(
               "1,COM4,300,ｽﾍﾟｰｽ,7 ビット,2 "
               "ビット,なし\r\n123\r\n0\r\n0,0,0,0\r\n0,0,0,0\r\n/d,7\r\n255\r\n,,1,,0\r\n1\r\n")
        << 123 << 7 << "COM4";
}

void AppTest::settingsReadingStopsAtTheFirstBadField() {
    QFETCH(QString, text);
    QFETCH(int, xdim);
    QFETCH(int, logMax);
    QFETCH(QString, port);
    QTemporaryDir dir;
    app() = AppState{};
    ini::xsubSetDefaults(dir.path());
    writeSettings(dir.path(), text);
    appSub::xsubSettingsRead();
    QCOMPARE(app().strPortName, port);
    QCOMPARE(int(app().ChData[0].iXDim), xdim);
    QCOMPARE(int(app().lLogMaxMB), logMax);
    QCOMPARE(int(app().ChData[0].iSigned), xdim == 123 ? 0 : 1);
    app() = AppState{};
}

void AppTest::damagedValuesAreBroughtIntoRange_data() {
    QTest::addColumn<QString>("lines2to6");
    QTest::addColumn<int>("xdim");
    QTest::addColumn<int>("isigned");
    QTest::addColumn<int>("curX0");
    QTest::addColumn<int>("curY1");
    QTest::addColumn<int>("xOn0");
    QTest::addColumn<int>("logMax");
    QTest::addRow("X dimension 0 and log size 0")
        << "0\r\n1\r\n0,0,0,0\r\n0,0,0,0\r\n,0" << 10 << 1 << 0 << 0 << 0 << 1;
    // A sign flag or check state is on only for 1; 2, 4 or 7 read as off.
    QTest::addRow("X dimension 5000, sign flag 7, log size 99")
        << "5000\r\n7\r\n0,0,0,0\r\n0,0,0,0\r\n,99" << 800 << 0 << 0 << 0 << 0 << 10;
    QTest::addRow("negative sign flag, cursors out of reach, check state 4")
        << "200\r\n-3\r\n-5,900,4,0\r\n0,-999,0,0\r\n,3" << 200 << 0 << 0 << -128 << 0 << 3;
    QTest::addRow("sign flag and check state 2")
        << "200\r\n2\r\n10,20,2,1\r\n0,0,0,0\r\n,3" << 200 << 0 << 10 << 0 << 0 << 3;
    QTest::addRow("sign flag and check state 1")
        << "200\r\n1\r\n10,20,1,0\r\n0,0,0,0\r\n,3" << 200 << 1 << 10 << 0 << 1 << 3;
    QTest::addRow("Y cursor above 255")
        << "200\r\n0\r\n10,20,1,0\r\n0,300,0,0\r\n,3" << 200 << 0 << 10 << 255 << 1 << 3;
}

void AppTest::damagedValuesAreBroughtIntoRange() {
    QFETCH(QString, lines2to6);
    QFETCH(int, xdim);
    QFETCH(int, isigned);
    QFETCH(int, curX0);
    QFETCH(int, curY1);
    QFETCH(int, xOn0);
    QFETCH(int, logMax);
    QTemporaryDir dir;
    app() = AppState{};
    ini::xsubSetDefaults(dir.path());
    writeSettings(dir.path(), QStringLiteral("2,COM1,9600,なし,8 ビット,1 ビット,なし\r\n") +
                                  lines2to6 + QStringLiteral("\r\n255\r\n,,1,,0\r\n0\r\n"));
    appSub::xsubSettingsRead();
    const AppState& s = app();
    QCOMPARE(int(s.ChData[0].iXDim), xdim);
    QCOMPARE(int(s.ChData[0].iSigned), isigned);
    QCOMPARE(int(s.ChData[0].iYMax), isigned ? 130 : 255);
    QCOMPARE(int(s.iCurXPos[0]), curX0);
    QCOMPARE(int(s.iCurYPos[1]), curY1);
    QCOMPARE(int(s.iCurXOn[0]), xOn0);
    QCOMPARE(int(s.lLogMaxMB), logMax);
    // The rest of the file still counts, and an empty folder means the program's own.
    QCOMPARE(s.lPenColor, 255);
    QCOMPARE(s.strDataDir, dir.path());
    app() = AppState{};
}

void AppTest::textsWithCommasSurviveASaveAndALoad() {
    QTemporaryDir dir;
    AppState s = freshState(dir.path());
    ini::xsubSetDefaults(dir.path());
    s = std::move(app());
    s.strPrintAuthor = QStringLiteral("A,B");
    s.strPrintTitle = QStringLiteral("say \"hi\", twice");
    s.strDataDir = QStringLiteral("/data, old");
    s.ChData[0].lColor = 0x123456;
    const QByteArray bytes = appSub::settingsBytes(s);
    AppState back = freshState(dir.path());
    appSub::applySettings(bytes, back);
    QCOMPARE(back.strPrintAuthor, s.strPrintAuthor);
    QCOMPARE(back.strPrintTitle, s.strPrintTitle);
    QCOMPARE(back.strDataDir, s.strDataDir);
    QCOMPARE(back.lPenColor, 0x123456);
    QCOMPARE(int(back.iMemSaveMode), 0);
    // Texts without commas are written as they are, as older files have them.
    QVERIFY(bytes.contains(appSub::toCp932(QStringLiteral("\r\n\"/data, old\",1\r\n"))));
    QVERIFY(bytes.startsWith(appSub::toCp932(QStringLiteral("2,COM1,9600,なし,"))));
    app() = AppState{};
}

void AppTest::todaysFilesKeepTheirBytes_data() {
    QTest::addColumn<QString>("text");
    QTest::addRow("first start") << firstRunFile(QStringLiteral("/home/user/tessavue"));
    QTest::addRow("every field set, quotes and Japanese texts")
        << QStringLiteral("0,/dev/ttyUSB0,115200,偶数,7 ビット,2 ビット,ソフト\r\n640\r\n0\r\n"
                          "12,340,1,0\r\n-20,200,0,1\r\n\"/data, 計測～\",10\r\n16711935\r\n"
                          "PDF,\"波形 \"\"A\"\"\",0,山田 太郎,1\r\n1\r\n");
}

void AppTest::todaysFilesKeepTheirBytes() {
    QFETCH(QString, text);
    const QByteArray bytes = appSub::toCp932(text);
    AppState s = freshState(QStringLiteral("/home/user/tessavue"));
    appSub::applySettings(bytes, s);
    QCOMPARE(appSub::settingsBytes(s), bytes);
}

void AppTest::textsCodePage932LacksSurviveARestart() {
    QTemporaryDir dir;
    app() = AppState{};
    ini::xsubSetDefaults(dir.path());
    const QStringList texts = {
        QStringLiteral("/dev/serial/by-id/usb-Café_0001"), // port
        QStringLiteral("/srv/données/über"),               // data folder
        QStringLiteral("line\nbreak, \\n and \\ kept"),    // printer, read back unchanged
        QStringLiteral("Messung 🔌 \"zwei\" Kanäle"),       // title
        QStringLiteral("José"),                            // author
    };
    AppState& s = app();
    s.strPortName = texts[0];
    s.strDataDir = texts[1];
    s.strPrinterName = texts[2];
    s.strPrintTitle = texts[3];
    s.strPrintAuthor = texts[4];
    s.ChData[0].lColor = 0x00FF00;
    s.iMemSaveMode = 1;
    appSub::xsubSettingsWrite();

    app() = AppState{};
    ini::xsubSetDefaults(dir.path());
    appSub::xsubSettingsRead();
    QCOMPARE((QStringList{s.strPortName, s.strDataDir, s.strPrinterName, s.strPrintTitle,
                          s.strPrintAuthor}),
             texts);
    QCOMPARE(s.strParity, QStringLiteral("なし"));
    QCOMPARE(s.lPenColor, 0x00FF00);
    QCOMPARE(int(s.iMemSaveMode), 1);
    app() = AppState{};
}

void AppTest::settingsThatAreNoFileReadAsNone_data() {
    QTest::addColumn<QString>("kind");
    QTest::addRow("named pipe nobody writes to") << QStringLiteral("fifo");
    QTest::addRow("folder") << QStringLiteral("folder");
    QTest::addRow("link to a device") << QStringLiteral("device");
}

void AppTest::settingsThatAreNoFileReadAsNone() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(appSub::settingsPath(dir.path()));
    if (kind == QStringLiteral("fifo")) QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    if (kind == QStringLiteral("folder")) QCOMPARE(::mkdir(path.constData(), 0700), 0);
    if (kind == QStringLiteral("device")) QCOMPARE(::symlink("/dev/zero", path.constData()), 0);
    app() = AppState{};
    ini::xsubSetDefaults(dir.path());
    appSub::xsubSettingsRead(); // returns at once, as with no file
    QCOMPARE(app().iScanSource, int16_t(2));
    QCOMPARE(app().ChData[0].iXDim, int16_t(200));
    app() = AppState{};
}

void AppTest::fullDiskKeepsTheOldSettings() {
    // A real full disk: a small file system of its own, which only root may mount.
    QTemporaryDir dir;
    const QByteArray disk = QFile::encodeName(dir.filePath(QStringLiteral("disk")));
    QVERIFY(QDir().mkpath(QFile::decodeName(disk)));
    if (::mount("tmpfs", disk.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("cannot mount a small file system here (needs root)");
    auto unmount = qScopeGuard([&] { ::umount2(disk.constData(), MNT_DETACH); });
    const QString programDir = QFile::decodeName(disk);
    writeSettings(programDir, QStringLiteral("1,COM2,19200,なし,8 ビット,1 ビット,なし\r\n300"));
    QFile old(appSub::settingsPath(programDir));
    QVERIFY(old.open(QIODevice::ReadOnly));
    const QByteArray oldBytes = old.readAll();
    old.close();

    app() = AppState{};
    ini::xsubSetDefaults(programDir);
    app().strPrintTitle = QString(100000, u'x'); // more than the disk holds
    QStringList told;
    testsupport::onNextModal([&](QWidget* box) {
        for (const QLabel* l : box->findChildren<QLabel*>())
            told << l->text();
        testsupport::clickChild(box, QStringLiteral("Command(1)"));
    });
    appSub::xsubSettingsWrite();
    QVERIFY2(told.contains(appSub::fileErrText(61)), qPrintable(told.join(u'|')));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), oldBytes);
    QCOMPARE(QDir(programDir).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Tessavue.OVR")});
    app() = AppState{};
}

void AppTest::writingReplacesTheFileWhole() {
    QTemporaryDir dir;
    writeSettings(dir.path(), QString(5000, u'x'));
    app() = AppState{};
    ini::xsubSetDefaults(dir.path());
    appSub::xsubSettingsWrite();
    QFile f(appSub::settingsPath(dir.path()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), appSub::toCp932(firstRunFile(dir.path())));
    // Nothing but the settings file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    app() = AppState{};
}

void AppTest::filesLiveBesideAWritableCopyElsePerUser() {
    QTemporaryDir dir;
    const appSub::FilePlaces portable = appSub::xfunFilePlaces(dir.path());
    QCOMPARE(portable.settingsFile, dir.filePath(QStringLiteral("Tessavue.OVR")));
    QCOMPARE(portable.homeDir, dir.path());

    // Installed: a bin folder with the menu entry in the share folder beside it, even writable.
    const QString bin = dir.filePath(QStringLiteral("usr/bin"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("usr/share/applications"))));
    QFile entry(dir.filePath(QStringLiteral("usr/share/applications/" TESSAVUE_APP_ID ".desktop")));
    QVERIFY(entry.open(QIODevice::WriteOnly));
    entry.close();
    const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(dir.filePath(QStringLiteral("home"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    const QString settings = dir.filePath(QStringLiteral("config/tessavue/Tessavue.OVR"));
    const QString home = dir.filePath(QStringLiteral("home/Documents/Tessavue"));
    const appSub::FilePlaces installed = appSub::xfunFilePlaces(bin);
    QCOMPARE(installed.settingsFile, settings);
    QCOMPARE(installed.homeDir, home);

    // A first start and exit there: the settings land per user and name the per-user folder.
    auto started = startWithFakeEngine(bin);
    started.form->Form_Unload();
    QFile f(settings);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains(QFile::encodeName(QStringLiteral("\r\n") + home + ",1\r\n")));
    QCOMPARE(QDir(bin).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    finish(started.form);
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

void AppTest::commandLine_data() {
    using A = ini::CommandLine::Action;
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("file");
    auto row = [](const char* name, const QStringList& args, A action, const QString& port = {},
                  const QString& file = {}) {
        QTest::newRow(name) << args << int(action) << port << file;
    };
    row("nothing", {}, A::Run);
    row("a file and a port", {"--port", "/dev/ttyUSB1", "data.log"}, A::Run, "/dev/ttyUSB1",
        "data.log");
    row("port joined by =", {"--port=COM2"}, A::Run, "COM2");
    row("a file named like an option after --", {"--", "-v.log"}, A::Run, "", "-v.log");
    row("help wins over a bad option", {"-h", "--bad"}, A::Help);
    row("version", {"--version"}, A::Version);
    row("unknown option", {"--colour"}, A::Error);
    row("Qt's own options are not ours", {"-platform", "xcb"}, A::Error);
    row("port without a name", {"--port"}, A::Error);
    row("empty port", {"--port="}, A::Error);
    row("two files", {"a.log", "b.log"}, A::Error);
}

void AppTest::commandLine() {
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(QString, port);
    QFETCH(QString, file);
    const ini::CommandLine cl = ini::xfunCommandLine(args);
    QCOMPARE(int(cl.action), action);
    if (cl.action == ini::CommandLine::Action::Error) {
        QVERIFY(!cl.error.isEmpty());
        return;
    }
    QCOMPARE(cl.port, port);
    QCOMPARE(cl.file, file);
}

void AppTest::portFromTheCommandLineIsForThisRunOnly() {
    QTemporaryDir dir;
    const QString saved = QStringLiteral("2,COM3,19200,なし,8 ビット,1 ビット,なし\r\n");
    for (const bool userPicksAnother : {false, true}) {
        writeSettings(dir.path(), saved);
        app() = AppState{};
        auto fake = std::make_unique<FakeEngine>();
        FakeEngine* engine = fake.get();
        app().engine = std::move(fake);
        frms_RS_GRAPH_1* f = ini::xsubStartUp(dir.path(), QStringLiteral("/dev/ttyUSB1"));
        testsupport::stopTimers(f);
        QCOMPARE(engine->openedPorts, std::vector<std::string>{"/dev/ttyUSB1"});
        QCOMPARE(engine->lineParams.size(), size_t(1));
        QCOMPARE(f->lblCOM->text(), QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(f->Cmd_Test->text(), QStringLiteral("COM ON"));
        if (userPicksAnother) app().strPortName = QStringLiteral("COM2"); // as the port dialog does
        f->Form_Unload();
        QFile file(appSub::settingsPath(dir.path()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString firstLine = appSub::fromCp932(file.readLine());
        QCOMPARE(firstLine, userPicksAnother
                                ? QStringLiteral("0,COM2,19200,なし,8 ビット,1 ビット,なし\r\n")
                                : saved);
        finish(f);
    }
}

void AppTest::firstStartShowsClosedPortDefaults() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    frms_RS_GRAPH_1* f = started.form;
    QVERIFY(started.engine->openedPorts.empty());
    QCOMPARE(f->windowTitle(), QStringLiteral("Tessavue Scanning"));
    QCOMPARE(f->Cmd_Test->text(), QStringLiteral("COM OFF"));
    const QStringList texts = {f->lblCOM->text(),    f->lblBPS->text(),  f->lblDataSize->text(),
                               f->lblParity->text(), f->lblStop->text(), f->lblFlow->text()};
    QCOMPARE(texts,
             (QStringList{"COM1", "9600BPS", "8 ﾋﾞｯﾄ", "ﾊﾟﾘﾃｨなし", "1 ｽﾄｯﾌﾟﾋﾞｯﾄ", "ﾌﾛｰなし"}));
    QVERIFY(!f->lblCOM->isEnabled());
    for (int i = 0; i < 6; ++i) {
        QVERIFY(!f->lblmsd[i]->isVisibleTo(f));
        QVERIFY(!f->lblmsdo[i]->isVisibleTo(f));
    }
    QCOMPARE(f->lbl_XDiv->text(), QStringLiteral("200"));
    // Idle colours before anything happened: no log, the line buttons as designed.
    QCOMPARE(backColor(f->Cmd_Log), 0xC0C0C0);
    QCOMPARE((QList<int32_t>{backColor(f->Cmd_DTR[0]), backColor(f->Cmd_DTR[1]),
                             backColor(f->Cmd_RTS[0]), backColor(f->Cmd_RTS[1])}),
             (QList<int32_t>{0x00FF00, 0x0000FF, 0x00FF00, 0x0000FF}));
    finish(f);
}

void AppTest::portThatCannotOpenGivesOneNoticeAndGoesOn() {
    QTemporaryDir dir;
    writeSettings(dir.path(), QStringLiteral("0,COM3,9600,なし,8 ビット,1 ビット,なし\r\n"));
    app() = AppState{};
    auto fake = std::make_unique<FakeEngine>();
    fake->openSucceeds = false;
    fake->openError = EBUSY;
    FakeEngine* engine = fake.get();
    app().engine = std::move(fake);
    int notices = 0;
    QString noticeText;
    testsupport::onNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY(box);
        ++notices;
        noticeText = box->text();
        QCOMPARE(box->windowTitle(), QString());
        QCOMPARE(box->buttons().size(), 1);
        // The window was up before the port was tried, as a slow network port needs.
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::any_of(windows.begin(), windows.end(), [](QWidget* window) {
            return qobject_cast<frms_RS_GRAPH_1*>(window) && window->isVisible();
        }));
        box->accept();
    });
    frms_RS_GRAPH_1* f = ini::xsubStartUp(dir.path());
    testsupport::stopTimers(f);
    QCOMPARE(notices, 1);
    QCOMPARE(noticeText,
             QStringLiteral("COM ポートがオープンできません (他のプログラムが使用中です｡)"));
    QCOMPARE(engine->openedPorts, std::vector<std::string>{"COM3"});
    QVERIFY(engine->lineParams.empty());
    QCOMPARE(int(app().iPortOpen), 0);
    QCOMPARE(int(app().iScanSource), 0);
    QCOMPARE(f->Cmd_Test->text(), QStringLiteral("COM ON"));
    QVERIFY(!f->lblCOM->isEnabled());
    QVERIFY(!f->lblmsdo[0]->isVisibleTo(f));
    finish(f);
}

void AppTest::savedPortIsOpenedWithItsLineParameters() {
    QTemporaryDir dir;
    writeSettings(dir.path(),
                  QStringLiteral("0,/dev/ttyUSB0,115200,奇数,7 ビット,2 ビット,ソフト\r\n"));
    app() = AppState{};
    auto fake = std::make_unique<FakeEngine>();
    FakeEngine* engine = fake.get();
    frms_RS_GRAPH_1* f = testsupport::startWithEngine(dir.path(), std::move(fake));
    QCOMPARE(engine->openedPorts, std::vector<std::string>{"/dev/ttyUSB0"});
    QCOMPARE(engine->lineParams, std::vector<std::string>{"115200,2,7,1,2"});
    QCOMPARE(engine->resetCalls, 1);
    QCOMPARE(int(app().iPortOpen), 1);
    QVERIFY(f->lblCOM->isEnabled());
    QCOMPARE(f->lblCOM->text(), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(f->lblParity->text(), QStringLiteral("ﾊﾟﾘﾃｨ奇数"));
    finish(f);
}

void AppTest::answeringNoToTheExitQuestionChangesNothing() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    app().iLogOn = 1;
    app().iPortOpen = 1;
    testsupport::onNextModal(
        [](QWidget* w) { testsupport::clickChild(w, QStringLiteral("Command(7)")); });
    QVERIFY(!started.form->close());
    QVERIFY(started.form->isVisible());
    QCOMPARE(started.engine->logStopCalls, 0);
    QCOMPARE(started.engine->closeCalls, 0);
    QVERIFY(!QFile::exists(appSub::settingsPath(dir.path())));
    app().iLogOn = 0;
    app().iPortOpen = 0;
    finish(started.form);
}

void AppTest::closingStopsTheLogAndThePortAndSaves() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    app().iLogOn = 1;
    app().iPortOpen = 1;
    app().ChData[0].iXDim = 321;
    testsupport::onNextModal(
        [](QWidget* w) { testsupport::clickChild(w, QStringLiteral("Command(6)")); });
    started.form->setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(started.form->close());
    QCOMPARE(started.engine->logStopCalls, 1);
    QCOMPARE(started.engine->closeCalls, 1);
    QFile f(appSub::settingsPath(dir.path()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains("\r\n321\r\n"));
    finish(started.form);
}

void AppTest::secondInstanceIsRefused() {
    QTemporaryDir dir;
    QVERIFY(ini::xfunSingleInstance(appSub::settingsPath(dir.path())));
    QVERIFY(!ini::xfunSingleInstance(appSub::settingsPath(dir.path())));
    QTemporaryDir other;
    QVERIFY(ini::xfunSingleInstance(appSub::settingsPath(other.path())));
    // The lock leaves no file behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

void AppTest::clockTextHasDayMonthYearHoursMinutes() {
    const QString t = xfunDateText();
    QVERIFY2(QRegularExpression(
                 QStringLiteral("^\\d\\d-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-\\d{4} "
                                "([01]\\d|2[0-3]):[0-5]\\d$"))
                 .match(t)
                 .hasMatch(),
             qPrintable(t));
}

void AppTest::everyTextOnTheMainWindowFits() {
    QTemporaryDir dir;
    auto* form = startWithFakeEngine(dir.path()).form;
    // The widest texts the window shows: the clock, the top count, filled cursor readouts.
    AppState& s = app();
    s.iScanSource = 1;
    s.lRcvCount = kRcvCountMax - 1;
    for (QCheckBox* box : form->chk_curx)
        box->setChecked(true);
    for (QCheckBox* box : form->chk_curY)
        box->setChecked(true);
    for (int i = 0; i < 300; ++i)
        form->Timer_Receive_Timer();
    QCOMPARE(form->lbl_data_su->text(), QStringLiteral("2,100,000,000"));

    QStringList clipped;
    for (QLabel* l : form->findChildren<QLabel*>()) {
        if (l->isVisibleTo(form) &&
            l->fontMetrics().horizontalAdvance(l->text()) > l->contentsRect().width())
            clipped << l->objectName() + QStringLiteral(": ") + l->text();
    }
    for (QAbstractButton* b : form->findChildren<QAbstractButton*>()) {
        if (b->isVisibleTo(form) && b->fontMetrics().horizontalAdvance(b->text()) > b->width())
            clipped << b->objectName() + QStringLiteral(": ") + b->text();
    }
    QCOMPARE(clipped, QStringList());
    finish(form);
}

QTEST_MAIN(AppTest)
#include "test_app.moc"
