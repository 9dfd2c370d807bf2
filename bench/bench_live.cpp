// Cost of the live trace: (a) one receive tick that brings data and redraws a screen of 800
// samples, timed inside the real window; (b) the whole program's CPU use while a virtual device
// streams a sine at 115,200 baud into the Scanning display, under Xvfb.
// Last line: tick_redraw_us=<x> cpu_percent_115200=<y>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>
#include <vector>

#include "app/AppState.h"
#include "app/Main.h"
#include "app/Settings.h"
#include "app/frms_RS_GRAPH_1.h"
#include "toolkit/PictureBox.h"

namespace {

// 115,200 baud with 10 bits a byte is 11.5 bytes per millisecond: one 1 ms tick's worth.
constexpr int kBytesPerTick = 12;
constexpr int kWarmupTicks = 200;
constexpr int kTimedTicks = 3000;
constexpr int kStreamSeconds = 30;
constexpr int kSettleSeconds = 3;

// Hands out a sine, a few bytes at every fetch, as a device at 115,200 baud would.
class ScriptedEngine : public tessavue::SerialEngine {
public:
    int fetches = 0;

    int16_t OpenCommPort(const std::string&) override { return -1; }
    void SetCommPortParam(const std::string&) override {}
    void ResetStatus() override {}
    void CloseCommPort() override {}
    void RcvDataFirst(int32_t& count, int32_t&, int16_t, int16_t& logSt, int32_t&) override {
        ++fetches;
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

// (a) Median microseconds of one tick with data, the stroking of the trace included.
double timeTickRedraw(const QString& programDir, bool& tickIsReal) {
    app() = AppState{};
    auto owned = std::make_unique<ScriptedEngine>();
    ScriptedEngine* engine = owned.get();
    app().engine = std::move(owned);
    frms_RS_GRAPH_1* form = ini::xsubStartUp(programDir);
    for (QTimer* t : {form->Timer_Receive, form->Timer_Start, form->Timer_date, form->Timer1})
        t->stop();

    AppState& s = app();
    s.ChData[0].iXDim = 800;
    s.iScanSource = 0;
    s.iPortOpen = 1;
    for (int i = 0; i < 1000; ++i)
        ini::xsubRingAdd(0, engine->next());

    form->Timer_Receive_Timer();
    tickIsReal = engine->fetches > 0;
    // Until the receive tick is in place, do here what it does for a tick that brought data.
    auto tick = [&] {
        if (tickIsReal) {
            form->Timer_Receive_Timer();
        } else {
            int32_t count = 0, scratch = 0;
            engine->RcvDataFirst(count, scratch, s.iLogOn, s.iLogSt, s.lRcvAux);
            for (int16_t i = 0; i < count; ++i) {
                uint8_t b = 0;
                engine->RcvDataNext(b, i);
                ini::xsubRingAdd(0, b);
            }
            form->pic_graph->Cls();
            form->xsubGraphDrawLive(0);
        }
        form->pic_graph->image();
    };

    std::vector<double> us;
    us.reserve(kTimedTicks);
    QElapsedTimer clock;
    for (int i = 0; i < kWarmupTicks + kTimedTicks; ++i) {
        clock.start();
        tick();
        const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1000.0;
        if (i >= kWarmupTicks) us.push_back(elapsed);
        // Let the pane's throttled repaints happen between ticks, as they would in the program.
        if (i % 16 == 0) QCoreApplication::processEvents();
    }
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    delete form;
    app() = AppState{};
    return median(us);
}

std::optional<long long> cpuTicks(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which sits in parentheses and may hold spaces.
    const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (f.size() < 13) return std::nullopt;
    return f[11].toLongLong() + f[12].toLongLong(); // utime, stime
}

// The process whose executable is exactly this file (the copy started under xvfb-run).
pid_t findProcess(const QString& exe, int waitMs) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < waitMs) {
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool isPid = false;
            const pid_t pid = entry.toInt(&isPid);
            if (isPid && QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == exe)
                return pid;
        }
        QThread::msleep(50);
    }
    return -1;
}

