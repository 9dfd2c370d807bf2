#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "FakeEngine.h"
#include "TestSupport.h"
#include "app/CommandLine.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "app/state/Places.h"
#include "send/SendBook.h"
#include "send/SendLine.h"
#include "send/Sender.h"
#include <QPlainTextEdit>
#include <QProcess>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include "send/ConsoleLog.h"
#include "send/frms_Console.h"
#include "send/frms_Send.h"

Q_DECLARE_METATYPE(EntryMode)
Q_DECLARE_METATYPE(LineEnding)

namespace {

// A sender on a fake engine whose port can be taken away.
struct Bench {
    FakeEngine engine;
    bool open = true;
    Sender sender{[this] {
        return open ? Sender::Port{&engine, QString()}
                    : Sender::Port{nullptr, QStringLiteral("ポートが開いていません｡")};
    }};
    QSignalSpy messages{&sender, &Sender::message};
    QByteArray queued() const {
        return QByteArray(reinterpret_cast<const char*>(engine.sendQueue.data()),
                          static_cast<qsizetype>(engine.sendQueue.size()));
    }
};

} // namespace

class TestSend : public QObject {
    Q_OBJECT
private slots:
    void parsesLines_data();
    void parsesLines();
    void refusesLines_data();
    void refusesLines();
    void refusesTenMegabyteLine();

    void sendsNowOnlyWithPort();
    void repeatsUntilStopped();
    void fullQueueEndsRepeatOnceAndKeepsWhatWasQueued();
    void lostPortEndsRepeatWithOneMessage();
    void sendsFileRawAndByLines_data();
    void sendsFileRawAndByLines();
    void unreadableFileIsTold();

    void bookKeepsHistoryAndCommandsAcrossRuns();

    void sendWindowSendsLinesAndKeepsThem();
    void sendWindowIsGreyWithoutPort();
    void commandLineSendsOnceThePortIsOpen();

    void consoleText_data();
    void consoleText();
    void consoleHexCountsSamples();
    void consoleKeepsOnlyTheNewestAndMarksSent();
    void consoleWindowShowsBannerThenHex();

    void deviceStreamsOnceToldToStart();
    void repeatEvery100msArrives50TimesIn5s();
    void farEndThatStopsReadingEndsFileSend();
};

namespace {

using testsupport::ticksUntil;

void writeSettingsFor(const QString& dir, const QString& port) {
    QFile f(appSub::settingsPath(dir));
    if (f.open(QIODevice::WriteOnly))
        f.write(appSub::toCp932(
            QStringLiteral("0,") + port +
            QStringLiteral(",9600,なし,8 ビット,1 ビット,なし\r\n200\r\n1\r\n0,0,0,0\r\n0,"
                           "0,0,0\r\n") +
            dir + QStringLiteral(",1\r\n255\r\n,,1,,0\r\n0\r\n")));
}

// The main window on a fake engine with COM1 open, as a first run leaves it.
testsupport::Started startOnCom(const QString& dir) {
    writeSettingsFor(dir, QStringLiteral("COM1"));
    return testsupport::startWithFakeEngine(dir);
}

// The main window on the real engine, on the device at path.
frms_RS_GRAPH_1* startOnDevice(const QString& dir, const QString& path) {
    writeSettingsFor(dir, path);
    return testsupport::startWithEngine(dir, tessavue::makeLinuxSerialEngine());
}

// Until the engine has a way to the line, what it is given goes nowhere: nothing to test yet.
#define SKIP_WITHOUT_WRITE_PATH(engine)                                                            \
    if ((engine)->sentBytes() == 0 && (engine)->sendQueued() == 0)                                 \
    QSKIP("this engine takes nothing to send (SendData is the default); runs once it writes")

QByteArray queuedOf(const FakeEngine* e) {
    return QByteArray(reinterpret_cast<const char*>(e->sendQueue.data()),
                      static_cast<qsizetype>(e->sendQueue.size()));
}

} // namespace

