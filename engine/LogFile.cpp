#include "LogFile.h"

#include "SerialEngine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tessavue {

int openForWriting(const std::string& path, int flags, int waitMs) {
    constexpr int kRetryMs = 20;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | flags, 0666);
        if (fd >= 0 || errno != ENXIO || std::chrono::steady_clock::now() >= giveUp) return fd;
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
    }
}

class LogFile::Writer {
public:
    Writer(int fd, bool regular)
        : fd_(fd), wakeFd_(eventfd(0, EFD_CLOEXEC)), regular_(regular), thread_([this] { run(); }) {
    }
    ~Writer() {
        {
            std::lock_guard lock(mutex_);
            finishing_ = true;
        }
        ready_.notify_one();
        thread_.join();
        if (wakeFd_ >= 0) ::close(wakeFd_);
    }

    bool regular() const { return regular_; }
    int error() const { return error_.load(std::memory_order_acquire); }
    bool done() const { return done_.load(std::memory_order_acquire); }

    // False when the queue has no room for them.
    bool queue(const uint8_t* data, size_t size) {
        {
            std::lock_guard lock(mutex_);
            if (queuedBytes_ + size > kQueueBytes) return false;
            queue_.insert(queue_.end(), data, data + size);
            queuedBytes_ += size;
        }
        ready_.notify_one();
        return true;
    }

    void finish() {
        {
            std::lock_guard lock(mutex_);
            finishing_ = true;
        }
        ready_.notify_one();
    }

    // Ends a wait for a reader that will not come; what it never took is not delivered.
    void abandon() {
        const uint64_t one = 1;
        while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
        finish();
    }

private:
    void run() {
        std::vector<uint8_t> batch;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return !queue_.empty() || finishing_; });
                if (queue_.empty()) break;
                batch.swap(queue_);
            }
            const int error = writeAll(batch.data(), batch.size());
            {
                std::lock_guard lock(mutex_);
                queuedBytes_ -= batch.size();
            }
            batch.clear();
            if (error != 0) {
                error_.store(error, std::memory_order_release);
                break;
            }
        }
        if (regular_ && error_.load() == 0) ::fsync(fd_);
        ::close(fd_);
        done_.store(true, std::memory_order_release);
    }

    // 0, or the errno of the failure (ECANCELED when abandoned).
    int writeAll(const uint8_t* data, size_t size) {
        while (size > 0) {
            const ssize_t written = ::write(fd_, data, size);
            if (written > 0) {
                data += written;
                size -= static_cast<size_t>(written);
                continue;
            }
            if (written == 0) return ENOSPC;
            if (errno == EINTR) continue;
            if (errno != EAGAIN) return errno;
            pollfd watched[2] = {{fd_, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
            if (::poll(watched, 2, -1) < 0 && errno != EINTR) return errno;
            if (watched[1].revents != 0) return ECANCELED;
        }
        return 0;
    }

    const int fd_;
    const int wakeFd_;
    const bool regular_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<uint8_t> queue_;
    size_t queuedBytes_ = 0; // queued and being written
    bool finishing_ = false;
    std::atomic<int> error_{0};
    std::atomic<bool> done_{false};
    std::thread thread_; // last: it starts running in the constructor
};

LogFile::LogFile() = default;

LogFile::~LogFile() {
    close();
    for (auto& writer : finishing_)
        writer->abandon();
}

int LogFile::open(const std::string& path, int32_t maxBytes) {
    close();
    const int fd = openForWriting(path, O_CREAT | O_APPEND, kReaderWaitMs);
    if (fd < 0) return errno;
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        int error = errno;
        ::close(fd);
        return error;
    }
    bytesLeft_.reset();
    if (maxBytes > 0) {
        uint64_t present = static_cast<uint64_t>(std::max<off_t>(info.st_size, 0));
        uint64_t limit = static_cast<uint64_t>(maxBytes);
        bytesLeft_ = limit > present ? limit - present : 0;
    }
    writer_ = std::make_unique<Writer>(fd, S_ISREG(info.st_mode));
    return 0;
}

int16_t LogFile::append(const uint8_t* data, size_t size) {
    if (!writer_) return SerialEngine::kLogContinues;
    if (const int error = writer_->error(); error != 0) {
        close();
        return static_cast<int16_t>(error);
    }
    const size_t toQueue = bytesLeft_ ? std::min<uint64_t>(size, *bytesLeft_) : size;
    if (!writer_->queue(data, toQueue)) {
        close();
        return SerialEngine::kLogStalled;
    }
    if (bytesLeft_) *bytesLeft_ -= toQueue;
    if (bytesLeft_ && *bytesLeft_ == 0) {
        close();
        return SerialEngine::kLogSizeLimit;
    }
    return SerialEngine::kLogContinues;
}

void LogFile::close() {
    reapFinished();
    if (!writer_) return;
    writer_->finish();
    if (writer_->regular())
        writer_.reset(); // the disk takes what is queued in a moment
    else
        finishing_.push_back(std::move(writer_));
}

void LogFile::reapFinished() {
    std::erase_if(finishing_, [](const auto& writer) { return writer->done(); });
}

} // namespace tessavue
