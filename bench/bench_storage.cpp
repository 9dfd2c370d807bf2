// What the capture views cost: fetching the engine's full copy of recent bytes for "View",
// one arrow click through a File view of a 4 GiB file (one screen read per click), and opening
// that file through the Read File dialog, building the overview of that file and drawing a
// screen of it at every zoom from the whole file down to 800 samples, and a 100 MB recording
// replayed as fast as possible through the receive ticks and a text lens, and a channel pane as
// wide as a maximised window's drawing 8 channels of 10 million frames on one screen. Runs
// offscreen; the last line holds the figures.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "app/Main.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "channels/ChannelPane.h"
#include "channels/ChannelStore.h"
#include "serial/ReceivePipeline.h"
#include "serial/Replay.h"
#include "storage/FileView.h"
#include "storage/Overview.h"
#include "storage/frms_File_Disp.h"

namespace {

constexpr int kFetchRuns = 7;
constexpr int kSteps = 2000;
constexpr int64_t kBigFileBytes = int64_t(4) << 30;
constexpr int kWidestPaneColumns = 1920;
constexpr int kDrawPlaces = 5;

// An engine whose copy of recent bytes is a fixed full buffer, served one byte per call as the
// real one does; the port side does nothing.
class ScriptedEngine : public tessavue::SerialEngine {
public:
    ScriptedEngine() : m_recent(kRecentCopyBytes) {
        for (size_t i = 0; i < m_recent.size(); ++i)
            m_recent[i] = static_cast<uint8_t>(i * 13);
    }
    int16_t OpenCommPort(const std::string&) override { return 0; }
    void SetCommPortParam(const std::string&) override {}
    void ResetStatus() override {}
    void CloseCommPort() override {}
    void RcvDataFirst(int32_t& count, int32_t&, int16_t, int16_t& logSt, int32_t&) override {
        count = 0;
        logSt = kLogContinues;
    }
    void RcvDataNext(uint8_t& value, int16_t) override { value = 0; }
    void ReadModemStatus(uint8_t& status) override { status = 0; }
    void SetLineSt(int16_t) override {}
    int32_t LogStart(const std::string&, int32_t, int32_t) override { return 0; }
    void LogStop() override {}
    void MoveLastFirst(int32_t& count) override { count = static_cast<int32_t>(m_recent.size()); }
    void MoveLastData(uint8_t& value, int32_t index) override {
        value = m_recent[static_cast<size_t>(index)];
    }
    void LastClear() override {}
    uint64_t droppedBytes() const override { return 0; }
    bool portLost() const override { return false; }
    int16_t reopenCommPort() override { return -1; }

private:
    std::vector<uint8_t> m_recent;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// 8 channels of 10 million frames, a store holding them all, drawn on one screen of a pane as
// wide as a maximised window's: the median of runs, each working the columns out afresh.
double channelZoomDrawMs() {
    constexpr uint64_t kFrames = 10'000'000;
    constexpr int kChannels = 8;
    ChannelStore store(kFrames);
    store.setFormat(*lens::parseFormat("bin i16le*8"));
    std::vector<uint8_t> chunk;
    for (uint64_t f = 0; f < kFrames; ++f) {
        for (int c = 0; c < kChannels; ++c) {
            const auto v = static_cast<int16_t>((f * (c + 1)) % 2000 - 1000);
            chunk.push_back(uint8_t(v & 0xFF));
            chunk.push_back(uint8_t(uint16_t(v) >> 8));
        }
        if (chunk.size() >= (1 << 20) || f + 1 == kFrames) {
            store.feed(chunk.data(), chunk.size());
            chunk.clear();
        }
    }
    ChannelPane pane;
    pane.resize(kWidestPaneColumns + int(ChannelPane::kLeft + ChannelPane::kRightMargin), 900);
    pane.setZoomed(true);
    QImage image(pane.size(), QImage::Format_RGB32);
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        // Another first frame each run, so nothing of the last screen is kept.
        pane.showScreen(&store, uint64_t(run), int(kFrames - uint64_t(run)), 0);
        pane.render(&image);
        runs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::printf("channel pane, %d channels of %llu frames on one screen (ms):", kChannels,
                static_cast<unsigned long long>(store.frameCount()));
    for (double ms : runs)
        std::printf(" %.1f", ms);
    std::printf("\n");
    return median(runs);
}

// Opens `name` through "From File", picking it in the dialog as soon as the dialog is up.
double openThroughDialog(frms_RS_GRAPH_1* form, const QString& name) {
    std::function<void()> pick = [&] {
        auto* d = qobject_cast<frms_File_Disp*>(QApplication::activeModalWidget());
        if (!d) {
            QTimer::singleShot(0, pick);
            return;
        }
        const auto items = d->File1->findItems(name, Qt::MatchExactly);
        if (items.isEmpty())
            d->close();
        else
            emit d->File1->itemActivated(items.first());
    };
    QTimer::singleShot(0, pick);
    QElapsedTimer t;
    t.start();
    form->cmd_File_Click();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// Mean time of one arrow click to the right, starting from bar value `from`.
double stepMicros(frms_RS_GRAPH_1* form, int from) {
    QScrollBar* bar = form->HScroll1;
    bar->setValue(from); // a drag: the view jumps there
    const int steps = std::min(kSteps, bar->maximum() - bar->value());
    if (steps <= 0) return 0;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < steps; ++i)
        bar->setValue(form->iBarLast + 1);
    return static_cast<double>(t.nsecsElapsed()) / 1e3 / steps;
}

// Seconds a replay "as fast as possible" of a text recording of `bytes` takes through the
// receive ticks, the scanning view and a text lens.
double replaySeconds(frms_RS_GRAPH_1* form, const QString& path, int64_t bytes) {
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) return -1;
        QByteArray lines;
        for (int i = 0; lines.size() < (1 << 20); ++i)
            lines += QByteArray::number(i % 1000) + ',' + QByteArray::number(i % 77) + '\n';
        for (int64_t written = 0; written < bytes; written += lines.size())
            file.write(lines);
    }
    form->xsubLensUse(*lens::parseFormat("text"), false);
    int error = 0;
    std::unique_ptr<Replay> replay = Replay::open(path, 1000, error);
    if (!replay) return -1;
    replay->pace().setFactor(ReplayPace::kFastest, 0);
    replay->pace().play(0);
    const uint64_t length = replay->pace().length();
    Replay* playing = replay.get();
    form->Reception->setReplay(std::move(replay));
    QElapsedTimer t;
    t.start();
    while (playing->given() < length)
        form->Timer_Receive_Timer();
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    form->Reception->setReplay(nullptr);
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    app().engine = std::make_unique<ScriptedEngine>();
    frms_RS_GRAPH_1* form = ini::xsubStartUp(dir.path());
    for (QTimer* t : {form->Timer_Receive, form->Timer_Start, form->Timer_date, form->Timer1})
        t->stop();

