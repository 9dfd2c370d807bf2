#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "TestSupport.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "graph/GraphMath.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"
#include "storage/FileView.h"
#include "storage/StorageNames.h"
#include "storage/frms_File_Disp.h"
#include "toolkit/FileNames.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Twips.h"

using testsupport::clickChild;
using testsupport::finish;
using testsupport::startWithFakeEngine;

namespace {

// ---- answering the modal windows of one user action, in the order they come up ----

// What the user does in one window; the window is known by its objectName, so windows that
// need no answer (a progress window) pass by.
struct Step {
    QString window;
    std::function<void(QWidget*)> act;
};

struct ModalScript {
    std::vector<Step> steps;
    size_t next = 0;
    QList<QPointer<QWidget>> handled;
    QStringList messages; // texts of the message boxes, in order
    QStringList windows;  // objectNames of the windows answered, in order
    bool stopped = false;
};

void pollModal(const std::shared_ptr<ModalScript>& s) {
    if (s->stopped) return;
    QTimer::singleShot(5,
                       [s] { pollModal(s); }); // keeps polling while a step waits in a nested box
    QWidget* w = QApplication::activeModalWidget();
    if (!w || s->next >= s->steps.size() || w->objectName() != s->steps[s->next].window) return;
    for (const auto& h : s->handled)
        if (h == w) return;
    s->handled.append(w);
    s->windows << w->objectName();
    if (w->objectName() == QStringLiteral("MsgBoxX"))
        s->messages << w->findChild<QLabel*>(QStringLiteral("Label1"))->text();
    s->steps[s->next++].act(w);
}

// Runs `action` and answers the windows it opens with `steps`; returns what was seen.
std::shared_ptr<ModalScript> runAnswering(const std::function<void()>& action,
                                          std::vector<Step> steps) {
    auto s = std::make_shared<ModalScript>();
    s->steps = std::move(steps);
    QTimer::singleShot(0, [s] { pollModal(s); });
    action();
    s->stopped = true;
    return s;
}

const QString kMsgBox = QStringLiteral("MsgBoxX");
const QString kMemSave = QStringLiteral("frms_MemSave");
const QString kReadFile = QStringLiteral("frms_File_Disp");
const QString kLogStart = QStringLiteral("frms_LogStart");
const QString kSaveAs = QStringLiteral("frms_SaveAs");

Step answer(int code) {
    return {kMsgBox,
            [code](QWidget* w) { clickChild(w, QStringLiteral("Command(%1)").arg(code)); }};
}
Step closeWindow(const QString& window) {
    return {window, [](QWidget* w) { w->close(); }};
}
Step press(const QString& window, const QString& button) {
    return {window, [button](QWidget* w) { clickChild(w, button); }};
}
// Fills the name and the choice of "Memory → File" and presses YES.
Step saveAs(const QString& path, int option) {
    return {kMemSave, [path, option](QWidget* w) {
                w->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(path);
                w->findChild<QRadioButton*>(QStringLiteral("opn_data(%1)").arg(option))
                    ->setChecked(true);
                clickChild(w, QStringLiteral("Command1"));
            }};
}
// Double-clicks a name in the file list of "Read File".
Step chooseFile(const QString& name) {
    return {kReadFile, [name](QWidget* w) {
                auto* d = qobject_cast<frms_File_Disp*>(w);
                QVERIFY(d);
                const auto items = d->File1->findItems(name, Qt::MatchExactly);
                QCOMPARE(items.size(), 1);
                emit d->File1->itemActivated(items.first());
            }};
}
Step startLog(const QString& path, const QString& size) {
    return {kLogStart, [path, size](QWidget* w) {
                w->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(path);
                w->findChild<QComboBox*>(QStringLiteral("Cmb_Max_size"))->setCurrentText(size);
                clickChild(w, QStringLiteral("Command1"));
            }};
}

QByteArray pattern(int n) {
    QByteArray b(n, 0);
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return b;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Makes a named pipe and opens its read end without waiting for a writer; -1 on failure.
int pipeWithReader(const QString& pipe) {
    const QByteArray name = QFile::encodeName(pipe);
    return ::mkfifo(name.constData(), 0600) == 0 ? ::open(name.constData(), O_RDONLY | O_NONBLOCK)
                                                 : -1;
}

void setRecent(FakeEngine* engine, const QByteArray& bytes) {
    engine->recent.assign(bytes.begin(), bytes.end());
}

} // namespace

class StorageTest : public QObject {
    Q_OBJECT
private slots:
    void fileErrorTexts_data();
    void fileErrorTexts();
    void platformErrorsBecomeCodes_data();
    void platformErrorsBecomeCodes();
    void refusedAccessTellsReadFromWrite_data();
    void refusedAccessTellsReadFromWrite();
    void defaultNamesAndRanges();
    void logFileIsRecognised_data();
    void logFileIsRecognised();

    void viewShowsTheNewestScreen_data();
    void viewShowsTheNewestScreen();
    void viewClosesTheFileAndIgnoresASecondClickDuringTheFetch();

    void savedFileHoldsTheChosenBytes_data();
    void savedFileHoldsTheChosenBytes();
    void declinedOverwriteAndCloseBoxWriteNothing();
    void saveChoiceIsRemembered();
    void savingOntoTheLogIsRefused();
    void fullDiskIsReported();
    void pipeWithAReaderGetsEveryByte();
    void cancelEndsASaveIntoAStalledPipe();
    void savingThroughALink_data();
    void unfinishedSaveHasNoName_data();
    void unfinishedSaveHasNoName();
    void savingThroughALink();
    void failedSaveKeepsTheOldFile();

    void fileModeBars_data();
    void fileModeBars();
    void cancellingReadFile();
    void readFileRefusesLogAndMissingFiles();
    void readFileFolders();
    void fileNamedOnTheCommandLine();
    void namesAreBytes_data();
    void namesAreBytes();

    void logStartDialog();
    void logStopQuestion();
    void logThroughARealPortHoldsTheBytesSent();
    void logEndsAtItsSizeLimit();

    void paneExportsWhatItShows();
};

// ---- file errors ----

void StorageTest::fileErrorTexts_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addRow("disk full") << 61 << QStringLiteral("ディスクの空き容量が不足しています｡");
    QTest::addRow("file not found") << 53 << QStringLiteral("ファイルがみつかりません｡");
    QTest::addRow("path not found") << 76 << QStringLiteral("パスがみつかりません｡");
    QTest::addRow("device I/O") << 57 << QStringLiteral("デバイスＩ／Ｏエラーです｡");
    QTest::addRow("error while loading")
        << 31037 << QStringLiteral("ファイルの読み込み中にエラーが発生しました｡");
    QTest::addRow("error while saving")
        << 31036 << QStringLiteral("ファイルへの書込み中にエラーが発生しました｡");
    QTest::addRow("56 is not in the table")
        << 56 << QStringLiteral("予期せぬエラーが発生しました｡ 56");
    QTest::addRow("an unmapped errno keeps its number")
        << appSub::fileErrCodeFromErrno(EPROTO)
        << QStringLiteral("予期せぬエラーが発生しました｡ %1").arg(1000 + EPROTO);
}