void TestSend::parsesLines_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<EntryMode>("mode");
    QTest::addColumn<LineEnding>("ending");
    QTest::addColumn<QByteArray>("bytes");
    const auto T = EntryMode::Text;
    const auto H = EntryMode::Hex;
    QTest::addRow("plain text, CR LF")
        << "start" << T << LineEnding::CrLf << QByteArray("start\r\n");
    QTest::addRow("no ending") << "AT" << T << LineEnding::None << QByteArray("AT");
    QTest::addRow("LF") << "AT" << T << LineEnding::Lf << QByteArray("AT\n");
    QTest::addRow("CR") << "AT" << T << LineEnding::Cr << QByteArray("AT\r");
    QTest::addRow("every escape") << "\\r\\n\\t\\\\" << T << LineEnding::None
                                  << QByteArray("\r\n\t\\");
    QTest::addRow("\\x with letters of both cases")
        << "\\x02QPW\\x03\\xfF\\x00" << T << LineEnding::None
        << QByteArray("\x02QPW\x03\xff\x00", 7);
    QTest::addRow("\\x takes two digits only")
        << "\\x414" << T << LineEnding::None << QByteArray("A4");
    QTest::addRow("non-ASCII text as UTF-8")
        << "温度" << T << LineEnding::None << QString("温度").toUtf8();
    QTest::addRow("empty line sends its ending") << "" << T << LineEnding::Lf << QByteArray("\n");
    QTest::addRow("hex with spaces")
        << "02 51 03" << H << LineEnding::None << QByteArray("\x02\x51\x03");
    QTest::addRow("hex run together, any case")
        << "0aFf" << H << LineEnding::None << QByteArray("\x0a\xff");
    QTest::addRow("hex with tabs and ending")
        << " 41\t42 " << H << LineEnding::CrLf << QByteArray("AB\r\n");
    QTest::addRow("hex 00 is a byte") << "00" << H << LineEnding::None << QByteArray(1, '\0');
    QTest::addRow("text is not escaped in hex mode")
        << "5C" << H << LineEnding::None << QByteArray("\\");
}

void TestSend::parsesLines() {
    QFETCH(QString, line);
    QFETCH(EntryMode, mode);
    QFETCH(LineEnding, ending);
    QFETCH(QByteArray, bytes);
    const SendBytes r = xfunSendBytes(line, mode, ending);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.bytes, bytes);
}

void TestSend::refusesLines_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<EntryMode>("mode");
    QTest::addColumn<QString>("says");
    const auto T = EntryMode::Text;
    const auto H = EntryMode::Hex;
    QTest::addRow("lone nibble at the end") << "02 51 0" << H << "1 桁だけ";
    QTest::addRow("lone nibble between pairs") << "02 5 03" << H << "(4 文字目)";
    QTest::addRow("three digits run together") << "025" << H << "(3 文字目)";
    QTest::addRow("non-hex letter") << "02 5G" << H << "「G」";
    QTest::addRow("0x prefix") << "0x02" << H << "「x」";
    QTest::addRow("escape unknown") << "a\\q" << T << "\\q は使えません";
    QTest::addRow("backslash at the end") << "abc\\" << T << "\\\\";
    QTest::addRow("\\x with one digit") << "\\x4" << T << "16 進 2 桁";
    QTest::addRow("\\x with non-hex") << "\\xg1" << T << "(1 文字目)";
    QTest::addRow("just over the cap")
        << QString(kMaxLineBytes - 1, u'a') << T << "65536 バイトまで";
}

void TestSend::refusesLines() {
    QFETCH(QString, line);
    QFETCH(EntryMode, mode);
    QFETCH(QString, says);
    const SendBytes r = xfunSendBytes(line, mode, LineEnding::CrLf);
    QVERIFY(!r.ok());
    QVERIFY(r.bytes.isEmpty());
    QVERIFY2(r.error.contains(says), qPrintable(r.error));
    QVERIFY(r.error.endsWith(u'｡') || r.error.endsWith(u')'));
}

void TestSend::refusesTenMegabyteLine() {
    const QString line(10 * 1024 * 1024, u'x');
    for (EntryMode mode : {EntryMode::Text, EntryMode::Hex}) {
        const SendBytes r = xfunSendBytes(line, mode, LineEnding::None);
        QVERIFY(!r.ok());
        QVERIFY(r.error.contains(QStringLiteral("ファイル送信")));
    }
}

