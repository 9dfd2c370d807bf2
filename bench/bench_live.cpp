// Cost of the live trace, 800 samples a screen:
// (a) one receive tick that brings data (12 bytes, as at 115,200 baud), timed inside the real
//     window; the pane is painted between ticks, as in the program, but not timed;
// (b) the real program's CPU use on an X server of its own while a virtual device streams a
//     sine into the Scanning display, at 115,200 and at 3,000,000 baud;
// (c) the same with the device silent (its port open, nothing arriving), the floor under (b);
// (d) how often the pane is painted at 3,000,000 baud: this benchmark runs itself on such a
//     server with the real engine on a virtual device and counts the pane's paint events;
// (e) as (b) at 3,000,000 baud with the trigger armed through the window (xdotool), the sine
//     held still;
// (f) the program's CPU use for 10 s after its device was unplugged, while it tries to reopen it;
// (g) as (b) at 3,000,000 baud with the measurement and spectrum windows opened through the
//     pane's menu (xdotool), both following the moving trace;
// (h) as (b), side by side in one run with bench_plain_plot, a plain Qt program doing the same
//     visible work: the program's CPU use over the plain program's; also at 3,000,000 baud with
//     the device sending frames of 8 floats, the program seeing them through the lens
//     "bin f32le*8" and the plain program drawing the 8 channels as 8 polylines, and once more
//     with the trigger on the lens's first channel armed through the pane's menu (xdotool);
// (i) latency: the main window on the real engine reads a pseudo-terminal this benchmark writes
//     at the line's byte rate; the time from writing a step between two levels into it to the
//     end of the first paint of the pane whose picture shows it, over kLatencySteps steps.
// With --side-by-side only (h) and (i) run (a few minutes), and the last line has their figures.
// Last line: tick_redraw_us=<x> cpu_percent_115200=<y> cpu_percent_3000000=<z>
// paint_fps_3000000=<w> cpu_percent_lost=<v> cpu_percent_trigger_3000000=<u>
// cpu_percent_analysis_3000000=<t> cpu_percent_console_3000000=<c>
// cpu_ratio_to_plain_115200=<r> cpu_ratio_to_plain_3000000=<q>
// cpu_percent_lens_3000000=<l> cpu_ratio_lens8_to_plain_3000000=<k>
// cpu_percent_lens_trigger_3000000=<j>
// latency_ms_median_115200=<m> latency_ms_worst_115200=<n> latency_ms_median_3000000=<o>
// latency_ms_worst_3000000=<p>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QProcess>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>
#include <pty.h>
#include <sys/prctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "app/Main.h"
#include "app/Settings.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "toolkit/PictureBox.h"

namespace {

// 115,200 baud with 10 bits a byte is 11.5 bytes per millisecond: one 1 ms tick's worth.
constexpr int kBytesPerTick = 12;
constexpr int kWarmupTicks = 200;
constexpr int kTimedTicks = 3000;
constexpr int kSamplesPerScreen = 800;
constexpr int kMeasureSeconds = 30;
constexpr int kLostSeconds = 10;
constexpr int kPaintSeconds = 10;
constexpr int kSettleSeconds = 3;
const char kPaneFpsMode[] = "--pane-fps";
const char kLatencyMode[] = "--latency";
constexpr int kLatencySteps = 40;
// Two levels the steps go between, and how long each is held: long against a frame, and
// varied, so that the steps fall anywhere between two paints.
constexpr uint8_t kLatencyLevels[2] = {40, 90};
constexpr int kLatencyHoldMs = 200;
constexpr int kLatencyHoldSpreadMs = 90;
// The many-channel stream of (h): its lens, for the device and the program, and its channels.
const QString kLens8 = QStringLiteral("bin f32le*8");
constexpr int kLens8Channels = 8;

// Hands out a sine, a few bytes at every fetch, as a device at 115,200 baud would.
class ScriptedEngine : public tessavue::SerialEngine {
public:
    int16_t OpenCommPort(const std::string&) override { return -1; }
    void SetCommPortParam(const std::string&) override {}
    void ResetStatus() override {}
    void CloseCommPort() override {}
    void RcvDataFirst(int32_t& count, int32_t&, int16_t, int16_t& logSt, int32_t&) override {
        for (uint8_t& b : m_batch)
            b = next();
        count = kBytesPerTick;
        logSt = kLogContinues;
    }
    void RcvDataNext(uint8_t& value, int16_t index) override {
        value = m_batch[static_cast<size_t>(index)];
    }
    void ReadModemStatus(uint8_t& status) override { status = 0; }
    void SetLineSt(int16_t) override {}
    int32_t LogStart(const std::string&, int32_t, int32_t) override { return 0; }
    void LogStop() override {}
    void MoveLastFirst(int32_t& count) override { count = 0; }
    void MoveLastData(uint8_t& value, int32_t) override { value = 0; }
    void LastClear() override {}
    uint64_t droppedBytes() const override { return 0; }
    bool portLost() const override { return false; }
    int16_t reopenCommPort() override { return -1; }

