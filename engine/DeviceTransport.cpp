#include "PendingBytes.h"
#include "Transport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tessavue {

namespace {

bool isPtySlave(int fd) {
    // The kernel gives Unix98 pty slaves the majors 136..143.
    struct stat info {};
    return fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && major(info.st_rdev) >= 136 &&
           major(info.st_rdev) <= 143;
}

// Returns 0 when fd is held exclusively, raw, with the given settings and with nothing stale in
// it; otherwise the errno of the step that failed.
int prepareDevice(int fd, const LineSettings& settings) {
    // flock keeps out other instances of this program even when running as root, for whom
    // TIOCEXCL does not count; TIOCEXCL keeps out other programs that do not lock. A pty keeps
    // TIOCEXCL for as long as its master lives, so a killed program would leave the virtual port
    // closed to every normal user: there the lock alone must do.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? EBUSY : errno;
    if (!isPtySlave(fd) && ioctl(fd, TIOCEXCL) != 0) return errno;
    if (applyLineSettings(fd, settings) && discardDeviceBuffers(fd)) return 0;
    int error = errno;
    ioctl(fd, TIOCNXCL);
    return error;
}

class DeviceTransport final : public Transport {
public:
    explicit DeviceTransport(int fd) : Transport(false), fd_(fd) {}
    DeviceTransport(const DeviceTransport&) = delete;
    DeviceTransport& operator=(const DeviceTransport&) = delete;
    ~DeviceTransport() override {
        // The exclusive flag can outlive this descriptor (a pty slave stays while its master does).
        ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }

    int fd() const override { return fd_; }

    void received(const uint8_t* data, size_t size, PendingBytes& pending) override {
        pending.append(data, size);
    }

    bool applyLineSettings(const LineSettings& settings) override {
        return tessavue::applyLineSettings(fd_, settings);
    }

    uint8_t modemStatus() override {
        int lines = 0;
        // Devices without modem lines (ptys) answer ENOTTY; they read as all lines off.
        if (ioctl(fd_, TIOCMGET, &lines) != 0) return 0;
        constexpr std::pair<int, uint8_t> bits[] = {{TIOCM_RTS, 0x01}, {TIOCM_DTR, 0x02},
                                                    {TIOCM_CTS, 0x10}, {TIOCM_DSR, 0x20},
                                                    {TIOCM_RNG, 0x40}, {TIOCM_CAR, 0x80}};
        uint8_t status = 0;
        for (auto [line, bit] : bits) {
            if (lines & line) status |= bit;
        }
        return status;
    }

    void setLine(Line line, bool on) override {
        int bits = line == Line::Rts ? TIOCM_RTS : TIOCM_DTR;
        // Failures are ignored: a device without modem lines has nothing to switch.
        ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits);
    }

private:
    const int fd_;
};

} // namespace

Opened openDevice(const std::string& path, const LineSettings& settings) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {nullptr, static_cast<int16_t>(errno)};
    if (int error = prepareDevice(fd, settings); error != 0) {
        ::close(fd);
        return {nullptr, static_cast<int16_t>(error)};
    }
    return {std::make_unique<DeviceTransport>(fd), -1};
}

} // namespace tessavue
