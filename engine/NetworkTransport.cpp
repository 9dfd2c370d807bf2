// Serial ports on the network: plain TCP carries the line's bytes only; RFC 2217 (the telnet
// COM-PORT option, as ser2net speaks it) carries its settings and modem lines as well.
#include "PendingBytes.h"
#include "Transport.h"

#include <libtelnet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <mutex>
#include <thread>

namespace tessavue {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kConnectTimeout = milliseconds(5000);
constexpr auto kNegotiationTimeout = milliseconds(3000);
// How long a control message may wait for room in the socket before it counts as failed.
constexpr int kSendTimeoutMs = 1000;

int msUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<decltype(left)>(left, 0));
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char lower, char c) {
               return std::tolower(static_cast<unsigned char>(c)) == lower;
           });
}

// "HOST:PORT" or "[IPV6]:PORT" into port; leaves port.port 0 when malformed.
void parseHostAndPort(std::string_view text, NetworkPort& port) {
    std::string_view host;
    if (text.starts_with('[')) {
        size_t close = text.find(']');
        if (close == std::string_view::npos) return;
        host = text.substr(1, close - 1);
        text.remove_prefix(close + 1);
    } else {
        size_t colon = text.find(':');
        if (colon == std::string_view::npos) return;
        host = text.substr(0, colon);
        text.remove_prefix(colon);
    }
    if (!text.starts_with(':') || host.empty() ||
        host.find_first_of(" \t/@[]") != std::string_view::npos)
        return;
    text.remove_prefix(1);
    uint16_t number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return;
    port.host = host;
    port.port = number;
}

// Sends all of data on a non-blocking socket; false when it fails or stays full too long.
bool sendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent > 0) {
            data += sent;
            size -= static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        pollfd room{fd, POLLOUT, 0};
        if (sent == 0 || errno != EAGAIN || poll(&room, 1, kSendTimeoutMs) <= 0) return false;
    }
    return true;
}

// The socket of a connected network port; bytes only.
class TcpTransport : public Transport {
public:
    explicit TcpTransport(int fd) : fd_(fd) {}
    TcpTransport(const TcpTransport&) = delete;
    TcpTransport& operator=(const TcpTransport&) = delete;
    ~TcpTransport() override { ::close(fd_); }

    int fd() const override { return fd_; }
    void received(const uint8_t* data, size_t size, PendingBytes& pending) override {
        pending.append(data, size);
    }
    // Plain TCP has no way to reach the line's settings or modem lines.
    bool applyLineSettings(const LineSettings&) override { return true; }
    uint8_t modemStatus() override { return 0; }
    void setLine(Line, bool) override {}

private:
    const int fd_;
};

// RFC 2217 over telnet, framed by libtelnet. The reader thread feeds what arrives through the
// telnet parser while the caller's thread sends commands: one lock covers the parser and the
// socket's sending side.
class Rfc2217Transport final : public TcpTransport {
public:
    Rfc2217Transport(int fd, const LineSettings& settings)
        : TcpTransport(fd), settings_(settings), deadline_(Clock::now() + kNegotiationTimeout),
          telnet_(telnet_init(kOptions, &Rfc2217Transport::onEvent, 0, this)) {
        std::lock_guard lock(mutex_);
        // Data bytes must pass untouched both ways; the rest is RFC 2217's.
        telnet_negotiate(telnet_, TELNET_WILL, kComPortOption);
        telnet_negotiate(telnet_, TELNET_WILL, TELNET_TELOPT_BINARY);
        telnet_negotiate(telnet_, TELNET_DO, TELNET_TELOPT_BINARY);
        telnet_negotiate(telnet_, TELNET_WILL, TELNET_TELOPT_SGA);
        telnet_negotiate(telnet_, TELNET_DO, TELNET_TELOPT_SGA);
    }
    ~Rfc2217Transport() override { telnet_free(telnet_); }

    int16_t readiness() const override {
        State state = state_.load();
        if (state == State::Purged) return -1;
        if (state == State::Refused) return SerialEngine::kOpenComPortRefused;
        if (Clock::now() < deadline_) return kStillOpening;
        // A server that never answered the offer is no RFC 2217 server.
        return state == State::Agreed ? ETIMEDOUT : SerialEngine::kOpenComPortRefused;
    }

    void received(const uint8_t* data, size_t size, PendingBytes& pending) override {
        std::lock_guard lock(mutex_);
        pending_ = &pending;
        telnet_recv(telnet_, reinterpret_cast<const char*>(data), size);
        pending_ = nullptr;
    }

    bool applyLineSettings(const LineSettings& settings) override {
        std::lock_guard lock(mutex_);
        settings_ = settings;
        sendFailed_ = false;
        if (state_ != State::Offered) sendLineSettings();
        return !sendFailed_;
    }

    uint8_t modemStatus() override { return lines_.load() | (modemState_.load() & 0xf0); }