void StorageTest::fileErrorTexts() {
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(appSub::fileErrText(code), text);

    // The message box shows exactly that text, with one OK button.
    auto seen = runAnswering([code] { appSub::xsubFileErrMsg(code); }, {answer(1)});
    QCOMPARE(seen->messages, QStringList{text});
}

void StorageTest::platformErrorsBecomeCodes_data() {
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("code");
    QTest::addRow("missing file in an existing folder") << "missing.log" << int(O_RDONLY) << 53;
    QTest::addRow("missing folder on the way") << "nofolder/missing.log" << int(O_RDONLY) << 76;
    QTest::addRow("a file used as a folder") << "plain.bin/x.log" << int(O_RDONLY) << 76;
    QTest::addRow("a folder opened for writing") << "sub" << int(O_WRONLY) << 75;
    QTest::addRow("exclusive create of an existing file")
        << "plain.bin" << int(O_WRONLY | O_CREAT | O_EXCL) << 58;
}

void StorageTest::platformErrorsBecomeCodes() {
    QFETCH(QString, relativePath);
    QFETCH(int, flags);
    QFETCH(int, code);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    writeFile(dir.filePath(QStringLiteral("plain.bin")), "x");
    const QString path = dir.filePath(relativePath);
    const int fd = ::open(QFile::encodeName(path).constData(), flags, 0666);
    QCOMPARE(fd, -1);
    QCOMPARE(appSub::fileErrCodeFromErrno(errno, path), code);
}

void StorageTest::refusedAccessTellsReadFromWrite_data() {
    QTest::addColumn<int>("err");
    QTest::addColumn<bool>("reading");
    QTest::addColumn<int>("code");
    QTest::addRow("a file that may not be read") << int(EACCES) << true << 75;
    QTest::addRow("a folder that may not be listed") << int(EPERM) << true << 75;
    QTest::addRow("a file that may not be written") << int(EACCES) << false << 70;
    QTest::addRow("a read-only medium") << int(EROFS) << false << 70;
}

void StorageTest::refusedAccessTellsReadFromWrite() {
    QFETCH(int, err);
    QFETCH(bool, reading);
    QFETCH(int, code);
    QCOMPARE(appSub::fileErrCodeFromErrno(err, QString(), reading), code);
}

// ---- names and ranges ----

void StorageTest::defaultNamesAndRanges() {
    const QDateTime t(QDate(2000, 3, 28), QTime(1, 45, 17));
    QCOMPARE(appSub::xfunDefaultFileName(QStringLiteral("/opt/tv"), QStringLiteral("MEM"), t),
             QStringLiteral("/opt/tv/MEM000328014517.log"));
    QCOMPARE(appSub::xfunDefaultFileName(QStringLiteral("/"), QStringLiteral("LOG"),
                                         QDateTime(QDate(2031, 12, 9), QTime(23, 5, 0))),
             QStringLiteral("/LOG311209230500.log"));

    struct Case {
        bool all;
        int32_t count, top, xDim, first, n;
    };
    const Case cases[] = {
        {false, 1000, 800, 200, 800, 200}, // the screen at the end
        {false, 50, 0, 200, 0, 50},        // less than a screen: everything
        {true, 327681, 5, 200, 0, 327681}, // all data ignores the view
        {false, 0, 0, 200, 0, 0},          // nothing to save
    };
    for (const Case& c : cases) {
        const auto r = appSub::xfunMemSaveRange(c.all, c.count, c.top, c.xDim);
        QCOMPARE(r.first, c.first);
        QCOMPARE(r.count, c.n);
    }
}

void StorageTest::logFileIsRecognised_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("log");
    QTest::addColumn<bool>("same");
    QTest::addRow("same text") << "log.bin"
                               << "log.bin" << true;
    QTest::addRow("differs only in letter case") << "LOG.BIN"
                                                 << "log.bin" << true;
    QTest::addRow("through a link") << "link.bin"
                                    << "log.bin" << true;
    QTest::addRow("through a relative part") << "sub/../log.bin"
                                             << "log.bin" << true;
    QTest::addRow("another file") << "other.bin"
                                  << "log.bin" << false;
    QTest::addRow("no log") << "log.bin"
                            << "" << false;
}

void StorageTest::logFileIsRecognised() {
    QFETCH(QString, chosen);
    QFETCH(QString, log);
    QFETCH(bool, same);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    writeFile(dir.filePath(QStringLiteral("log.bin")), "abc");
    writeFile(dir.filePath(QStringLiteral("other.bin")), "abc");
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("log.bin")),
                        dir.filePath(QStringLiteral("link.bin"))));
    QCOMPARE(
        appSub::xfunIsLogFile(dir.filePath(chosen), log.isEmpty() ? QString() : dir.filePath(log)),
        same);
}

// ---- memory view ----

void StorageTest::viewShowsTheNewestScreen_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("barsShown");
    QTest::addColumn<int>("barMax");
    QTest::addColumn<int>("largeChange");
    QTest::addColumn<QString>("countText");
    QTest::addRow("empty copy") << 0 << false << 0 << 1 << "0";
    QTest::addRow("less than a screen") << 150 << false << 150 << 15 << "150";
    QTest::addRow("exactly one screen shows the bars") << 200 << true << 200 << 20 << "200";
    QTest::addRow("above the cap") << 100000 << true << 30000 << 3000 << "100,000";
    QTest::addRow("a full copy") << 327681 << true << 30000 << 3000 << "327,681";
}

void StorageTest::viewShowsTheNewestScreen() {
    QFETCH(int, count);
    QFETCH(bool, barsShown);
    QFETCH(int, barMax);
    QFETCH(int, largeChange);
    QFETCH(QString, countText);
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    const QByteArray bytes = pattern(count);
    setRecent(started.engine, bytes);

    form->Cmd_Memory_Click();

    const AppState& s = app();
    QCOMPARE(s.iDispMode, int16_t(1));
    QCOMPARE(s.lMemCount, count);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(s.bMemBuf.data()), count), bytes);
    QCOMPARE(form->lbl_data_su->text(), countText);
    QCOMPARE(s.lMemTop, std::max(count - 200, 0));
    QCOMPARE(form->HScroll1->isVisible(), barsShown);
    QCOMPARE(form->HScroll2->isVisible(), barsShown);
    QCOMPARE(form->HScroll1->maximum(), barMax);
    QCOMPARE(form->HScroll1->pageStep(), largeChange);
    QCOMPARE(form->HScroll1->value(), barMax); // thumb at the end
    QCOMPARE(form->iBarLast, int16_t(0));
    QCOMPARE(form->iScrollBusy, int16_t(0));
    QCOMPARE(form->iMemBusy, int16_t(0));
    QCOMPARE(s.iLiveDraw, int16_t(1));
    QVERIFY(form->Timer1->isActive()); // the redraw is on its way
    finish(form);
}

namespace {
// Counts the fetches and, in the middle of the first one, lets a second "View" click arrive.
class ReentrantEngine : public FakeEngine {
public:
    frms_RS_GRAPH_1* form = nullptr;
    int fetches = 0;
    void MoveLastFirst(int32_t& count) override {
        ++fetches;
        FakeEngine::MoveLastFirst(count);
        QTimer::singleShot(0, form, [this] { form->Cmd_Memory_Click(); });
    }
};
} // namespace

