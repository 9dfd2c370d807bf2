#include "PendingBytes.h"

#include <algorithm>
#include <cstring>

namespace tessavue {

void PendingBytes::append(const uint8_t* data, size_t size) {
    std::lock_guard lock(mutex_);
    size_t kept = std::min(size, capacity_ - size_);
    dropped_ += size - kept;
    size_ += kept;
    keptTotal_ += kept;
    if (kept > 0 && stamps_.size() < kMostStamps)
        stamps_.push_back({keptTotal_, readNs_});
    else if (kept > 0)
        stamps_.back() = {keptTotal_, readNs_};
    while (kept > 0) {
        if (chunks_.empty() || chunks_.back().size() == kChunkBytes) {
            chunks_.emplace_back();
            chunks_.back().reserve(kChunkBytes);
        }
        std::vector<uint8_t>& back = chunks_.back();
        size_t part = std::min(kept, kChunkBytes - back.size());
        back.insert(back.end(), data, data + part);
        data += part;
        kept -= part;
    }
}

size_t PendingBytes::take(uint8_t* out, size_t maxSize, std::vector<ReadStamp>* stamps) {
    std::lock_guard lock(mutex_);
    size_t taken = 0;
    while (taken < maxSize && size_ > 0) {
        std::vector<uint8_t>& front = chunks_.front();
        size_t part = std::min(maxSize - taken, front.size() - frontOffset_);
        std::memcpy(out + taken, front.data() + frontOffset_, part);
        taken += part;
        size_ -= part;
        frontOffset_ += part;
        if (frontOffset_ == front.size()) {
            chunks_.pop_front();
            frontOffset_ = 0;
        }
    }
    const uint64_t first = takenTotal_;
    takenTotal_ += taken;
    if (stamps) stamps->clear();
    for (auto read = stamps_.begin(); read != stamps_.end(); ++read) {
        const uint64_t start = read == stamps_.begin() ? first : std::prev(read)->end;
        if (start >= takenTotal_) break;
        if (stamps) stamps->push_back({read->end - first, read->ns});
    }
    while (!stamps_.empty() && stamps_.front().end <= takenTotal_)
        stamps_.pop_front();
    return taken;
}

bool PendingBytes::empty() const {
    std::lock_guard lock(mutex_);
    return size_ == 0;
}

uint64_t PendingBytes::dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void PendingBytes::resetDropped() {
    std::lock_guard lock(mutex_);
    dropped_ = 0;
}

} // namespace tessavue
