#include "storage/Overview.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace {

// The builder reads this much at a time: large reads are what makes it fast, and a reader
// sees the index grow 16 MiB at a time.
constexpr int64_t kChunk = int64_t(16) << 20;

// A screen of at most this many bytes a column is read whole: cheaper than the levels.
constexpr int64_t kReadWholeBytesPerColumn = 2 * OverviewIndex::kFirstBlock;

int64_t blockSize(size_t level) {
    int64_t size = OverviewIndex::kFirstBlock;
    for (size_t k = 0; k < level; ++k)
        size *= OverviewIndex::kFanOut;
    return size;
}

// One whole first-level block: a fixed count the compiler turns into vector code, where the
// building of a big file spends its time.
ColumnRange rangeOfBlock(const uint8_t* p) {
    uint8_t lo = 255;
    uint8_t hi = 0;
    for (int64_t i = 0; i < OverviewIndex::kFirstBlock; ++i) {
        lo = p[i] < lo ? p[i] : lo;
        hi = p[i] > hi ? p[i] : hi;
    }
    return {lo, hi};
}

bool preadAll(int fd, uint8_t* to, int64_t bytes, int64_t at) {
    while (bytes > 0) {
        const ssize_t got = ::pread(fd, to, static_cast<size_t>(bytes), at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        to += got;
        at += got;
        bytes -= got;
    }
    return true;
}

} // namespace

OverviewIndex::OverviewIndex(int fd, int64_t length)
    : m_fd(fd), m_length(std::max<int64_t>(length, 0)) {
    // Levels down to a single entry; a partial block at the end counts as a block.
    for (int64_t size = kFirstBlock;; size *= kFanOut) {
        m_levels.emplace_back(static_cast<size_t>((m_length + size - 1) / size));
        if (m_levels.back().size() <= 1) break;
    }
    m_builder = std::thread([this] { build(); });
}

OverviewIndex::~OverviewIndex() {
    m_stop.store(true, std::memory_order_release);
    wait();
}

void OverviewIndex::wait() {
    if (m_builder.joinable()) m_builder.join();
}

void OverviewIndex::build() {
    std::vector<uint8_t> buffer(
        static_cast<size_t>(std::min(kChunk, std::max<int64_t>(m_length, 1))));
    for (int64_t at = 0; at < m_length && !m_stop.load(std::memory_order_acquire);) {
        const int64_t n = std::min<int64_t>(kChunk, m_length - at);
        if (!preadAll(m_fd, buffer.data(), n, at)) {
            m_failed.store(true, std::memory_order_release);
            return;
        }
        // kChunk is a whole number of the biggest blocks that fit in it, so each chunk fills
        // its own entries of every level up to that size; the levels above are merged from
        // below as far as the bytes done reach.
        for (int64_t b = 0; b < n; b += kFirstBlock) {
            const auto len = static_cast<size_t>(std::min(kFirstBlock, n - b));
            m_levels[0][static_cast<size_t>((at + b) / kFirstBlock)] =
                len == kFirstBlock ? rangeOfBlock(buffer.data() + b)
                                   : xfunRangeOf({buffer.data() + b, len});
        }
        const int64_t end = at + n;
        for (size_t k = 1; k < m_levels.size(); ++k) {
            const int64_t size = blockSize(k);
            const int64_t lowSize = size / kFanOut;
            auto& level = m_levels[k];
            const auto& below = m_levels[k - 1];
            // Entries of this level whose bytes lie in [at, end), or whose last part does.
            const int64_t firstEntry = at / size;
            const int64_t lastEntry = (end == m_length ? (end + size - 1) / size : end / size);
            for (int64_t e = firstEntry; e < lastEntry; ++e) {
                ColumnRange r;
                const int64_t lowEnd =
                    std::min<int64_t>((e + 1) * kFanOut, static_cast<int64_t>(below.size()));
                for (int64_t i = e * kFanOut; i < lowEnd && i * lowSize < end; ++i)
                    r.add(below[static_cast<size_t>(i)]);
                level[static_cast<size_t>(e)] = r;
            }
        }
        at = end;
        m_done.store(at, std::memory_order_release);
    }
}

ColumnRange OverviewIndex::readRange(int64_t a, int64_t b) const {
    std::vector<uint8_t> bytes(static_cast<size_t>(b - a));
    if (!preadAll(m_fd, bytes.data(), b - a, a)) return {};
    return xfunRangeOf(bytes);
}

ColumnRange OverviewIndex::rangeOf(int64_t a, int64_t b) const {
    // Climb from the ragged start to the largest aligned blocks and back down to the end,
    // so each side costs at most fan-out entries a level.
    ColumnRange r;
    const int64_t headEnd = std::min(b, (a + kFirstBlock - 1) / kFirstBlock * kFirstBlock);
    if (a < headEnd) r.add(readRange(a, headEnd));
    a = headEnd;
    const int64_t tailStart = std::max(a, b / kFirstBlock * kFirstBlock);
    // Blocks [a, tailStart), every bound a multiple of 256; a block cut by the file's end only
    // happens at the end, where b is the length, so tailStart == b never leaves it out.
    const int64_t wholeEnd = (b == m_length) ? b : tailStart;
    size_t k = 0;
    while (a < wholeEnd) {
        const int64_t size = blockSize(k);
        const int64_t up = size * kFanOut;
        const bool canClimb = k + 1 < m_levels.size() && a % up == 0 &&
                              (a + up <= wholeEnd || (wholeEnd == m_length && a + up >= m_length));
        if (canClimb) {
            ++k;
            continue;
        }
        if (a + size <= wholeEnd || (wholeEnd == m_length && a + size >= m_length)) {
            r.add(m_levels[k][static_cast<size_t>(a / size)]);
            a = std::min(a + size, wholeEnd);
        } else if (k > 0) {
            --k;
        } else {
            break;
        }
    }
    if (a < b) r.add(readRange(a, b));
    return r;
}

std::vector<ColumnRange> OverviewIndex::envelope(int64_t first, int64_t count, int columns) const {
    std::vector<ColumnRange> out(static_cast<size_t>(std::max(columns, 0)));
    first = std::clamp<int64_t>(first, 0, m_length);
    count = std::clamp<int64_t>(count, 0, m_length - first);
    if (count <= kReadWholeBytesPerColumn * columns) {
        std::vector<uint8_t> bytes(static_cast<size_t>(count));
        if (preadAll(m_fd, bytes.data(), count, first)) out = xfunEnvelope(bytes, columns);
        return out;
    }
    const int64_t ready = done();
    for (int c = 0; c < columns; ++c) {
        const int64_t a = first + xfunColumnStart(c, count, columns);
        const int64_t b = first + xfunColumnStart(c + 1, count, columns);
        if (b > ready) break;
        out[static_cast<size_t>(c)] = rangeOf(a, b);
    }
    return out;
}
