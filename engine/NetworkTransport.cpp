// Serial ports on the network: plain TCP carries the line's bytes only; RFC 2217 (the telnet
// COM-PORT option, as ser2net speaks it) carries its settings and modem lines as well.
#include "PendingBytes.h"
#include "Transport.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace tessavue {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kConnectTimeout = milliseconds(5000);
constexpr auto kNegotiationTimeout = milliseconds(3000);

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

// The socket of a connected network port; bytes only.
class TcpTransport : public Transport {
public:
    explicit TcpTransport(int fd) : Transport(true), fd_(fd) {}
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

// RFC 2217 over telnet. The reader thread parses what arrives while the caller's thread queues
// commands; one lock covers the parser and the options' states. Whatever a server sends, only
// bytes the telnet framing calls data reach the line's data: a subnegotiation is never data, is
// bounded, and counts only for an option agreed on; nothing is ever decompressed.
class Rfc2217Transport final : public TcpTransport {
public:
    Rfc2217Transport(int fd, const LineSettings& settings)
        : TcpTransport(fd), settings_(settings), deadline_(Clock::now() + kNegotiationTimeout) {
        std::lock_guard lock(mutex_);
        // Data bytes must pass untouched both ways; the rest is RFC 2217's.
        ask(us_, kWill, kComPortOption);
        for (unsigned char option : {kBinaryOption, kSgaOption}) {
            ask(us_, kWill, option);
            ask(him_, kDo, option);
        }
    }

    int16_t readiness() const override {
        State state = state_.load();
        if (state == State::Purged) return -1;
        if (state == State::Refused) return SerialEngine::kOpenComPortRefused;
        return Clock::now() < deadline_ ? kStillOpening : SerialEngine::kOpenNoAnswer;
    }

    void received(const uint8_t* data, size_t size, PendingBytes& pending) override {
        std::lock_guard lock(mutex_);
        delivered_.clear();
        for (size_t i = 0; i < size;) {
            if (read_ != Read::Data) {
                step(data[i++]);
                continue;
            }
            const auto* iac = static_cast<const uint8_t*>(std::memchr(data + i, kIac, size - i));
            const size_t end = iac ? static_cast<size_t>(iac - data) : size;
            deliver(data + i, end - i);
            i = end;
            if (iac) {
                read_ = Read::Iac;
                ++i;
            }
        }
        pending.append(delivered_.data(), delivered_.size());
    }

    void encode(const uint8_t* data, size_t size, std::string& wire) const override {
        escape(data, size, wire);
    }

    uint64_t ignoredMessages() const override { return ignored_.load(); }

