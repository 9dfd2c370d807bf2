#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "TimeFile.h"

namespace tessavue {

// The file received bytes are logged to, closed by itself once it reaches its size limit or a
// write fails. The writing happens on a thread of its own behind a bounded queue, so a slow
// disk or a pipe whose reader has stopped never holds up the caller. A log in a regular file has
// a time side file beside it, "<log>.time" (TimeFile.h), written behind the log's bytes; a side
// file that fails stops, is told once, and the log goes on.
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
    // (ENXIO for a named pipe nobody reads). charNs is the line's character time, for the side
    // file.
    int open(const std::string& path, int32_t maxBytes, int64_t charNs = 0);
    // Queues the bytes. Returns SerialEngine::kLogContinues while the log stays open (or none is
    // open), SerialEngine::kLogSizeLimit when these bytes filled it up, kLogStalled when the
    // queue has no room for them, or the errno of a failed write. In the last three cases the
    // log has been closed; it holds every byte queued before, in order. stamps are the reads
    // the bytes came in, their ends counted from data (PendingBytes::take).
    int16_t append(const uint8_t* data, size_t size, std::span<const ReadStamp> stamps = {});
    // Closes the log once everything queued has been written. A regular file has it all on the
    // disk when this returns; a pipe or a device gets the rest for as long as its reader takes
    // it, without the caller waiting.
    void close();
    // The errno of a time side file that could not be made or written, once; else 0.
    int takeTimeFileError() { return timeError_.exchange(0); }

private:
    class Writer;
    void reapFinished();

    std::unique_ptr<Writer> writer_;
    std::vector<std::unique_ptr<Writer>> finishing_; // closed pipe logs still delivering
    std::optional<uint64_t> bytesLeft_;              // nullopt: no limit
    std::atomic<int> timeError_{0};                  // set by the writers
    std::optional<TimeRecordEncoder> times_;         // while the side file is written
    uint64_t logged_ = 0;                            // log offset of the next byte queued
    int64_t charNs_ = 0;
};

// Opens path for writing without ever blocking: a named pipe gets up to waitMs for a reader to
// turn up. flags are added to O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY; the descriptor stays
// non-blocking. Returns the descriptor, or -1 with errno set.
int openForWriting(const std::string& path, int flags, int waitMs);

} // namespace tessavue
