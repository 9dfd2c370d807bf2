#include "storage/Overview.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The builder reads this much at a time: large reads are what makes it fast, and a reader
// sees the index grow 16 MiB at a time.
constexpr int64_t kChunk = int64_t(16) << 20;

// The bytes a piece of the first level is worked out from at a time.
constexpr int64_t kPiece = 256;

// One whole first-level block read unsigned and signed in one pass: a fixed count the compiler
// turns into vector code, where the building of a big file spends its time.
void rangesOfPiece(const uint8_t* p, ColumnRange& plain, ColumnRange& flipped) {
    uint8_t lo = 255, hi = 0, slo = 255, shi = 0;
    for (int64_t i = 0; i < kPiece; ++i) {
        const uint8_t v = p[i];
        const auto f = static_cast<uint8_t>(v ^ kSignedFlip);
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
        slo = f < slo ? f : slo;
        shi = f > shi ? f : shi;
    }
    plain.add(ColumnRange{lo, hi});
    flipped.add(ColumnRange{slo, shi});
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

// The parts of [at, end) the file holds data in, widened to whole blocks of `block` bytes
// from `at`, oldest first; the rest is holes, which read as zeros and need no reading. A file
// system that cannot tell, and bytes past the file's end (a file shorter than said, whose read
// must fail), count as data.
std::vector<std::pair<int64_t, int64_t>> dataIn(int fd, int64_t at, int64_t end, int64_t block) {
    std::vector<std::pair<int64_t, int64_t>> out;
    const auto add = [&](int64_t from, int64_t to) {
        from = std::max(at, at + (from - at) / block * block);
        to = std::min(end, at + (to - at + block - 1) / block * block);
        if (!out.empty() && from <= out.back().second)
            out.back().second = std::max(out.back().second, to);
        else if (from < to)
            out.emplace_back(from, to);
    };
    struct stat st {};
    const int64_t size = ::fstat(fd, &st) == 0 ? int64_t(st.st_size) : end;
    for (int64_t pos = at; pos < std::min(end, size);) {
        const off_t d = ::lseek(fd, pos, SEEK_DATA);
        if (d < 0) {
            if (errno != ENXIO) add(pos, end);
            break;
        }
        if (d >= end) break;
        const off_t h = ::lseek(fd, d, SEEK_HOLE);
        // A directory's end of data can be the largest offset there is.
        const int64_t holeAt = h > d ? std::min<int64_t>(h, end) : end;
        add(d, holeAt);
        pos = holeAt;
    }
    if (size < end) add(std::max(at, size), end);
    return out;
}

// A descriptor of the index's own, with a file offset of its own for the hole seeking.
int reopen(int fd) {
    const int own = ::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_RDONLY | O_CLOEXEC);
    return own >= 0 ? own : ::dup(fd);
}

} // namespace

OverviewIndex::OverviewIndex(int fd, int64_t length, int64_t mostFirstEntries)
    : m_fd(reopen(fd)), m_length(std::max<int64_t>(length, 0)) {
    // The chunk a builder reads must stay a whole number of first blocks.
    while (m_firstBlock < kChunk && (m_length + m_firstBlock - 1) / m_firstBlock > mostFirstEntries)
        m_firstBlock *= kFanOut;
    m_builder = std::thread([this] { build(); });
}

OverviewIndex::~OverviewIndex() {
    m_stop.store(true, std::memory_order_release);
    wait();
    if (m_fd >= 0) ::close(m_fd);
}

int64_t OverviewIndex::blockSize(size_t level) const {
    int64_t size = m_firstBlock;
    for (size_t k = 0; k < level; ++k)
        size *= kFanOut;
    return size;
}

void OverviewIndex::wait() {
    if (m_builder.joinable()) m_builder.join();
}