    bool applyLineSettings(const LineSettings& settings) override {
        std::lock_guard lock(mutex_);
        settings_ = settings;
        if (state_ != State::Offered) sendLineSettings();
        return !outgoing().overrun();
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
    // Where the parser is within the telnet framing.
    enum class Read { Data, Iac, Option, SubOption, Sub, SubIac };
    // An option's state on one side (RFC 1143, without the queue: we never change our mind).
    enum class Q : uint8_t { No, WantYes, Yes };

    static constexpr uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251,
                             kSb = 250, kSe = 240;
    static constexpr unsigned char kBinaryOption = 0, kSgaOption = 3, kComPortOption = 44;
    // Longer than any RFC 2217 message by far; a longer one is dropped whole.
    static constexpr size_t kMostSubnegotiationBytes = 4096;
    // Commands from client to server; the server answers each with the code + 100.
    static constexpr unsigned char kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3,
                                   kSetStopSize = 4, kSetControl = 5, kSetLineStateMask = 10,
                                   kSetModemStateMask = 11, kPurgeData = 12;
    static constexpr unsigned char kServerReply = 100, kNotifyLineState = 6, kNotifyModemState = 7;
    // SET-CONTROL values.
    static constexpr unsigned char kNoFlow = 1, kXonXoffFlow = 2, kHardwareFlow = 3, kAskDtr = 7,
                                   kDtrOn = 8, kDtrOff = 9, kAskRts = 10, kRtsOn = 11, kRtsOff = 12;
    static constexpr unsigned char kPurgeBoth = 3;

    static void escape(const uint8_t* data, size_t size, std::string& wire) {
        for (size_t i = 0; i < size; ++i) {
            wire.push_back(static_cast<char>(data[i]));
            if (data[i] == kIac) wire.push_back(static_cast<char>(kIac));
        }
    }

    // What we will do ourselves (us_) and want the server to do (him_).
    bool wanted(const std::array<Q, 256>& side, unsigned char option) const {
        return option == kBinaryOption || option == kSgaOption ||
               (option == kComPortOption && &side != &him_);
    }

    void ask(std::array<Q, 256>& side, uint8_t verb, unsigned char option) {
        side[option] = Q::WantYes;
        say(verb, option);
    }

    void say(uint8_t verb, unsigned char option) {
        const char message[3] = {static_cast<char>(kIac), static_cast<char>(verb),
                                 static_cast<char>(option)};
        outgoing().queueControl({message, sizeof message});
    }

    // Runs under mutex_.
    void step(uint8_t byte) {
        switch (read_) {
        case Read::Data:
            break;
        case Read::Iac:
            read_ = Read::Data;
            if (byte == kIac) {
                deliver(&byte, 1);
            } else if (byte >= kWill && byte <= kDont) {
                verb_ = byte;
                read_ = Read::Option;
            } else if (byte == kSb) {
                read_ = Read::SubOption;
            } // Other commands (NOP, GA, break, ...) mean nothing to a serial line's data.
            break;
        case Read::Option:
            read_ = Read::Data;
            negotiated(verb_, byte);
            break;
        case Read::SubOption:
            subOption_ = byte;
            sub_.clear();
            subTooLong_ = false;
            read_ = Read::Sub;
            break;
        case Read::Sub:
            if (byte == kIac)
                read_ = Read::SubIac;
            else
                subByte(byte);
            break;
        case Read::SubIac:
            if (byte == kIac) {
                subByte(byte);
                read_ = Read::Sub;
            } else if (byte == kSe) {
                read_ = Read::Data;
                subnegotiated();
            } else {
                // A command inside a subnegotiation ends it unfinished; the command counts.
                ++ignored_;
                read_ = Read::Iac;
                step(byte);
            }
            break;
        }
    }

    void deliver(const uint8_t* data, size_t size) {
        // What arrives before the server has purged its buffers is stale.
        if (state_ == State::Purged) delivered_.insert(delivered_.end(), data, data + size);
    }

    void subByte(uint8_t byte) {
        if (sub_.size() < kMostSubnegotiationBytes)
            sub_.push_back(byte);
        else
            subTooLong_ = true;
    }

    void negotiated(uint8_t verb, unsigned char option) {
        const bool enable = verb == kWill || verb == kDo;
        std::array<Q, 256>& side = verb == kDo || verb == kDont ? us_ : him_;
        const uint8_t yes = &side == &us_ ? kWill : kDo, no = &side == &us_ ? kWont : kDont;
        if (enable && side[option] != Q::Yes) {
            if (!wanted(side, option)) {
                say(no, option);
                return;
            }
            if (side[option] == Q::No) say(yes, option);
            side[option] = Q::Yes;
        } else if (!enable && side[option] != Q::No) {
            if (side[option] == Q::Yes) say(no, option);
            side[option] = Q::No;
        }
        if (option != kComPortOption) return;
        if (enable && us_[option] == Q::Yes && state_ == State::Offered) {
            state_ = State::Agreed;
            startLine();
        } else if (!enable && (state_ == State::Offered || state_ == State::Agreed)) {
            state_ = State::Refused;
        }
    }

    void subnegotiated() {
        if (subTooLong_ || subOption_ != kComPortOption || us_[kComPortOption] != Q::Yes ||
            sub_.empty() ||
            !serverSaid(static_cast<unsigned char>(sub_[0]), sub_.size() - 1,
                        static_cast<unsigned char>(sub_.back())))
            ++ignored_;
    }

    // A COM-PORT message of `size` value bytes, `last` the last of them; false when it is not
    // one the line's state may be taken from.
    bool serverSaid(unsigned char command, size_t size, unsigned char last) {
        const bool oneValue = size == 1;
        switch (command) {
        case kServerReply + kNotifyModemState:
            if (oneValue) modemState_ = last;
            return oneValue;
        case kServerReply + kNotifyLineState:
            return oneValue;
        case kServerReply + kSetControl:
            if (!oneValue) return false;
            // The server tells what the line now is; that is what the lamps show.
            if (last == kDtrOn || last == kDtrOff)
                setBit(0x02, last == kDtrOn);
            else if (last == kRtsOn || last == kRtsOff)
                setBit(0x01, last == kRtsOn);
            return true;
        case kServerReply + kPurgeData:
            if (state_ == State::Agreed) state_ = State::Purged;
            return true;
        default:
            return true;
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

    void sendCommand(unsigned char command, const unsigned char* value, size_t size) {
        std::string message = {static_cast<char>(kIac), static_cast<char>(kSb),
                               static_cast<char>(kComPortOption), static_cast<char>(command)};
        escape(value, size, message);
        message += {static_cast<char>(kIac), static_cast<char>(kSe)};
        outgoing().queueControl(message);
    }

    std::mutex mutex_;
    LineSettings settings_;
    const Clock::time_point deadline_;
    std::atomic<State> state_{State::Offered};
    std::atomic<uint8_t> modemState_{0}; // as the server last notified it
    std::atomic<uint8_t> lines_{0};      // RTS 0x01 and DTR 0x02 as the server last reported them
    std::atomic<uint64_t> ignored_{0};
    std::array<Q, 256> us_{}, him_{};
    Read read_ = Read::Data;
    uint8_t verb_ = 0;
    unsigned char subOption_ = 0;
    std::string sub_;
    bool subTooLong_ = false;
    std::vector<uint8_t> delivered_; // the data among what received() was given
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
