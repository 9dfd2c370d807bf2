#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "TimeStamps.h"

namespace tessavue {

// Everything the program does at the serial port goes through this interface, so the
// receive cycle can run on a real device or, in tests, on a scripted fake.
// All calls come from one thread (the GUI thread); implementations may use threads inside.
class SerialEngine {
public:
    // Values reported through iLogSt by RcvDataFirst.
    static constexpr int16_t kLogContinues = -1;
    static constexpr int16_t kLogSizeLimit = 0;
    // The log's writer fell so far behind (a pipe whose reader stopped) that its queue is full;
    // the log holds everything up to the bytes that found no room.
    static constexpr int16_t kLogStalled = -2;
    // Any other (positive) value is the errno of a failed log write; the log is closed.

    // Results of OpenCommPort for network ports that no errno describes.
    static constexpr int16_t kOpenHostNotFound = -2;
    static constexpr int16_t kOpenComPortRefused = -3; // the server will not do RFC 2217
    static constexpr int16_t kOpenBadAddress = -4;     // rfc2217:// or tcp:// without HOST:PORT
    static constexpr int16_t kOpenNoAnswer = -5; // connected, but the server did not answer in time

    static constexpr int32_t kMaxBytesPerFetch = 32768;
    static constexpr int32_t kRecentCopyBytes = 327681;

    virtual ~SerialEngine() = default;

    // -1 when the device is open, exclusively held and configured raw, or the network port is
    // connected (and, for RFC 2217, has agreed to the COM-PORT option and purged its buffers);
    // otherwise the errno of the step that failed (EACCES, EBUSY when another program holds it,
    // ENOENT, ECONNREFUSED, ETIMEDOUT, ...) or one of the kOpen... values above.
    virtual int16_t OpenCommPort(const std::string& portName) = 0;
    // "baud,parity,data,stop,flow"; a malformed string changes nothing.
    virtual void SetCommPortParam(const std::string& lineParams) = 0;
    virtual void ResetStatus() = 0;
    virtual void CloseCommPort() = 0;

    // Makes at most kMaxBytesPerFetch pending bytes ready for RcvDataNext and appends them to the
    // recent copy and, while logOn is 1, to the log file.
    virtual void RcvDataFirst(int32_t& count, int32_t& scratch, int16_t logOn, int16_t& logSt,
                              int32_t& aux) = 0;
    virtual void RcvDataNext(uint8_t& value, int16_t index) = 0;
    // The whole fetch at once: copies the first `count` bytes the last RcvDataFirst made ready
    // (count no more than it reported) to out. An engine that keeps them in one place copies them
    // in one go rather than a call per byte.
    virtual void RcvDataAll(uint8_t* out, int32_t count) {
        for (int32_t i = 0; i < count; ++i)
            RcvDataNext(out[i], static_cast<int16_t>(i));
    }

    // When the bytes of the last RcvDataFirst came: the stamps of the reads they belong to, ends
    // counted from its first byte (a read that goes on into the next fetch ends past its count).
    virtual std::span<const ReadStamp> RcvStamps() const { return {}; }
    // The wall clock beside the steady clock as the open port was opened; nullopt without one.
    virtual std::optional<ClockAnchor> portClockAnchor() const { return std::nullopt; }
    // The character time of the line settings last set, nanoseconds.
    virtual int64_t characterNs() const { return 0; }
    // The errno of a log's time side file that could not be made or written, once; else 0.
    virtual int takeTimeFileError() { return 0; }

    // Called on a reader thread each time bytes have joined the pending ones (or the line has
    // gone), so that the caller can fetch soon after they arrive rather than on a fixed period.
    // It must return quickly and never call into the engine. Once an empty function has been set,
    // no call is under way or follows. True when the engine calls it; one that calls nothing
    // leaves the caller to poll.
    virtual bool setOnBytesWaiting(std::function<void()> onBytesWaiting) {
        static_cast<void>(onBytesWaiting);
        return false;
    }

    // Bits: 0x01 RTS, 0x02 DTR, 0x10 CTS, 0x20 DSR, 0x40 RI, 0x80 DCD.
    virtual void ReadModemStatus(uint8_t& status) = 0;
    // 0x8002 DTR on, 0x0002 DTR off, 0x8001 RTS on, 0x0001 RTS off.
    virtual void SetLineSt(int16_t code) = 0;

    // -1 when the log file is open. The file is created or appended to as it is.
    virtual int32_t LogStart(const std::string& path, int32_t reserved, int32_t maxBytes) = 0;
    virtual void LogStop() = 0;

    virtual void MoveLastFirst(int32_t& count) = 0;
    virtual void MoveLastData(uint8_t& value, int32_t index) = 0;
    virtual void LastClear() = 0;

    // Bytes the readers had to throw away because the pending buffer was full, counted over
    // every port since the engine was made or ResetStatus was last called.
    virtual uint64_t droppedBytes() const = 0;
    // Messages from network servers ignored as malformed, too long or about an option not agreed
    // on, counted over every port since the engine was made (for the debug log).
    virtual uint64_t ignoredMessages() const { return 0; }

    // True once the open port's device has gone (unplugged, hung up, I/O error) or its server has
    // closed the connection, and every byte it delivered has been fetched. The port still counts as
    // open until CloseCommPort.
    virtual bool portLost() const = 0;
    // Sending. Bytes go out behind a bounded queue on the engine's side; no call waits for the
    // line. SendData queues what fits and returns how many bytes it took (fewer than size when the
    // queue is full: flow control holds the line, or a network peer stops reading); what it took
    // goes out in order unless the port is lost or closed, and nothing is sent again after a
    // reconnect. An engine that cannot send takes nothing.
    static constexpr size_t kSendQueueBytes = 64 * 1024;
    virtual size_t SendData(const uint8_t* data, size_t size) {
        static_cast<void>(data);
        static_cast<void>(size);
        return 0;
    }
    // Bytes taken by SendData that have not reached the line yet.
    virtual size_t sendQueued() const { return 0; }
    // Bytes written to the line since the engine was made.
    virtual uint64_t sentBytes() const { return 0; }

    // Opens the port of the last OpenCommPort again, with the line parameters and the DTR/RTS
    // states last set; results as OpenCommPort.
    virtual int16_t reopenCommPort() = 0;
};

// The real engine for Linux serial devices (ttyS, ttyUSB, ttyACM, pseudo-terminals) and for
// serial ports on the network (see NetworkPort). Connecting to a network port runs on a thread of
// its own; meanwhile the calling thread runs whileWaiting every few milliseconds (the program lets
// its window repaint there). A call into the engine from whileWaiting that would open a port
// fails with EALREADY.
std::unique_ptr<SerialEngine> makeLinuxSerialEngine(std::function<void()> whileWaiting = {});

// A port name "rfc2217://HOST:PORT" (a serial port behind a server speaking RFC 2217, such as
// ser2net) or "tcp://HOST:PORT" (bytes only). HOST is a name, an IPv4 address or an IPv6 address
// in brackets.
struct NetworkPort {
    enum class Protocol { Rfc2217, Tcp };
    Protocol protocol = Protocol::Rfc2217;
    std::string host; // without the brackets
    uint16_t port = 0;
    bool operator==(const NetworkPort&) const = default;
};

// nullopt for a device name. A name that starts with a network scheme but is malformed gives
// a NetworkPort with port 0.
std::optional<NetworkPort> networkPortFor(std::string_view portName);

// Device path for a port name: "COM1".."COM4" -> /dev/ttyS0..3, "/..." as it is, else /dev/<name>.
std::string devicePathForPort(const std::string& portName);

} // namespace tessavue