void TestSend::sendsNowOnlyWithPort() {
    Bench b;
    QVERIFY(b.sender.sendNow("AT\r"));
    QCOMPARE(b.queued(), QByteArray("AT\r"));
    b.open = false;
    QVERIFY(!b.sender.sendNow("AT\r"));
    QCOMPARE(b.messages.size(), 1);
    QCOMPARE(b.messages[0][0].toString(), QStringLiteral("ポートが開いていません｡"));
    QCOMPARE(b.queued(), QByteArray("AT\r"));

    // A line the queue has no room for goes not at all, rather than cut off.
    b.open = true;
    b.engine.sendQueue.assign(tessavue::SerialEngine::kSendQueueBytes - 2, 0);
    QVERIFY(!b.sender.sendNow("AT\r"));
    QCOMPARE(b.engine.sendQueue.size(), tessavue::SerialEngine::kSendQueueBytes - 2);
    QVERIFY(b.messages.last()[0].toString().contains(QStringLiteral("いっぱい")));

    // What the line took is counted.
    b.engine.drainSendQueue();
    QSignalSpy counted(&b.sender, &Sender::sentBytesChanged);
    b.sender.refresh();
    QCOMPARE(counted.size(), 1);
    QCOMPARE(Sender::sentText(b.sender.sentBytes()), QStringLiteral("送信: 65534 バイト"));
}

void TestSend::repeatsUntilStopped() {
    Bench b;
    QVERIFY(!b.sender.startRepeat("x", 9));
    QVERIFY(!b.sender.startRepeat("x", 3'600'001));
    QCOMPARE(b.messages.size(), 2);
    QVERIFY(b.sender.startRepeat("ping\n", 10));
    QCOMPARE(b.sender.activity(), Sender::Activity::Repeating);
    QTRY_VERIFY_WITH_TIMEOUT(b.sender.repeatCount() >= 5, 2000);
    b.sender.stop();
    const int count = b.sender.repeatCount();
    QTest::qWait(50);
    QCOMPARE(b.sender.repeatCount(), count);
    QCOMPARE(b.queued(), QByteArray("ping\n").repeated(count));
    QCOMPARE(b.messages.size(), 2); // the user's own stop needs no telling
}

void TestSend::fullQueueEndsRepeatOnceAndKeepsWhatWasQueued() {
    Bench b;
    b.engine.sendCapacity = 10; // the far end read nothing
    QVERIFY(b.sender.startRepeat("abcd", 10));
    QTRY_COMPARE_WITH_TIMEOUT(b.sender.activity(), Sender::Activity::Idle, 2000);
    QCOMPARE(b.sender.repeatCount(), 2);
    QCOMPARE(b.queued(), QByteArray("abcdabcdab"));
    QCOMPARE(b.messages.size(), 1);
    const QString text = b.messages[0][0].toString();
    QVERIFY2(text.contains(QStringLiteral("いっぱい")) &&
                 text.contains(QStringLiteral("4 バイトのうち 2 バイト")) &&
                 text.contains(QStringLiteral("2 回")),
             qPrintable(text));
    QTest::qWait(50);
    QCOMPARE(b.messages.size(), 1);
}

void TestSend::lostPortEndsRepeatWithOneMessage() {
    Bench b;
    QVERIFY(b.sender.startRepeat("x", 10));
    QSignalSpy port(&b.sender, &Sender::portChanged);
    b.open = false;
    b.sender.refresh();
    b.sender.refresh();
    QTest::qWait(40);
    QCOMPARE(b.sender.activity(), Sender::Activity::Idle);
    QCOMPARE(b.messages.size(), 1);
    QVERIFY(b.messages[0][0].toString().contains(QStringLiteral("ポートがなくなった")));
    QCOMPARE(port.size(), 1);
    QCOMPARE(port[0][0].toBool(), false);
}

