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
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <optional>
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
// A read that gives less than this means the device is not ahead of the reader: half of what the
// terminal's line buffer holds, which a read never exceeds.
constexpr ssize_t kSlowReadBytes = 2048;
// How long the reader lets a slow stream gather: 4 KiB at 3,000,000 baud take 13 ms.
constexpr int kGatherMs = 10;

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
    const PendingBytes& pending() const { return pending_; }
    bool deviceGone() const { return deviceGone_.load(std::memory_order_acquire); }

private:
    void readUntilStopped() {
        if (!readUntilWokenOrGone()) deviceGone_.store(true, std::memory_order_release);
    }

    // Returns true when woken through wakeFd_, false when the device went away (unplugged
    // adapter, closed pty master): then it reports hang-up or read errors for good, and looping
    // on it would spin. The last bytes it gave are pending by the time this returns.
    bool readUntilWokenOrGone() {
        std::array<uint8_t, 64 * 1024> buffer;
        pollfd watched[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        for (;;) {
            if (poll(watched, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (watched[1].revents != 0) return true;
            ssize_t received = read(fd_, buffer.data(), buffer.size());
            if (received > 0) {
                pending_.append(buffer.data(), static_cast<size_t>(received));
                // A slow stream gathers for a while rather than wake the reader for every few
                // bytes; the kernel keeps far more than it brings meanwhile.
                if (received < kSlowReadBytes && poll(&watched[1], 1, kGatherMs) > 0) return true;
                continue;
            }
            bool hungUp = watched[0].revents & (POLLHUP | POLLERR);
            if (received < 0 && (errno == EINTR || (errno == EAGAIN && !hungUp))) continue;
            return false;
        }
    }

    const int fd_;
    const int wakeFd_;
    PendingBytes pending_{kPendingCapacity};
    std::atomic<bool> deviceGone_{false};
    std::thread reader_; // last: it starts running in the constructor
};

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

class LinuxSerialEngine final : public SerialEngine {
public:
    int16_t OpenCommPort(const std::string& portName) override {
        portName_ = portName;
        lineCodes_ = {};
        return openPort();
    }

    int16_t reopenCommPort() override {
        int16_t result = openPort();
        if (result == -1) {
            for (std::optional<int16_t> code : lineCodes_)
                if (code) SetLineSt(*code);
        }
        return result;
    }

    void SetCommPortParam(const std::string& lineParams) override {
        std::optional<LineSettings> parsed = parseLineSettings(lineParams);
        if (!parsed || (port_ && !applyLineSettings(port_->fd(), *parsed))) return;
        settings_ = *parsed;
    }

    void ResetStatus() override {
        droppedBefore_ = 0;
        if (port_) port_->pending().resetDropped();
    }

    void CloseCommPort() override {
        if (port_) droppedBefore_ += port_->pending().dropped();
        port_.reset();
    }

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
        lineCodes_[line == TIOCM_RTS ? 0 : 1] = code;
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

    uint64_t droppedBytes() const override {
        return droppedBefore_ + (port_ ? port_->pending().dropped() : 0);
    }

    bool portLost() const override {
        // Gone first, then empty: the reader's last bytes are pending before it says gone.
        return port_ && port_->deviceGone() && port_->pending().empty();
    }

private:
    // Opens portName_ with settings_; results as OpenCommPort.
    int16_t openPort() {
        CloseCommPort();
        int fd = ::open(devicePathForPort(portName_).c_str(),
                        O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
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

    std::unique_ptr<Port> port_;
    std::string portName_;
    LineSettings settings_;                           // applied at every open
    std::array<std::optional<int16_t>, 2> lineCodes_; // RTS, DTR as last set on this port
    uint64_t droppedBefore_ = 0;                      // by ports closed since the last reset
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
