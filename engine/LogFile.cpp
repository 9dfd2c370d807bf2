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
    // timeFd, when not -1, is the side file, to be headed by header once the first bytes are
    // written; its failures land in timeError.
    Writer(int fd, bool regular, int timeFd, const TimeFileHeader& header,
           std::atomic<int>& timeError)
        : fd_(fd), wakeFd_(eventfd(0, EFD_CLOEXEC)), regular_(regular), timeFd_(timeFd),
          timeHeader_(header), timeError_(timeError), thread_([this] { run(); }) {}
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

    // False when the queue has no room for them. times are the side file's records up to the
    // end of these bytes.
    bool queue(const uint8_t* data, size_t size, const std::vector<uint8_t>& times) {
        {
            std::lock_guard lock(mutex_);
            if (queuedBytes_ + size > kQueueBytes) return false;
            queue_.insert(queue_.end(), data, data + size);
            queuedBytes_ += size;
            timeQueue_.insert(timeQueue_.end(), times.begin(), times.end());
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
        std::vector<uint8_t> times;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                ready_.wait(
                    lock, [this] { return !queue_.empty() || !timeQueue_.empty() || finishing_; });
                if (queue_.empty() && timeQueue_.empty()) break;
                batch.swap(queue_);
                times.swap(timeQueue_);
            }
            const int error = writeAll(batch.data(), batch.size());
            if (error == 0) writeTimes(batch, times);
            times.clear();
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
        if (timeFd_ >= 0) ::close(timeFd_);
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

    // The side file's part, after the bytes its records speak of.
    void writeTimes(const std::vector<uint8_t>& batch, const std::vector<uint8_t>& times) {
        if (timeFd_ < 0) return;
        std::vector<uint8_t> out;
        if (!timeHeaded_) {
            if (batch.empty()) return; // no bytes yet, nothing to give times to
            timeHeader_.checkLength =
                static_cast<uint32_t>(std::min<size_t>(batch.size(), kTimeFileCheckBytes));
            timeHeader_.checkHash = timeCheckHash(batch.data(), timeHeader_.checkLength);
            appendTimeFileHeader(out, timeHeader_);
            timeHeaded_ = true;
        }
        out.insert(out.end(), times.begin(), times.end());
        for (size_t done = 0; done < out.size();) {
            const ssize_t written = ::write(timeFd_, out.data() + done, out.size() - done);
            if (written > 0) {
                done += static_cast<size_t>(written);
            } else if (written < 0 && errno == EINTR) {
                continue;
            } else {
                timeError_.store(written == 0 ? ENOSPC : errno);
                ::close(timeFd_);
                timeFd_ = -1;
                return;
            }
        }
    }

    const int fd_;
    const int wakeFd_;
    const bool regular_;
    int timeFd_;
    TimeFileHeader timeHeader_;
    bool timeHeaded_ = false;
    std::atomic<int>& timeError_;
    std::vector<uint8_t> timeQueue_;
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

int LogFile::open(const std::string& path, int32_t maxBytes, int64_t charNs) {
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
    const bool regular = S_ISREG(info.st_mode);
    const uint64_t present = static_cast<uint64_t>(std::max<off_t>(info.st_size, 0));
    const TimeFileHeader header{clockAnchorNow(), charNs, present};
    int timeFd = -1;
    times_.reset();
    if (regular) {
        timeFd = ::open((path + ".time").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (timeFd < 0)
            timeError_.store(errno);
        else
            times_.emplace(present, header.anchor.steadyNs);
    }
    logged_ = present;
    charNs_ = charNs;
    writer_ = std::make_unique<Writer>(fd, regular, timeFd, header, timeError_);
    return 0;
}

int16_t LogFile::append(const uint8_t* data, size_t size, std::span<const ReadStamp> stamps) {
    if (!writer_) return SerialEngine::kLogContinues;
    if (const int error = writer_->error(); error != 0) {
        close();
        return static_cast<int16_t>(error);
    }
    const size_t toQueue = bytesLeft_ ? std::min<uint64_t>(size, *bytesLeft_) : size;
    std::vector<uint8_t> times;
    if (times_) {
        for (const ReadStamp& read : stamps) {
            // A read that goes on past what is logged now gives the time of the last byte logged.
            const uint64_t end = std::min<uint64_t>(read.end, toQueue);
            times_->add({logged_ + end, read.ns - static_cast<int64_t>(read.end - end) * charNs_},
                        times);
        }
    }
    if (!writer_->queue(data, toQueue, times)) {
        close();
        return SerialEngine::kLogStalled;
    }
    logged_ += toQueue;
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
    if (times_) {
        std::vector<uint8_t> times;
        times_->flush(times);
        writer_->queue(nullptr, 0, times);
        times_.reset();
    }
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