void TestSend::sendsFileRawAndByLines_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("sent");
    QTest::addRow("raw, blocks of 3, every byte value")
        << int(Sender::FileMode::Raw) << QByteArray("\x00\xff\r\nab\x7f", 7)
        << QByteArray("\x00\xff\r\nab\x7f", 7);
    QTest::addRow("lines, LF and CR LF, ended with CR LF; last line unended")
        << int(Sender::FileMode::Lines) << QByteArray("a\nbb\r\n\nc")
        << QByteArray("a\r\nbb\r\n\r\nc\r\n");
}

void TestSend::sendsFileRawAndByLines() {
    QFETCH(int, mode);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, sent);
    QTemporaryDir dir;
    QFile f(dir.filePath("data.bin"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    Bench b;
    QSignalSpy progress(&b.sender, &Sender::progress);
    QVERIFY(b.sender.startFile(f.fileName(), Sender::FileMode(mode), 3, 1, LineEnding::CrLf));
    QTRY_COMPARE_WITH_TIMEOUT(b.sender.activity(), Sender::Activity::Idle, 2000);
    QCOMPARE(b.queued(), sent);
    QCOMPARE(progress.last()[0].toLongLong(), file.size());
    QCOMPARE(progress.last()[1].toLongLong(), file.size());
    QCOMPARE(b.messages.size(), 1);
    QVERIFY(b.messages[0][0].toString().startsWith(QStringLiteral("ファイルを送りました")));
}

void TestSend::unreadableFileIsTold() {
    Bench b;
    QTemporaryDir dir;
    for (const QString& path : {dir.filePath("missing.bin"), dir.path()}) {
        b.messages.clear();
        QVERIFY(!b.sender.startFile(path, Sender::FileMode::Raw, 16, 0, LineEnding::None));
        QCOMPARE(b.messages.size(), 1);
        QVERIFY2(b.messages[0][0].toString().contains(QStringLiteral("が読めません")),
                 qPrintable(b.messages[0][0].toString()));
        QCOMPARE(b.sender.activity(), Sender::Activity::Idle);
    }
    QVERIFY(b.engine.sendQueue.empty());

    // A line longer than a line may be ends the send there, said, not cut in two.
    QFile f(dir.filePath("long.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("first\n" + QByteArray(kMaxLineBytes, 'y') + "\nlast\n");
    f.close();
    b.messages.clear();
    QVERIFY(b.sender.startFile(f.fileName(), Sender::FileMode::Lines, 1, 0, LineEnding::Lf));
    QTRY_COMPARE_WITH_TIMEOUT(b.sender.activity(), Sender::Activity::Idle, 2000);
    QCOMPARE(b.queued(), QByteArray("first\n"));
    QCOMPARE(b.messages.size(), 1);
    QVERIFY2(b.messages[0][0].toString().contains(QStringLiteral("2 行目が長すぎます")),
             qPrintable(b.messages[0][0].toString()));
}

void TestSend::bookKeepsHistoryAndCommandsAcrossRuns() {
    QTemporaryDir dir;
    const QString path = SendBook::pathBeside(dir.filePath("Tessavue.OVR"));
    QCOMPARE(QFileInfo(path).path(), dir.path());
    {
        SendBook book(path);
        for (int i = 0; i < 120; ++i)
            book.addHistory(QStringLiteral("line %1").arg(i));
        book.addHistory(QStringLiteral("line 110")); // again: moves to the top, not twice
        book.setCommand(0, {QStringLiteral("開始"), QStringLiteral("start"), EntryMode::Text,
                            LineEnding::CrLf});
        book.setCommand(11, {QStringLiteral("Q"), QStringLiteral("02 51 03"), EntryMode::Hex,
                             LineEnding::None});
    }
    SendBook again(path);
    QCOMPARE(again.history().size(), SendBook::kHistoryLines);
    QCOMPARE(again.history().first(), QStringLiteral("line 110"));
    QCOMPARE(again.history().count(QStringLiteral("line 110")), 1);
    QCOMPARE(again.history().last(), QStringLiteral("line 20"));
    QCOMPARE(again.command(0).line, QStringLiteral("start"));
    QCOMPARE(again.command(0).ending, LineEnding::CrLf);
    QCOMPARE(again.command(11).mode, EntryMode::Hex);
    QVERIFY(again.command(5).name.isEmpty());

    QFile damaged(path);
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("\xff\xfe[[[\n=\n");
    damaged.close();
    SendBook broken(path);
    QVERIFY(broken.history().size() <= SendBook::kHistoryLines);
}

void TestSend::sendWindowSendsLinesAndKeepsThem() {
    QTemporaryDir dir;
    QByteArray settingsBefore;
    for (int run = 0; run < 2; ++run) {
        testsupport::Started st = startOnCom(dir.path());
        if (run == 0) {
            QFile f(appSub::settingsPath(dir.path()));
            QVERIFY(f.open(QIODevice::ReadOnly));
            settingsBefore = f.readAll();
        }
        st.form->Cmd_SendWin->click();
        frms_Send* w = st.form->frmSend;
        QVERIFY(w && w->isVisible() && !w->isModal());
        QVERIFY(w->cmdSend->isEnabled());
        if (run == 0) {
            w->txtLine->setText(QStringLiteral("start"));
            QTest::keyClick(w->txtLine, Qt::Key_Return);
            QCOMPARE(queuedOf(st.engine), QByteArray("start\r\n"));
            QVERIFY(w->txtLine->text().isEmpty());
            w->chkHex->setChecked(true);
            w->txtLine->setText(QStringLiteral("02 5"));
            QTest::keyClick(w->txtLine, Qt::Key_Return);
            QVERIFY(w->lblStatus->text().contains(QStringLiteral("1 桁だけ")));
            QCOMPARE(w->txtLine->text(), QStringLiteral("02 5")); // kept, to be put right
            w->txtLine->setText(QStringLiteral("02 51 03"));
            w->cboEnding->setCurrentIndex(0);
            w->xsubCommandStore(1, QStringLiteral("Q"));
            QVERIFY(QTest::qWaitForWindowActive(w));
            QTest::keyClick(w->txtLine, Qt::Key_F2);
            QCOMPARE(queuedOf(st.engine), QByteArray("start\r\n\x02\x51\x03"));
        } else {
            // The next run finds the history and the command again.
            QCOMPARE(w->cmdCommand[1]->text(), QStringLiteral("F2 Q"));
            QTest::keyClick(w->txtLine, Qt::Key_Up);
            QCOMPARE(w->txtLine->text(), QStringLiteral("02 51 03"));
            QTest::keyClick(w->txtLine, Qt::Key_Up);
            QCOMPARE(w->txtLine->text(), QStringLiteral("start"));
            QTest::keyClick(w->txtLine, Qt::Key_Down);
            QTest::keyClick(w->txtLine, Qt::Key_Down);
            QVERIFY(w->txtLine->text().isEmpty());
        }
        testsupport::finish(st.form);
    }
    // Sending has a file of its own; the settings file is as it was.
    QVERIFY(QFile::exists(SendBook::pathBeside(appSub::settingsPath(dir.path()))));
    QFile f(appSub::settingsPath(dir.path()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), settingsBefore);
}

void TestSend::sendWindowIsGreyWithoutPort() {
    QTemporaryDir dir;
    testsupport::Started st = startOnCom(dir.path());
    st.form->Cmd_SendWin->click();
    frms_Send* w = st.form->frmSend;
    QVERIFY(w->cmdSend->isEnabled());
    w->txtLine->setText(QStringLiteral("ping"));
    w->spnRepeatMs->setValue(10);
    w->cmdRepeat->click();
    QCOMPARE(st.form->Talk->activity(), Sender::Activity::Repeating);

    st.engine->deviceGone = true; // unplugged: the next tick finds the port lost
    st.form->Timer_Receive_Timer();
    QVERIFY(!w->cmdSend->isEnabled());
    QVERIFY(!w->cmdFile->isEnabled());
    QVERIFY(w->cmdSend->toolTip().contains(QStringLiteral("送れません")));
    QCOMPARE(st.form->Talk->activity(), Sender::Activity::Idle);
    QVERIFY(w->lblStatus->text().contains(QStringLiteral("ポートがなくなった")));
    const QByteArray before = queuedOf(st.engine);
    w->cmdSend_Click();
    QCOMPARE(queuedOf(st.engine), before);
    testsupport::finish(st.form);
}

void TestSend::commandLineSendsOnceThePortIsOpen() {
    const ini::CommandLine good =
        ini::xfunCommandLine({QStringLiteral("--send"), QStringLiteral("start\\r\\n")});
    QCOMPARE(good.send, QByteArray("start\r\n"));
    QCOMPARE(ini::xfunCommandLine({QStringLiteral("--send=\\x41")}).send, QByteArray("A"));
    for (const QStringList& bad : {QStringList{"--send"}, QStringList{"--send", "\\q"}}) {
        const ini::CommandLine cl = ini::xfunCommandLine(bad);
        QCOMPARE(cl.action, ini::CommandLine::Action::Error);
        QVERIFY(cl.error.startsWith(QStringLiteral("--send")));
    }

    QTemporaryDir dir;
    testsupport::Started st = startOnCom(dir.path());
    st.form->xsubSendOnOpen(good.send);
    st.form->Timer_Receive_Timer();
    QCOMPARE(queuedOf(st.engine), QByteArray("start\r\n"));
    testsupport::finish(st.form);
}

void TestSend::consoleText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("cp932");
    QTest::addColumn<QString>("text");
    QTest::addRow("controls as symbols, a line feed ends the line")
        << QByteArray("a\r\n\t\x00\x1b\x7f", 7) << false
        << QString::fromUtf16(u"a\u240d\u240a\n\u2409\u2400\u241b\u2421");
    QTest::addRow("UTF-8 as characters")
        << QString("温度 25℃").toUtf8() << false << QStringLiteral("温度 25℃");
    QTest::addRow("invalid UTF-8 as bytes") << QByteArray("A\xff\xc0\x80"
                                                          "B")
                                            << false << QStringLiteral("A\\xFF\\xC0\\x80B");
    QTest::addRow("a surrogate is no character")
        << QByteArray("\xed\xa0\x80") << false << QStringLiteral("\\xED\\xA0\\x80");
    QTest::addRow("cut off at the end")
        << QByteArray("\xe6\xb8") << false << QStringLiteral("\\xE6\\xB8");
    QTest::addRow("CP932 with half-width kana")
        << appSub::toCp932(QStringLiteral("温度ｱ")) << true << QStringLiteral("温度ｱ");
    QTest::addRow("CP932 lead byte alone") << QByteArray("\x93") << true << QStringLiteral("\\x93");
    QTest::addRow("CP932 bytes read as UTF-8")
        << appSub::toCp932(QStringLiteral("温")) << false << QStringLiteral("\\x89\\xB7");
}

void TestSend::consoleText() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, cp932);
    QFETCH(QString, text);
    QCOMPARE(xfunConsoleText(bytes, cp932), text);
}

