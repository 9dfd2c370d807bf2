// What a lens costs: nanoseconds a byte for plain 16-bit samples, for a synced frame of mixed
// fields with CRC-16 and for labelled text lines, each fed in chunks of random sizes as fetches
// bring them; and how long the boundary search takes at random places of a 4 GiB synced file
// read in a window. Times are the thread's own CPU time, so a busy machine taking the CPU away
// now and then does not count. The last line holds the figures.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "Lens.h"

namespace {

double cpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}
constexpr std::size_t kStreamBytes = 8 << 20;
constexpr int kRuns = 11; // the best of many: the machine is shared

// Keeps the values alive so no work is left out.
struct SumSink : lens::Sink {
    double sum = 0;
    void frame(uint64_t, const double* values, int count) override {
        for (int i = 0; i < count; ++i)
            sum += values[i];
    }
};

lens::Format format(const char* text) {
    return *lens::parseFormat(text);
}

std::vector<uint8_t> frames(const lens::Format& f, std::size_t bytes) {
    std::vector<uint8_t> out;
    std::vector<double> values(f.fields.size());
    for (int i = 0; out.size() < bytes; ++i) {
        for (std::size_t k = 0; k < values.size(); ++k)
            values[k] = std::round(1000 * std::sin(i * 0.01 + double(k)));
        std::vector<uint8_t> frame = lens::encodeFrame(f, values.data());
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

std::vector<uint8_t> labelledLines(std::size_t bytes) {
    std::vector<uint8_t> out;
    char line[96];
    for (int i = 0; out.size() < bytes; ++i) {
        int n = std::snprintf(line, sizeof line, "sin:%.4f\tcos:%.4f\tn:%d\r\n", std::sin(i * 0.01),
                              std::cos(i * 0.01), i);
        out.insert(out.end(), line, line + n);
    }
    return out;
}

// The best of kRuns, in ns a byte.
double nsPerByte(const lens::Format& f, const std::vector<uint8_t>& stream) {
    std::mt19937 random(1);
    std::vector<std::size_t> sizes;
    for (std::size_t at = 0; at < stream.size();) {
        sizes.push_back(std::min<std::size_t>(64 + random() % 8192, stream.size() - at));
        at += sizes.back();
    }
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        auto decoder = lens::makeDecoder(f);
        SumSink sink;
        const double start = cpuNs();
        std::size_t at = 0;
        for (std::size_t size : sizes) {
            decoder->feed(stream.data() + at, size, sink);
            at += size;
        }
        const double ns = cpuNs() - start;
        best = std::min(best, ns / double(stream.size()));
        if (decoder->counters().frames == 0 || std::isnan(sink.sum)) std::printf("no frames!\n");
    }
    return best;
}

} // namespace

int main() {
    const lens::Format plain = format("bin i16le*4");
    const lens::Format framed = format("bin sync=AA55 u8 i16le*2 f32le u16be crc16modbus");
    const lens::Format text = format("text");
    const std::vector<uint8_t> framedStream = frames(framed, kStreamBytes);
    const double binaryNs = nsPerByte(plain, frames(plain, kStreamBytes));
    const double frameNs = nsPerByte(framed, framedStream);
    const double textNs = nsPerByte(text, labelledLines(kStreamBytes));
    std::printf("%s: %.2f ns/byte; %s: %.2f ns/byte; labelled text lines: %.2f ns/byte\n",
                lens::toText(plain).c_str(), binaryNs, lens::toText(framed).c_str(), frameNs,
                textNs);

    // A view's window of 64 KiB at a random place of a 4 GiB file: the file's bytes there are
    // the stream's, at the same phase, so the search meets what it would in the file.
    constexpr std::size_t kWindow = 64 << 10;
    constexpr uint64_t kFileBytes = uint64_t(4) << 30;
    std::mt19937_64 random(2);
    double worstUs = 0, totalUs = 0;
    const int seeks = 2000;
    for (int i = 0; i < seeks; ++i) {
        const uint64_t place = random() % (kFileBytes - kWindow);
        const std::size_t inStream = place % (framedStream.size() - kWindow);
        const double start = cpuNs();
        std::optional<uint64_t> at =
            lens::findBoundary(framed, framedStream.data() + inStream, kWindow, place, place);
        const double us = (cpuNs() - start) / 1000;
        if (!at) std::printf("no boundary at %llu!\n", static_cast<unsigned long long>(place));
        worstUs = std::max(worstUs, us);
        totalUs += us;
    }
    std::printf("boundary search at %d places: mean %.2f us, worst %.2f us\n", seeks,
                totalUs / seeks, worstUs);
    std::printf("lens_binary_ns_per_byte=%.2f lens_frame_ns_per_byte=%.2f "
                "lens_text_ns_per_byte=%.2f lens_seek_us=%.1f\n",
                binaryNs, frameNs, textNs, worstUs);
    return 0;
}