    void setLine(Line line, bool on) override {
        std::lock_guard lock(mutex_);
        if (line == Line::Dtr)
            sendCommand(kSetControl, on ? kDtrOn : kDtrOff);
        else
            sendCommand(kSetControl, on ? kRtsOn : kRtsOff);
    }

private:
    enum class State { Offered, Agreed, Refused, Purged };

    static constexpr unsigned char kComPortOption = 44;
    // Commands from client to server; the server answers each with the code + 100.
    static constexpr unsigned char kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3,
                                   kSetStopSize = 4, kSetControl = 5, kSetLineStateMask = 10,
                                   kSetModemStateMask = 11, kPurgeData = 12;
    static constexpr unsigned char kServerReply = 100, kNotifyModemState = 7;
    // SET-CONTROL values.
    static constexpr unsigned char kNoFlow = 1, kXonXoffFlow = 2, kHardwareFlow = 3, kAskDtr = 7,
                                   kDtrOn = 8, kDtrOff = 9, kAskRts = 10, kRtsOn = 11, kRtsOff = 12;
    static constexpr unsigned char kPurgeBoth = 3;
    static constexpr telnet_telopt_t kOptions[] = {{TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
                                                   {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
                                                   {kComPortOption, TELNET_WILL, TELNET_DONT},
                                                   {-1, 0, 0}};

    static void onEvent(telnet_t*, telnet_event_t* event, void* self) {
        static_cast<Rfc2217Transport*>(self)->handle(*event);
    }

    // Runs under mutex_, from inside libtelnet.
    void handle(const telnet_event_t& event) {
        switch (event.type) {
        case TELNET_EV_DATA:
            // What arrives before the server has purged its buffers is stale.
            if (state_ == State::Purged && pending_)
                pending_->append(reinterpret_cast<const uint8_t*>(event.data.buffer),
                                 event.data.size);
            break;
        case TELNET_EV_SEND:
            if (!sendAll(fd(), event.data.buffer, event.data.size)) sendFailed_ = true;
            break;
        case TELNET_EV_DO:
            if (event.neg.telopt == kComPortOption && state_ == State::Offered) {
                state_ = State::Agreed;
                startLine();
            }
            break;
        case TELNET_EV_DONT:
            if (event.neg.telopt == kComPortOption && state_ == State::Offered)
                state_ = State::Refused;
            break;
        case TELNET_EV_SUBNEGOTIATION:
            if (event.sub.telopt == kComPortOption && event.sub.size >= 2)
                serverSaid(static_cast<unsigned char>(event.sub.buffer[0]),
                           static_cast<unsigned char>(event.sub.buffer[1]));
            break;
        default:
            break;
        }
    }

    void serverSaid(unsigned char command, unsigned char value) {
        switch (command) {
        case kServerReply + kNotifyModemState:
            modemState_ = value;
            break;
        case kServerReply + kSetControl:
            // The server tells what the line now is; that is what the lamps show.
            if (value == kDtrOn || value == kDtrOff)
                setBit(0x02, value == kDtrOn);
            else if (value == kRtsOn || value == kRtsOff)
                setBit(0x01, value == kRtsOn);
            break;
        case kServerReply + kPurgeData:
            if (state_ == State::Agreed) state_ = State::Purged;
            break;
        default:
            break;
        }
    }

    void setBit(uint8_t bit, bool on) {
        if (on)
            lines_ |= bit;
        else
            lines_ &= static_cast<uint8_t>(~bit);
    }

    void startLine() {
        sendLineSettings();
        sendCommand(kSetModemStateMask, 0xff);
        sendCommand(kSetLineStateMask, 0);
        sendCommand(kSetControl, kAskDtr);
        sendCommand(kSetControl, kAskRts);
        sendCommand(kPurgeData, kPurgeBoth);
    }

    void sendLineSettings() {
        const uint32_t baud = settings_.baud;
        const unsigned char rate[4] = {
            static_cast<unsigned char>(baud >> 24), static_cast<unsigned char>(baud >> 16),
            static_cast<unsigned char>(baud >> 8), static_cast<unsigned char>(baud)};
        sendCommand(kSetBaudRate, rate, sizeof rate);
        sendCommand(kSetDataSize, static_cast<unsigned char>(settings_.dataBits));
        constexpr unsigned char parities[] = {1, 3, 2, 4, 5}; // none, even, odd, mark, space
        sendCommand(kSetParity, parities[static_cast<int>(settings_.parity)]);
        sendCommand(kSetStopSize, static_cast<unsigned char>(settings_.stopBits));
        constexpr unsigned char flows[] = {kNoFlow, kHardwareFlow, kXonXoffFlow};
        sendCommand(kSetControl, flows[static_cast<int>(settings_.flow)]);
    }

    void sendCommand(unsigned char command, unsigned char value) {
        sendCommand(command, &value, 1);
    }

    // libtelnet doubles any 0xFF in the value.
    void sendCommand(unsigned char command, const unsigned char* value, size_t size) {
        char message[5] = {static_cast<char>(command)};
        std::copy_n(value, size, message + 1);
        telnet_subnegotiation(telnet_, kComPortOption, message, size + 1);
    }

    std::mutex mutex_;
    LineSettings settings_;
    const Clock::time_point deadline_;
    std::atomic<State> state_{State::Offered};
    std::atomic<uint8_t> modemState_{0}; // as the server last notified it
    std::atomic<uint8_t> lines_{0};      // RTS 0x01 and DTR 0x02 as the server last reported them
    PendingBytes* pending_ = nullptr;    // during received()
    bool sendFailed_ = false;
    telnet_t* const telnet_;
};

// Keeps small control messages from waiting for more to send, and notices a server that went
// away without closing the connection (power cut, cable pulled) within about half a minute.
void tuneSocket(int fd) {
    const int on = 1, idleSeconds = 20, intervalSeconds = 2, probes = 3;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &intervalSeconds, sizeof intervalSeconds);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}

// Connects a non-blocking socket to the first of the host's addresses that answers: the socket,
// or -1 and why not in error.
int connectSocket(const NetworkPort& port, Clock::time_point deadline, int16_t& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    int resolved =
        getaddrinfo(port.host.c_str(), std::to_string(port.port).c_str(), &hints, &found);
    if (resolved != 0) {
        error =
            resolved == EAI_SYSTEM ? static_cast<int16_t>(errno) : SerialEngine::kOpenHostNotFound;
        return -1;
    }
    error = ETIMEDOUT;
    int connected = -1;
    for (addrinfo* address = found; address && connected < 0; address = address->ai_next) {
        int fd = socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                        address->ai_protocol);
        if (fd < 0) {
            error = static_cast<int16_t>(errno);
            continue;
        }
        int result = connect(fd, address->ai_addr, address->ai_addrlen) == 0 ? 0 : errno;
        if (result == EINPROGRESS) {
            pollfd done{fd, POLLOUT, 0};
            int ready = 0;
            while ((ready = poll(&done, 1, msUntil(deadline))) < 0 && errno == EINTR) {
            }
            socklen_t size = sizeof result;
            if (ready == 0)
                result = ETIMEDOUT;
            else if (ready < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &size) != 0)
                result = errno;
        }
        if (result == 0) {
            tuneSocket(fd);
            connected = fd;
        } else {
            ::close(fd);
            error = static_cast<int16_t>(result);
            if (Clock::now() >= deadline) break;
        }
    }
    freeaddrinfo(found);
    return connected;
}