    uint8_t next() {
        const auto v = static_cast<int>(std::lround(100 * std::sin(m_angle * M_PI / 180)));
        m_angle = (m_angle + 1) % 360;
        return static_cast<uint8_t>(v & 0xFF);
    }

private:
    std::array<uint8_t, kBytesPerTick> m_batch{};
    int m_angle = 0;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// (a) Median microseconds of one tick with data.
double timeTick(const QString& programDir) {
    app() = AppState{};
    auto owned = std::make_unique<ScriptedEngine>();
    ScriptedEngine* engine = owned.get();
    app().engine = std::move(owned);
    frms_RS_GRAPH_1* form = ini::xsubStartUp(programDir);
    for (QTimer* t : {form->Timer_Receive, form->Timer_Start, form->Timer_date, form->Timer1})
        t->stop();

    AppState& s = app();
    s.ChData[0].iXDim = kSamplesPerScreen;
    s.iScanSource = 0;
    s.iPortOpen = 1;
    for (int i = 0; i < 1000; ++i)
        ini::xsubRingAdd(0, engine->next());

    std::vector<double> us;
    us.reserve(kTimedTicks);
    QElapsedTimer clock;
    for (int i = 0; i < kWarmupTicks + kTimedTicks; ++i) {
        clock.start();
        form->Timer_Receive_Timer();
        const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1000.0;
        if (i >= kWarmupTicks) us.push_back(elapsed);
        // Let the throttled repaints happen between ticks, as they would in the program.
        if (i % 16 == 0) QCoreApplication::processEvents();
    }
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    delete form;
    app() = AppState{};
    return median(us);
}

// A child that must not outlive this benchmark, however the benchmark ends.
void startChild(QProcess& p, const QString& program, const QStringList& args,
                const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    p.setProcessEnvironment(env);
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    p.start(program, args);
}

void stopChild(QProcess& p) {
    if (p.state() == QProcess::NotRunning) return;
    p.terminate();
    ::kill(static_cast<pid_t>(p.processId()), SIGCONT); // a scenario may have paused it
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

// An X server of our own; stopped with this object.
class VirtualScreen {
public:
    VirtualScreen() {
        // A true-colour screen, as desktops have; the server names its free display on stdout.
        startChild(m_server, QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                    QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QByteArray out;
        QElapsedTimer waited;
        waited.start();
        while (!out.contains('\n') && waited.elapsed() < 10000 && m_server.waitForReadyRead(1000))
            out += m_server.readAllStandardOutput();
        if (out.contains('\n'))
            m_display = QStringLiteral(":") + QString::fromLatin1(out.trimmed());
    }
    ~VirtualScreen() { stopChild(m_server); }

    bool ok() const { return !m_display.isEmpty(); }
    // An environment for a Qt program that shows its windows on this server.
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }

private:
    QProcess m_server;
    QString m_display;
};

// Settings in `programDir` that make the program open `port` at `baud`, 800 samples a screen.
bool writeSettings(const QString& programDir, const QString& port, const QString& baud) {
    app() = AppState{};
    ini::xsubSetDefaults(programDir);
    AppState& s = app();
    s.iScanSource = 0;
    s.strPortName = port;
    s.strBaud = baud;
    s.ChData[0].iXDim = kSamplesPerScreen;
    QFile settings(appSub::settingsPath(programDir));
    const bool written =
        settings.open(QIODevice::WriteOnly) && settings.write(appSub::settingsBytes(s)) >= 0;
    app() = AppState{};
    return written;
}

// A program folder holding a copy of the program and settings that open a virtual device,
// which streams a sine at the given rate while this object lives; with a lens, the device
// sends that lens's frames instead and the program starts with the lens chosen. Frames without
// sync bytes are only found from their first byte, so that device waits to be told "go" (the
// program sends it with --send) and begins with a whole frame.
class StreamingSetup {
public:
    StreamingSetup(const QString& buildDir, const QString& baud, const QString& lens = {}) {
        const QString vdevTool = buildDir + QStringLiteral("/tools/tessavue-vdev");
        m_program = m_dir.filePath(QStringLiteral("tessavue"));
        if (!QFile::copy(buildDir + QStringLiteral("/tessavue"), m_program)) {
            m_problem = QStringLiteral("the program is not built");
            return;
        }
        const QString link = m_dir.filePath(QStringLiteral("ttyV0"));
        QStringList content{QStringLiteral("--wave"), QStringLiteral("sine")};
        if (!lens.isEmpty()) {
            content = {QStringLiteral("--format"), lens, QStringLiteral("--wait-for"),
                       QStringLiteral("go\\r\\n")};
            m_arguments = {QStringLiteral("--lens"), lens, QStringLiteral("--send"),
                           QStringLiteral("go\\r\\n")};
        }
        startChild(m_device, vdevTool,
                   QStringList{QStringLiteral("--link"), link, QStringLiteral("--baud"), baud} +
                       content);
        for (int i = 0; i < 100 && !QFileInfo::exists(link); ++i)
            QThread::msleep(50);
        if (!QFileInfo::exists(link)) {
            m_problem = QStringLiteral("the virtual device did not come up");
            return;
        }
        if (!writeSettings(m_dir.path(), link, baud))
            m_problem = QStringLiteral("the settings could not be written");
        m_link = link;
    }
    ~StreamingSetup() { stopChild(m_device); }

    // Empty when the setup is complete.
    const QString& problem() const { return m_problem; }
    QString programDir() const { return m_dir.path(); }
    const QString& program() const { return m_program; }
    // What the program is started with.
    const QStringList& arguments() const { return m_arguments; }
    QProcess& device() { return m_device; }
    // Where the virtual device is.
    const QString& link() const { return m_link; }

private:
    QTemporaryDir m_dir;
    QString m_program;
    QStringList m_arguments;
    QString m_link;
    QProcess m_device;
    QString m_problem;
};

std::optional<long long> cpuTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which sits in parentheses and may hold spaces.
    const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (f.size() < 13) return std::nullopt;
    return f[11].toLongLong() + f[12].toLongLong(); // utime, stime, all threads
}

// CPU use in percent of one core of each process over `seconds`, all measured over the same
// time; NaN for one that ended meanwhile.
std::vector<double> cpuPercents(const std::vector<QProcess*>& processes, int seconds) {
    std::vector<std::optional<long long>> before;
    for (QProcess* p : processes)
        before.push_back(cpuTicks(p->processId()));
    QElapsedTimer wall;
    wall.start();
    QThread::sleep(seconds);
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    std::vector<double> percent;
    for (size_t i = 0; i < processes.size(); ++i) {
        const auto after = cpuTicks(processes[i]->processId());
        const bool ran = before[i] && after && processes[i]->state() == QProcess::Running;
        percent.push_back(ran ? 100.0 * static_cast<double>(*after - *before[i]) /
                                    static_cast<double>(sysconf(_SC_CLK_TCK)) / elapsed
                              : NAN);
    }
    return percent;
}

// What a scenario does once the program has settled: to the device (stop it, for example) or
// to the window on `screen`. False, after a note saying why, when it could not be done.
using Scenario = std::function<bool(QProcess& device, const QProcessEnvironment& screen)>;

// (b) The real program on its own X server with a virtual device at `baud` as its port: its
// CPU use in percent of one core over `seconds` once it has settled and a scenario, if any,
// has run. NaN, with the reason, when it cannot run.
double programCpuPercent(const QString& buildDir, const QString& baud, int seconds,
                         const Scenario& beforeMeasuring = {}) {
    VirtualScreen screen;
    if (!screen.ok()) {
        std::printf("note: no X server (Xvfb) could be started, no CPU figure\n");
        return NAN;
    }
    StreamingSetup setup(buildDir, baud);
    if (!setup.problem().isEmpty()) {
        std::printf("note: %s, no CPU figure\n", qPrintable(setup.problem()));
        return NAN;
    }
    QProcess program;
    startChild(program, setup.program(), {}, screen.environment());
    double percent = NAN;
    if (program.waitForStarted(10000)) {
        QThread::sleep(kSettleSeconds);
        if (beforeMeasuring && !beforeMeasuring(setup.device(), screen.environment())) {
            stopChild(program);
            return NAN;
        }
        percent = cpuPercents({&program}, seconds).front();
        if (std::isnan(percent)) std::printf("note: the program ended while streaming\n");
    } else {
        std::printf("note: the program did not start\n");
    }
    stopChild(program);
    return percent;
}

// (h) The program and bench_plain_plot on one X server, each with a virtual device at `baud`
// (sending frames of `channels` floats through `lens` when one is given): their CPU use over the
// same `seconds`, the program's first. NaN, with the reason, for what could not run.
std::pair<double, double> cpuSideBySide(const QString& buildDir, const QString& baud, int seconds,
                                        const QString& lens = {}, int channels = 0,
                                        const Scenario& beforeMeasuring = {}) {
    VirtualScreen screen;
    StreamingSetup setup(buildDir, baud, lens);
    StreamingSetup plainSetup(buildDir, baud, lens);
    if (!screen.ok() || !setup.problem().isEmpty() || !plainSetup.problem().isEmpty()) {
        std::printf("note: no X server or no virtual device, no side-by-side figure\n");
        return {NAN, NAN};
    }
    QProcess program, plain;
    startChild(program, setup.program(), setup.arguments(), screen.environment());
    QStringList plainArguments{plainSetup.link()};
    if (channels > 0) plainArguments << QString::number(channels);
    startChild(plain, buildDir + QStringLiteral("/bench/bench_plain_plot"), plainArguments,
               screen.environment());
    std::pair<double, double> percent{NAN, NAN};
    if (program.waitForStarted(10000) && plain.waitForStarted(10000)) {
        QThread::sleep(kSettleSeconds);
        if (!beforeMeasuring || beforeMeasuring(setup.device(), screen.environment())) {
            const std::vector<double> both = cpuPercents({&program, &plain}, seconds);
            percent = {both[0], both[1]};
        }
    } else {
        std::printf("note: the program or the plain program did not start (%s, %s)\n",
                    qPrintable(program.errorString()), qPrintable(plain.errorString()));
    }
    stopChild(plain);
    stopChild(program);
    return percent;
}

// Runs xdotool on `screen`; its output, or nothing when it failed or took over ten seconds.
QByteArray xdotool(const QProcessEnvironment& screen, const QStringList& args) {
    QProcess p;
    startChild(p, QStringLiteral("xdotool"), args, screen);
    if (!p.waitForFinished(10000)) {
        stopChild(p);
        return {};
    }
    return p.exitCode() == 0 ? p.readAllStandardOutput().trimmed() : QByteArray();
}

// Chooses item `downs` (counted from the top) of the pane's menu as a user does: a right click
// on the pane, Down so many times, Enter. False, after a note, when the main window is not there.
bool chooseFromPaneMenu(const QProcessEnvironment& screen, int downs) {
    const QByteArray window =
        xdotool(screen, {QStringLiteral("search"), QStringLiteral("--sync"),
                         QStringLiteral("--name"), QStringLiteral("^Tessavue Scanning$")});
    if (window.isEmpty()) {
        std::printf("note: the main window was not found\n");
        return false;
    }
    const QString id = QString::fromLatin1(window.split('\n').first());
    xdotool(screen,
            {QStringLiteral("mousemove"), QStringLiteral("--window"), id, QStringLiteral("300"),
             QStringLiteral("180"), QStringLiteral("click"), QStringLiteral("3")});
    QThread::msleep(500);
    QStringList keys{QStringLiteral("key")};
    for (int i = 0; i < downs; ++i)
        keys << QStringLiteral("Down");
    xdotool(screen, keys << QStringLiteral("Return"));
    return true;
}

// (e) Arms the trigger as a user does: the menu's item "トリガ設定...", one step right
// from "オフ" to "ノーマル", and Enter for the default "OK" (level 0, rising, at 10 %). Armed, the
// pane shows the dashed level line in orange.
bool armTriggerFromMenu(const QProcessEnvironment& screen, int downs) {
    if (!chooseFromPaneMenu(screen, downs)) return false;
    const QStringList dialog{QStringLiteral("search"), QStringLiteral("--name"),
                             QStringLiteral("^Set Trigger$")};
    QStringList waitForDialog = dialog;
    waitForDialog.insert(1, QStringLiteral("--sync"));
    if (xdotool(screen, waitForDialog).isEmpty()) {
        std::printf("note: the trigger dialog did not come up, no trigger figure\n");
        return false;
    }
    QThread::msleep(300);
    xdotool(screen, {QStringLiteral("key"), QStringLiteral("Right"), QStringLiteral("Return")});
    for (int i = 0; i < 50 && !xdotool(screen, dialog).isEmpty(); ++i)
        QThread::msleep(100);

    QProcess grab;
    startChild(grab, QStringLiteral("import"),
               {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-")},
               screen);
    grab.waitForFinished(10000);
    const QImage shot = QImage::fromData(grab.readAllStandardOutput(), "PNG");
    int orange = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            orange += shot.pixel(x, y) == qRgb(255, 128, 0);
    if (orange == 0) std::printf("note: the trigger did not arm, no trigger figure\n");
    return orange > 0;
}

bool armTriggerThroughWindow(QProcess&, const QProcessEnvironment& screen) {
    return armTriggerFromMenu(screen, 1);
}

// (h) The same on the lens's pane, whose menu has its own six items before "トリガ設定...";
// the dialog chooses the first channel and proposes the middle of the screen as the level.
// The pointer then leaves the window, as in the lens's own figure, so no free cursor is read.
bool armChannelTriggerThroughWindow(QProcess&, const QProcessEnvironment& screen) {
    if (!armTriggerFromMenu(screen, 7)) return false;
    xdotool(screen, {QStringLiteral("mousemove"), QStringLiteral("1270"), QStringLiteral("1010")});
    return true;
}

// (g) Opens "測定..." and "スペクトル..." from the pane's menu. Each comes up over the pane, so it
// is moved below the main window, in full view, before the next right click.
bool openAnalysisWindows(QProcess&, const QProcessEnvironment& screen) {
    const std::pair<int, QString> items[] = {{2, QStringLiteral("^測定$")},
                                             {3, QStringLiteral("^スペクトル$")}};
    int left = 650;
    for (const auto& [downs, title] : items) {
        if (!chooseFromPaneMenu(screen, downs)) return false;
        const QByteArray window =
            xdotool(screen, {QStringLiteral("search"), QStringLiteral("--sync"),
                             QStringLiteral("--name"), title});
        if (window.isEmpty()) {
            std::printf("note: the window %s did not come up, no analysis figure\n",
                        qPrintable(title));
            return false;
        }
        xdotool(screen,
                {QStringLiteral("windowmove"), QString::fromLatin1(window.split('\n').first()),
                 QString::number(left), QStringLiteral("575")});
        left = 0;
    }
    QThread::msleep(500);
    return true;
}

// (h) Opens "コンソール..." from the pane's menu and moves it below the main window, in view:
// the console redraws only while it shows.
bool openConsoleWindow(QProcess&, const QProcessEnvironment& screen) {
    if (!chooseFromPaneMenu(screen, 8)) return false;
    const QByteArray window =
        xdotool(screen, {QStringLiteral("search"), QStringLiteral("--sync"),
                         QStringLiteral("--name"), QStringLiteral("^コンソール$")});
    if (window.isEmpty()) {
        std::printf("note: the console did not come up, no console figure\n");
        return false;
    }
    xdotool(screen, {QStringLiteral("windowmove"), QString::fromLatin1(window.split('\n').first()),
                     QStringLiteral("0"), QStringLiteral("575")});
    QThread::msleep(500);
    return true;
}

// In a child: the style and font the program starts with.
void lookLikeTheProgram() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 9));
}