void StorageTest::viewClosesTheFileAndIgnoresASecondClickDuringTheFetch() {
    QTemporaryDir dir;
    auto engine = std::make_unique<ReentrantEngine>();
    ReentrantEngine* raw = engine.get();
    auto* form = testsupport::startWithEngine(dir.path(), std::move(engine));
    raw->form = form;
    raw->recent.assign(20000, 0x55);

    const QString file = dir.filePath(QStringLiteral("shown.bin"));
    writeFile(file, pattern(500));
    runAnswering([form] { form->cmd_File_Click(); }, {chooseFile(QStringLiteral("shown.bin"))});
    const int fd = app().iFileNo;
    QVERIFY(fd >= 0);

    form->Cmd_Memory_Click();
    QCoreApplication::processEvents(); // a click still queued would run now

    QCOMPARE(raw->fetches, 1);
    QCOMPARE(app().iFileNo, -1);
    QCOMPARE(::fcntl(fd, F_GETFD), -1); // the descriptor is really closed
    QCOMPARE(app().lMemCount, 20000);
    finish(form);
}

// ---- saving memory ----

void StorageTest::savedFileHoldsTheChosenBytes_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("oldLength");
    QTest::addRow("displayed screen at the end") << 1000 << 800 << 1 << 800 << 200 << 0;
    QTest::addRow("displayed screen in the middle") << 1000 << 123 << 1 << 123 << 200 << 0;
    QTest::addRow("displayed, less than a screen") << 50 << 0 << 1 << 0 << 50 << 0;
    QTest::addRow("all data of a full copy") << 327681 << 327481 << 0 << 0 << 327681 << 0;
    QTest::addRow("an old longer file is cut") << 1000 << 800 << 1 << 800 << 200 << 10000;
}

void StorageTest::savedFileHoldsTheChosenBytes() {
    QFETCH(int, count);
    QFETCH(int, top);
    QFETCH(int, option);
    QFETCH(int, first);
    QFETCH(int, length);
    QFETCH(int, oldLength);
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    const QByteArray bytes = pattern(count);
    setRecent(started.engine, bytes);
    form->Cmd_Memory_Click();
    app().lMemTop = top;
    const QString path = dir.filePath(QStringLiteral("saved.log"));
    std::vector<Step> steps{saveAs(path, option)};
    if (oldLength > 0) {
        writeFile(path, QByteArray(oldLength, 'x'));
        steps.push_back(answer(6));
    }

    auto seen = runAnswering([form] { form->Cmd_memTOFile_Click(); }, steps);

    QCOMPARE(seen->next, steps.size());
    QCOMPARE(readFile(path), bytes.mid(first, length));
    QVERIFY(form->Cmd_memTOFile->isEnabled());
    finish(form);
}

void StorageTest::declinedOverwriteAndCloseBoxWriteNothing() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    setRecent(started.engine, pattern(300));
    form->Cmd_Memory_Click();
    const QString path = dir.filePath(QStringLiteral("keep.log"));
    writeFile(path, "precious");

    // "いいえ" to the overwrite question: the dialog stays open for another name.
    bool stillOpen = false;
    Step yesThenNo{kMemSave, [&](QWidget* w) {
                       saveAs(path, 0).act(w);
                       stillOpen = w->isVisible();
                       clickChild(w, QStringLiteral("Command2"));
                   }};
    auto seen = runAnswering([form] { form->Cmd_memTOFile_Click(); }, {yesThenNo, answer(7)});
    QVERIFY(stillOpen);
    QCOMPARE(seen->messages,
             QStringList{QStringLiteral("すでにこのファイルはあります｡上書きしますか？")});
    QCOMPARE(app().iDlgOK, int16_t(0));
    QCOMPARE(readFile(path), QByteArray("precious"));

    // The close box counts as "NO", whatever iDlgOK held before.
    app().iDlgOK = 1;
    const QString fresh = dir.filePath(QStringLiteral("fresh.log"));
    seen = runAnswering([form] { form->Cmd_memTOFile_Click(); },
                        {{kMemSave, [&](QWidget* w) {
                              w->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(fresh);
                              w->close();
                          }}});
    QCOMPARE(seen->windows, QStringList{QStringLiteral("frms_MemSave")});
    QCOMPARE(app().iDlgOK, int16_t(0));
    QVERIFY(!QFile::exists(fresh));
    finish(form);
}

void StorageTest::saveChoiceIsRemembered() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    setRecent(started.engine, pattern(300));
    form->Cmd_Memory_Click();

    for (int option : {0, 1, 0}) {
        const QString path = dir.filePath(QStringLiteral("choice%1.log").arg(option));
        QFile::remove(path);
        runAnswering([form] { form->Cmd_memTOFile_Click(); }, {saveAs(path, option)});
        QCOMPARE(app().iMemSaveMode, int16_t(option == 0 ? 1 : 0));

        // The next dialog opens with that choice and a fresh MEM proposal.
        bool checked = false;
        QString proposal;
        runAnswering([form] { form->Cmd_memTOFile_Click(); },
                     {{kMemSave, [&](QWidget* w) {
                           checked = w->findChild<QRadioButton*>(
                                          QStringLiteral("opn_data(%1)").arg(option))
                                         ->isChecked();
                           proposal = w->findChild<QLineEdit*>(QStringLiteral("Text1"))->text();
                           clickChild(w, QStringLiteral("Command2"));
                       }}});
        QVERIFY(checked);
        QVERIFY(proposal.startsWith(dir.path() + QStringLiteral("/MEM")));
        QCOMPARE(QFileInfo(proposal).fileName().size(), 3 + 12 + 4);
    }
    finish(form);
}

void StorageTest::savingOntoTheLogIsRefused() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    setRecent(started.engine, pattern(300));
    form->Cmd_Memory_Click();
    const QString log = dir.filePath(QStringLiteral("Running.log"));
    writeFile(log, "logged so far");
    app().iLogOn = 1;
    app().strLogFile = log;

    bool stillOpen = false;
    Step refused{kMemSave, [&](QWidget* w) {
                     saveAs(dir.filePath(QStringLiteral("RUNNING.LOG")), 0).act(w);
                     stillOpen = w->isVisible();
                     clickChild(w, QStringLiteral("Command2"));
                 }};
    auto seen = runAnswering([form] { form->Cmd_memTOFile_Click(); }, {refused, answer(1)});
    QVERIFY(stillOpen);
    QCOMPARE(seen->messages,
             QStringList{QStringLiteral("このファイルはロギング処理で使用しています｡")});
    QCOMPARE(readFile(log), QByteArray("logged so far"));
    finish(form);
}

