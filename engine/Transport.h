#pragma once

#include "LineSettings.h"
#include "SerialEngine.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tessavue {

class PendingBytes;

// How an open port reaches its line: a device node with termios, or a socket to a server that
// carries the line's bytes (and, with RFC 2217, its settings and modem lines). The engine's reader
// thread waits on fd() and hands what it reads to received(); the other calls come from the
// engine's caller.
class Transport {
public:
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