// Ends a child's main window without asking the user.
void closeQuietly(frms_RS_GRAPH_1* form) {
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    delete form;
    app().engine.reset();
}

// (d), in the child: the main window on the real engine, started from `programDir` as the
// program starts; prints how many times a second its pane was painted.
int countPanePaints(const QString& programDir) {
    lookLikeTheProgram();
    frms_RS_GRAPH_1* form = ini::xsubStartUp(programDir);

    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    form->pic_graph->installEventFilter(&counter);
    QElapsedTimer clock;
    QTimer::singleShot(kSettleSeconds * 1000, [&] {
        counter.paints = 0;
        clock.start();
    });
    // A loop of its own: quitting the application would ask the window to close, and it asks
    // the user first.
    QEventLoop loop;
    QTimer::singleShot((kSettleSeconds + kPaintSeconds) * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("paint_fps=%.1f\n", counter.paints * 1000.0 / static_cast<double>(clock.elapsed()));
    form->pic_graph->removeEventFilter(&counter);
    closeQuietly(form);
    return 0;
}

// (i), in the child, on the GUI thread: at the end of each paint of the pane, whether its
// picture shows the newest step yet, told by where the trace ends.
class StepWatch : public QObject {
public:
    StepWatch(PictureBox* pane, const QElapsedTimer& clock,
              const std::array<qint64, kLatencySteps>& stepAt, const std::atomic<int>& steps)
        : m_pane(pane), m_clock(clock), m_stepAt(stepAt), m_steps(steps) {}

    const std::vector<double>& latenciesMs() const { return m_ms; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || m_painting) return false;
        m_painting = true;
        watched->event(event);
        m_painting = false;
        const qint64 end = m_clock.nsecsElapsed();
        const int written = m_steps.load(std::memory_order_acquire);
        const auto seen = static_cast<int>(m_ms.size());
        const float endY = m_pane->CurrentY();
        if (seen == written) {
            m_shownY = endY; // the level before the next step
        } else if (endY != m_shownY) {
            m_ms.push_back(static_cast<double>(end - m_stepAt[static_cast<size_t>(seen)]) / 1e6);
            m_shownY = endY;
        }
        return true;
    }

private:
    PictureBox* m_pane;
    const QElapsedTimer& m_clock;
    const std::array<qint64, kLatencySteps>& m_stepAt;
    const std::atomic<int>& m_steps;
    std::vector<double> m_ms;
    float m_shownY = NAN;
    bool m_painting = false;
};