void StorageTest::fullDiskIsReported() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    setRecent(started.engine, pattern(10000));
    form->Cmd_Memory_Click();

    auto seen = runAnswering([form] { form->Cmd_memTOFile_Click(); },
                             {saveAs(QStringLiteral("/dev/full"), 0), answer(6), answer(1)});
    QCOMPARE(seen->next, size_t(3));
    QCOMPARE(seen->messages.last(), QStringLiteral("ディスクの空き容量が不足しています｡"));
    QVERIFY(form->Cmd_memTOFile->isEnabled());

    // A folder that does not exist.
    seen = runAnswering([form] { form->Cmd_memTOFile_Click(); },
                        {saveAs(dir.filePath(QStringLiteral("gone/x.log")), 0), answer(1)});
    QCOMPARE(seen->messages, QStringList{QStringLiteral("パスがみつかりません｡")});

    // A named pipe that nobody reads is refused at once instead of waiting for a reader.
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    seen = runAnswering([form] { form->Cmd_memTOFile_Click(); },
                        {saveAs(pipe, 0), answer(6), answer(1)});
    QCOMPARE(seen->next, size_t(3));
    QCOMPARE(seen->messages.last(), QStringLiteral("デバイスが準備されていません｡"));
    finish(form);
}

void StorageTest::pipeWithAReaderGetsEveryByte() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    const QByteArray bytes = pattern(327681);
    setRecent(started.engine, bytes);
    form->Cmd_Memory_Click();
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    // A reader on another thread that takes its time, as a slow consumer does.
    const int readEnd = pipeWithReader(pipe);
    QVERIFY(readEnd >= 0);
    QByteArray received;
    std::thread reader([&] {
        char buf[4096];
        for (;;) {
            pollfd ready{readEnd, POLLIN, 0};
            ::poll(&ready, 1, 1000);
            const ssize_t n = ::read(readEnd, buf, sizeof buf);
            if (n == 0) break;
            if (n > 0) received.append(buf, n);
            ::usleep(200);
        }
    });
    auto seen = runAnswering([form] { form->Cmd_memTOFile_Click(); }, {saveAs(pipe, 0), answer(6)});
    reader.join();
    ::close(readEnd);
    QCOMPARE(seen->messages.size(), 1); // the overwrite question, no error
    QCOMPARE(received.size(), bytes.size());
    QVERIFY(received == bytes);
    finish(form);
}

void StorageTest::cancelEndsASaveIntoAStalledPipe() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    const QByteArray bytes = pattern(327681); // far more than a pipe holds
    setRecent(started.engine, bytes);
    form->Cmd_Memory_Click();
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    const int readEnd = pipeWithReader(pipe); // there, but taking nothing
    QVERIFY(readEnd >= 0);
    auto seen = runAnswering([form] { form->Cmd_memTOFile_Click(); },
                             {saveAs(pipe, 0), answer(6),
                              press(QStringLiteral("frms_File_Save"), QStringLiteral("Command1"))});
    QCOMPARE(seen->next, size_t(3));
    QCOMPARE(seen->messages.size(), 1); // the overwrite question: a cancel is no error
    QVERIFY(form->Cmd_memTOFile->isEnabled());
    // What was delivered stays delivered: the first bytes, in order.
    QByteArray received;
    char buf[4096];
    for (ssize_t n; (n = ::read(readEnd, buf, sizeof buf)) > 0;)
        received.append(buf, n);
    ::close(readEnd);
    QVERIFY(!received.isEmpty() && received.size() < bytes.size());
    QVERIFY(bytes.startsWith(received));
    finish(form);
}

void StorageTest::savingThroughALink_data() {
    QTest::addColumn<QString>("pointsTo"); // what the link "saved.log" holds
    QTest::addColumn<QString>("target");   // the file that gets the bytes, in the folder
    QTest::addColumn<bool>("exists");
    QTest::addRow("to an existing file") << QStringLiteral("real.log") << "real.log" << true;
    QTest::addRow("dangling") << QStringLiteral("new.log") << "new.log" << false;
    QTest::addRow("dangling into a subfolder") << "sub/new.log"
                                               << "sub/new.log" << false;
    QTest::addRow("to another link") << QStringLiteral("second") << "new.log" << false;
}

void StorageTest::savingThroughALink() {
    QFETCH(QString, pointsTo);
    QFETCH(QString, target);
    QFETCH(bool, exists);
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    const QByteArray bytes = pattern(1000);
    setRecent(started.engine, bytes);
    form->Cmd_Memory_Click();
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QVERIFY(QFile::link(QStringLiteral("new.log"), dir.filePath(QStringLiteral("second"))));
    if (exists) writeFile(dir.filePath(target), QByteArray(5000, 'o'));
    const QString link = dir.filePath(QStringLiteral("saved.log"));
    QCOMPARE(
        ::symlink(QFile::encodeName(pointsTo).constData(), QFile::encodeName(link).constData()), 0);

    std::vector<Step> steps{saveAs(link, 0)};
    if (exists) steps.push_back(answer(6));
    auto seen = runAnswering([form] { form->Cmd_memTOFile_Click(); }, steps);
    QCOMPARE(seen->next, steps.size());
    QCOMPARE(seen->messages.size(), exists ? 1 : 0);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), QFileInfo(dir.filePath(pointsTo)).absoluteFilePath());
    QCOMPARE(readFile(dir.filePath(target)), bytes);
    // Nothing else was left in the folders.
    QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    files += QDir(dir.filePath(QStringLiteral("sub"))).entryList(QDir::Files | QDir::Hidden);
    const QStringList expected{QStringLiteral("new.log"), QStringLiteral("real.log"),
                               QStringLiteral("saved.log"), QStringLiteral("second")};
    for (const QString& name : files)
        QVERIFY2(expected.contains(name) || name.startsWith(u'T'), qPrintable(name));
    finish(form);
}

void StorageTest::unfinishedSaveHasNoName_data() {
    QTest::addColumn<QString>("meanwhile"); // what becomes of the folder during the save
    QTest::addColumn<int>("code");
    QTest::addRow("folder kept") << QString() << 0;
    QTest::addRow("folder renamed") << QStringLiteral("rename") << 0;
    QTest::addRow("folder removed") << QStringLiteral("remove") << 76;
}

void StorageTest::unfinishedSaveHasNoName() {
    QFETCH(QString, meanwhile);
    QFETCH(int, code);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("f"));
    const QString renamed = dir.filePath(QStringLiteral("g"));
    QVERIFY(QDir().mkdir(folder));
    appSub::DataFileWriter file(folder + QStringLiteral("/new.log"));
    QCOMPARE(file.open(), 0);
    QCOMPARE(file.write(
                 reinterpret_cast<const uint8_t*>("abc"), 3, [](size_t) { return true; }, 0),
             0);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
    if (meanwhile == QStringLiteral("rename")) QVERIFY(QDir().rename(folder, renamed));
    if (meanwhile == QStringLiteral("remove")) QVERIFY(QDir().rmdir(folder));
    QCOMPARE(file.commit(), code);
    const QString landed = (meanwhile.isEmpty() ? folder : renamed) + QStringLiteral("/new.log");
    if (code == 0) QCOMPARE(readFile(landed), QByteArray("abc"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             meanwhile == QStringLiteral("remove")
                 ? QStringList()
                 : QStringList{QFileInfo(landed).dir().dirName()});
}

