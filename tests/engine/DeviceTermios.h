#pragma once

#include <cstdint>

// What the driver reports for a terminal, read with TCGETS2 so arbitrary rates show as they are.
struct DeviceTermios {
    uint32_t iflag = 0, oflag = 0, cflag = 0, lflag = 0;
    uint32_t inputRate = 0, outputRate = 0;
    bool operator==(const DeviceTermios&) const = default;
};

// False when fd is not a terminal.
bool readDeviceTermios(int fd, DeviceTermios& out);
