#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessavue {

enum class Parity { None, Even, Odd, Mark, Space };
enum class FlowControl { None, RtsCts, XonXoff };

struct LineSettings {
    uint32_t baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    int stopBits = 1;
    FlowControl flow = FlowControl::None;
};

// Reads "baud,parity,data,stop,flow" (e.g. "9600,0,8,0,0"); nullopt when any field is missing,
// extra, not a plain decimal number or out of range.
std::optional<LineSettings> parseLineSettings(std::string_view text);

// The c_cflag bits for the data bits, parity, stop bits and hardware flow control.
uint32_t framingFlags(const LineSettings& settings);

// Puts the terminal into raw mode (no echo, no line discipline, no CR/LF translation) with the
// given line settings. The rate is always set as an arbitrary rate (BOTHER), so rates termios has
// no constant for work like any other. Returns false when the driver refuses or does not keep the
// raw mode; errno tells why.
bool applyLineSettings(int fd, const LineSettings& settings);

// Throws away whatever the device has received or still has to send.
bool discardDeviceBuffers(int fd);

} // namespace tessavue