// (i), in the child: the main window reads a pseudo-terminal that a thread writes at the byte
// rate of `baud`, a steady level with a step to the other level every kLatencyHoldMs or so;
// prints the median and worst latency in milliseconds.
int measureLatency(const QString& baud) {
    lookLikeTheProgram();
    int master = -1;
    int slave = -1;
    QTemporaryDir programDir;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 ||
        !writeSettings(programDir.path(), QString::fromLocal8Bit(::ttyname(slave)), baud)) {
        std::printf("note: no pseudo-terminal or no settings\n");
        return 1;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    frms_RS_GRAPH_1* form = ini::xsubStartUp(programDir.path());

    QElapsedTimer clock;
    clock.start();
    std::array<qint64, kLatencySteps> stepAt{};
    std::atomic<int> steps{0};
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        const double bytesPerNs = baud.toDouble() / 10 / 1e9;
        qint64 written = 0;
        qint64 nextStep = kSettleSeconds * qint64{1000000000};
        int level = 0;
        std::vector<char> bytes;
        while (!stop) {
            const qint64 now = clock.nsecsElapsed();
            const int step = steps.load(std::memory_order_relaxed);
            if (now >= nextStep && step < kLatencySteps) {
                level ^= 1;
                // Told before the bytes go out: a paint can never show the step before it counts.
                stepAt[static_cast<size_t>(step)] = now;
                steps.store(step + 1, std::memory_order_release);
                nextStep =
                    now + qint64{1000000} * (kLatencyHoldMs + step * 37 % kLatencyHoldSpreadMs);
            }
            const auto due = static_cast<qint64>(static_cast<double>(now) * bytesPerNs) - written;
            if (due > 0) {
                bytes.assign(static_cast<size_t>(due), static_cast<char>(kLatencyLevels[level]));
                for (size_t off = 0; off < bytes.size();) {
                    const ssize_t n = ::write(master, bytes.data() + off, bytes.size() - off);
                    if (n <= 0) break;
                    off += static_cast<size_t>(n);
                }
                written += due;
            }
            ::usleep(500);
        }
    });

    StepWatch watch(form->pic_graph, clock, stepAt, steps);
    form->pic_graph->installEventFilter(&watch);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const bool allSeen = watch.latenciesMs().size() >= static_cast<size_t>(kLatencySteps);
        if (allSeen || clock.elapsed() > (kSettleSeconds + kLatencySteps) * 1000) loop.quit();
    });
    poll.start(100);
    loop.exec();
    form->pic_graph->removeEventFilter(&watch);
    stop = true;
    writer.join();
    const std::vector<double>& ms = watch.latenciesMs();
    if (ms.size() < static_cast<size_t>(kLatencySteps))
        std::printf("note: %zu of %d steps were seen on the pane\n", ms.size(), kLatencySteps);
    if (!ms.empty())
        std::printf("latency_ms_median=%.1f latency_ms_worst=%.1f\n", median(ms),
                    *std::max_element(ms.begin(), ms.end()));
    closeQuietly(form);
    ::close(master);
    ::close(slave);
    return 0;
}

