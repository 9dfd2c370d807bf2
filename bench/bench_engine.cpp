// How fast received bytes get through the engine when drained at the program's receive cadence,
// next to `cat` reading a pty of its own for the same time as the reference. Both feed random
// bytes into the pty master as fast as the other side takes them. Then the same through ser2net
// exporting a pty over RFC 2217: 10 MiB at the fastest rate the engine sets.
// With --soak SECONDS it instead streams a pty at 3,000,000 baud's pace (300 bytes every
// millisecond, as evenly as a line brings them) for that long, drained once a frame as the window
// drains a moving stream, and checks every byte. It looks at the terminal's 4 KiB line buffer
// every millisecond and reports the most bytes seen waiting there and how many looks found it
// full: a full line buffer throttles the line (or, behind it, fills the kernel's flip buffers,
// where a real UART would lose bytes once they too are full).
#include "NetworkServers.h"
#include "PendingBytes.h"
#include "SerialEngine.h"

#include <QCoreApplication>

#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kRunTime = 5s;
constexpr uint64_t kNetworkBytes = 10 * 1024 * 1024;
constexpr size_t kWriteChunk = 64 * 1024;
// What the terminal's line discipline holds for its reader; it keeps one byte free.
constexpr int kLineBufferBytes = 4096;
// The drain can take ~32 MB/s; a pty takes far more. The writer stays at most this far ahead so
// the engine's pending buffer never has to drop and every loss counted is a real one.
constexpr uint64_t kMostAhead = 8 * 1024 * 1024;

// The stream repeats random bytes with a period that is no power of two, so a repeated or
// shifted stretch shows. The head is repeated after the period so a chunk can start anywhere.
constexpr size_t patternPeriod = (1 << 24) + 7;

std::vector<uint8_t> makePattern() {
    std::mt19937 generator(12345);
    std::vector<uint8_t> bytes(patternPeriod + kWriteChunk);
    std::generate_n(bytes.begin(), patternPeriod,
                    [&] { return static_cast<uint8_t>(generator()); });
    std::copy_n(bytes.begin(), kWriteChunk, bytes.begin() + patternPeriod);
    return bytes;
}
const std::vector<uint8_t> pattern = makePattern();

// Writes the stream from `position` on; a chunk never runs past the end of the pattern.
ssize_t writeStream(int fd, uint64_t position, size_t chunk = kWriteChunk) {
    return write(fd, pattern.data() + position % patternPeriod, std::min(chunk, kWriteChunk));
}

double megabytesPerSecond(uint64_t bytes, Clock::duration time) {
    return double(bytes) / 1e6 / std::chrono::duration<double>(time).count();
}

double measureCat() {
    termios raw{};
    cfmakeraw(&raw);
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0) return 0;
    pid_t cat = fork();
    if (cat == 0) {
        dup2(slave, STDIN_FILENO);
        freopen("/dev/null", "w", stdout);
        close(master);
        execlp("cat", "cat", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(slave);
    uint64_t written = 0;
    const auto start = Clock::now();
    while (Clock::now() - start < kRunTime) {
        ssize_t n = writeStream(master, written);
        if (n <= 0) break;
        written += static_cast<uint64_t>(n);
    }
    const auto elapsed = Clock::now() - start;
    kill(cat, SIGTERM);
    waitpid(cat, nullptr, 0);
    close(master);
    return megabytesPerSecond(written, elapsed);
}

struct EngineFigures {
    double megabytesPerSecond = 0;
    uint64_t lost = 0;
    uint64_t mismatched = 0;
    int mostWaiting = 0;    // in the watched terminal's line buffer
    uint64_t fullLooks = 0; // looks that found it full
};

// How a stream is sent and taken.
struct Stream {
    Clock::duration runTime = kRunTime; // sends this long, unless bytesToSend is not 0
    uint64_t bytesToSend = 0;
    size_t bytesPerMs = 0; // the line's pace; 0: as fast as the pty takes them
    Clock::duration drainEvery = 1ms;
    std::string lineParams = "4000000,0,8,0,0";
    bool watchTerminal = false; // look at the pty's terminal side meanwhile (a device only)
};

// Sends a stream into the master of the pty behind portName and drains the engine meanwhile;
// watchedTerminal, when not -1, is a descriptor of the pty's terminal side to look at.
EngineFigures measureEngine(int master, const std::string& portName, const Stream& stream,
                            int watchedTerminal = -1) {
    auto engine = tessavue::makeLinuxSerialEngine();
    engine->SetCommPortParam(stream.lineParams);
    if (engine->OpenCommPort(portName) != -1) return {};

    std::atomic<uint64_t> written = 0, drained = 0;
    std::atomic<bool> stopWriting = false;
    std::thread writer([&] {
        auto nextWrite = Clock::now();
        while (!stopWriting && (stream.bytesToSend == 0 || written < stream.bytesToSend)) {
            if (written - drained > kMostAhead) {
                std::this_thread::sleep_for(100us);
                continue;
            }
            const size_t chunk = stream.bytesPerMs ? stream.bytesPerMs : kWriteChunk;
            ssize_t n = writeStream(master, written, chunk);
            if (n <= 0) break;
            written += static_cast<uint64_t>(n);
            if (stream.bytesPerMs == 0) continue;
            nextWrite += 1ms;
            std::this_thread::sleep_until(nextWrite);
        }
    });

    EngineFigures figures;
    std::thread watcher([&] {
        while (watchedTerminal >= 0 && !stopWriting) {
            int waiting = 0;
            if (ioctl(watchedTerminal, FIONREAD, &waiting) != 0) break;
            figures.mostWaiting = std::max(figures.mostWaiting, waiting);
            figures.fullLooks += waiting >= kLineBufferBytes - 1;
            std::this_thread::sleep_for(1ms);
        }
    });

    // The program's receive cadence: wake on each drainEvery boundary, fetch once, take every
    // byte.
    std::vector<uint8_t> fetched(tessavue::SerialEngine::kMaxBytesPerFetch);
    const auto start = Clock::now();
    auto nextTick = start;
    auto lastArrival = start;
    while (!stopWriting || (drained < written && Clock::now() - lastArrival < 2s)) {
        nextTick += stream.drainEvery;
        std::this_thread::sleep_until(nextTick);
        int32_t count = 0, scratch = 0, aux = 0;
        int16_t logSt = 0;
        engine->RcvDataFirst(count, scratch, 0, logSt, aux);
        const uint64_t first = drained;
        engine->RcvDataAll(fetched.data(), count);
        for (int32_t i = 0; i < count; ++i)
            figures.mismatched += fetched[i] != pattern[(first + i) % patternPeriod];
        drained += static_cast<uint64_t>(count);
        if (count > 0) lastArrival = Clock::now();
        const bool sent = stream.bytesToSend == 0 ? Clock::now() - start >= stream.runTime
                                                  : written >= stream.bytesToSend;
        if (!stopWriting && sent) {
            stopWriting = true;
            writer.join(); // finishes its last write while the engine keeps reading
            watcher.join();
        }
    }
    figures.megabytesPerSecond = megabytesPerSecond(drained, lastArrival - start);
    figures.lost = written - drained; // what the engine dropped is among these
    engine->CloseCommPort();
    return figures;
}

EngineFigures measureDevice(const Stream& stream) {
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {};
    const std::string path = ptsname(master);
    // The engine opens the terminal side by its path; this descriptor only looks at it.
    const EngineFigures figures =
        measureEngine(master, path, stream, stream.watchTerminal ? slave : -1);
    close(slave);
    close(master);
    return figures;
}

EngineFigures measureNetwork() {
    termios raw{};
    cfmakeraw(&raw);
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0) return {};
    EngineFigures figures;
    {
        Ser2net server(QString::fromLocal8Bit(ptsname(master)), Ser2net::Mode::Rfc2217);
        figures =
            measureEngine(master, server.portName().toStdString(), {.bytesToSend = kNetworkBytes});
    }
    close(slave);
    close(master);
    return figures;
}

