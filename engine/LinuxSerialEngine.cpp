#include "SerialEngine.h"

#include "LineSettings.h"
#include "LogFile.h"
#include "PendingBytes.h"
#include "RecentBytes.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <thread>

namespace tessavue {

std::string devicePathForPort(const std::string& portName) {
    for (int i = 0; i < 4; ++i) {
        if (portName == "COM" + std::to_string(i + 1)) return "/dev/ttyS" + std::to_string(i);
    }
    if (portName.starts_with('/')) return portName;
    return "/dev/" + portName;
}

namespace {

// Room for minutes of backlog at the highest rates while the GUI thread is held up.
constexpr size_t kPendingCapacity = 64 * 1024 * 1024;

// An open device and the thread that moves its bytes into the pending buffer.
class Port {
public:
    Port(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd), reader_([this] { readUntilStopped(); }) {}
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    ~Port() {
        uint64_t one = 1;
        while (write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
        reader_.join();
        // The exclusive flag can outlive this descriptor (a pty slave stays while its master does).
        ioctl(fd_, TIOCNXCL);
        ::close(wakeFd_);
        ::close(fd_);
    }

    int fd() const { return fd_; }
    PendingBytes& pending() { return pending_; }

private:
    // Ends when woken through wakeFd_ or when the device goes away (unplugged adapter, closed pty
    // master): then it reports hang-up or read errors for good, and looping on it would spin.
    void readUntilStopped() {
        std::array<uint8_t, 64 * 1024> buffer;
        pollfd watched[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        for (;;) {
            if (poll(watched, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (watched[1].revents != 0) return;
            ssize_t received = read(fd_, buffer.data(), buffer.size());
            if (received > 0) {
                pending_.append(buffer.data(), static_cast<size_t>(received));
                continue;
            }
            bool hungUp = watched[0].revents & (POLLHUP | POLLERR);
            if (received < 0 && (errno == EINTR || (errno == EAGAIN && !hungUp))) continue;
            return;
        }
    }

    const int fd_;
    const int wakeFd_;
    PendingBytes pending_{kPendingCapacity};
    std::thread reader_; // last: it starts running in the constructor
};

// Returns 0 when fd is held exclusively, raw, with the given settings and with nothing stale in
// it; otherwise the errno of the step that failed.
int prepareDevice(int fd, const LineSettings& settings) {
    // flock keeps out other instances of this program even when running as root, for whom
    // TIOCEXCL does not count; TIOCEXCL keeps out other programs that do not lock.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? EBUSY : errno;
    if (ioctl(fd, TIOCEXCL) != 0) return errno;
    if (applyLineSettings(fd, settings) && discardDeviceBuffers(fd)) return 0;
    int error = errno;
    ioctl(fd, TIOCNXCL);
    return error;
}

class LinuxSerialEngine final : public SerialEngine {
public:
    int16_t OpenCommPort(const std::string& portName) override {
        CloseCommPort();
        int fd =
            ::open(devicePathForPort(portName).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return static_cast<int16_t>(errno);
        int wakeFd = eventfd(0, EFD_CLOEXEC);
        int error = wakeFd < 0 ? errno : prepareDevice(fd, settings_);
        if (error != 0) {
            if (wakeFd >= 0) ::close(wakeFd);
            ::close(fd);
            return static_cast<int16_t>(error);
        }
        port_ = std::make_unique<Port>(fd, wakeFd);
        return -1;
    }

    void SetCommPortParam(const std::string& lineParams) override {
        std::optional<LineSettings> parsed = parseLineSettings(lineParams);
        if (!parsed || (port_ && !applyLineSettings(port_->fd(), *parsed))) return;
        settings_ = *parsed;
    }

    void ResetStatus() override {
        if (port_) port_->pending().resetDropped();
    }

    void CloseCommPort() override { port_.reset(); }

    void RcvDataFirst(int32_t& count, int32_t& scratch, int16_t logOn, int16_t& logSt,
                      int32_t& aux) override {
        fetchedCount_ = port_ ? port_->pending().take(fetched_.data(), fetched_.size()) : 0;
        recent_.append(fetched_.data(), fetchedCount_);
        logSt = logOn == 1 ? log_.append(fetched_.data(), fetchedCount_) : kLogContinues;
        count = static_cast<int32_t>(fetchedCount_);
        scratch = 0;
        aux = 0;
    }

    void RcvDataNext(uint8_t& value, int16_t index) override {
        value = index >= 0 && static_cast<size_t>(index) < fetchedCount_ ? fetched_[index] : 0;
    }

    void ReadModemStatus(uint8_t& status) override {
        int lines = 0;
        status = 0;
        // Devices without modem lines (ptys) answer ENOTTY; they read as all lines off.
        if (!port_ || ioctl(port_->fd(), TIOCMGET, &lines) != 0) return;
        constexpr std::pair<int, uint8_t> bits[] = {{TIOCM_RTS, 0x01}, {TIOCM_DTR, 0x02},
                                                    {TIOCM_CTS, 0x10}, {TIOCM_DSR, 0x20},
                                                    {TIOCM_RNG, 0x40}, {TIOCM_CAR, 0x80}};
        for (auto [line, bit] : bits) {
            if (lines & line) status |= bit;
        }
    }

    void SetLineSt(int16_t code) override {
        int line = 0;
        switch (static_cast<uint16_t>(code) & 0x7fff) {
        case 0x0001:
            line = TIOCM_RTS;
            break;
        case 0x0002:
            line = TIOCM_DTR;
            break;
        default:
            return;
        }
        bool on = static_cast<uint16_t>(code) & 0x8000;
        // Failures are ignored: a device without modem lines has nothing to switch.
        if (port_) ioctl(port_->fd(), on ? TIOCMBIS : TIOCMBIC, &line);
    }

    int32_t LogStart(const std::string& path, int32_t, int32_t maxBytes) override {
        int error = log_.open(path, maxBytes);
        return error == 0 ? -1 : error;
    }

    void LogStop() override { log_.close(); }

    void MoveLastFirst(int32_t& count) override { count = static_cast<int32_t>(recent_.size()); }

    void MoveLastData(uint8_t& value, int32_t index) override {
        value = index >= 0 && static_cast<size_t>(index) < recent_.size() ? recent_.at(index) : 0;
    }

    void LastClear() override { recent_.clear(); }

    uint64_t droppedBytes() const override { return port_ ? port_->pending().dropped() : 0; }

private:
    std::unique_ptr<Port> port_;
    LineSettings settings_; // applied at every open
    std::array<uint8_t, kMaxBytesPerFetch> fetched_{};
    size_t fetchedCount_ = 0;
    RecentBytes recent_{kRecentCopyBytes};
    LogFile log_;
};

} // namespace

std::unique_ptr<SerialEngine> makeLinuxSerialEngine() {
    return std::make_unique<LinuxSerialEngine>();
}

} // namespace tessavue