void TestSend::consoleHexCountsSamples() {
    const QString dump = xfunConsoleHex(QByteArray("0123456789abcdef\x00\xff", 18), 1000);
    const QStringList rows = dump.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 2);
    QVERIFY2(rows[0].startsWith(QStringLiteral("      1000  30 31")), qPrintable(rows[0]));
    QVERIFY(rows[0].endsWith(QStringLiteral("0123456789abcdef")));
    QVERIFY2(rows[1].startsWith(QStringLiteral("      1016  00 FF ")), qPrintable(rows[1]));
    QVERIFY(rows[1].endsWith(QStringLiteral("  ..")));
}

void TestSend::consoleKeepsOnlyTheNewestAndMarksSent() {
    std::vector<uint8_t> ring(64 * 1024);
    RingView view{ring.data(), static_cast<int32_t>(ring.size()), 0, 0, 0};
    auto add = [&](const QByteArray& bytes) {
        for (char c : bytes) {
            ring[static_cast<size_t>(view.writePos)] = static_cast<uint8_t>(c);
            view.writePos = (view.writePos + 1) % view.size;
            ++view.total;
            view.held = std::min<int64_t>(view.held + 1, view.size);
        }
    };
    ConsoleLog log;
    add("before the console opened\n");
    log.feed(view); // the first look starts at the newest
    QVERIFY(log.render(ConsoleLog::View::Text, false).isEmpty());
    add("OK\r\n");
    log.feed(view);
    log.markSent("AT\r\n");
    add("rest");
    log.feed(view);
    QCOMPARE(log.render(ConsoleLog::View::Text, false),
             QString::fromUtf16(u"OK\u240d\u240a\n▶ 送信: AT\u240d\u240a\nrest"));
    log.setEcho(false);
    log.markSent("hidden");
    QVERIFY(!log.render(ConsoleLog::View::Text, false).contains(QStringLiteral("hidden")));

    // A flood, past the ring's end and more than the console keeps: only the newest, numbered.
    add(QByteArray(100 * 1024, 'x') + "END");
    log.feed(view);
    const QString hex = log.render(ConsoleLog::View::Hex, false);
    QVERIFY(hex.endsWith(QStringLiteral("xxxxxxxxxxxxxEND\n")));
    const int64_t first = view.total - ConsoleLog::kKeepBytes;
    QVERIFY2(hex.startsWith(QStringLiteral("%1 ").arg(first, 10)), qPrintable(hex.left(20)));
    QCOMPARE(hex.count(u'\n'), ConsoleLog::kKeepBytes / 16);
}

