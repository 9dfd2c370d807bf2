#include "SerialEngine.h"
#include "Transport.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tessavue {

void Outgoing::queueControl(std::string_view bytes) {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    control_.append(bytes);
    overrun_ = overrun_ || control_.size() > kMostControlBytes;
    wake();
}

size_t Outgoing::queueData(const uint8_t* data, size_t size) {
    std::lock_guard lock(mutex_);
    if (closed_) return 0;
    // What was already written is let go of here, so the queue never moves on every piece.
    data_.erase(0, dataStart_);
    dataStart_ = 0;
    const size_t queued = data_.size() + wireData_;
    const size_t taken = std::min(size, SerialEngine::kSendQueueBytes -
                                            std::min(queued, SerialEngine::kSendQueueBytes));
    data_.append(reinterpret_cast<const char*>(data), taken);
    if (taken > 0) wake();
    return taken;
}

size_t Outgoing::queuedData() const {
    std::lock_guard lock(mutex_);
    return data_.size() - dataStart_ + wireData_;
}

uint64_t Outgoing::sentData() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

bool Outgoing::waiting() const {
    std::lock_guard lock(mutex_);
    return !wire_.empty() || !control_.empty() || dataStart_ < data_.size();
}

bool Outgoing::overrun() const {
    std::lock_guard lock(mutex_);
    return overrun_;
}

void Outgoing::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    control_.clear();
    data_.clear();
    dataStart_ = 0;
    wire_.clear();
    wireData_ = 0;
}

void Outgoing::wakeWith(int eventFd) {
    std::lock_guard lock(mutex_);
    wakeFd_ = eventFd;
}

void Outgoing::wake() const {
    const uint64_t one = 1;
    if (wakeFd_ >= 0) static_cast<void>(::write(wakeFd_, &one, sizeof one));
}

bool Outgoing::writeWire(int fd) {
    for (;;) {
        // A socket whose peer has gone must fail the write, not end the program.
        const ssize_t written = socket_ ? send(fd, wire_.data(), wire_.size(), MSG_NOSIGNAL)
                                        : ::write(fd, wire_.data(), wire_.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return errno == EAGAIN;
        wire_.erase(0, static_cast<size_t>(written));
        if (wire_.empty()) {
            sent_ += wireData_;
            wireData_ = 0;
        }
        return true;
    }
}

} // namespace tessavue
