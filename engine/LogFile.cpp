#include "LogFile.h"

#include "SerialEngine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tessavue {

int LogFile::open(const std::string& path, int32_t maxBytes) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) return errno;
    struct stat info {};
    if (fstat(fd_, &info) != 0) {
        int error = errno;
        closeWithoutSync();
        return error;
    }
    bytesLeft_.reset();
    if (maxBytes > 0) {
        uint64_t present = static_cast<uint64_t>(std::max<off_t>(info.st_size, 0));
        uint64_t limit = static_cast<uint64_t>(maxBytes);
        bytesLeft_ = limit > present ? limit - present : 0;
    }
    return 0;
}

int16_t LogFile::append(const uint8_t* data, size_t size) {
    if (fd_ < 0) return SerialEngine::kLogContinues;
    size_t toWrite = bytesLeft_ ? std::min<uint64_t>(size, *bytesLeft_) : size;
    while (toWrite > 0) {
        ssize_t written = ::write(fd_, data, toWrite);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            int error = written < 0 ? errno : ENOSPC;
            closeWithoutSync();
            return static_cast<int16_t>(error);
        }
        data += written;
        toWrite -= static_cast<size_t>(written);
        if (bytesLeft_) *bytesLeft_ -= static_cast<uint64_t>(written);
    }
    if (bytesLeft_ && *bytesLeft_ == 0) {
        close();
        return SerialEngine::kLogSizeLimit;
    }
    return SerialEngine::kLogContinues;
}

void LogFile::close() {
    if (fd_ >= 0) fsync(fd_);
    closeWithoutSync();
}

void LogFile::closeWithoutSync() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

} // namespace tessavue