void StorageTest::failedSaveKeepsTheOldFile() {
    // A real full disk: a small file system of its own, which only root may mount.
    QTemporaryDir dir;
    const QByteArray disk = QFile::encodeName(dir.filePath(QStringLiteral("disk")));
    QVERIFY(QDir().mkpath(QFile::decodeName(disk)));
    if (::mount("tmpfs", disk.constData(), "tmpfs", 0, "size=128k") != 0)
        QSKIP("cannot mount a small file system here (needs root)");
    auto unmount = qScopeGuard([&] { ::umount2(disk.constData(), MNT_DETACH); });

    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    const QByteArray bytes = pattern(327681);
    setRecent(started.engine, bytes);
    form->Cmd_Memory_Click();
    const QString old = QFile::decodeName(disk) + QStringLiteral("/old.log");
    writeFile(old, QByteArray(60000, 'o'));
    QCOMPARE(::chmod(QFile::encodeName(old).constData(), 0640), 0);

    // A save that fits replaces the file and keeps its permissions.
    runAnswering([form] { form->Cmd_memTOFile_Click(); }, {saveAs(old, 1), answer(6)});
    QCOMPARE(readFile(old), bytes.mid(327481, 200));
    QCOMPARE(QFileInfo(old).permissions() & 0x0777, QFile::Permissions(0x0640));

    // One that does not fit: the message of a full disk, the old file whole, no half file.
    writeFile(old, QByteArray(60000, 'o'));
    auto seen = runAnswering([form] { form->Cmd_memTOFile_Click(); },
                             {saveAs(old, 0), answer(6), answer(1)});
    QCOMPARE(seen->messages.last(), QStringLiteral("ディスクの空き容量が不足しています｡"));
    QCOMPARE(readFile(old), QByteArray(60000, 'o'));
    const QString fresh = QFile::decodeName(disk) + QStringLiteral("/new.log");
    seen = runAnswering([form] { form->Cmd_memTOFile_Click(); }, {saveAs(fresh, 0), answer(1)});
    QCOMPARE(seen->messages.last(), QStringLiteral("ディスクの空き容量が不足しています｡"));
    QCOMPARE(QDir(QFile::decodeName(disk)).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("old.log")});
    finish(form);
}

// ---- loading a file ----

void StorageTest::fileModeBars_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("barsShown");
    QTest::addColumn<int>("barMax");
    QTest::addColumn<int>("largeChange");
    QTest::addColumn<QString>("countText");
    QTest::addRow("empty file") << 0 << false << -1 << -1 << "0";
    QTest::addRow("exactly one screen hides the bars") << 200 << false << -1 << -1 << "200";
    QTest::addRow("under the file cap") << 2500 << true << 2500 << 250 << "2,500";
    QTest::addRow("over the file cap") << 5000 << true << 30000 << 3000 << "5,000";
}

void StorageTest::fileModeBars() {
    QFETCH(int, length);
    QFETCH(bool, barsShown);
    QFETCH(int, barMax);
    QFETCH(int, largeChange);
    QFETCH(QString, countText);
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    const QString path = dir.filePath(QStringLiteral("data.log"));
    writeFile(path, pattern(length));

    runAnswering([form] { form->cmd_File_Click(); }, {chooseFile(QStringLiteral("data.log"))});

    const AppState& s = app();
    QCOMPARE(s.iDispMode, int16_t(0));
    QVERIFY(s.iFileNo >= 0);
    QCOMPARE(s.lFileLen, int64_t(length));
    QCOMPARE(s.lFileTop, int64_t(0));
    QCOMPARE(s.strDispFile, path);
    QCOMPARE(form->windowTitle(), QStringLiteral("Tessavue File ") + path);
    QCOMPARE(form->lbl_data_su->text(), countText);
    QCOMPARE(form->HScroll1->isVisible(), barsShown);
    QCOMPARE(form->HScroll2->isVisible(), barsShown);
    if (barsShown) {
        QCOMPARE(form->HScroll1->maximum(), barMax);
        QCOMPARE(form->HScroll1->pageStep(), largeChange);
        QCOMPARE(form->HScroll1->value(), 0);
    }
    QCOMPARE(form->Timer1->interval(), 100);
    QVERIFY(form->Timer1->isActive());
    QCOMPARE(s.strDataDir, dir.path()); // the dialog remembers where it was
    finish(form);
}

void StorageTest::cancellingReadFile() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;

    // Coming from Scanning mode: File mode without a file.
    runAnswering([form] { form->cmd_File_Click(); }, {closeWindow(kReadFile)});
    QCOMPARE(app().iDispMode, int16_t(0));
    QCOMPARE(app().iFileNo, -1);
    QCOMPARE(form->lbl_data_su->text(), QString());
    QVERIFY(!form->HScroll1->isVisible());
    QVERIFY(!form->HScroll2->isVisible());

    // With a file shown: the same file stays open and shown, and is redrawn after 100 ms.
    writeFile(dir.filePath(QStringLiteral("big.log")), pattern(2500));
    runAnswering([form] { form->cmd_File_Click(); }, {chooseFile(QStringLiteral("big.log"))});
    const int fd = app().iFileNo;
    form->Timer1->stop();
    runAnswering([form] { form->cmd_File_Click(); }, {closeWindow(kReadFile)});
    QCOMPARE(app().iFileNo, fd);
    QVERIFY(::fcntl(fd, F_GETFD) != -1);
    QCOMPARE(form->lbl_data_su->text(), QStringLiteral("2,500"));
    QCOMPARE(app().lFileLen, int64_t(2500));
    QVERIFY(form->Timer1->isActive());
    QCOMPARE(form->Timer1->interval(), 100);

    FileView::close();
    QCOMPARE(app().iFileNo, -1);
    QCOMPARE(::fcntl(fd, F_GETFD), -1);
    finish(form);
}

void StorageTest::readFileRefusesLogAndMissingFiles() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    writeFile(dir.filePath(QStringLiteral("capture.log")), pattern(10));
    writeFile(dir.filePath(QStringLiteral("vanishing.log")), pattern(10));
    app().strLogFile = dir.filePath(QStringLiteral("CAPTURE.LOG"));

    QString selAfterRefusal = QStringLiteral("unset");
    bool stillOpen = false;
    Step tryBoth{kReadFile, [&](QWidget* w) {
                     chooseFile(QStringLiteral("capture.log")).act(w);
                     selAfterRefusal = app().strSelFile;
                     QFile::remove(dir.filePath(QStringLiteral("vanishing.log")));
                     chooseFile(QStringLiteral("vanishing.log")).act(w);
                     stillOpen = w->isVisible();
                     w->close();
                 }};
    auto seen = runAnswering([form] { form->cmd_File_Click(); }, {tryBoth, answer(1), answer(1)});

    QCOMPARE(seen->messages,
             (QStringList{QStringLiteral("このファイルはロギング処理で使用しています｡"),
                          QStringLiteral("ファイルがみつかりません｡")}));
    QCOMPARE(selAfterRefusal, QString());
    QVERIFY(stillOpen);
    QCOMPARE(app().iFileNo, -1);
    QCOMPARE(app().strSelFile, QString());
    finish(form);
}

