#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tessavue {

// The file received bytes are logged to, closed by itself once it reaches its size limit or a
// write fails.
class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile() { close(); }

    // Opens path for appending, creating it if missing. The limit counts the whole file, including
    // what it held before; maxBytes <= 0 means no limit. Returns 0 or the errno of the failure.
    int open(const std::string& path, int32_t maxBytes);
    // Returns SerialEngine::kLogContinues while the log stays open (or none is open),
    // SerialEngine::kLogSizeLimit when these bytes filled it up, or the errno of a failed write.
    // In the last two cases the file has been closed.
    int16_t append(const uint8_t* data, size_t size);
    // Closes the file once everything written has reached the disk.
    void close();

private:
    void closeWithoutSync();

    int fd_ = -1;
    std::optional<uint64_t> bytesLeft_; // nullopt: no limit
};

} // namespace tessavue