// Runs a copy of this benchmark with `args` on `screen` and returns what it printed; empty,
// after a note, when it did not finish within `seconds`.
QByteArray runSelf(const QStringList& args, const VirtualScreen& screen, int seconds) {
    QProcess self;
    startChild(self, QCoreApplication::applicationFilePath(), args, screen.environment());
    if (!self.waitForFinished(seconds * 1000)) {
        std::printf("note: %s did not finish\n", qPrintable(args.first()));
        stopChild(self);
        return {};
    }
    const QByteArray out = self.readAllStandardOutput();
    for (const QByteArray& line : out.split('\n'))
        if (line.startsWith("note:")) std::printf("%s\n", line.constData());
    return out;
}

// The number after "key=" in a child's output; NaN when there is none.
double valueAfter(const QByteArray& out, const QByteArray& key) {
    const qsizetype at = out.lastIndexOf(key + '=');
    bool ok = false;
    const double v =
        at < 0 ? NAN : out.mid(at + key.size() + 1).split(' ').first().trimmed().toDouble(&ok);
    return ok ? v : NAN;
}

// (d) Runs countPanePaints in a copy of this benchmark on its own X server.
double paneFramesPerSecond(const QString& buildDir, const QString& baud) {
    VirtualScreen screen;
    StreamingSetup setup(buildDir, baud);
    if (!screen.ok() || !setup.problem().isEmpty()) {
        std::printf("note: no X server or no virtual device, no paint figure\n");
        return NAN;
    }
    const QByteArray out = runSelf({QString::fromLatin1(kPaneFpsMode), setup.programDir()}, screen,
                                   kSettleSeconds + kPaintSeconds + 20);
    return valueAfter(out, "paint_fps");
}