void StorageTest::fileNamedOnTheCommandLine() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("data")));
    const QString path = dir.filePath(QStringLiteral("data/big.log"));
    writeFile(path, pattern(2500));

    // A relative name, as typed in a terminal in that folder.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    form->xsubFileFromCommandLine(QStringLiteral("data/big.log"));
    QDir::setCurrent(cwd);
    const AppState& s = app();
    QCOMPARE(s.iDispMode, int16_t(0));
    QVERIFY(s.iFileNo >= 0);
    QCOMPARE(s.lFileLen, int64_t(2500));
    QCOMPARE(form->windowTitle(), QStringLiteral("Tessavue File ") + path);
    QCOMPARE(form->lbl_data_su->text(), QStringLiteral("2,500"));
    QVERIFY(form->HScroll1->isVisible());
    QCOMPARE(form->HScroll1->maximum(), 2500);
    QVERIFY(form->Timer1->isActive());
    QCOMPARE(s.strDataDir, dir.filePath(QStringLiteral("data"))); // "From File" opens there next

    // A missing file: the message "From File" gives, and File mode without a file.
    FileView::close();
    auto seen = runAnswering(
        [form, &dir] { form->xsubFileFromCommandLine(dir.filePath(QStringLiteral("gone.log"))); },
        {answer(1)});
    QCOMPARE(seen->messages, QStringList{QStringLiteral("ファイルがみつかりません｡")});
    QCOMPARE(s.iDispMode, int16_t(0));
    QCOMPARE(s.iFileNo, -1);
    // A folder holds no samples.
    seen = runAnswering([form, &dir] { form->xsubFileFromCommandLine(dir.path()); }, {answer(1)});
    QCOMPARE(seen->messages, QStringList{QStringLiteral("パス名が無効です｡")});
    QCOMPARE(s.iFileNo, -1);
    QCOMPARE(form->lbl_data_su->text(), QString());
    QVERIFY(!form->HScroll1->isVisible());
    finish(form);
}

void StorageTest::namesAreBytes_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addRow("UTF-8") << QByteArray("café.bin");
    QTest::addRow("four-byte UTF-8") << QByteArray("\xf0\x9f\x94\x8c.bin");
    QTest::addRow("Latin-1") << QByteArray("caf\xe9.bin");
    QTest::addRow("a lone continuation byte") << QByteArray("x\x80y");
    QTest::addRow("a sequence cut at the end") << QByteArray("end\xe3\x81");
    QTest::addRow("an encoded surrogate") << QByteArray("s\xed\xa0\x80");
    QTest::addRow("an overlong slash") << QByteArray("o\xc0\xaf");
}

void StorageTest::namesAreBytes() {
    QFETCH(QByteArray, name);
    QCOMPARE(xfunNameToBytes(xfunNameFromBytes(name)), name);
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    const int fd = ::open(folder + name, O_WRONLY | O_CREAT, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, pattern(300).constData(), 300), ssize_t(300));
    ::close(fd);
    const AppState& s = app();

    // From the command line, as main() gets it.
    form->xsubFileFromCommandLine(xfunNameFromBytes(folder + name));
    QVERIFY(s.iFileNo >= 0);
    QCOMPARE(s.lFileLen, int64_t(300));
    FileView::close();

    // From the list of "Read File".
    runAnswering([form] { form->cmd_File_Click(); }, {chooseFile(xfunNameFromBytes(name))});
    QVERIFY(s.iFileNo >= 0);
    QCOMPARE(s.lFileLen, int64_t(300));
    FileView::close();

    // Saved under such a name.
    const QByteArray copy = name + ".2";
    QCOMPARE(appSub::xfunSaveBytes(xfunNameFromBytes(folder + copy),
                                   reinterpret_cast<const uint8_t*>("abc"), 3,
                                   [](size_t) { return true; }),
             0);
    char back[8] = {};
    const int saved = ::open(folder + copy, O_RDONLY);
    QVERIFY(saved >= 0);
    QCOMPARE(::read(saved, back, sizeof back), ssize_t(3));
    ::close(saved);
    QCOMPARE(QByteArray(back), QByteArray("abc"));
    finish(form);
}

void StorageTest::readFileFolders() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    QDir(dir.path()).mkpath(QStringLiteral("data/deeper"));
    writeFile(dir.filePath(QStringLiteral("data/a.log")), "a");
    writeFile(dir.filePath(QStringLiteral("data/b.bin")), "b");

    // A remembered folder that is gone: the dialog opens in the program directory.
    app().strDataDir = dir.filePath(QStringLiteral("removed"));
    QString opened;
    QStringList dirs;
    QStringList files;
    Step browse{kReadFile, [&](QWidget* w) {
                    auto* d = qobject_cast<frms_File_Disp*>(w);
                    opened = d->folder();
                    auto entry = d->Dir1->findItems(QStringLiteral("data"), Qt::MatchExactly);
                    QCOMPARE(entry.size(), 1);
                    emit d->Dir1->itemActivated(entry.first());
                    for (int i = 0; i < d->Dir1->count(); ++i)
                        dirs << d->Dir1->item(i)->text();
                    for (int i = 0; i < d->File1->count(); ++i)
                        files << d->File1->item(i)->text();
                    w->close();
                }};
    runAnswering([form] { form->cmd_File_Click(); }, {browse});
    QCOMPARE(opened, dir.path());
    QCOMPARE(dirs, (QStringList{QStringLiteral(".."), QStringLiteral("deeper")}));
    QCOMPARE(files, (QStringList{QStringLiteral("a.log"), QStringLiteral("b.bin")})); // no filter
    QCOMPARE(app().strDataDir, dir.filePath(QStringLiteral("data"))); // closed by the close box

    // It opens there again; ".." goes up, "My Folder" goes home.
    QString reopened;
    QString afterUp;
    QString afterHome;
    QString afterVanished;
    Step move{kReadFile, [&](QWidget* w) {
                  auto* d = qobject_cast<frms_File_Disp*>(w);
                  reopened = d->folder();
                  emit d->Dir1->itemActivated(d->Dir1->item(0));
                  afterUp = d->folder();
                  emit d->Dir1->itemActivated(
                      d->Dir1->findItems(QStringLiteral("data"), Qt::MatchExactly).first());
                  clickChild(w, QStringLiteral("Cmd_MyFolder"));
                  afterHome = d->folder();
                  QCOMPARE(d->findChild<QLabel*>(QStringLiteral("lbl_Folder"))->text(), afterHome);
                  // A listed folder removed behind the dialog's back: its message, no move.
                  QVERIFY(QDir(dir.filePath(QStringLiteral("data"))).removeRecursively());
                  emit d->Dir1->itemActivated(
                      d->Dir1->findItems(QStringLiteral("data"), Qt::MatchExactly).first());
                  afterVanished = d->folder();
                  w->close();
              }};
    auto seen = runAnswering([form] { form->cmd_File_Click(); }, {move, answer(1)});
    QCOMPARE(seen->messages, QStringList{QStringLiteral("パスがみつかりません｡")});
    QCOMPARE(afterVanished, dir.path());
    QCOMPARE(reopened, dir.filePath(QStringLiteral("data")));
    QCOMPARE(afterUp, dir.path());
    QCOMPARE(afterHome, dir.path());
    QCOMPARE(app().strDataDir, dir.path());
    finish(form);
}