    std::vector<double> fetch;
    for (int i = 0; i < kFetchRuns; ++i) {
        QElapsedTimer t;
        t.start();
        form->Cmd_Memory_Click();
        fetch.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    const double viewFetchMs = median(fetch);

    // Sparse files: the size is what counts, not the blocks behind it.
    const auto makeFile = [&](const QString& name, int64_t bytes) {
        const int fd = ::open(QFile::encodeName(dir.filePath(name)).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::ftruncate(fd, bytes) != 0)
            std::fprintf(stderr, "cannot make %s\n", qPrintable(name));
        ::close(fd);
    };
    makeFile(QStringLiteral("big.bin"), kBigFileBytes);
    makeFile(QStringLiteral("small.bin"), 1 << 20);

    const double fileOpenMs = openThroughDialog(form, QStringLiteral("big.bin"));
    std::printf("opened %lld bytes, bar max %d, visible %d\n",
                static_cast<long long>(app().lFileLen), form->HScroll1->maximum(),
                form->HScroll1->isVisible() ? 1 : 0);
    const double bigStart = stepMicros(form, 0);
    const double bigMiddle = stepMicros(form, form->HScroll1->maximum() / 2);
    openThroughDialog(form, QStringLiteral("small.bin"));
    const double smallStart = stepMicros(form, 0);
    std::printf("arrow click: 4 GiB start %.1f us, 4 GiB middle %.1f us, 1 MiB start %.1f us\n",
                bigStart, bigMiddle, smallStart);
    std::printf("view fetch runs (ms):");
    for (double f : fetch)
        std::printf(" %.2f", f);
    std::printf("\n");

    // A file of its own, not yet read by anyone (the window's overview of big.bin ended when
    // small.bin was opened), so that nothing of it is in the page cache.
    makeFile(QStringLiteral("overview.bin"), kBigFileBytes);
    const int bigFd = ::open(
        QFile::encodeName(dir.filePath(QStringLiteral("overview.bin"))).constData(), O_RDONLY);
    QElapsedTimer buildTimer;
    buildTimer.start();
    OverviewIndex index(bigFd, kBigFileBytes);
    index.wait();
    const double buildMBps = static_cast<double>(kBigFileBytes) / 1e6 /
                             (static_cast<double>(buildTimer.nsecsElapsed()) / 1e9);
    // A file of data throughout, as a recording is, just written and so in the page cache:
    // every byte read and looked at.
    double dataBuildMBps = 0;
    {
        constexpr int64_t kDataBytes = int64_t(512) << 20;
        std::vector<uint8_t> block(size_t(1) << 20);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = uint8_t((i * 2654435761u) >> 13);
        const int fd =
            ::open(QFile::encodeName(dir.filePath(QStringLiteral("data.bin"))).constData(),
                   O_RDWR | O_CREAT | O_TRUNC, 0644);
        for (int64_t at = 0; at < kDataBytes; at += int64_t(block.size()))
            if (::write(fd, block.data(), block.size()) != ssize_t(block.size()))
                std::fprintf(stderr, "cannot write data.bin\n");
        QElapsedTimer t;
        t.start();
        OverviewIndex data(fd, kDataBytes);
        data.wait();
        dataBuildMBps =
            static_cast<double>(kDataBytes) / 1e6 / (static_cast<double>(t.nsecsElapsed()) / 1e9);
        ::close(fd);
    }
    // The widest pane a maximised window on a 1920-pixel screen has, at every zoom.
    double drawMs = 0;
    std::printf("overview screen (ms):");
    for (int64_t span = kBigFileBytes; span >= 800; span /= 4) {
        // The median of screens at five places, each read from the file for the first time.
        std::vector<double> runs;
        for (int place = 1; place <= kDrawPlaces; ++place) {
            const int64_t first = (kBigFileBytes - span) / (kDrawPlaces + 1) * place;
            QElapsedTimer t;
            t.start();
            const auto columns = index.envelope(first, span, kWidestPaneColumns, kSignedFlip);
            runs.push_back(columns.empty() ? 1e9 : static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
        const double ms = median(runs);
        std::printf(" %.2f", ms);
        drawMs = std::max(drawMs, ms);
    }
    std::printf("\n");
    ::close(bigFd);

    const double fileStepUs = std::max(bigStart, bigMiddle);
    FileView::close();
    form->Cmd_scanning_Click();
    const double replayS =
        replaySeconds(form, dir.filePath(QStringLiteral("replay.bin")), 100'000'000);
    const double channelDrawMs = channelZoomDrawMs();
    std::printf("view_fetch_ms=%.2f file_step_us=%.1f file_open_ms=%.2f replay_100MB_s=%.2f "
                "overview_build_MBps=%.0f overview_draw_ms=%.2f overview_build_data_MBps=%.0f "
                "channel_zoom_draw_ms=%.1f\n",
                viewFetchMs, fileStepUs, fileOpenMs, replayS, buildMBps, drawMs, dataBuildMBps,
                channelDrawMs);
    FileView::close();
    delete form;
    return 0;
}