void TestSend::consoleWindowShowsBannerThenHex() {
    QTemporaryDir dir;
    testsupport::Started st = startOnCom(dir.path());
    st.form->Cmd_ConsoleWin->click();
    frms_Console* c = st.form->frmConsole;
    QVERIFY(c && c->isVisible());
    st.engine->push({'B', 'o', 'o', 't', ' ', 'v', '1', '\r', '\n'});
    st.form->Timer_Receive_Timer();
    c->xsubRedraw();
    QCOMPARE(c->txtShown->toPlainText(), QString::fromUtf16(u"Boot v1\u240d\u240a\n"));
    st.engine->push({0x02, 0xff, 0x00, 0x03});
    st.form->Timer_Receive_Timer();
    c->cboView->setCurrentIndex(2);
    const QStringList rows = c->txtShown->toPlainText().split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 1); // the numbers of the ring's samples, the banner's first
    QVERIFY2(
        rows[0].startsWith(QStringLiteral("         0  42 6F 6F 74 20 76 31 0D 0A 02 FF 00 03")),
        qPrintable(rows[0]));

    // Paused, the picture holds while bytes come; the search finds what is held.
    c->chkPause->setChecked(true);
    st.engine->push({'Z'});
    st.form->Timer_Receive_Timer();
    c->xsubRedraw();
    QVERIFY(!c->txtShown->toPlainText().contains(u'Z'));
    c->cboView->setCurrentIndex(0);
    QVERIFY(c->xsubFind(QStringLiteral("v1")));
    QVERIFY(!c->xsubFind(QStringLiteral("nowhere")));
    QVERIFY(c->lblStatus->text().contains(QStringLiteral("見つかりません")));
    testsupport::finish(st.form);
}

