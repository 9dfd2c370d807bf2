#include "RecentBytes.h"

#include <algorithm>
#include <cstring>

namespace tessavue {

void RecentBytes::append(const uint8_t* data, size_t size) {
    const size_t capacity = ring_.size();
    if (size > capacity) {
        data += size - capacity;
        size = capacity;
    }
    size_t first = std::min(size, capacity - end_);
    std::memcpy(ring_.data() + end_, data, first);
    std::memcpy(ring_.data(), data + first, size - first);
    end_ = (end_ + size) % capacity;
    size_ = std::min(size_ + size, capacity);
}

} // namespace tessavue