// (i) Runs measureLatency in a copy of this benchmark on its own X server: median and worst.
std::pair<double, double> latencyMs(const QString& baud) {
    VirtualScreen screen;
    if (!screen.ok()) {
        std::printf("note: no X server (Xvfb) could be started, no latency figure\n");
        return {NAN, NAN};
    }
    const QByteArray out = runSelf({QString::fromLatin1(kLatencyMode), baud}, screen,
                                   kSettleSeconds + kLatencySteps + 20);
    return {valueAfter(out, "latency_ms_median"), valueAfter(out, "latency_ms_worst")};
}

QString figure(double v) {
    return std::isnan(v) ? QStringLiteral("nan") : QString::number(v, 'f', 1);
}

QString ratioFigure(double v) {
    return std::isnan(v) ? QStringLiteral("nan") : QString::number(v, 'f', 2);
}

// (h) and (i) at both rates; their figures as the last line gives them.
QString sideBySideAndLatency(const QString& buildDir) {
    const QString rates[2] = {QStringLiteral("115200"), QStringLiteral("3000000")};
    double ratio[2];
    std::pair<double, double> latency[2];
    for (int r = 0; r < 2; ++r) {
        const auto [program, plain] = cpuSideBySide(buildDir, rates[r], kMeasureSeconds);
        ratio[r] = program / plain;
        std::printf("side by side at %s baud for %d s: the program %s %%, the plain Qt program "
                    "%s %% of one core\n",
                    qPrintable(rates[r]), kMeasureSeconds, qPrintable(figure(program)),
                    qPrintable(figure(plain)));
        latency[r] = latencyMs(rates[r]);
        std::printf("latency at %s baud over %d steps: median %s ms, worst %s ms\n",
                    qPrintable(rates[r]), kLatencySteps, qPrintable(figure(latency[r].first)),
                    qPrintable(figure(latency[r].second)));
        std::fflush(stdout);
    }
    const auto [lensProgram, lensPlain] =
        cpuSideBySide(buildDir, rates[1], kMeasureSeconds, kLens8, kLens8Channels);
    std::printf("side by side at %s baud for %d s, %d float channels: the program through the "
                "lens %s %%, the plain Qt program drawing %d polylines %s %% of one core\n",
                qPrintable(rates[1]), kMeasureSeconds, kLens8Channels,
                qPrintable(figure(lensProgram)), kLens8Channels, qPrintable(figure(lensPlain)));
    std::fflush(stdout);
    const double lensTrigger = cpuSideBySide(buildDir, rates[1], kMeasureSeconds, kLens8,
                                             kLens8Channels, armChannelTriggerThroughWindow)
                                   .first;
    std::printf("the same with the trigger armed on the first channel: the program %s %% of one "
                "core\n",
                qPrintable(figure(lensTrigger)));
    return QStringLiteral("cpu_ratio_to_plain_115200=%1 cpu_ratio_to_plain_3000000=%2 "
                          "latency_ms_median_115200=%3 latency_ms_worst_115200=%4 "
                          "latency_ms_median_3000000=%5 latency_ms_worst_3000000=%6 "
                          "cpu_percent_lens_3000000=%7 cpu_ratio_lens8_to_plain_3000000=%8 "
                          "cpu_percent_lens_trigger_3000000=%9")
        .arg(ratioFigure(ratio[0]), ratioFigure(ratio[1]), figure(latency[0].first),
             figure(latency[0].second), figure(latency[1].first), figure(latency[1].second),
             figure(lensProgram), ratioFigure(lensProgram / lensPlain), figure(lensTrigger));
}