// What stamping adds to a read on its way through the pending bytes: the clock read and its
// stamp handed to the fetch, against the same reads and fetches unstamped.
double measureStampCost() {
    constexpr int kReads = 2'000'000;
    constexpr int kReadsPerFetch = 16;
    const std::vector<uint8_t> read(64, 0x5a);
    std::vector<uint8_t> fetched(read.size() * kReadsPerFetch);
    std::vector<tessavue::ReadStamp> stamps;
    const auto run = [&](bool stamped) {
        tessavue::PendingBytes pending(1 << 20);
        const auto start = std::chrono::steady_clock::now();
        for (int i = 1; i <= kReads; ++i) {
            if (stamped) pending.readReturnedAt(tessavue::steadyNowNs());
            pending.append(read.data(), read.size());
            if (i % kReadsPerFetch == 0)
                pending.take(fetched.data(), fetched.size(), stamped ? &stamps : nullptr);
        }
        return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
                   .count() /
               kReads;
    };
    double best = 1e9;
    for (int round = 0; round < 3; ++round)
        best = std::min(best, run(true) - run(false));
    return std::max(best, 0.0);
}

} // namespace

int soak(int seconds) {
    const EngineFigures figures = measureDevice({.runTime = std::chrono::seconds(seconds),
                                                 .bytesPerMs = 300,
                                                 .drainEvery = 28ms,
                                                 .lineParams = "3000000,0,8,0,0",
                                                 .watchTerminal = true});
    std::printf("soak_seconds=%d soak_lost_bytes=%llu soak_mismatched_bytes=%llu "
                "soak_most_waiting_bytes=%d soak_full_looks=%llu\n",
                seconds, static_cast<unsigned long long>(figures.lost),
                static_cast<unsigned long long>(figures.mismatched), figures.mostWaiting,
                static_cast<unsigned long long>(figures.fullLooks));
    return figures.lost == 0 && figures.mismatched == 0 && figures.megabytesPerSecond > 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--soak") return soak(std::atoi(argv[2]));
    QCoreApplication application(argc, argv); // for starting ser2net
    const double cat = measureCat();
    const EngineFigures engine = measureDevice({});
    const EngineFigures network = measureNetwork();
    const double stampCost = measureStampCost();
    std::printf("engine_MBps=%.1f cat_MBps=%.1f lost_bytes=%llu mismatched_bytes=%llu "
                "network_MBps=%.1f network_lost_bytes=%llu stamp_cost_ns_per_read=%.1f\n",
                engine.megabytesPerSecond, cat, static_cast<unsigned long long>(engine.lost),
                static_cast<unsigned long long>(engine.mismatched), network.megabytesPerSecond,
                static_cast<unsigned long long>(network.lost + network.mismatched), stampCost);
    const bool exact = engine.lost == 0 && engine.mismatched == 0 && network.lost == 0 &&
                       network.mismatched == 0 && network.megabytesPerSecond > 0;
    return exact ? 0 : 1;
}
