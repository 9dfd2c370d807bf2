#include "SerialEngine.h"

#include "LineSettings.h"
#include "LogFile.h"
#include "PendingBytes.h"
#include "RecentBytes.h"
#include "Transport.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
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
// The terminal's line buffer holds 4 KiB; once it is full the kernel throttles the line or keeps
// what follows in its flip buffers, which a long enough hold-up fills too. Between reads the
// reader lets three quarters of it gather, at the rate the last read showed, so a read takes many
// bytes at once and the buffer keeps a quarter free for a reader held up.
constexpr double kGatherBytes = 3072;
// The longest gather, for slow lines: a step waits for it, so it stays well under a frame. At
// 3,000,000 baud the line buffer fills in 13.6 ms.
constexpr std::chrono::microseconds kGatherMost{10000};
// A shorter gather is not worth a sleep: the line is ahead of the reader, which reads on at once.
constexpr std::chrono::microseconds kGatherLeast{1000};

// What the engine's caller asked to be told when bytes are waiting; readers call it, the caller
// changes it, each on its own thread.
class BytesWaitingCall {
public:
    void set(std::function<void()> call) {
        std::lock_guard lock(mutex_);
        call_ = std::move(call);
    }
    void operator()() {
        std::lock_guard lock(mutex_);
        if (call_) call_();
    }

private:
    std::mutex mutex_;
    std::function<void()> call_;
};