Opened connectNow(const NetworkPort& port, const LineSettings& settings) {
    int16_t error = -1;
    int fd = connectSocket(port, Clock::now() + kConnectTimeout, error);
    if (fd < 0) return {nullptr, error};
    if (port.protocol == NetworkPort::Protocol::Tcp)
        return {std::make_unique<TcpTransport>(fd), -1};
    return {std::make_unique<Rfc2217Transport>(fd, settings), -1};
}

} // namespace

std::optional<NetworkPort> networkPortFor(std::string_view portName) {
    constexpr std::pair<std::string_view, NetworkPort::Protocol> schemes[] = {
        {"rfc2217://", NetworkPort::Protocol::Rfc2217}, {"tcp://", NetworkPort::Protocol::Tcp}};
    for (auto [scheme, protocol] : schemes) {
        if (!startsWithIgnoringCase(portName, scheme)) continue;
        NetworkPort port{protocol, {}, 0};
        parseHostAndPort(portName.substr(scheme.size()), port);
        return port;
    }
    return std::nullopt;
}

void waitUntil(const std::function<bool()>& done, const std::function<void()>& whileWaiting) {
    while (!done()) {
        if (whileWaiting) whileWaiting();
        std::this_thread::sleep_for(milliseconds(5));
    }
}

Opened connectNetworkPort(const NetworkPort& port, const LineSettings& settings,
                          const std::function<void()>& whileWaiting) {
    // The resolver cannot be interrupted: a job that outlives the wait is left to finish on its
    // own, and what it opened is closed with it.
    struct Job {
        std::mutex mutex;
        bool done = false;
        Opened opened;
    };
    auto job = std::make_shared<Job>();
    std::thread([job, port, settings] {
        Opened opened = connectNow(port, settings);
        std::lock_guard lock(job->mutex);
        job->opened = std::move(opened);
        job->done = true;
    }).detach();
    const auto giveUp = Clock::now() + kConnectTimeout + milliseconds(1000);
    waitUntil(
        [&] {
            std::lock_guard lock(job->mutex);
            return job->done || Clock::now() >= giveUp;
        },
        whileWaiting);
    std::lock_guard lock(job->mutex);
    if (!job->done) return {nullptr, ETIMEDOUT};
    return std::move(job->opened);
}

} // namespace tessavue