void TestSend::deviceStreamsOnceToldToStart() {
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyWaits");
    QProcess vdev;
    vdev.start(TESSAVUE_BUILD_DIR "/tools/tessavue-vdev",
               {"--link", link, "--baud", "115200", "--wait-for", "start\\r\\n"});
    QVERIFY(vdev.waitForReadyRead(10000));
    QCOMPARE(vdev.readLine().trimmed(), link.toUtf8());
    frms_RS_GRAPH_1* form = startOnDevice(dir.path(), link);
    QCOMPARE(app().iPortOpen, int16_t(1));
    QVERIFY(!ticksUntil(
        form, [] { return app().lRcvCount > 0; }, 300)); // it waits

    form->Cmd_SendWin->click();
    form->frmSend->txtLine->setText(QStringLiteral("start"));
    form->frmSend->cboEnding->setCurrentIndex(int(LineEnding::CrLf));
    QTest::keyClick(form->frmSend->txtLine, Qt::Key_Return);
    QTest::qWait(100);
    SKIP_WITHOUT_WRITE_PATH(app().engine);
    QVERIFY(ticksUntil(
        form, [] { return app().lRcvCount > 1000; }, 5000));
    form->Timer_Receive_Timer();
    QCOMPARE(form->frmSend->lblSent->text(), QStringLiteral("送信: 7 バイト"));
    testsupport::finish(form);
    vdev.terminate();
    QVERIFY(vdev.waitForFinished(10000));
}

