// This file talks to the driver through termios2, whose header cannot share a translation unit
// with <termios.h>; keep <termios.h> out of here.
#include "LineSettings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <array>
#include <cerrno>
#include <charconv>

namespace tessavue {

namespace {

constexpr uint32_t kLowestBaud = 50;
constexpr uint32_t kHighestBaud = 4000000;

std::optional<uint32_t> parseField(std::string_view field, uint32_t lowest, uint32_t highest) {
    uint32_t value = 0;
    const char* end = field.data() + field.size();
    auto [stop, error] = std::from_chars(field.data(), end, value);
    if (field.empty() || error != std::errc() || stop != end || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<LineSettings> parseLineSettings(std::string_view text) {
    std::array<std::string_view, 5> fields;
    for (size_t i = 0; i < fields.size(); ++i) {
        size_t comma = text.find(',');
        bool last = i + 1 == fields.size();
        if (last != (comma == std::string_view::npos)) return std::nullopt;
        fields[i] = text.substr(0, comma);
        text.remove_prefix(last ? text.size() : comma + 1);
    }
    auto baud = parseField(fields[0], kLowestBaud, kHighestBaud);
    auto parity = parseField(fields[1], 0, 4);
    auto dataBits = parseField(fields[2], 5, 8);
    auto stopBits = parseField(fields[3], 0, 1);
    auto flow = parseField(fields[4], 0, 2);
    if (!baud || !parity || !dataBits || !stopBits || !flow) return std::nullopt;
    return LineSettings{*baud, static_cast<Parity>(*parity), static_cast<int>(*dataBits),
                        static_cast<int>(*stopBits) + 1, static_cast<FlowControl>(*flow)};
}

uint32_t framingFlags(const LineSettings& settings) {
    constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    tcflag_t flags = sizes[settings.dataBits - 5];
    switch (settings.parity) {
    case Parity::None:
        break;
    case Parity::Even:
        flags |= PARENB;
        break;
    case Parity::Odd:
        flags |= PARENB | PARODD;
        break;
    case Parity::Mark:
        flags |= PARENB | CMSPAR | PARODD;
        break;
    case Parity::Space:
        flags |= PARENB | CMSPAR;
        break;
    }
    if (settings.stopBits == 2) flags |= CSTOPB;
    if (settings.flow == FlowControl::RtsCts) flags |= CRTSCTS;
    return flags;
}

bool applyLineSettings(int fd, const LineSettings& settings) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;

    tio.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | CREAD | CLOCAL | framingFlags(settings);
    tio.c_ispeed = tio.c_ospeed = settings.baud;

    // Raw: every byte passes unchanged and nothing is echoed or interpreted.
    tio.c_iflag = settings.flow == FlowControl::XonXoff ? IXON | IXOFF : 0;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (ioctl(fd, TCSETS2, &tio) != 0) return false;

    // Drivers may quietly drop what they do not support; the raw mode itself must hold.
    termios2 applied{};
    if (ioctl(fd, TCGETS2, &applied) != 0) return false;
    if (applied.c_iflag != tio.c_iflag || applied.c_oflag != tio.c_oflag ||
        applied.c_lflag != tio.c_lflag) {
        errno = EIO;
        return false;
    }
    return true;
}

bool discardDeviceBuffers(int fd) {
    return ioctl(fd, TCFLSH, TCIOFLUSH) == 0;
}

} // namespace tessavue
