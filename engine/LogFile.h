#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessavue {

// The file received bytes are logged to, closed by itself once it reaches its size limit or a
// write fails. The writing happens on a thread of its own behind a bounded queue, so a slow
// disk or a pipe whose reader has stopped never holds up the caller.
class LogFile {
public:
    // Bytes waiting to be written at most; some ten seconds of the fastest line.
    static constexpr size_t kQueueBytes = 32 * 1024 * 1024;
    // How long an open waits for a named pipe's reader to turn up.
    static constexpr int kReaderWaitMs = 1000;

    LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile();

    // Opens path for appending, creating it if missing. The limit counts the whole file, including
    // what it held before; maxBytes <= 0 means no limit. Returns 0 or the errno of the failure
    // (ENXIO for a named pipe nobody reads).
    int open(const std::string& path, int32_t maxBytes);
    // Queues the bytes. Returns SerialEngine::kLogContinues while the log stays open (or none is
    // open), SerialEngine::kLogSizeLimit when these bytes filled it up, kLogStalled when the
    // queue has no room for them, or the errno of a failed write. In the last three cases the
    // log has been closed; it holds every byte queued before, in order.
    int16_t append(const uint8_t* data, size_t size);
    // Closes the log once everything queued has been written. A regular file has it all on the
    // disk when this returns; a pipe or a device gets the rest for as long as its reader takes
    // it, without the caller waiting.
    void close();

private:
    class Writer;
    void reapFinished();

    std::unique_ptr<Writer> writer_;
    std::vector<std::unique_ptr<Writer>> finishing_; // closed pipe logs still delivering
    std::optional<uint64_t> bytesLeft_;              // nullopt: no limit
};

// Opens path for writing without ever blocking: a named pipe gets up to waitMs for a reader to
// turn up. flags are added to O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY; the descriptor stays
// non-blocking. Returns the descriptor, or -1 with errno set.
int openForWriting(const std::string& path, int flags, int waitMs);

} // namespace tessavue