// ---- logging ----

void StorageTest::logStartDialog() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    FakeEngine* engine = started.engine;
    app().lLogMaxMB = 3;
    const QString log = dir.filePath(QStringLiteral("old.log"));
    writeFile(log, pattern(5000));

    // Opens with the saved size; "10 MB" over an existing file empties it before the start.
    QString shownSize;
    QString proposal;
    Step start{kLogStart, [&](QWidget* w) {
                   shownSize =
                       w->findChild<QComboBox*>(QStringLiteral("Cmb_Max_size"))->currentText();
                   proposal = w->findChild<QLineEdit*>(QStringLiteral("Text1"))->text();
                   startLog(log, QStringLiteral("10 MB")).act(w);
               }};
    auto seen = runAnswering([form] { form->Cmd_Log_Click(); }, {start, answer(6)});
    QCOMPARE(shownSize, QStringLiteral("3 MB"));
    QVERIFY(proposal.startsWith(dir.path() + QStringLiteral("/LOG")));
    QCOMPARE(engine->logMaxBytes, 10485760);
    QCOMPARE(QString::fromStdString(engine->logPath), log);
    QCOMPARE(QFileInfo(log).size(), 0);
    QCOMPARE(app().lLogMaxMB, 10);
    QCOMPARE(app().iLogOn, int16_t(1));
    QCOMPARE(app().strLogFile, log);
    QCOMPARE(form->iRedrawReq, int16_t(1));
    QCOMPARE(form->iClearReq, int16_t(1));
    engine->LogStop();
    app().iLogOn = 0;

    // "NO", and the close box, start nothing and forget the name.
    for (const Step& cancel :
         {press(kLogStart, QStringLiteral("Command2")), closeWindow(kLogStart)}) {
        app().iDlgOK = 1;
        app().strLogFile.clear();
        runAnswering([form] { form->Cmd_Log_Click(); }, {cancel});
        QCOMPARE(app().iLogOn, int16_t(0));
        QCOMPARE(app().strLogFile, QString());
        QCOMPARE(app().iDlgOK, int16_t(0));
    }

    // The engine refuses the file: logging stays off, the name is kept.
    engine->logStartResult = ENOENT;
    const QString bad = dir.filePath(QStringLiteral("x.log"));
    seen = runAnswering([form] { form->Cmd_Log_Click(); },
                        {startLog(bad, QStringLiteral("1 MB")), answer(1)});
    QCOMPARE(seen->messages, QStringList{QStringLiteral(
                                 "ファイルがオープンできません｡ (ファイルがみつかりません｡)")});
    QCOMPARE(app().iLogOn, int16_t(0));
    QCOMPARE(app().strLogFile, bad);

    // An existing file that cannot be emptied (a folder): its file error, the dialog stays
    // open, and nothing waits.
    const std::pair<QString, QString> unemptiable[] = {
        {dir.path(), QStringLiteral("パス名が無効です｡")}};
    for (const auto& [path, message] : unemptiable) {
        bool stillOpen = false;
        Step blocked{kLogStart, [&](QWidget* w) {
                         startLog(path, QStringLiteral("1 MB")).act(w);
                         stillOpen = w->isVisible();
                         clickChild(w, QStringLiteral("Command2"));
                     }};
        seen = runAnswering([form] { form->Cmd_Log_Click(); }, {blocked, answer(6), answer(1)});
        QVERIFY(stillOpen);
        QCOMPARE(seen->messages.last(), message);
        QCOMPARE(app().iLogOn, int16_t(0));
    }
    finish(form);
}

void StorageTest::logStopQuestion() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    const QString log = dir.filePath(QStringLiteral("run.log"));
    runAnswering([form] { form->Cmd_Log_Click(); }, {startLog(log, QStringLiteral("1 MB"))});
    QCOMPARE(app().iLogOn, int16_t(1));

    for (const Step& keep : {answer(7), closeWindow(kMsgBox)}) {
        auto seen = runAnswering([form] { form->Cmd_Log_Click(); }, {keep});
        QCOMPARE(seen->messages, QStringList{QStringLiteral("ログを中止しますか？")});
        QCOMPARE(app().iLogOn, int16_t(1));
        QCOMPARE(app().strLogFile, log);
        QCOMPARE(started.engine->logStopCalls, 0);
    }
    runAnswering([form] { form->Cmd_Log_Click(); }, {answer(6)});
    QCOMPARE(app().iLogOn, int16_t(0));
    QCOMPARE(app().strLogFile, QString());
    QCOMPARE(started.engine->logStopCalls, 1);
    finish(form);
}

namespace {
// A pseudo-terminal whose far end the test writes to, as an instrument would.
struct Pty {
    int master = -1;
    int slave = -1;
    QString path;
    Pty() {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) == 0)
            path = QString::fromLocal8Bit(ptsname(master));
        ::fcntl(master, F_SETFL, O_NONBLOCK);
    }
    ~Pty() {
        ::close(master);
        ::close(slave);
    }
};

frms_RS_GRAPH_1* startOnPty(const QString& dir, const Pty& pty) {
    auto* form = testsupport::startWithEngine(dir, tessavue::makeLinuxSerialEngine());
    AppState& s = app();
    if (s.engine->OpenCommPort(pty.path.toStdString()) != -1) return form;
    s.engine->SetCommPortParam("115200,0,8,0,0");
    s.iScanSource = 0;
    s.iPortOpen = 1;
    return form;
}

// Writes `bytes` into the master while receive ticks run, until the window has counted all of
// them; `afterTick` looks at the window after every tick.
void feed(
    frms_RS_GRAPH_1* form, const Pty& pty, const QByteArray& bytes,
    const std::function<void()>& afterTick = [] {}) {
    const int64_t countBefore = app().lRcvCount;
    qsizetype written = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        if (written < bytes.size()) {
            const ssize_t n = ::write(pty.master, bytes.constData() + written,
                                      static_cast<size_t>(bytes.size() - written));
            if (n > 0) written += n;
        }
        form->Timer_Receive_Timer();
        afterTick();
        if (app().lRcvCount - countBefore >= bytes.size()) return;
        QTest::qWait(1);
    }
    QFAIL("the bytes did not come through");
}

constexpr int32_t kLogOnRed = 0x0000FF;
constexpr int32_t kLogOffGrey = 0xC0C0C0;
} // namespace

