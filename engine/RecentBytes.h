#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessavue {

// The newest `capacity` bytes handed out, oldest first; older bytes are overwritten in place.
class RecentBytes {
public:
    explicit RecentBytes(size_t capacity) : ring_(capacity) {}

    void append(const uint8_t* data, size_t size);
    size_t size() const { return size_; }
    // Byte `index` counted from the oldest; the caller keeps index below size().
    uint8_t at(size_t index) const {
        return ring_[(end_ + ring_.size() - size_ + index) % ring_.size()];
    }
    void clear() { size_ = 0; }

private:
    std::vector<uint8_t> ring_;
    size_t end_ = 0; // where the next byte goes
    size_t size_ = 0;
};

} // namespace tessavue