// (b) CPU percent of the real program over kStreamSeconds; NaN (with the reason) when it cannot
// run.
double measureStreamingCpu(const QString& buildDir) {
    const QString program = buildDir + QStringLiteral("/tessavue");
    const QString vdevTool = buildDir + QStringLiteral("/tools/tessavue-vdev");
    for (const QString& needed : {program, vdevTool}) {
        if (!QFileInfo(needed).isExecutable()) {
            std::printf("note: %s is not built, no CPU figure\n", qPrintable(needed));
            return NAN;
        }
    }
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("tessavue"));
    const QString link = dir.filePath(QStringLiteral("ttyV0"));
    QFile::copy(program, exe);

    QProcess vdev;
    vdev.start(vdevTool,
               {QStringLiteral("--link"), link, QStringLiteral("--baud"), QStringLiteral("115200"),
                QStringLiteral("--wave"), QStringLiteral("sine")});
    for (int i = 0; i < 100 && !QFileInfo::exists(link); ++i)
        QThread::msleep(50);
    if (!QFileInfo::exists(link)) {
        std::printf("note: the virtual device did not come up, no CPU figure\n");
        return NAN;
    }

    app() = AppState{};
    ini::xsubSetDefaults(dir.path());
    AppState& s = app();
    s.iScanSource = 0;
    s.strPortName = link;
    s.strBaud = QStringLiteral("115200");
    s.ChData[0].iXDim = 800;
    QFile settings(appSub::settingsPath(dir.path()));
    settings.open(QIODevice::WriteOnly);
    settings.write(appSub::settingsBytes(s));
    settings.close();
    app() = AppState{};

    QProcess xvfb;
    // A true-colour screen, as desktops have (xvfb-run's own default is 8 bits deep).
    xvfb.start(QStringLiteral("xvfb-run"), {QStringLiteral("-a"), QStringLiteral("-s"),
                                            QStringLiteral("-screen 0 1280x1024x24"), exe});
    const pid_t pid = findProcess(exe, 10000);
    double percent = NAN;
    if (pid > 0) {
        QThread::sleep(kSettleSeconds);
        const auto before = cpuTicks(pid);
        QElapsedTimer wall;
        wall.start();
        QThread::sleep(kStreamSeconds);
        const auto after = cpuTicks(pid);
        const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        if (before && after)
            percent = 100.0 * static_cast<double>(*after - *before) /
                      static_cast<double>(sysconf(_SC_CLK_TCK)) / seconds;
        else
            std::printf("note: the program ended while streaming\n");
        ::kill(pid, SIGTERM);
    } else {
        std::printf("note: the program did not start under xvfb-run\n");
    }
    xvfb.waitForFinished(10000);
    vdev.terminate();
    vdev.waitForFinished(5000);
    return percent;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir programDir;

    bool tickIsReal = false;
    const double tickUs = timeTickRedraw(programDir.path(), tickIsReal);
    std::printf("tick with %d bytes and a redraw of 800 samples: median %.1f us over %d ticks%s\n",
                kBytesPerTick, tickUs, kTimedTicks,
                tickIsReal ? "" : " (receive tick not built yet: its steps done here)");

    double cpu = NAN;
    if (tickIsReal) {
        cpu = measureStreamingCpu(
            QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/..")));
        std::printf("program streaming at 115,200 baud for %d s: %.1f %% of one core\n",
                    kStreamSeconds, cpu);
    } else {
        std::printf(
            "note: the receive tick is not built yet, so the program would not read the device: "
            "no CPU figure\n");
    }
    std::printf("tick_redraw_us=%.1f cpu_percent_115200=%s\n", tickUs,
                std::isnan(cpu) ? "nan" : qPrintable(QString::number(cpu, 'f', 1)));
    return 0;
}