void StorageTest::logThroughARealPortHoldsTheBytesSent() {
    QTemporaryDir dir;
    Pty pty;
    QVERIFY(!pty.path.isEmpty());
    auto* form = startOnPty(dir.path(), pty);
    QCOMPARE(app().iPortOpen, int16_t(1));
    const QString log = dir.filePath(QStringLiteral("wire.log"));

    runAnswering([form] { form->Cmd_Log_Click(); }, {startLog(log, QStringLiteral("1 MB"))});
    QCOMPARE(app().iLogOn, int16_t(1));
    QCOMPARE(backColor(form->Cmd_Log), kLogOnRed);
    const QByteArray sent = pattern(70000);
    feed(form, pty, sent);
    QCOMPARE(app().iLogOn, int16_t(1));
    QCOMPARE(app().lRcvCount, int32_t(sent.size()));
    runAnswering([form] { form->Cmd_Log_Click(); }, {answer(6)});
    QCOMPARE(app().iLogOn, int16_t(0));
    QCOMPARE(backColor(form->Cmd_Log), kLogOffGrey);

    QCOMPARE(readFile(log), sent);
    // The trace holds the newest screen of the same bytes.
    const int16_t N = app().ChData[0].iXDim;
    for (int16_t k = 0; k < N; ++k)
        QCOMPARE(ini::xfunRingGet(k, 0), int16_t(uint8_t(sent[sent.size() - N + k])));
    finish(form);
}

void StorageTest::logEndsAtItsSizeLimit() {
    QTemporaryDir dir;
    Pty pty;
    auto* form = startOnPty(dir.path(), pty);
    const QString log = dir.filePath(QStringLiteral("limited.log"));
    runAnswering([form] { form->Cmd_Log_Click(); }, {startLog(log, QStringLiteral("1 MB"))});
    QCOMPARE(app().iLogOn, int16_t(1));

    // The tick that learns of the full log ends it there and then, with no question asked.
    int16_t endStatus = tessavue::SerialEngine::kLogContinues;
    bool greyAtOnce = false;
    QString nameLeft = QStringLiteral("unset");
    const auto watch = [&] {
        if (endStatus != tessavue::SerialEngine::kLogContinues || app().iLogSt == endStatus) return;
        endStatus = app().iLogSt;
        greyAtOnce = app().iLogOn == 0 && backColor(form->Cmd_Log) == kLogOffGrey;
        nameLeft = app().strLogFile;
    };
    const QByteArray sent = pattern(1048576 + 5000);
    feed(form, pty, sent, watch);

    // Later ticks find no log open and report it as going on; the ending tick saw the limit.
    QCOMPARE(endStatus, tessavue::SerialEngine::kLogSizeLimit);
    QVERIFY(greyAtOnce);
    QCOMPARE(nameLeft, QString());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    const QByteArray logged = readFile(log);
    QVERIFY(logged.size() <= 1048576);
    QVERIFY(logged.size() > 1000000);
    QCOMPARE(logged, sent.left(logged.size()));

    // Reception goes on after the log has ended; the log takes no more.
    const QByteArray later = pattern(3000);
    feed(form, pty, later);
    QCOMPARE(app().lRcvCount, int32_t(sent.size() + later.size()));
    QCOMPARE(app().iLogOn, int16_t(0));
    QCOMPARE(readFile(log).size(), logged.size());
    finish(form);
}

// ---- exports of the pane ----

void StorageTest::paneExportsWhatItShows() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    auto* form = started.form;
    // Ten samples a screen: the newest screen of twelve starts at sample 2.
    app().ChData[0].iXDim = 10;
    setRecent(started.engine, QByteArray::fromHex("0102007F80FF0A41649C30C8"));
    form->Cmd_Memory_Click();
    form->Timer1_Timer();
    QCOMPARE(app().lMemTop, 2);

    const QByteArray signedCsv("Sample,Value,Hex\n2,0,00h\n3,127,7Fh\n4,-128,80h\n5,-1,FFh\n"
                               "6,10,0Ah\n7,65,41h\n8,100,64h\n9,-100,9Ch\n10,48,30h\n"
                               "11,-56,C8h\n");
    QString proposal;
    auto saveTo = [&proposal](const QString& path) {
        return Step{kSaveAs, [&proposal, path](QWidget* w) {
                        auto* name = w->findChild<QLineEdit*>(QStringLiteral("Text1"));
                        proposal = name->text();
                        name->setText(path);
                        clickChild(w, QStringLiteral("Command1"));
                    }};
    };
    const QString csvPath = dir.filePath(QStringLiteral("view.csv"));
    auto seen = runAnswering([form] { form->mnu_SaveCsv->trigger(); }, {saveTo(csvPath)});
    QCOMPARE(seen->next, size_t(1));
    QCOMPARE(readFile(csvPath), signedCsv);
    const QString home = app().strHomeDir + u'/';
    QVERIFY2(proposal.startsWith(home + QStringLiteral("CSV")) && proposal.endsWith(".csv") &&
                 proposal.size() == home.size() + 19,
             qPrintable(proposal));

    // The picture: the pane's size, each sample's pixel where the mapping puts it.
    const QString pngPath = dir.filePath(QStringLiteral("view.png"));
    seen = runAnswering([form] { form->mnu_SaveImage->trigger(); }, {saveTo(pngPath)});
    QVERIFY(proposal.startsWith(home + QStringLiteral("IMG")) && proposal.endsWith(".png"));
    const QImage png(pngPath, "PNG");
    QCOMPARE(png.size(), form->pic_graph->size());
    const QByteArray shown = QByteArray::fromHex("007F80FF0A41649C30C8");
    for (int i = 1; i < shown.size(); ++i) { // sample 0 lies under the Y axis
        const int16_t v = xfunSignedValue(static_cast<uint8_t>(shown[i]), 1);
        const int px = static_cast<int>(xfunMapX(int16_t(i), 9, 7800, 720) / 15);
        const int py = static_cast<int>(xfunMapY(v, 260, -130, 4800, 5040) / 15);
        bool red = false;
        for (int y = py - 1; y <= py + 1; ++y)
            for (int x = px - 1; x <= px + 1; ++x)
                red = red || (png.valid(x, y) && png.pixel(x, y) == qRgb(255, 0, 0));
        QVERIFY2(red,
                 qPrintable(QStringLiteral("sample %1 not at (%2, %3)").arg(i).arg(px).arg(py)));
    }

    // The same text on the clipboard, in the view that is on.
    form->Opn_YDim[1]->click();
    form->mnu_CopyValues->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("Sample,Value,Hex\n2,0,00h\n3,127,7Fh\n4,128,80h\n5,255,FFh\n"
                            "6,10,0Ah\n7,65,41h\n8,100,64h\n9,156,9Ch\n10,48,30h\n11,200,C8h\n"));

    // A missing folder is told, an existing file is only replaced when the user agrees.
    seen = runAnswering([form] { form->mnu_SaveCsv->trigger(); },
                        {saveTo(dir.filePath(QStringLiteral("gone/x.csv"))), answer(1)});
    QCOMPARE(seen->messages, QStringList{QStringLiteral("パスがみつかりません｡")});
    bool stillOpen = false;
    Step declineThenClose{kSaveAs, [&](QWidget* w) {
                              saveTo(csvPath).act(w);
                              stillOpen = w->isVisible();
                              w->close();
                          }};
    seen = runAnswering([form] { form->mnu_SaveCsv->trigger(); }, {declineThenClose, answer(7)});
    QCOMPARE(seen->next, size_t(2));
    QVERIFY(stillOpen);
    QCOMPARE(readFile(csvPath), signedCsv);
    finish(form);
}

QTEST_MAIN(StorageTest)
#include "test_storage.moc"
