#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "graph/Envelope.h"

// The lowest and highest byte of a file per 256 bytes (firstBlock()), and per 16 times as many at
// each level above, built by a thread of its own beside the GUI, so that a screen spanning any part
// of a file of gigabytes is drawn from a few thousand entries instead of from all its bytes.
//
// The builder sizes the levels first and then only ever writes ahead of the count of bytes
// done, which it publishes after the entries behind it: a reader takes what is behind the count
// and never waits for the builder. A 4 GiB file's index holds about 68 MB.
class OverviewIndex {
public:
    static constexpr int64_t kFanOut = 16;
    // The first level has at most this many entries (the index of a 4 GiB file per 256 bytes);
    // a bigger file's first level is per 16 times as many bytes, as often as needed.
    static constexpr int64_t kMostFirstEntries = int64_t(16) << 20;

    // Starts building the index of the `length` bytes of the open file fd, read through a
    // descriptor of its own, so the file may be closed by its owner meanwhile.
    OverviewIndex(int fd, int64_t length, int64_t mostFirstEntries = kMostFirstEntries);
    // Stops the builder where it is.
    ~OverviewIndex();
    OverviewIndex(const OverviewIndex&) = delete;
    OverviewIndex& operator=(const OverviewIndex&) = delete;

    int64_t length() const { return m_length; }
    // The bytes behind one entry of the first level: 256, or 16 times as many for each time
    // the file is more than kMostFirstEntries of them.
    int64_t firstBlock() const { return m_firstBlock; }
    // Bytes of the file the index covers so far, from the start; length() once built.
    int64_t done() const { return m_done.load(std::memory_order_acquire); }
    bool built() const { return done() == m_length; }
    // False when a read failed: the index stops there and covers what it had.
    bool readFailed() const { return m_failed.load(std::memory_order_acquire); }
    // Blocks the caller until the builder ends (tests and benchmarks).
    void wait();

    // The `count` bytes from `first` spread over `columns` columns as xfunEnvelope spreads them,
    // each column's range exactly. A screen of few bytes a column is read from the file whole;
    // on any other, a column reaching past done() stays empty.
    // Ranges are of the bytes XOR flip (xfunRangeOf).
    std::vector<ColumnRange> envelope(int64_t first, int64_t count, int columns,
                                      uint8_t flip) const;

private:
    void build();
    int64_t blockSize(size_t level) const;
    // Brings the levels above the first up to date with its entries for bytes [at, end).
    void mergeUp(std::vector<std::vector<ColumnRange>>& levels, int64_t at, int64_t end) const;
    // The range of bytes [a, b), a..b inside done(): whole blocks from the levels, the ragged
    // ends read from the file.
    ColumnRange rangeOf(int64_t a, int64_t b, uint8_t flip) const;
    ColumnRange readRange(int64_t a, int64_t b, uint8_t flip) const;

    int m_fd;
    int64_t m_length;
    int64_t m_firstBlock = 256;
    // m_levels[s][k][i]: bytes [i, i + 1) * 256 * 16^k, read unsigned (s = 0) or signed.
    std::vector<std::vector<ColumnRange>> m_levels[2];
    std::atomic<int64_t> m_done{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_failed{false};
    std::thread m_builder;
};