void printLoadAverage() {
    QFile load(QStringLiteral("/proc/loadavg"));
    if (load.open(QIODevice::ReadOnly))
        std::printf("load average at the end: %s\n", load.readLine().trimmed().constData());
}

} // namespace

int main(int argc, char** argv) {
    const bool paneFpsChild = argc == 3 && qstrcmp(argv[1], kPaneFpsMode) == 0;
    const bool latencyChild = argc == 3 && qstrcmp(argv[1], kLatencyMode) == 0;
    if (!paneFpsChild && !latencyChild && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (paneFpsChild) return countPanePaints(QString::fromLocal8Bit(argv[2]));
    if (latencyChild) return measureLatency(QString::fromLatin1(argv[2]));
    const QString buildDir =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    const QString sideBySide = sideBySideAndLatency(buildDir);
    if (argc == 2 && qstrcmp(argv[1], "--side-by-side") == 0) {
        printLoadAverage();
        std::printf("%s\n", qPrintable(sideBySide));
        return 0;
    }

    QTemporaryDir programDir;
    const double tickUs = timeTick(programDir.path());
    std::printf("tick with %d bytes, %d samples a screen: median %.1f us over %d ticks\n",
                kBytesPerTick, kSamplesPerScreen, tickUs, kTimedTicks);

    const double cpuSlow = programCpuPercent(buildDir, QStringLiteral("115200"), kMeasureSeconds);
    std::printf("program streaming at 115,200 baud for %d s: %s %% of one core\n", kMeasureSeconds,
                qPrintable(figure(cpuSlow)));
    const double cpuFast = programCpuPercent(buildDir, QStringLiteral("3000000"), kMeasureSeconds);
    std::printf("program streaming at 3,000,000 baud for %d s: %s %% of one core\n",
                kMeasureSeconds, qPrintable(figure(cpuFast)));
    // What the program costs with nothing to draw: the floor under the two figures above.
    const double cpuSilent =
        programCpuPercent(buildDir, QStringLiteral("115200"), kMeasureSeconds,
                          [](QProcess& device, const QProcessEnvironment&) {
                              ::kill(static_cast<pid_t>(device.processId()), SIGSTOP);
                              return true;
                          });
    std::printf("program with its port open and silent for %d s: %s %% of one core\n",
                kMeasureSeconds, qPrintable(figure(cpuSilent)));
    const double fps = paneFramesPerSecond(buildDir, QStringLiteral("3000000"));
    std::printf("pane painted at 3,000,000 baud over %d s: %s frames a second\n", kPaintSeconds,
                qPrintable(figure(fps)));
    // Unplugged: the notice is up and the port is tried again once a second.
    const double cpuLost =
        programCpuPercent(buildDir, QStringLiteral("115200"), kLostSeconds,
                          [](QProcess& device, const QProcessEnvironment&) {
                              ::kill(static_cast<pid_t>(device.processId()), SIGUSR1);
                              QThread::sleep(kSettleSeconds);
                              return true;
                          });
    std::printf("program with its device unplugged for %d s: %s %% of one core\n", kLostSeconds,
                qPrintable(figure(cpuLost)));
    const double cpuTrigger = programCpuPercent(buildDir, QStringLiteral("3000000"),
                                                kMeasureSeconds, armTriggerThroughWindow);
    std::printf("program streaming at 3,000,000 baud, trigger armed, for %d s: %s %% of one core\n",
                kMeasureSeconds, qPrintable(figure(cpuTrigger)));
    const double cpuAnalysis = programCpuPercent(buildDir, QStringLiteral("3000000"),
                                                 kMeasureSeconds, openAnalysisWindows);
    std::printf("program streaming at 3,000,000 baud, measurement and spectrum windows open, for "
                "%d s: %s %% of one core\n",
                kMeasureSeconds, qPrintable(figure(cpuAnalysis)));

    const double cpuConsole =
        programCpuPercent(buildDir, QStringLiteral("3000000"), kMeasureSeconds, openConsoleWindow);
    std::printf("program streaming at 3,000,000 baud, console open, for %d s: %s %% of one core\n",
                kMeasureSeconds, qPrintable(figure(cpuConsole)));

    printLoadAverage();
    std::printf("tick_redraw_us=%.1f cpu_percent_115200=%s cpu_percent_3000000=%s "
                "paint_fps_3000000=%s cpu_percent_lost=%s cpu_percent_trigger_3000000=%s "
                "cpu_percent_analysis_3000000=%s cpu_percent_console_3000000=%s %s\n",
                tickUs, qPrintable(figure(cpuSlow)), qPrintable(figure(cpuFast)),
                qPrintable(figure(fps)), qPrintable(figure(cpuLost)),
                qPrintable(figure(cpuTrigger)), qPrintable(figure(cpuAnalysis)),
                qPrintable(figure(cpuConsole)), qPrintable(sideBySide));
    return 0;
}
