#include "DeviceTermios.h"
#include "LineSettings.h"
#include "LogFile.h"
#include "NetworkServers.h"
#include "PendingBytes.h"
#include "SerialEngine.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <libtelnet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <numeric>
#include <random>
#include <thread>

using namespace tessavue;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

// A pseudo-terminal pair; the engine opens the slave by its path. The test holds a slave
// descriptor of its own, so bytes written before the engine opens really wait in the device.
class Pty {
public:
    Pty() {
        if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) == 0) path_ = ptsname(master_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    ~Pty() {
        closeMaster();
        close(slave_);
    }

    const std::string& path() const { return path_; }
    int master() const { return master_; }
    int slave() const { return slave_; }
    void closeMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }
    bool send(const Bytes& bytes) const {
        for (size_t done = 0; done < bytes.size();) {
            ssize_t written = write(master_, bytes.data() + done, bytes.size() - done);
            if (written <= 0) return false;
            done += static_cast<size_t>(written);
        }
        return true;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

Bytes randomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    Bytes bytes(size);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(generator());
    return bytes;
}

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes readFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Received {
    Bytes bytes;
    std::vector<int16_t> logReports; // every iLogSt other than kLogContinues, in order
};

// Fetches the way the program's receive tick does, once a millisecond, until `expected` bytes
// have come or none has come for two seconds.
Received receive(SerialEngine& engine, size_t expected, int16_t logOn = 0) {
    Received received;
    received.bytes.reserve(expected);
    auto nextTick = std::chrono::steady_clock::now();
    auto lastArrival = nextTick;
    while (received.bytes.size() < expected && nextTick - lastArrival < 2s) {
        int32_t count = 0, scratch = 0, aux = 0;
        int16_t logSt = 0;
        engine.RcvDataFirst(count, scratch, logOn, logSt, aux);
        const size_t before = received.bytes.size();
        received.bytes.resize(before + static_cast<size_t>(count));
        engine.RcvDataAll(received.bytes.data() + before, count);
        if (logSt != SerialEngine::kLogContinues) received.logReports.push_back(logSt);
        if (count > 0) lastArrival = std::chrono::steady_clock::now();
        nextTick += 1ms;
        std::this_thread::sleep_until(nextTick);
    }
    return received;
}

int16_t fetchLogState(SerialEngine& engine) {
    int32_t count = 0, scratch = 0, aux = 0;
    int16_t logSt = 0;
    engine.RcvDataFirst(count, scratch, 1, logSt, aux);
    return logSt;
}

// A port that did not open gives no bytes and no modem lines.
void expectNothingFrom(SerialEngine& engine) {
    int32_t count = -1, scratch = 0, aux = 0;
    int16_t logSt = 0;
    engine.RcvDataFirst(count, scratch, 0, logSt, aux);
    QCOMPARE(count, 0);
    uint8_t status = 0xff;
    engine.ReadModemStatus(status);
    QCOMPARE(status, uint8_t(0));
}