void OverviewIndex::build() {
    // Levels down to a single entry; a partial block at the end counts as a block. Made here,
    // not by the opener: tens of megabytes for a big file. A reader touches them only once
    // done() has passed zero, which is published after this.
    for (auto& levels : m_levels)
        for (int64_t size = m_firstBlock;; size *= kFanOut) {
            levels.emplace_back(static_cast<size_t>((m_length + size - 1) / size));
            if (levels.back().size() <= 1) break;
        }
    std::vector<uint8_t> buffer(
        static_cast<size_t>(std::min(kChunk, std::max<int64_t>(m_length, 1))));
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    for (int64_t at = 0; at < m_length && !m_stop.load(std::memory_order_acquire);) {
        const int64_t n = std::min<int64_t>(kChunk, m_length - at);
        const int64_t end = at + n;
        const std::vector<std::pair<int64_t, int64_t>> data = dataIn(m_fd, at, end, m_firstBlock);
        for (const auto& [from, to] : data)
            if (!preadAll(m_fd, buffer.data() + (from - at), to - from, from)) {
                m_failed.store(true, std::memory_order_release);
                return;
            }
        // kChunk is a whole number of the biggest blocks that fit in it, so each chunk fills
        // its own entries of every level up to that size; the levels above are merged from
        // below as far as the bytes done reach.
        auto part = data.begin();
        for (int64_t b = 0; b < n; b += m_firstBlock) {
            const int64_t len = std::min(m_firstBlock, n - b);
            const auto e = static_cast<size_t>((at + b) / m_firstBlock);
            while (part != data.end() && part->second <= at + b)
                ++part;
            ColumnRange plain, flipped;
            if (part == data.end() || part->first > at + b) {
                // A hole: zeros.
                plain = {0, 0};
                flipped = {kSignedFlip, kSignedFlip};
            } else if (len == m_firstBlock) {
                for (int64_t p = 0; p < len; p += kPiece)
                    rangesOfPiece(buffer.data() + b + p, plain, flipped);
            } else {
                const std::span<const uint8_t> rest{buffer.data() + b, static_cast<size_t>(len)};
                plain = xfunRangeOf(rest, 0);
                flipped = xfunRangeOf(rest, kSignedFlip);
            }
            m_levels[0][0][e] = plain;
            m_levels[1][0][e] = flipped;
        }
        for (auto& levels : m_levels)
            mergeUp(levels, at, end);
        at = end;
        m_done.store(at, std::memory_order_release);
    }
}

void OverviewIndex::mergeUp(std::vector<std::vector<ColumnRange>>& levels, int64_t at,
                            int64_t end) const {
    for (size_t k = 1; k < levels.size(); ++k) {
        const int64_t size = blockSize(k);
        const int64_t lowSize = size / kFanOut;
        auto& level = levels[k];
        const auto& below = levels[k - 1];
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
}

ColumnRange OverviewIndex::readRange(int64_t a, int64_t b, uint8_t flip) const {
    std::vector<uint8_t> bytes(static_cast<size_t>(b - a));
    if (!preadAll(m_fd, bytes.data(), b - a, a)) return {};
    return xfunRangeOf(bytes, flip);
}

ColumnRange OverviewIndex::rangeOf(int64_t a, int64_t b, uint8_t flip) const {
    const auto& levels = m_levels[flip == 0 ? 0 : 1];
    // Climb from the ragged start to the largest aligned blocks and back down to the end,
    // so each side costs at most fan-out entries a level.
    ColumnRange r;
    const int64_t headEnd = std::min(b, (a + m_firstBlock - 1) / m_firstBlock * m_firstBlock);
    if (a < headEnd) r.add(readRange(a, headEnd, flip));
    a = headEnd;
    const int64_t tailStart = std::max(a, b / m_firstBlock * m_firstBlock);
    // Blocks [a, tailStart), every bound a multiple of the first block; a block cut by the file's
    // end only happens at the end, where b is the length, so tailStart == b never leaves it out.
    const int64_t wholeEnd = (b == m_length) ? b : tailStart;
    size_t k = 0;
    while (a < wholeEnd) {
        const int64_t size = blockSize(k);
        const int64_t up = size * kFanOut;
        const bool canClimb = k + 1 < levels.size() && a % up == 0 &&
                              (a + up <= wholeEnd || (wholeEnd == m_length && a + up >= m_length));
        if (canClimb) {
            ++k;
            continue;
        }
        if (a + size <= wholeEnd || (wholeEnd == m_length && a + size >= m_length)) {
            r.add(levels[k][static_cast<size_t>(a / size)]);
            a = std::min(a + size, wholeEnd);
        } else if (k > 0) {
            --k;
        } else {
            break;
        }
    }
    if (a < b) r.add(readRange(a, b, flip));
    return r;
}

std::vector<ColumnRange> OverviewIndex::envelope(int64_t first, int64_t count, int columns,
                                                 uint8_t flip) const {
    std::vector<ColumnRange> out(static_cast<size_t>(std::max(columns, 0)));
    first = std::clamp<int64_t>(first, 0, m_length);
    count = std::clamp<int64_t>(count, 0, m_length - first);
    // A screen of at most two first blocks a column is read whole: cheaper than the levels.
    if (count <= 2 * m_firstBlock * columns) {
        std::vector<uint8_t> bytes(static_cast<size_t>(count));
        if (preadAll(m_fd, bytes.data(), count, first)) out = xfunEnvelope(bytes, columns, flip);
        return out;
    }
    const int64_t ready = done();
    for (int c = 0; c < columns; ++c) {
        const int64_t a = first + xfunColumnStart(c, count, columns);
        const int64_t b = first + xfunColumnStart(c + 1, count, columns);
        if (b > ready) break;
        out[static_cast<size_t>(c)] = rangeOf(a, b, flip);
    }
    return out;
}
