#pragma once

#include "LineSettings.h"
#include "SerialEngine.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace tessavue {

class PendingBytes;

// Bytes on their way out to the line: the data the engine's caller sends and the transport's own
// messages. Both threads queue them; only the reader thread writes them, and only what the line
// takes at once, so nothing that queues ever waits for the far end.
class Outgoing {
public:
    explicit Outgoing(bool socket) : socket_(socket) {}
    // What a transport's messages may pile up to before the far end counts as not reading.
    static constexpr size_t kMostControlBytes = 64 * 1024;

    // Messages go before any data not yet begun; past kMostControlBytes, overrun() says so.
    void queueControl(std::string_view bytes);
    // Takes what fits under SerialEngine::kSendQueueBytes; nothing once closed.
    size_t queueData(const uint8_t* data, size_t size);
    size_t queuedData() const;
    uint64_t sentData() const;
    bool waiting() const;
    bool overrun() const;
    // Drops everything queued and takes nothing more: the line is gone.
    void close();
    // Wakes the reader when the caller's thread queued something.
    void wakeWith(int eventFd);

    // Writes to fd what it takes now, data turned into line bytes by encode. False when the line
    // failed (not merely full).
    template <typename Encode> bool write(int fd, const Encode& encode) {
        std::lock_guard lock(mutex_);
        for (;;) {
            if (wire_.empty() && !nextPiece(encode)) return true;
            if (!writeWire(fd)) return false;
            if (!wire_.empty()) return true;
        }
    }

private:
    template <typename Encode> bool nextPiece(const Encode& encode) {
        if (!control_.empty()) {
            wire_.swap(control_);
            wireData_ = 0;
        } else if (dataStart_ < data_.size()) {
            wireData_ = std::min(data_.size() - dataStart_, kPieceBytes);
            encode(reinterpret_cast<const uint8_t*>(data_.data()) + dataStart_, wireData_, wire_);
            dataStart_ += wireData_;
        }
        return !wire_.empty();
    }
    bool writeWire(int fd);
    void wake() const;

    static constexpr size_t kPieceBytes = 4096;
    const bool socket_;
    mutable std::mutex mutex_;
    std::string control_;
    std::string data_; // from dataStart_ on, not yet encoded
    size_t dataStart_ = 0;
    std::string wire_;    // being written: one message run, or one encoded piece of data
    size_t wireData_ = 0; // the data bytes in wire_
    uint64_t sent_ = 0;
    bool overrun_ = false;
    bool closed_ = false;
    int wakeFd_ = -1;
};

// How an open port reaches its line: a device node with termios, or a socket to a server that
// carries the line's bytes (and, with RFC 2217, its settings and modem lines). The engine's reader
// thread waits on fd() and hands what it reads to received(); the other calls come from the
// engine's caller.
class Transport {
public:
    explicit Transport(bool socket) : outgoing_(socket) {}
    virtual ~Transport() = default;

    // What readiness() says while a protocol is still being agreed on.
    static constexpr int16_t kStillOpening = 0;

    virtual int fd() const = 0;
    // -1 once the line carries data, kStillOpening while the transport still agrees on it with
    // the far end (the reader thread running meanwhile), else why it never will (OpenCommPort's
    // results). A transport that still waits gives up by itself after a few seconds.
    virtual int16_t readiness() const { return -1; }
    // Puts the line's own bytes among `data` into pending; anything else is the transport's.
    virtual void received(const uint8_t* data, size_t size, PendingBytes& pending) = 0;
    // False when the line refuses the settings.
    virtual bool applyLineSettings(const LineSettings& settings) = 0;
    // Bits as SerialEngine::ReadModemStatus reports them.
    virtual uint8_t modemStatus() = 0;
    enum class Line { Rts, Dtr };
    virtual void setLine(Line line, bool on) = 0;
    // The line bytes that carry `data`.
    virtual void encode(const uint8_t* data, size_t size, std::string& wire) const {
        wire.append(reinterpret_cast<const char*>(data), size);
    }
    // Messages from the far end ignored as malformed or not agreed on.
    virtual uint64_t ignoredMessages() const { return 0; }
    Outgoing& outgoing() { return outgoing_; }

private:
    Outgoing outgoing_;
};

// A transport, or why there is none (SerialEngine::OpenCommPort's results).
struct Opened {
    std::unique_ptr<Transport> transport;
    int16_t error = -1;
};

// Opens the device exclusively and raw, with the settings and nothing stale in it.
Opened openDevice(const std::string& path, const LineSettings& settings);

// Connects to a network port on a thread of its own, running whileWaiting until connected,
// refused or timed out. An RFC 2217 transport then offers the COM-PORT option and, once agreed,
// sends the settings; see readiness().
Opened connectNetworkPort(const NetworkPort& port, const LineSettings& settings,
                          const std::function<void()>& whileWaiting);

// Runs whileWaiting (when set) every few milliseconds until done() says true.
void waitUntil(const std::function<bool()>& done, const std::function<void()>& whileWaiting);

} // namespace tessavue
