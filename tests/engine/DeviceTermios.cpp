// termios2 needs a translation unit of its own: its header clashes with <termios.h>.
#include "DeviceTermios.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool readDeviceTermios(int fd, DeviceTermios& out) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    out = {tio.c_iflag, tio.c_oflag, tio.c_cflag, tio.c_lflag, tio.c_ispeed, tio.c_ospeed};
    return true;
}
