#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace tessavue {

// The bytes the reader thread has received and the GUI thread has not yet fetched. This is the
// only thing the two threads share, so it carries its own lock.
class PendingBytes {
public:
    explicit PendingBytes(size_t capacity) : capacity_(capacity) {}

    // Keeps what fits under the capacity and counts the rest as dropped.
    void append(const uint8_t* data, size_t size);
    // Moves up to maxSize of the oldest bytes to out and returns how many.
    size_t take(uint8_t* out, size_t maxSize);

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
    const size_t capacity_;
};

} // namespace tessavue