// An open port and the thread that moves its bytes into the pending buffer and writes what is
// queued to go out.
class Port {
public:
    Port(std::unique_ptr<Transport> transport, int wakeFd, BytesWaitingCall& bytesWaiting,
         int64_t charNs)
        : transport_(std::move(transport)), wakeFd_(wakeFd), bytesWaiting_(bytesWaiting),
          charNs_(charNs), reader_([this] { readUntilStopped(); }) {
        transport_->outgoing().wakeWith(wakeFd_);
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    ~Port() {
        stopping_.store(true);
        uint64_t one = 1;
        while (write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
        reader_.join();
        ::close(wakeFd_);
    }

    Transport& transport() { return *transport_; }
    const Transport& transport() const { return *transport_; }
    PendingBytes& pending() { return pending_; }
    const ClockAnchor& anchor() const { return anchor_; }
    void setCharacterNs(int64_t ns) { charNs_.store(ns, std::memory_order_relaxed); }
    const PendingBytes& pending() const { return pending_; }
    bool lineGone() const { return lineGone_.load(std::memory_order_acquire); }

private:
    void readUntilStopped() {
        const bool stopped = readUntilStoppedOrGone();
        // Nothing queued goes out later, on this connection or the next.
        transport_->outgoing().close();
        if (stopped) return;
        lineGone_.store(true, std::memory_order_release);
        bytesWaiting_();
    }

    // True when the wake comes from the destructor; any other wake is for something queued.
    bool stopRequested() {
        uint64_t count = 0;
        while (read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
        }
        return stopping_.load();
    }

    // Writes what the line takes now; false when the far end takes no more of what it must.
    bool writeQueued() {
        Outgoing& outgoing = transport_->outgoing();
        // A line that fails to take bytes may still have some to give: reading goes on until it
        // ends, and then the port is lost.
        if (!outgoing.write(transport_->fd(),
                            [this](const uint8_t* data, size_t size, std::string& wire) {
                                transport_->encode(data, size, wire);
                            }))
            outgoing.close();
        // A server that does not read the answers it asks for is dropped rather than waited on.
        return !outgoing.overrun();
    }

    // Returns true when stopped through wakeFd_, false when the line went away (unplugged
    // adapter, closed pty master, connection closed by the server): then it reports hang-up,
    // end of file or read errors for good, and looping on it would spin. The last bytes it gave
    // are pending by the time this returns.
    bool readUntilStoppedOrGone() {
        std::array<uint8_t, 64 * 1024> buffer;
        pollfd watched[2] = {{transport_->fd(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        auto lastRead = std::chrono::steady_clock::now();
        for (;;) {
            if (!writeQueued()) return false;
            watched[0].events =
                static_cast<short>(POLLIN | (transport_->outgoing().waiting() ? POLLOUT : 0));
            if (poll(watched, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (watched[1].revents != 0 && stopRequested()) return true;
            if ((watched[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            ssize_t received = read(transport_->fd(), buffer.data(), buffer.size());
            if (received > 0) {
                const auto now = std::chrono::steady_clock::now();
                pending_.readReturnedAt(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch())
                        .count());
                transport_->received(buffer.data(), static_cast<size_t>(received), pending_);
                bytesWaiting_();
                const auto since = now - lastRead;
                const auto gather = std::min<std::chrono::microseconds>(
                    kGatherMost, std::chrono::duration_cast<std::chrono::microseconds>(
                                     since * (kGatherBytes / received)));
                lastRead = now;
                // A line less than half busy is read as its bytes come, so that a read's stamp
                // stays close to them; a busier one is placed back from its stamp at the
                // character rate truly enough.
                const bool busy =
                    std::chrono::nanoseconds(received * charNs_.load(std::memory_order_relaxed) *
                                             2) >= since;
                if (gather < kGatherLeast || !busy) continue;
                const timespec wait{0, static_cast<long>(gather.count()) * 1000};
                if (ppoll(&watched[1], 1, &wait, nullptr) > 0 && stopRequested()) return true;
                continue;
            }
            bool hungUp = watched[0].revents & (POLLHUP | POLLERR);
            if (received < 0 && (errno == EINTR || (errno == EAGAIN && !hungUp))) continue;
            return false;
        }
    }

    const std::unique_ptr<Transport> transport_;
    const int wakeFd_;
    BytesWaitingCall& bytesWaiting_;
    PendingBytes pending_{kPendingCapacity};
    const ClockAnchor anchor_ = clockAnchorNow();
    std::atomic<bool> lineGone_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<int64_t> charNs_;
    std::thread reader_; // last: it starts running in the constructor
};

class LinuxSerialEngine final : public SerialEngine {
public:
    explicit LinuxSerialEngine(std::function<void()> whileWaiting)
        : whileWaiting_(std::move(whileWaiting)) {}

    int16_t OpenCommPort(const std::string& portName) override {
        if (opening_) return EALREADY;
        portName_ = portName;
        lineCodes_ = {};
        return openPort();
    }

    int16_t reopenCommPort() override {
        if (opening_) return EALREADY;
        int16_t result = openPort();
        if (result == -1) {
            for (std::optional<int16_t> code : lineCodes_)
                if (code) SetLineSt(*code);
        }
        return result;
    }

    void SetCommPortParam(const std::string& lineParams) override {
        std::optional<LineSettings> parsed = parseLineSettings(lineParams);
        if (!parsed || (port_ && !port_->transport().applyLineSettings(*parsed))) return;
        settings_ = *parsed;
        if (port_) port_->setCharacterNs(characterNs());
    }

    void ResetStatus() override {
        droppedBefore_ = 0;
        if (port_) port_->pending().resetDropped();
    }

    void CloseCommPort() override {
        if (port_) {
            droppedBefore_ += port_->pending().dropped();
            ignoredBefore_ += port_->transport().ignoredMessages();
            sentBefore_ += port_->transport().outgoing().sentData();
        }
        port_.reset();
    }

    size_t SendData(const uint8_t* data, size_t size) override {
        return port_ ? port_->transport().outgoing().queueData(data, size) : 0;
    }

    size_t sendQueued() const override {
        return port_ ? port_->transport().outgoing().queuedData() : 0;
    }

    uint64_t sentBytes() const override {
        return sentBefore_ + (port_ ? port_->transport().outgoing().sentData() : 0);
    }

    void RcvDataFirst(int32_t& count, int32_t& scratch, int16_t logOn, int16_t& logSt,
                      int32_t& aux) override {
        fetchedCount_ =
            port_ ? port_->pending().take(fetched_.data(), fetched_.size(), &fetchedStamps_) : 0;
        if (!port_) fetchedStamps_.clear();
        recent_.append(fetched_.data(), fetchedCount_);
        logSt = logOn == 1 ? log_.append(fetched_.data(), fetchedCount_, fetchedStamps_)
                           : kLogContinues;
        count = static_cast<int32_t>(fetchedCount_);
        scratch = 0;
        aux = 0;
    }

    void RcvDataNext(uint8_t& value, int16_t index) override {
        value = index >= 0 && static_cast<size_t>(index) < fetchedCount_ ? fetched_[index] : 0;
    }

    void RcvDataAll(uint8_t* out, int32_t count) override {
        const size_t n = std::min(static_cast<size_t>(std::max(count, 0)), fetchedCount_);
        if (n > 0) std::memcpy(out, fetched_.data(), n);
    }

    std::span<const ReadStamp> RcvStamps() const override { return fetchedStamps_; }

    std::optional<ClockAnchor> portClockAnchor() const override {
        return port_ ? std::optional(port_->anchor()) : std::nullopt;
    }

    int64_t characterNs() const override { return tessavue::characterNs(settings_); }

    int takeTimeFileError() override { return log_.takeTimeFileError(); }

    bool setOnBytesWaiting(std::function<void()> onBytesWaiting) override {
        bytesWaiting_.set(std::move(onBytesWaiting));
        return true;
    }

    void ReadModemStatus(uint8_t& status) override {
        status = port_ ? port_->transport().modemStatus() : 0;
    }

    void SetLineSt(int16_t code) override {
        Transport::Line line = Transport::Line::Rts;
        switch (static_cast<uint16_t>(code) & 0x7fff) {
        case 0x0001:
            break;
        case 0x0002:
            line = Transport::Line::Dtr;
            break;
        default:
            return;
        }
        lineCodes_[line == Transport::Line::Rts ? 0 : 1] = code;
        if (port_) port_->transport().setLine(line, static_cast<uint16_t>(code) & 0x8000);
    }

    int32_t LogStart(const std::string& path, int32_t, int32_t maxBytes) override {
        int error = log_.open(path, maxBytes, characterNs());
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

    uint64_t ignoredMessages() const override {
        return ignoredBefore_ + (port_ ? port_->transport().ignoredMessages() : 0);
    }

    bool portLost() const override {
        // Gone first, then empty: the reader's last bytes are pending before it says gone.
        return port_ && port_->lineGone() && port_->pending().empty();
    }

private:
    // Opens portName_ with settings_; results as OpenCommPort. whileWaiting_ may call back into
    // the engine meanwhile; it must not start another open.
    int16_t openPort() {
        CloseCommPort();
        opening_ = true;
        int16_t result = openTransport();
        opening_ = false;
        return result;
    }

    int16_t openTransport() {
        std::optional<NetworkPort> network = networkPortFor(portName_);
        Opened opened = !network ? openDevice(devicePathForPort(portName_), settings_)
                        : network->port == 0
                            ? Opened{nullptr, kOpenBadAddress}
                            : connectNetworkPort(*network, settings_, whileWaiting_);
        if (!opened.transport) return opened.error;
        int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wakeFd < 0) return static_cast<int16_t>(errno);
        port_ = std::make_unique<Port>(std::move(opened.transport), wakeFd, bytesWaiting_,
                                       characterNs());
        // The reader runs while the transport agrees on the line with the far end. A line that
        // was agreed on and then went is an open followed by a loss: what it brought is kept.
        int16_t result = -1;
        waitUntil(
            [&] {
                if (!port_) {
                    result = ECANCELED; // closed from whileWaiting
                    return true;
                }
                const bool gone = port_->lineGone();
                result = port_->transport().readiness();
                if (result == Transport::kStillOpening && gone) result = ECONNRESET;
                return result != Transport::kStillOpening;
            },
            whileWaiting_);
        if (result != -1) CloseCommPort();
        return result;
    }

    const std::function<void()> whileWaiting_;
    bool opening_ = false;
    BytesWaitingCall bytesWaiting_; // before port_, whose reader calls it
    std::unique_ptr<Port> port_;
    std::string portName_;
    LineSettings settings_;                           // applied at every open
    std::array<std::optional<int16_t>, 2> lineCodes_; // RTS, DTR as last set on this port
    uint64_t droppedBefore_ = 0;                      // by ports closed since the last reset
    uint64_t ignoredBefore_ = 0;                      // by ports closed
    uint64_t sentBefore_ = 0;                         // by ports closed
    std::array<uint8_t, kMaxBytesPerFetch> fetched_{};
    size_t fetchedCount_ = 0;
    std::vector<ReadStamp> fetchedStamps_;
    RecentBytes recent_{kRecentCopyBytes};
    LogFile log_;
};

} // namespace

std::unique_ptr<SerialEngine> makeLinuxSerialEngine(std::function<void()> whileWaiting) {
    return std::make_unique<LinuxSerialEngine>(std::move(whileWaiting));
}

} // namespace tessavue