void TestSend::repeatEvery100msArrives50TimesIn5s() {
    int master = -1;
    int slave = -1;
    QVERIFY(openpty(&master, &slave, nullptr, nullptr, nullptr) == 0);
    const QString path = QString::fromLocal8Bit(ptsname(master));
    QTemporaryDir dir;
    frms_RS_GRAPH_1* form = startOnDevice(dir.path(), path);
    QCOMPARE(app().iPortOpen, int16_t(1));
    form->Cmd_SendWin->click();
    frms_Send* w = form->frmSend;
    w->txtLine->setText(QStringLiteral("ping"));
    w->cboEnding->setCurrentIndex(int(LineEnding::Lf));
    w->spnRepeatMs->setValue(100);
    w->cmdRepeat->click();
    QTest::qWait(50);
    SKIP_WITHOUT_WRITE_PATH(app().engine);
    QTest::qWait(5000 - 50);
    w->cmdRepeat->click();
    QCOMPARE(form->Talk->activity(), Sender::Activity::Idle);
    QTest::qWait(200); // the last ones on their way through the line
    QByteArray far;
    char buffer[4096];
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        far.append(buffer, n);
    const qsizetype arrived = far.count("ping\n");
    QVERIFY2(arrived >= 49 && arrived <= 51, qPrintable(QString::number(arrived)));
    QCOMPARE(far.size(), arrived * 5);
    testsupport::finish(form);
    ::close(master);
    ::close(slave);
}

void TestSend::farEndThatStopsReadingEndsFileSend() {
    int master = -1;
    int slave = -1;
    QVERIFY(openpty(&master, &slave, nullptr, nullptr, nullptr) == 0);
    QTemporaryDir dir;
    frms_RS_GRAPH_1* form = startOnDevice(dir.path(), QString::fromLocal8Bit(ptsname(master)));
    QFile file(dir.filePath("big.bin"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1024 * 1024, 'x'));
    file.close();
    form->Cmd_SendWin->click();
    frms_Send* w = form->frmSend;
    w->spnBlock->setValue(4096);
    w->spnDelayMs->setValue(0);
    w->xsubFileSend(file.fileName());
    QTest::qWait(50);
    SKIP_WITHOUT_WRITE_PATH(app().engine);
    // Nobody reads the far end: the line takes what the terminal holds, then the queue fills.
    // The window goes on meanwhile: a tick takes no longer than usual.
    QElapsedTimer longest;
    qint64 worstMs = 0;
    QVERIFY(ticksUntil(
        form,
        [&] {
            worstMs = std::max(worstMs, longest.isValid() ? longest.elapsed() : 0);
            longest.start();
            return form->Talk->activity() == Sender::Activity::Idle;
        },
        Sender::kStalledMs + 5000));
    QVERIFY2(worstMs < 500, qPrintable(QString::number(worstMs)));
    QVERIFY2(w->lblStatus->text().contains(QStringLiteral("いっぱい")),
             qPrintable(w->lblStatus->text()));
    const uint64_t taken = app().engine->sentBytes() + app().engine->sendQueued();
    QVERIFY(taken < 1024 * 1024);
    // What was queued still goes out once the far end reads again.
    QByteArray far;
    char buffer[65536];
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    QElapsedTimer t;
    t.start();
    while (static_cast<uint64_t>(far.size()) < taken && t.elapsed() < 5000) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0)
            far.append(buffer, n);
        else
            QTest::qWait(5);
    }
    QCOMPARE(static_cast<uint64_t>(far.size()), taken);
    QCOMPARE(far, QByteArray(far.size(), 'x'));
    testsupport::finish(form);
    ::close(master);
    ::close(slave);
}

QTEST_MAIN(TestSend)
#include "test_send.moc"