long threadCount() {
    namespace fs = std::filesystem;
    return std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator());
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](timeval t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// errno of opening path as an ordinary user would (0 when it opens). Root is not held back by
// TIOCEXCL, so when the test runs as root the attempt is made as "nobody".
int openAsOrdinaryUser(const std::string& path) {
    chmod(path.c_str(), 0666);
    pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(255);
        int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        _exit(fd >= 0 ? 0 : errno);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A scripted RFC 2217 server for one client: records every COM-PORT command it receives, answers
// PURGE-DATA (after some stale bytes) and DTR/RTS changes as a port with modem lines would, and
// notifies modem states when told to.
class FakeComPortServer {
public:
    enum class Kind { Agrees, Refuses, HangsUp };
    explicit FakeComPortServer(Kind kind) : kind_(kind), listener_(1) {
        server_ = std::thread([this] { serve(); });
    }
    FakeComPortServer(const FakeComPortServer&) = delete;
    FakeComPortServer& operator=(const FakeComPortServer&) = delete;
    ~FakeComPortServer() {
        stop_ = true;
        server_.join();
        if (telnet_) telnet_free(telnet_);
        if (client_ >= 0) close(client_);
    }
    std::string portName() const {
        return "rfc2217://127.0.0.1:" + std::to_string(listener_.port());
    }
    std::vector<Bytes> commands() {
        std::lock_guard lock(mutex_);
        return commands_;
    }
    void send(const Bytes& data) {
        std::lock_guard lock(mutex_);
        telnet_send(telnet_, reinterpret_cast<const char*>(data.data()), data.size());
    }
    void notifyModemState(uint8_t state) {
        std::lock_guard lock(mutex_);
        reply({107, state});
    }

private:
    void serve() {
        pollfd waiting{listener_.fd(), POLLIN, 0};
        while (!stop_ && poll(&waiting, 1, 50) == 0) {
        }
        if (stop_) return;
        const int client = accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (kind_ == Kind::HangsUp) {
            close(client);
            return;
        }
        static const telnet_telopt_t agreeing[] = {{TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
                                                   {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
                                                   {44, TELNET_WONT, TELNET_DO},
                                                   {-1, 0, 0}};
        static const telnet_telopt_t refusing[] = {{-1, 0, 0}};
        {
            std::lock_guard lock(mutex_);
            client_ = client;
            telnet_ = telnet_init(kind_ == Kind::Agrees ? agreeing : refusing, &onEvent, 0, this);
        }
        pollfd reading{client, POLLIN, 0};
        char buffer[4096];
        while (!stop_) {
            if (poll(&reading, 1, 50) <= 0) continue;
            ssize_t n = recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            std::lock_guard lock(mutex_);
            telnet_recv(telnet_, buffer, size_t(n));
        }
    }
    static void onEvent(telnet_t*, telnet_event_t* event, void* self) {
        auto* server = static_cast<FakeComPortServer*>(self);
        if (event->type == TELNET_EV_SEND)
            ::send(server->client_, event->data.buffer, event->data.size, MSG_NOSIGNAL);
        else if (event->type == TELNET_EV_SUBNEGOTIATION && event->sub.telopt == 44)
            server->received(Bytes(event->sub.buffer, event->sub.buffer + event->sub.size));
    }
    void received(const Bytes& command) {
        commands_.push_back(command);
        if (command.size() != 2) return;
        if (command[0] == 12) {
            const Bytes stale = bytesOf("stale");
            telnet_send(telnet_, reinterpret_cast<const char*>(stale.data()), stale.size());
            reply({112, command[1]});
        }
        if (command[0] == 5 &&
            (command[1] == 8 || command[1] == 9 || command[1] == 11 || command[1] == 12))
            reply({105, command[1]});
    }
    void reply(const Bytes& message) {
        telnet_subnegotiation(telnet_, 44, reinterpret_cast<const char*>(message.data()),
                              message.size());
    }

    const Kind kind_;
    Listener listener_;
    std::mutex mutex_;
    std::vector<Bytes> commands_;
    telnet_t* telnet_ = nullptr;
    int client_ = -1;
    std::atomic<bool> stop_ = false;
    std::thread server_; // last: it starts running in the constructor
};

// Bytes in every order that could trip a telnet stream: each value up and down, shuffled, long
// runs of 0xFF, 0xFF around every other value, and data that looks like telnet commands.
Bytes everyByteOrder() {
    Bytes bytes(256);
    std::iota(bytes.begin(), bytes.end(), 0);
    Bytes down(bytes.rbegin(), bytes.rend());
    bytes.insert(bytes.end(), down.begin(), down.end());
    std::mt19937 generator(11);
    for (int i = 0; i < 3; ++i) {
        Bytes shuffled(down);
        std::shuffle(shuffled.begin(), shuffled.end(), generator);
        bytes.insert(bytes.end(), shuffled.begin(), shuffled.end());
    }
    bytes.insert(bytes.end(), 1001, 0xff);
    for (int value = 0; value < 256; ++value)
        bytes.insert(bytes.end(), {0xff, uint8_t(value), 0xff, 0xff});
    for (Bytes command : {Bytes{0xff, 0xfa, 44, 7, 0xff, 0xff, 0xf0}, Bytes{0xff, 0xfd, 44},
                          Bytes{'\r', 0, '\r', '\n', 0xff, 0xf0}, Bytes{0xff}})
        bytes.insert(bytes.end(), command.begin(), command.end());
    return bytes;
}

// Telnet pieces for scripted servers.
constexpr uint8_t kIac = 255, kSb = 250, kSe = 240, kWill = 251, kWont = 252, kDo = 253,
                  kDont = 254;

// Data as a telnet server sends it: 0xFF doubled.
Bytes escaped(const Bytes& data) {
    Bytes wire;
    for (uint8_t byte : data) {
        wire.push_back(byte);
        if (byte == kIac) wire.push_back(kIac);
    }
    return wire;
}

Bytes subnegotiation(uint8_t option, const Bytes& body) {
    Bytes wire = {kIac, kSb, option};
    const Bytes value = escaped(body);
    wire.insert(wire.end(), value.begin(), value.end());
    wire.insert(wire.end(), {kIac, kSe});
    return wire;
}

Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A server that agrees to COM-PORT-OPTION and says it purged, without waiting to be asked.
const Bytes kAgrees = joined({{kIac, kDo, 44}, subnegotiation(44, {112, 3})});

// What the far end of a line reads from fd until `expected` bytes or two seconds of silence;
// with none expected, what is there now.
Bytes readFarEnd(int fd, size_t expected) {
    Bytes bytes;
    uint8_t buffer[65536];
    pollfd readable{fd, POLLIN, 0};
    while (poll(&readable, 1, expected == 0 ? 0 : 2000) > 0 &&
           (bytes.size() < expected || expected == 0)) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

// Hands all of data to SendData, as fast as the queue takes it.
void sendAll(SerialEngine& engine, const Bytes& data) {
    for (size_t taken = 0; taken < data.size();) {
        taken += engine.SendData(data.data() + taken, data.size() - taken);
        std::this_thread::sleep_for(1ms);
    }
}

} // namespace

class EngineTest : public QObject {
    Q_OBJECT

private slots:
    void portNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::addRow("COM1") << "COM1"
                              << "/dev/ttyS0";
        QTest::addRow("COM4") << "COM4"
                              << "/dev/ttyS3";
        QTest::addRow("COM5 is a device name") << "COM5"
                                               << "/dev/COM5";
        QTest::addRow("COM10 is not COM1") << "COM10"
                                           << "/dev/COM10";
        QTest::addRow("device name") << "ttyUSB0"
                                     << "/dev/ttyUSB0";
        QTest::addRow("absolute path") << "/tmp/link"
                                       << "/tmp/link";
    }
    void portNames() {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QCOMPARE(QString::fromStdString(devicePathForPort(name.toStdString())), path);
    }

    void lineSettingsAreApplied_data() {
        QTest::addColumn<QString>("params");
        QTest::addColumn<uint>("rate");
        QTest::addColumn<uint>("framing");
        QTest::addColumn<bool>("xonXoff");
        QTest::addColumn<bool>("setBeforeOpen");
        for (uint rate : {300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600,
                          115200, 230400, 460800, 921600, 1000000, 2000000, 3000000})
            QTest::addRow("%u baud", rate)
                << QString("%1,0,8,0,0").arg(rate) << rate << uint(CS8) << false << false;
        QTest::addRow("7E1") << "9600,1,7,0,0" << 9600u << uint(PARENB | CS7) << false << false;
        QTest::addRow("8O2") << "9600,2,8,1,0" << 9600u << uint(PARENB | PARODD | CS8 | CSTOPB)
                             << false << false;
        QTest::addRow("7M1 RTS/CTS")
            << "9600,3,7,0,1" << 9600u << uint(PARENB | PARODD | CMSPAR | CS7 | CRTSCTS) << false
            << false;
        QTest::addRow("8S1 XON/XOFF")
            << "9600,4,8,0,2" << 9600u << uint(PARENB | CMSPAR | CS8) << true << false;
        QTest::addRow("5N2") << "1200,0,5,1,0" << 1200u << uint(CS5 | CSTOPB) << false << false;
        QTest::addRow("6E1 set before open")
            << "56000,1,6,0,0" << 56000u << uint(PARENB | CS6) << false << true;
    }
    void lineSettingsAreApplied() {
        QFETCH(QString, params);
        QFETCH(uint, rate);
        QFETCH(uint, framing);
        QFETCH(bool, xonXoff);
        QFETCH(bool, setBeforeOpen);
        Pty pty;
        auto engine = makeLinuxSerialEngine();
        if (setBeforeOpen) engine->SetCommPortParam(params.toStdString());
        QCOMPARE(engine->OpenCommPort(pty.path()), -1);
        if (!setBeforeOpen) engine->SetCommPortParam(params.toStdString());

        DeviceTermios device;
        QVERIFY(readDeviceTermios(pty.slave(), device));
        QCOMPARE(device.outputRate, rate);
        QCOMPARE(device.inputRate, rate);
        const uint framingBits = PARENB | PARODD | CMSPAR | CSIZE | CSTOPB | CRTSCTS;
        // A pty always keeps 8 bits without parity; the flags the engine asks for are checked
        // apart from the device.
        const uint keptByPty = framingBits & ~uint(PARENB | CSIZE);
        QCOMPARE(device.cflag & keptByPty, framing & keptByPty);
        QCOMPARE(framingFlags(*parseLineSettings(params.toStdString())), framing);
        QCOMPARE(device.iflag & uint(IXON | IXOFF), xonXoff ? uint(IXON | IXOFF) : 0u);
    }

    void malformedSettingsChangeNothing_data() {
        QTest::addColumn<QString>("params");
        QTest::addRow("empty") << "";
        QTest::addRow("four fields") << "9600,0,8,0";
        QTest::addRow("six fields") << "9600,0,8,0,0,0";
        QTest::addRow("trailing comma") << "9600,0,8,0,0,";
        QTest::addRow("empty field") << "9600,,8,0,0";
        QTest::addRow("word for the rate") << "fast,0,8,0,0";
        QTest::addRow("negative rate") << "-9600,0,8,0,0";
        QTest::addRow("rate zero") << "0,0,8,0,0";
        QTest::addRow("rate beyond 32 bits") << "4294977296,0,8,0,0";
        QTest::addRow("space in a field") << "9600, 0,8,0,0";
        QTest::addRow("parity 5") << "9600,5,8,0,0";
        QTest::addRow("4 data bits") << "9600,0,4,0,0";
        QTest::addRow("9 data bits") << "9600,0,9,0,0";
        QTest::addRow("stop bits 2") << "9600,0,8,2,0";
        QTest::addRow("flow 3") << "9600,0,8,0,3";
    }
    void malformedSettingsChangeNothing() {
        QFETCH(QString, params);
        Pty pty;
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(pty.path()), -1);
        engine->SetCommPortParam("19200,1,7,1,1");
        DeviceTermios before, after, reopened;
        QVERIFY(readDeviceTermios(pty.slave(), before));
        QCOMPARE(before.outputRate, 19200u);

        engine->SetCommPortParam(params.toStdString());
        QVERIFY(readDeviceTermios(pty.slave(), after));
        QCOMPARE(after, before);
        // The settings an open applies are not replaced either.
        QCOMPARE(engine->OpenCommPort(pty.path()), -1);
        QVERIFY(readDeviceTermios(pty.slave(), reopened));
        QCOMPARE(reopened, before);
    }

    void openFailsWithoutAUsableDevice_data() {
        QTest::addColumn<QString>("name");
        QTest::addRow("missing device") << "missing";
        QTest::addRow("regular file") << "file";
        QTest::addRow("directory") << "";
    }
    void openFailsWithoutAUsableDevice() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        std::ofstream(dir.filePath("file").toStdString()) << "not a terminal";
        auto engine = makeLinuxSerialEngine();
        QVERIFY(engine->OpenCommPort(dir.filePath(name).toStdString()) != -1);
        expectNothingFrom(*engine);
    }

    void openMakesTheDeviceRaw() {
        Pty pty; // starts cooked: canonical input, echo, CR/LF translation
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(pty.path()), -1);
        DeviceTermios device;
        QVERIFY(readDeviceTermios(pty.slave(), device));
        QCOMPARE(device.lflag & uint(ICANON | ECHO | ISIG | IEXTEN), 0u);
        QCOMPARE(device.oflag & uint(OPOST), 0u);
        QCOMPARE(device.iflag & uint(ICRNL | INLCR | IGNCR | ISTRIP | IXON), 0u);

        const Bytes sent = {'a', '\r', '\n', 'b', '\n', 0x03, 0x04, 0x11, 0x13, 0x7f, 0x00, 0xff};
        QVERIFY(pty.send(sent));
        QCOMPARE(receive(*engine, sent.size()).bytes, sent);
        uint8_t echoed = 0;
        fcntl(pty.master(), F_SETFL, O_NONBLOCK);
        QCOMPARE(read(pty.master(), &echoed, 1), ssize_t(-1));
    }

    void staleBytesAreDiscarded() {
        Pty pty;
        QVERIFY(pty.send(bytesOf("stale bytes\n")));
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(pty.path()), -1);
        QVERIFY(pty.send(bytesOf("fresh")));
        QCOMPARE(receive(*engine, 5).bytes, bytesOf("fresh"));
    }

    void heldPortIsRefused() {
        Pty pty;
        auto holder = makeLinuxSerialEngine();
        auto other = makeLinuxSerialEngine();
        QCOMPARE(holder->OpenCommPort(pty.path()), -1);
        QCOMPARE(other->OpenCommPort(pty.path()), EBUSY);

        holder->CloseCommPort();
        QCOMPARE(openAsOrdinaryUser(pty.path()), 0);
        QCOMPARE(other->OpenCommPort(pty.path()), -1);
    }

    void killedHolderLeavesAVirtualPortUsable() {
        Pty pty;
        int opened[2];
        QCOMPARE(pipe(opened), 0);
        const pid_t holder = fork();
        if (holder == 0) {
            auto engine = makeLinuxSerialEngine();
            const char ok = engine->OpenCommPort(pty.path()) == -1 ? 1 : 0;
            if (write(opened[1], &ok, 1) != 1) _exit(1);
            pause();
            _exit(0);
        }
        char ok = 0;
        QCOMPARE(read(opened[0], &ok, 1), ssize_t(1));
        QCOMPARE(ok, char(1));
        kill(holder, SIGKILL);
        waitpid(holder, nullptr, 0);
        close(opened[0]);
        close(opened[1]);

        QCOMPARE(openAsOrdinaryUser(pty.path()), 0);
        QCOMPARE(makeLinuxSerialEngine()->OpenCommPort(pty.path()), -1);
    }

    void openingAnotherPortReleasesTheFirst() {
        Pty first, second;
        auto engine = makeLinuxSerialEngine();
        auto other = makeLinuxSerialEngine();
        engine->CloseCommPort();
        QCOMPARE(engine->OpenCommPort(first.path()), -1);
        QCOMPARE(engine->OpenCommPort(second.path()), -1);
        QCOMPARE(other->OpenCommPort(first.path()), -1);
        engine->CloseCommPort();
        engine->CloseCommPort();
        QCOMPARE(other->OpenCommPort(second.path()), -1);
    }

    void fiftyMegabytesArriveExactly() {
        const Bytes sent = randomBytes(50'000'000, 1);
        Pty pty;
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(pty.path()), -1);
        std::jthread writer([&] { pty.send(sent); });

        const Bytes received = receive(*engine, sent.size()).bytes;
        QCOMPARE(received.size(), sent.size());
        auto firstDifference = std::mismatch(sent.begin(), sent.end(), received.begin());
        QCOMPARE(firstDifference.first - sent.begin(), ptrdiff_t(sent.size()));
        QCOMPARE(engine->droppedBytes(), uint64_t(0));
    }

    void pendingBytesCountWhatTheyDrop_data() {
        QTest::addColumn<qulonglong>("capacity");
        QTest::addColumn<int>("appendSize");
        QTest::addColumn<int>("appends");
        QTest::addColumn<int>("takeSize");
        QTest::addRow("small pieces") << (1ull << 20) << 1000 << 50 << 333;
        QTest::addRow("across chunks") << (1ull << 20) << 100000 << 5 << 65537;
        QTest::addRow("over capacity") << 100000ull << 4096 << 30 << 32768;
    }
    void pendingBytesCountWhatTheyDrop() {
        QFETCH(qulonglong, capacity);
        QFETCH(int, appendSize);
        QFETCH(int, appends);
        QFETCH(int, takeSize);
        const Bytes stream = randomBytes(size_t(appendSize) * appends, 2);
        const size_t kept = std::min<size_t>(stream.size(), capacity);
        PendingBytes pending(capacity);
        for (int i = 0; i < appends; ++i)
            pending.append(stream.data() + size_t(i) * appendSize, appendSize);
        QCOMPARE(pending.dropped(), uint64_t(stream.size() - kept));

        Bytes taken(kept + takeSize);
        size_t total = 0;
        while (size_t got = pending.take(taken.data() + total, takeSize))
            total += got;
        QCOMPARE(total, kept);
        QVERIFY(std::equal(stream.begin(), stream.begin() + kept, taken.begin()));

        // Taking makes room again.
        pending.append(stream.data(), 10);
        QCOMPARE(pending.take(taken.data(), takeSize), size_t(10));
        pending.resetDropped();
        QCOMPARE(pending.dropped(), uint64_t(0));
    }

    void fetchIndexOutOfRangeGivesZero_data() {
        QTest::addColumn<int>("index");
        QTest::addRow("-1") << -1;
        QTest::addRow("-32768") << -32768;
        QTest::addRow("past this fetch, inside the last") << 3;
        QTest::addRow("32767") << 32767;
    }
    void fetchIndexOutOfRangeGivesZero() {
        QFETCH(int, index);
        Pty pty;
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(pty.path()), -1);
        QVERIFY(pty.send(Bytes(100, 0xaa)));
        QCOMPARE(receive(*engine, 100).bytes.size(), size_t(100));

        QVERIFY(pty.send(bytesOf("abc")));
        int32_t count = 0, scratch = 0, aux = 0;
        int16_t logSt = 0;
        for (int tries = 0; count == 0 && tries < 5000; ++tries) {
            std::this_thread::sleep_for(1ms);
            engine->RcvDataFirst(count, scratch, 0, logSt, aux);
        }
        QVERIFY(count > 0 && count <= 3);
        uint8_t value = 0x55;
        engine->RcvDataNext(value, 0);
        QCOMPARE(value, uint8_t('a'));
        engine->RcvDataNext(value, static_cast<int16_t>(index));
        QCOMPARE(value, uint8_t(0));
    }

    void recentCopyKeepsTheNewest_data() {
        QTest::addColumn<int>("total");
        QTest::addRow("fewer than it holds") << 1000;
        QTest::addRow("exactly what it holds") << 327681;
        QTest::addRow("more than it holds") << 400000;
    }
    void recentCopyKeepsTheNewest() {
        QFETCH(int, total);
        const Bytes sent = randomBytes(total, 3);
        Pty pty;
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(pty.path()), -1);
        QVERIFY(pty.send(sent));
        QCOMPARE(receive(*engine, sent.size()).bytes.size(), sent.size());

        int32_t count = 0;
        engine->MoveLastFirst(count);
        QCOMPARE(count, std::min(total, SerialEngine::kRecentCopyBytes));
        Bytes recent(count);
        for (int32_t i = 0; i < count; ++i)
            engine->MoveLastData(recent[i], i);
        QVERIFY(std::equal(recent.begin(), recent.end(), sent.end() - count));
        uint8_t value = 0x55;
        engine->MoveLastData(value, -1);
        QCOMPARE(value, uint8_t(0));
        engine->MoveLastData(value, count);
        QCOMPARE(value, uint8_t(0));

        engine->LastClear();
        engine->MoveLastFirst(count);
        QCOMPARE(count, 0);
    }

    void logStopsExactlyAtItsLimit_data() {
        QTest::addColumn<int>("maxBytes");
        QTest::addColumn<int>("alreadyThere");
        QTest::addRow("limit inside a fetch") << 100000 << 0;
        QTest::addRow("limit at the last byte") << 150000 << 0;
        QTest::addRow("what was there counts") << 100000 << 1000;
        QTest::addRow("no limit") << 0 << 0;
    }
    void logStopsExactlyAtItsLimit() {
        QFETCH(int, maxBytes);
        QFETCH(int, alreadyThere);
        const Bytes sent = randomBytes(150000, 4);
        const Bytes before = randomBytes(alreadyThere, 5);
        QTemporaryDir dir;
        const QString path = dir.filePath("log.bin");
        std::ofstream(path.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(before.data()), before.size());

        Pty pty;
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(pty.path()), -1);
        QCOMPARE(engine->LogStart(path.toStdString(), 0, maxBytes), -1);
        QVERIFY(pty.send(sent));
        const Received received = receive(*engine, sent.size(), 1);
        QCOMPARE(received.bytes, sent);

        const bool limited = maxBytes > 0;
        QCOMPARE(received.logReports, limited ? std::vector<int16_t>{SerialEngine::kLogSizeLimit}
                                              : std::vector<int16_t>{});
        // Written behind the fetches: all of it is in the file once the log is stopped.
        engine->LogStop();
        const size_t logged = limited ? size_t(maxBytes - alreadyThere) : sent.size();
        Bytes expected = before;
        expected.insert(expected.end(), sent.begin(), sent.begin() + logged);
        QCOMPARE(readFile(path), expected);
        QCOMPARE(fetchLogState(*engine), SerialEngine::kLogContinues);
    }

    void logFollowsLogOnAndLogStop() {
        const Bytes logged1 = randomBytes(50000, 6), notLogged = randomBytes(50000, 7),
                    afterStop = randomBytes(50000, 8), logged2 = randomBytes(50000, 9);
        QTemporaryDir dir;
        const QString path = dir.filePath("log.bin");
        Pty pty;
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(pty.path()), -1);
        auto pass = [&](const Bytes& bytes, int16_t logOn) {
            return pty.send(bytes) && receive(*engine, bytes.size(), logOn).logReports.empty();
        };

        QCOMPARE(engine->LogStart(path.toStdString(), 0, 1000000), -1);
        QVERIFY(pass(logged1, 1));
        QVERIFY(pass(notLogged, 0));
        engine->LogStop();
        QCOMPARE(readFile(path), logged1);
        QVERIFY(pass(afterStop, 1));
        QCOMPARE(engine->LogStart(path.toStdString(), 0, 1000000), -1);
        QVERIFY(pass(logged2, 1));
        engine->LogStop();

        Bytes expected = logged1;
        expected.insert(expected.end(), logged2.begin(), logged2.end());
        QCOMPARE(readFile(path), expected);
    }

    void logWriteErrorIsReported() {
        Pty pty;
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(pty.path()), -1);
        QCOMPARE(engine->LogStart("/dev/full", 0, 0), -1);
        QVERIFY(pty.send(randomBytes(1000, 10)));
        // The write fails behind the fetches; a later fetch tells it, once.
        std::vector<int16_t> reports = receive(*engine, 1000, 1).logReports;
        for (int i = 0; i < 2000 && reports.empty(); ++i) {
            if (const int16_t state = fetchLogState(*engine); state != SerialEngine::kLogContinues)
                reports.push_back(state);
            std::this_thread::sleep_for(1ms);
        }
        QCOMPARE(reports, std::vector<int16_t>{ENOSPC});
        QCOMPARE(fetchLogState(*engine), SerialEngine::kLogContinues);

        QTemporaryDir dir;
        QCOMPARE(engine->LogStart(dir.filePath("missing/log.bin").toStdString(), 0, 0), ENOENT);
    }

    void logIntoAPipeNeverWaits() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("pipe").toStdString();
        QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
        LogFile log;
        QCOMPARE(log.open(path, 0), ENXIO); // nobody reads: told, not waited for

        const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(reader >= 0);
        QCOMPARE(log.open(path, 0), 0);
        // The reader takes nothing: the queue fills and the log ends, with all it had taken.
        Bytes accepted;
        int16_t state = SerialEngine::kLogContinues;
        for (uint32_t seed = 0; state == SerialEngine::kLogContinues; ++seed) {
            const Bytes chunk = randomBytes(1 << 20, seed);
            state = log.append(chunk.data(), chunk.size());
            if (state == SerialEngine::kLogContinues)
                accepted.insert(accepted.end(), chunk.begin(), chunk.end());
            QVERIFY(accepted.size() <= LogFile::kQueueBytes);
        }
        QCOMPARE(state, SerialEngine::kLogStalled);
        QVERIFY(accepted.size() > LogFile::kQueueBytes / 2);

        // Once the reader goes on it gets every accepted byte, in order, and then the end.
        Bytes delivered;
        std::array<uint8_t, 65536> buffer;
        for (;;) {
            pollfd ready{reader, POLLIN, 0};
            QVERIFY(::poll(&ready, 1, 5000) > 0);
            const ssize_t n = ::read(reader, buffer.data(), buffer.size());
            if (n == 0) break;
            QVERIFY(n > 0);
            delivered.insert(delivered.end(), buffer.begin(), buffer.begin() + n);
        }
        ::close(reader);
        QVERIFY(delivered == accepted);
    }

    void modemLinesOfAPtyReadAsOff() {
        auto engine = makeLinuxSerialEngine();
        uint8_t status = 0xff;
        engine->ReadModemStatus(status);
        QCOMPARE(status, uint8_t(0));
        engine->SetLineSt(static_cast<int16_t>(0x8002));

        Pty pty;
        QCOMPARE(engine->OpenCommPort(pty.path()), -1);
        for (int code : {0x8002, 0x0002, 0x8001, 0x0001, 0x1234}) {
            engine->SetLineSt(static_cast<int16_t>(code));
            status = 0xff;
            engine->ReadModemStatus(status);
            QCOMPARE(status, uint8_t(0));
        }
        QVERIFY(pty.send(bytesOf("still fine")));
        QCOMPARE(receive(*engine, 10).bytes, bytesOf("still fine"));
    }

    void idlePortKeepsWorkingAndAVanishedOneEndsTheReader() {
        const long threadsBefore = threadCount();
        QTemporaryDir dir;
        const std::string link = dir.filePath("ttyReplugged").toStdString();
        Pty pty;
        QCOMPARE(symlink(pty.path().c_str(), link.c_str()), 0);
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(link), -1);
        QCOMPARE(threadCount(), threadsBefore + 1);
        std::this_thread::sleep_for(300ms);
        QVERIFY(pty.send(bytesOf("after a pause")));
        QCOMPARE(receive(*engine, 13).bytes, bytesOf("after a pause"));

        // The last bytes before the device goes must be fetched before it counts as lost.
        QVERIFY(pty.send(bytesOf("last words")));
        std::this_thread::sleep_for(100ms);
        pty.closeMaster();
        const double cpuBefore = cpuSeconds();
        std::this_thread::sleep_for(500ms);
        QVERIFY2(cpuSeconds() - cpuBefore < 0.05, "the reader spins on the vanished device");
        QTRY_COMPARE_WITH_TIMEOUT(threadCount(), threadsBefore, 5000);
        QVERIFY(!engine->portLost());
        QCOMPARE(receive(*engine, 10).bytes, bytesOf("last words"));
        QVERIFY(engine->portLost());
        engine->CloseCommPort();
        QVERIFY(!engine->portLost());

        // Plugged back in at the same name, as a new device.
        unlink(link.c_str());
        QCOMPARE(engine->reopenCommPort(), ENOENT);
        Pty returned;
        QCOMPARE(symlink(returned.path().c_str(), link.c_str()), 0);
        QCOMPARE(engine->reopenCommPort(), -1);
        QVERIFY(returned.send(bytesOf("back")));
        QCOMPARE(receive(*engine, 4).bytes, bytesOf("back"));
        QVERIFY(!engine->portLost());
    }

    void networkPortNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("network");
        QTest::addColumn<int>("protocol"); // 0 RFC 2217, 1 TCP
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port"); // 0: malformed
        QTest::addRow("IPv4") << "rfc2217://127.0.0.1:7401" << true << 0 << "127.0.0.1" << 7401;
        QTest::addRow("IPv6 in brackets") << "tcp://[::1]:2000" << true << 1 << "::1" << 2000;
        QTest::addRow("host name")
            << "rfc2217://lab-server.example:65535" << true << 0 << "lab-server.example" << 65535;
        QTest::addRow("scheme in capitals") << "TCP://host:1" << true << 1 << "host" << 1;
        QTest::addRow("no port") << "rfc2217://host" << true << 0 << "" << 0;
        QTest::addRow("empty port") << "rfc2217://host:" << true << 0 << "" << 0;
        QTest::addRow("port 0") << "tcp://host:0" << true << 1 << "host" << 0;
        QTest::addRow("port beyond 65535") << "tcp://host:65536" << true << 1 << "" << 0;
        QTest::addRow("port with a sign") << "tcp://host:+80" << true << 1 << "" << 0;
        QTest::addRow("no host") << "rfc2217://:7401" << true << 0 << "" << 0;
        QTest::addRow("IPv6 without brackets") << "tcp://::1:2000" << true << 1 << "" << 0;
        QTest::addRow("unclosed bracket") << "tcp://[::1:2000" << true << 1 << "" << 0;
        QTest::addRow("trailing path") << "tcp://host:2000/" << true << 1 << "" << 0;
        QTest::addRow("space in the host") << "tcp://lab server:2000" << true << 1 << "" << 0;
        QTest::addRow("device name") << "COM1" << false << 0 << "" << 0;
        QTest::addRow("device path") << "/dev/ttyUSB0" << false << 0 << "" << 0;
        QTest::addRow("other scheme") << "udp://host:1" << false << 0 << "" << 0;
    }
    void networkPortNames() {
        QFETCH(QString, name);
        QFETCH(bool, network);
        QFETCH(int, protocol);
        QFETCH(QString, host);
        QFETCH(int, port);
        const std::optional<NetworkPort> parsed = networkPortFor(name.toStdString());
        QCOMPARE(parsed.has_value(), network);
        if (!network) return;
        QCOMPARE(int(parsed->protocol), protocol);
        QCOMPARE(int(parsed->port), port);
        if (port != 0) QCOMPARE(QString::fromStdString(parsed->host), host);
    }

    void networkOpenFailuresSayWhy_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("result");
        QTest::addRow("malformed name") << "malformed" << int(SerialEngine::kOpenBadAddress);
        QTest::addRow("host not found") << "unknown host" << int(SerialEngine::kOpenHostNotFound);
        QTest::addRow("refused") << "nobody listens" << int(ECONNREFUSED);
        QTest::addRow("timed out") << "queue full" << int(ETIMEDOUT);
        QTest::addRow("server refuses COM-PORT-OPTION")
            << "refuses" << int(SerialEngine::kOpenComPortRefused);
        QTest::addRow("no telnet server") << "silent" << int(SerialEngine::kOpenNoAnswer);
        QTest::addRow("server hangs up") << "hangs up" << int(ECONNRESET);
    }
    void networkOpenFailuresSayWhy() {
        QFETCH(QString, server);
        QFETCH(int, result);
        Listener listener(1);
        std::optional<FakeComPortServer> fake;
        std::string name = "rfc2217://127.0.0.1:" + std::to_string(listener.port());
        if (server == "malformed") name = "rfc2217://127.0.0.1";
        // A label longer than names may have fails in the resolver itself, so no query leaves
        // the machine.
        if (server == "unknown host") name = "rfc2217://" + std::string(64, 'a') + ".invalid:7401";
        if (server == "nobody listens") name = "tcp://127.0.0.1:" + std::to_string(freeLocalPort());
        if (server == "queue full") listener.fill();
        if (server == "refuses" || server == "hangs up") {
            fake.emplace(server == "refuses" ? FakeComPortServer::Kind::Refuses
                                             : FakeComPortServer::Kind::HangsUp);
            name = fake->portName();
        }
        int waits = 0;
        std::unique_ptr<SerialEngine> engine;
        engine = makeLinuxSerialEngine([&] {
            ++waits;
            // Whatever the program does meanwhile, it cannot start a second open.
            QCOMPARE(engine->reopenCommPort(), int16_t(EALREADY));
        });
        QCOMPARE(engine->OpenCommPort(name), int16_t(result));
        // A connection that takes seconds leaves the caller's thread free all along.
        if (server == "queue full") QVERIFY2(waits > 100, qPrintable(QString::number(waits)));
        expectNothingFrom(*engine);
        QVERIFY(!engine->portLost());
    }

    void misbehavingServersNeverHoldTheCaller_data() {
        QTest::addColumn<Bytes>("script");
        QTest::addColumn<bool>("reads");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<int>("result");
        QTest::addColumn<Bytes>("data");
        QTest::addColumn<uint>("lamps");
        QTest::addColumn<bool>("ignoredSome");
        const Bytes ab = bytesOf("ab"), cd = bytesOf("cd");
        Bytes flood;
        for (int i = 0; i < 16 * 1024 * 1024 / 3; ++i)
            flood.insert(flood.end(), {kIac, kDo, 99});
        const Bytes unterminated = joined({{kIac, kSb, 44, 7}, Bytes(100'000, 'x')});
        const Bytes loud = randomBytes(65536, 29);
        QTest::addRow("negotiation flood never read")
            << joined({kAgrees, ab, flood}) << false << false << -1 << ab << 0u << false;
        QTest::addRow("unterminated subnegotiation")
            << joined({kAgrees, ab, unterminated}) << true << true << -1 << ab << 0u << false;
        QTest::addRow("1 MiB subnegotiation")
            << joined({kAgrees, ab, subnegotiation(44, Bytes(1 << 20, 0x50)), cd}) << true << true
            << -1 << bytesOf("abcd") << 0u << true;
        QTest::addRow("16 KiB + 2 subnegotiation")
            << joined({kAgrees, ab, subnegotiation(44, Bytes(16386, 0xff)), cd}) << true << true
            << -1 << bytesOf("abcd") << 0u << true;
        QTest::addRow("COMPRESS2 unasked") << joined({kAgrees, ab, subnegotiation(86, {}), cd})
                                           << true << true << -1 << bytesOf("abcd") << 0u << true;
        QTest::addRow("COMPRESS2 refused")
            << joined({{kIac, kWill, 86}, kAgrees, ab, subnegotiation(86, {}), cd}) << true << true
            << -1 << bytesOf("abcd") << 0u << true;
        QTest::addRow("64 KiB then close")
            << joined({kAgrees, escaped(loud)}) << false << true << -1 << loud << 0u << false;
        QTest::addRow("malformed notices")
            << joined({kAgrees, subnegotiation(44, {107, 0x30}), subnegotiation(44, {107}),
                       subnegotiation(44, {107, 0x50, 0x50}),
                       subnegotiation(44, {107, 0x50, 0x50, 0x50}),
                       subnegotiation(44, {107, 0x50, 0x50, 0x50, 0x50, 0x50}),
                       subnegotiation(44, {106, 1, 2}), ab})
            << true << false << -1 << ab << 0x30u << true;
        QTest::addRow("notice before agreement")
            << joined({subnegotiation(44, {107, 0xf0}), kAgrees, ab}) << true << false << -1 << ab
            << 0u << true;
        QTest::addRow("immediate DONT")
            << Bytes{kIac, kDont, 44} << true << false << int(SerialEngine::kOpenComPortRefused)
            << Bytes{} << 0u << false;
        QTest::addRow("immediate WONT")
            << Bytes{kIac, kWont, 44} << true << false << int(SerialEngine::kOpenComPortRefused)
            << Bytes{} << 0u << false;
    }
    void misbehavingServersNeverHoldTheCaller() {
        QFETCH(Bytes, script);
        QFETCH(bool, reads);
        QFETCH(bool, closes);
        QFETCH(int, result);
        QFETCH(Bytes, data);
        QFETCH(uint, lamps);
        QFETCH(bool, ignoredSome);
        ScriptedServer server(script,
                              reads ? ScriptedServer::Reads::Yes : ScriptedServer::Reads::No,
                              closes ? ScriptedServer::Then::Closes : ScriptedServer::Then::Stays);
        using Clock = std::chrono::steady_clock;
        Clock::duration longest{};
        auto last = Clock::now();
        // The caller's thread is held no longer than its longest stretch without a turn.
        const auto turn = [&] {
            const auto now = Clock::now();
            longest = std::max(longest, now - last);
            last = now;
        };
        auto engine = makeLinuxSerialEngine(turn);
        const auto timed = [&](auto call) {
            last = Clock::now();
            call();
            turn();
        };
        int16_t opened = 0;
        const auto started = Clock::now();
        timed([&] {
            opened = engine->OpenCommPort("rfc2217://127.0.0.1:" + std::to_string(server.port()));
        });
        QCOMPARE(int(opened), result);
        QVERIFY(Clock::now() - started < 1s);
        Bytes delivered;
        while (opened == -1 && !engine->portLost() && Clock::now() - started < 10s) {
            timed([&] { engine->SetLineSt(int16_t(0x8002)); });
            timed([&] { engine->SetCommPortParam("9600,0,8,0,0"); });
            timed([&] {
                int32_t count = 0, scratch = 0, aux = 0;
                int16_t logSt = 0;
                engine->RcvDataFirst(count, scratch, 0, logSt, aux);
                delivered.resize(delivered.size() + size_t(count));
                engine->RcvDataAll(delivered.data() + delivered.size() - size_t(count), count);
            });
            // A server that stays waits to be read until nothing has come for a while.
            if (!closes && script.size() < 1024 && delivered == data) break;
            std::this_thread::sleep_for(1ms);
        }
        QCOMPARE(delivered, data);
        // Only a server that closed, or flooded answers it never read, loses the port.
        QCOMPARE(engine->portLost(), opened == -1 && (closes || !reads));
        uint8_t status = 0xff;
        timed([&] { engine->ReadModemStatus(status); });
        QCOMPARE(uint(status), lamps);
        QCOMPARE(engine->ignoredMessages() > 0, ignoredSome);
        timed([&] { engine->CloseCommPort(); });
        QVERIFY2(longest < 100ms, qPrintable(QString::number(
                                      std::chrono::duration<double, std::milli>(longest).count())));
    }

    void randomServersDeliverExactlyTheirData() {
        std::mt19937 generator(2026);
        const auto below = [&](unsigned n) { return unsigned(generator() % n); };
        for (int serverNumber = 0; serverNumber < 200; ++serverNumber) {
            Bytes script = joined({{kIac, kWill, 0}, {kIac, kDo, 3}, kAgrees});
            Bytes meant;
            for (unsigned piece = 0, pieces = 1 + below(40); piece < pieces; ++piece) {
                switch (below(5)) {
                case 0: { // data with many 0xFF
                    Bytes data = randomBytes(below(3000), generator());
                    for (uint8_t& byte : data)
                        if (below(8) == 0) byte = kIac;
                    meant.insert(meant.end(), data.begin(), data.end());
                    script = joined({script, escaped(data)});
                    break;
                }
                case 1: // any negotiation of any option
                    script =
                        joined({script, {kIac, uint8_t(kWill + below(4)), uint8_t(below(256))}});
                    break;
                case 2: // a subnegotiation of any option, some too long to keep
                    script = joined(
                        {script,
                         subnegotiation(uint8_t(below(256)),
                                        randomBytes(below(4) == 0 ? 4000 + below(2000) : below(20),
                                                    generator()))});
                    break;
                case 3: // commands without an argument: NOP, data mark, break, GA
                    script = joined({script, {kIac, uint8_t(241 + below(9))}});
                    break;
                default: // a notice
                    script = joined({script, subnegotiation(44, {107, uint8_t(below(256))})});
                    break;
                }
            }
            ScriptedServer server(script, ScriptedServer::Reads::Yes, ScriptedServer::Then::Closes);
            auto engine = makeLinuxSerialEngine();
            QCOMPARE(engine->OpenCommPort("rfc2217://127.0.0.1:" + std::to_string(server.port())),
                     -1);
            QCOMPARE(receive(*engine, meant.size()).bytes, meant);
            QTRY_VERIFY(engine->portLost());
        }
    }

    void sentBytesArriveExactly_data() {
        QTest::addColumn<int>("way"); // 0 the device itself, 1 ser2net RFC 2217, 2 ser2net TCP
        QTest::addRow("pty") << 0;
        QTest::addRow("RFC 2217") << 1;
        QTest::addRow("raw TCP") << 2;
    }
    void sentBytesArriveExactly() {
        QFETCH(int, way);
        Pty pty;
        std::optional<Ser2net> server;
        std::string name = pty.path();
        if (way > 0) {
            server.emplace(QString::fromStdString(pty.path()),
                           way == 1 ? Ser2net::Mode::Rfc2217 : Ser2net::Mode::Raw);
            name = server->portName().toStdString();
        }
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(name), -1);
        // Every value and runs of 0xFF, and more than the queue holds at once.
        const Bytes sent =
            joined({everyByteOrder(), randomBytes(200'000, 31), Bytes(70'000, 0xff)});
        std::jthread sender([&] { sendAll(*engine, sent); });
        QCOMPARE(readFarEnd(pty.master(), sent.size()), sent);
        sender.join();
        QTRY_COMPARE(engine->sendQueued(), size_t(0));
        QCOMPARE(engine->sentBytes(), uint64_t(sent.size()));
    }

    void aFarEndThatStopsReadingFillsTheQueue_data() {
        QTest::addColumn<bool>("network");
        QTest::addColumn<bool>("xoff"); // the far end holds the line by flow control
        QTest::addRow("pty") << false << false;
        QTest::addRow("pty held by XOFF") << false << true;
        QTest::addRow("tcp") << true << false;
    }
    void aFarEndThatStopsReadingFillsTheQueue() {
        QFETCH(bool, network);
        QFETCH(bool, xoff);
        Pty pty;
        ScriptedServer server({}, ScriptedServer::Reads::No, ScriptedServer::Then::Stays);
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(network ? "tcp://127.0.0.1:" + std::to_string(server.port())
                                              : pty.path()),
                 -1);
        if (xoff) {
            engine->SetCommPortParam("9600,0,8,0,2");
            // The line discipline takes the XOFF in its own time; a byte behind it that has
            // reached the engine says it has been taken.
            QVERIFY(pty.send({0x13, 'A'}));
            QCOMPARE(receive(*engine, 1).bytes, Bytes{'A'});
        }
        using Clock = std::chrono::steady_clock;
        const Bytes block = randomBytes(4096, 37);
        Bytes taken;
        Clock::duration longest{};
        const auto started = Clock::now();
        // The line's own buffers fill first (megabytes on the loopback), then the queue.
        while (Clock::now() - started < 20s) {
            const auto before = Clock::now();
            const size_t took = engine->SendData(block.data(), block.size());
            longest = std::max(longest, Clock::now() - before);
            taken.insert(taken.end(), block.begin(), block.begin() + took);
            if (took < block.size() && engine->sendQueued() == SerialEngine::kSendQueueBytes) break;
            if (took < block.size()) std::this_thread::sleep_for(1ms);
            // Held by XOFF, the far end reads all along and gets nothing.
            if (xoff) QCOMPARE(readFarEnd(pty.master(), 0), Bytes{});
        }
        QCOMPARE(engine->sendQueued(), SerialEngine::kSendQueueBytes);
        QCOMPARE(engine->SendData(block.data(), block.size()), size_t(0));
        QVERIFY(longest < 10ms);
        QVERIFY(!engine->portLost());
        if (!network) {
            // Nothing queued is lost once the far end reads again.
            if (xoff) QVERIFY(pty.send({0x11}));
            QCOMPARE(readFarEnd(pty.master(), taken.size()), taken);
            QTRY_COMPARE(engine->sendQueued(), size_t(0));
            // A device that goes away with bytes queued: the port is lost, nothing is kept to
            // be sent again after a reconnect.
            QCOMPARE(engine->SendData(block.data(), block.size()), block.size());
            pty.closeMaster();
            QTRY_VERIFY(engine->portLost());
            QCOMPARE(engine->sendQueued(), size_t(0));
            QCOMPARE(engine->SendData(block.data(), block.size()), size_t(0));
        }
        const auto closing = Clock::now();
        engine->CloseCommPort();
        QVERIFY(Clock::now() - closing < 100ms);
    }

    void lineSettingsReachTheDeviceBehindSer2net_data() {
        QTest::addColumn<QString>("params");
        QTest::addColumn<uint>("rate");
        QTest::addColumn<uint>("framing"); // as a pty keeps it: no data size, no parity enable
        QTest::addColumn<bool>("xonXoff");
        QTest::addRow("19200 8N1") << "19200,0,8,0,0" << 19200u << 0u << false;
        QTest::addRow("rate with a 0xFF byte") << "511,0,8,0,0" << 511u << 0u << false;
        QTest::addRow("3000000 8O2")
            << "3000000,2,8,1,0" << 3000000u << uint(PARODD | CSTOPB) << false;
        QTest::addRow("7M1") << "9600,3,7,0,0" << 9600u << uint(PARODD | CMSPAR) << false;
        QTest::addRow("8S1 RTS/CTS") << "9600,4,8,0,1" << 9600u << uint(CMSPAR | CRTSCTS) << false;
        QTest::addRow("7E1 XON/XOFF") << "1200,1,7,0,2" << 1200u << 0u << true;
    }
    void lineSettingsReachTheDeviceBehindSer2net() {
        QFETCH(QString, params);
        QFETCH(uint, rate);
        QFETCH(uint, framing);
        QFETCH(bool, xonXoff);
        Pty pty;
        Ser2net server(QString::fromStdString(pty.path()), Ser2net::Mode::Rfc2217);
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(server.portName().toStdString()), -1);
        engine->SetCommPortParam(params.toStdString());
        const uint kept = PARODD | CMSPAR | CSTOPB | CRTSCTS;
        const uint flow = xonXoff ? uint(IXON | IXOFF) : 0u;
        DeviceTermios device;
        // ser2net applies the flow control after the rate and the framing: wait for all three.
        QTRY_VERIFY(readDeviceTermios(pty.slave(), device) && device.outputRate == rate &&
                    (device.cflag & kept) == framing &&
                    (device.iflag & uint(IXON | IXOFF)) == flow);
        QCOMPARE(device.inputRate, rate);
        QCOMPARE(device.iflag & uint(IXON | IXOFF), flow);
    }

    void rfc2217ThroughSer2net() {
        Pty pty;
        Ser2net server(QString::fromStdString(pty.path()), Ser2net::Mode::Rfc2217);
        QTemporaryDir dir;
        const QString logPath = dir.filePath("log.bin");
        auto engine = makeLinuxSerialEngine();
        engine->SetCommPortParam("57600,0,8,1,0");
        QCOMPARE(engine->OpenCommPort(server.portName().toStdString()), -1);
        QCOMPARE(engine->LogStart(logPath.toStdString(), 0, 0), -1);
        DeviceTermios device;
        QVERIFY(readDeviceTermios(pty.slave(), device));
        QCOMPARE(device.outputRate, 57600u);

        // Every byte arrives as it was sent, 0xFF included, however the stream is cut.
        const Bytes ordered = everyByteOrder();
        QVERIFY(pty.send(ordered));
        QCOMPARE(receive(*engine, ordered.size(), 1).bytes, ordered);
        const Bytes bulk = randomBytes(2'000'000, 12);
        std::jthread writer([&] { pty.send(bulk); });
        QCOMPARE(receive(*engine, bulk.size(), 1).bytes, bulk);
        writer.join();

        // A pty has no modem lines: ser2net cannot switch them and reports none, so the lamps
        // stay dark, and the line goes on.
        engine->SetLineSt(int16_t(0x8002));
        engine->SetLineSt(int16_t(0x8001));
        uint8_t status = 0xff;
        engine->ReadModemStatus(status);
        QCOMPARE(status, uint8_t(0));

        // The server goes away: the port is lost once its last bytes are fetched, stays closed
        // while nothing listens, and comes back with its settings; the log goes on.
        QVERIFY(pty.send(bytesOf("last words")));
        QCOMPARE(receive(*engine, 10, 1).bytes, bytesOf("last words"));
        server.stop();
        QTRY_VERIFY(engine->portLost());
        engine->CloseCommPort();
        QCOMPARE(engine->reopenCommPort(), int16_t(ECONNREFUSED));
        QVERIFY(server.start());
        QCOMPARE(engine->reopenCommPort(), -1);
        QVERIFY(!engine->portLost());
        QTRY_VERIFY(readDeviceTermios(pty.slave(), device) && device.outputRate == 57600u);
        QVERIFY(device.cflag & CSTOPB);
        QVERIFY(pty.send(bytesOf("back again")));
        QCOMPARE(receive(*engine, 10, 1).bytes, bytesOf("back again"));
        engine->LogStop();
        Bytes logged = ordered;
        for (const Bytes& part : {bulk, bytesOf("last words"), bytesOf("back again")})
            logged.insert(logged.end(), part.begin(), part.end());
        QVERIFY(readFile(logPath) == logged);
        QCOMPARE(engine->droppedBytes(), uint64_t(0));
    }

    void rawTcpThroughSer2net() {
        Pty pty;
        Ser2net server(QString::fromStdString(pty.path()), Ser2net::Mode::Raw);
        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(server.portName().toStdString()), -1);
        DeviceTermios before, after;
        QTRY_VERIFY(readDeviceTermios(pty.slave(), before) && before.outputRate == 115200u);

        const Bytes ordered = everyByteOrder();
        QVERIFY(pty.send(ordered));
        QCOMPARE(receive(*engine, ordered.size()).bytes, ordered);

        // Bytes only: the line's settings and modem lines are out of reach.
        engine->SetCommPortParam("9600,2,7,1,1");
        engine->SetLineSt(int16_t(0x8002));
        uint8_t status = 0xff;
        engine->ReadModemStatus(status);
        QCOMPARE(status, uint8_t(0));
        QVERIFY(pty.send(bytesOf("still bytes")));
        QCOMPARE(receive(*engine, 11).bytes, bytesOf("still bytes"));
        QVERIFY(readDeviceTermios(pty.slave(), after));
        QCOMPARE(after, before);

        server.stop();
        QTRY_VERIFY(engine->portLost());
        QVERIFY(server.start());
        QCOMPARE(engine->reopenCommPort(), -1);
        QVERIFY(pty.send(bytesOf("back")));
        QCOMPARE(receive(*engine, 4).bytes, bytesOf("back"));
    }

    void comPortCommandsAndModemLines() {
        FakeComPortServer server(FakeComPortServer::Kind::Agrees);
        auto engine = makeLinuxSerialEngine();
        engine->SetCommPortParam("511,2,7,1,1");
        QCOMPARE(engine->OpenCommPort(server.portName()), -1);
        // The settings, the masks, the questions for DTR and RTS, and the purge, in that order;
        // 0xFF in a value went over escaped and came back whole.
        const std::vector<Bytes> opening = {{1, 0, 0, 1, 0xff}, {2, 7},  {3, 2}, {4, 2},  {5, 3},
                                            {11, 0xff},         {10, 0}, {5, 7}, {5, 10}, {12, 3}};
        QCOMPARE(server.commands(), opening);

        // What the server sent before it had purged is gone; what it sends after arrives.
        server.send({0xff, 0x00, 0xff, 0xff});
        QCOMPARE(receive(*engine, 4).bytes, (Bytes{0xff, 0x00, 0xff, 0xff}));

        // DTR and RTS show as the server reports them; the other lamps as it notifies them.
        const auto status = [&] {
            uint8_t bits = 0;
            engine->ReadModemStatus(bits);
            return bits;
        };
        engine->SetLineSt(int16_t(0x8002));
        QTRY_COMPARE(status(), uint8_t(0x02));
        engine->SetLineSt(int16_t(0x8001));
        QTRY_COMPARE(status(), uint8_t(0x03));
        engine->SetLineSt(int16_t(0x0002));
        QTRY_COMPARE(status(), uint8_t(0x01));
        server.notifyModemState(0xb0 | 0x0f); // DCD, DSR, CTS, and every delta bit
        QTRY_COMPARE(status(), uint8_t(0xb1));
        server.notifyModemState(0x40 | 0x04); // RI alone
        QTRY_COMPARE(status(), uint8_t(0x41));
        engine->SetLineSt(int16_t(0x0001));
        QTRY_COMPARE(status(), uint8_t(0x40));
        const std::vector<Bytes> sent = server.commands();
        QCOMPARE(std::vector<Bytes>(sent.begin() + opening.size(), sent.end()),
                 (std::vector<Bytes>{{5, 8}, {5, 11}, {5, 9}, {5, 12}}));

        engine->SetCommPortParam("9600,0,8,0,0");
        QTRY_COMPARE(server.commands().size(), sent.size() + 5);
        QCOMPARE(server.commands().back(), (Bytes{5, 1}));
    }

    void virtualDeviceStreamsItsWave_data() {
        QTest::addColumn<QByteArray>("fileContent"); // empty: the sawtooth
        QTest::addRow("sawtooth") << QByteArray();
        QTest::addRow("file") << QByteArray("0123456789abcdef");
    }
    void virtualDeviceStreamsItsWave() {
        QFETCH(QByteArray, fileContent);
        QTemporaryDir dir;
        const QString link = dir.filePath("ttyVirtual");
        QStringList arguments = {"--link", link, "--baud", "115200", "--wave", "saw"};
        QByteArray period = fileContent;
        if (fileContent.isEmpty()) {
            for (int i = 0; i < 256; ++i)
                period.append(char(i));
        } else {
            const QString file = dir.filePath("wave.bin");
            std::ofstream(file.toStdString()) << fileContent.toStdString();
            arguments.replace(5, "file");
            arguments << "--file" << file;
        }
        QProcess vdev;
        vdev.start(TESSAVUE_BUILD_DIR "/tools/tessavue-vdev", arguments);
        QVERIFY(vdev.waitForReadyRead(10000));
        QCOMPARE(vdev.readLine().trimmed(), link.toUtf8());

        auto engine = makeLinuxSerialEngine();
        QCOMPARE(engine->OpenCommPort(link.toStdString()), -1);
        const Bytes received = receive(*engine, 3000).bytes;
        QVERIFY(received.size() >= 3000);
        // Every byte of a period is distinct, so the first byte tells where in it the stream is.
        const qsizetype start = period.indexOf(char(received[0]));
        QVERIFY(start >= 0);
        for (size_t i = 0; i < received.size(); ++i)
            QCOMPARE(received[i], uint8_t(period[(start + i) % period.size()]));

        vdev.terminate();
        QVERIFY(vdev.waitForFinished(10000));
        QCOMPARE(vdev.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vdev.exitCode(), 0);
        QVERIFY(!std::filesystem::is_symlink(link.toStdString()));
    }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "test_engine.moc"
