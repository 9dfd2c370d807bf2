#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "TimeStamps.h"

namespace tessavue {

// The bytes the reader thread has received and the GUI thread has not yet fetched. This is the
// only thing the two threads share, so it carries its own lock.
class PendingBytes {
public:
    // The most stamps held: a backlog of tiny reads joins its newest into one beyond them, so
    // stamps never outgrow the bytes (16 MiB of them at most).
    static constexpr size_t kMostStamps = 1 << 20;

    explicit PendingBytes(size_t capacity) : capacity_(capacity) {}

    // Keeps what fits under the capacity and counts the rest as dropped; what it keeps is stamped
    // with the time of the last readReturnedAt.
    void append(const uint8_t* data, size_t size);
    // For the bytes the appends that follow bring, on the thread that appends.
    void readReturnedAt(int64_t ns) { readNs_ = ns; }
    // Moves up to maxSize of the oldest bytes to out and returns how many. stamps, when given,
    // gets the stamps of the reads these bytes belong to, their ends counted from the first byte
    // taken (a read that goes on into the bytes left ends past the count).
    size_t take(uint8_t* out, size_t maxSize, std::vector<ReadStamp>* stamps = nullptr);

    bool empty() const;
    uint64_t dropped() const;
    void resetDropped();

private:
    // Received bytes live in chunks of this size, so a long backlog never has to be moved.
    static constexpr size_t kChunkBytes = 64 * 1024;

    mutable std::mutex mutex_;
    std::deque<std::vector<uint8_t>> chunks_;
    size_t frontOffset_ = 0; // bytes of chunks_.front() already taken
    size_t size_ = 0;
    uint64_t dropped_ = 0;
    uint64_t keptTotal_ = 0;       // bytes ever kept, the stream the stamps count in
    uint64_t takenTotal_ = 0;      // of which taken
    std::deque<ReadStamp> stamps_; // of the reads not wholly taken
    int64_t readNs_ = 0;           // the appending thread's alone
    const size_t capacity_;
};

} // namespace tessavue
