#include "NetworkServers.h"

#include <QFile>
#include <QThread>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

// Whether something listens on the local TCP port, read from the kernel's table so that asking
// does not open a connection (ser2net would open its device for it).
bool listening(uint16_t port) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly)) return false;
    const QByteArray local =
        QByteArray(":") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1].endsWith(local) && fields[3] == "0A") return true;
    }
    return false;
}

sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A socket bound to a free loopback port, and the port.
int boundSocket(uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    return fd;
}

} // namespace

uint16_t freeLocalPort() {
    uint16_t port = 0;
    ::close(boundSocket(port));
    return port;
}

Listener::Listener(int backlog) {
    m_fd = boundSocket(m_port);
    listen(m_fd, backlog);
}

Listener::~Listener() {
    for (int fd : m_queued)
        ::close(fd);
    ::close(m_fd);
}

void Listener::fill() {
    const sockaddr_in address = loopback(m_port);
    for (int i = 0; i < 4; ++i) {
        m_queued.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        connect(m_queued.back(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

Ser2net::Ser2net(const QString& devicePath, Mode mode) : m_port(freeLocalPort()), m_mode(mode) {
    QFile config(m_dir.filePath(QStringLiteral("ser2net.yaml")));
    if (!config.open(QIODevice::WriteOnly)) return;
    const char* accepter = mode == Mode::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp";
    config.write(QStringLiteral("connection: &line\n"
                                "  accepter: %1,127.0.0.1,%2\n"
                                "  connector: serialdev,%3,115200n81,local\n")
                     .arg(QLatin1String(accepter))
                     .arg(m_port)
                     .arg(devicePath)
                     .toUtf8());
    config.close();
    start();
}

bool Ser2net::start() {
    if (m_process.state() == QProcess::NotRunning) {
        // It says only that it cannot announce itself by mDNS.
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(QStringLiteral("ser2net"),
                        {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-c"),
                         m_dir.filePath(QStringLiteral("ser2net.yaml")), QStringLiteral("-P"),
                         m_dir.filePath(QStringLiteral("ser2net.pid"))});
        if (!m_process.waitForStarted(5000)) return false;
    }
    for (int i = 0; i < 500 && m_process.state() == QProcess::Running; ++i) {
        if (listening(m_port)) return true;
        QThread::msleep(10);
    }
    return false;
}

void Ser2net::stop() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) m_process.kill();
    m_process.waitForFinished(5000);
}

QString Ser2net::portName() const {
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_mode == Mode::Rfc2217 ? QLatin1String("rfc2217") : QLatin1String("tcp"))
        .arg(m_port);
}

ScriptedServer::ScriptedServer(std::vector<uint8_t> script, Reads reads, Then then)
    : m_script(std::move(script)), m_reads(reads), m_then(then), m_thread([this] { serve(); }) {}

ScriptedServer::~ScriptedServer() {
    m_stop = true;
    m_thread.join();
}

void ScriptedServer::serve() {
    pollfd waiting{m_listener.fd(), POLLIN, 0};
    while (!m_stop && poll(&waiting, 1, 20) == 0) {
    }
    if (m_stop) return;
    const int client = accept4(m_listener.fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    size_t sent = 0;
    char ignored[65536];
    pollfd watched{client, 0, 0};
    while (!m_stop) {
        watched.events = static_cast<short>((sent < m_script.size() ? POLLOUT : 0) |
                                            (m_reads == Reads::Yes ? POLLIN : 0));
        if (watched.events == 0 && m_then == Then::Closes) break;
        if (poll(&watched, 1, 20) <= 0) continue;
        if (watched.revents & (POLLERR | POLLHUP)) break;
        if (watched.revents & POLLIN && recv(client, ignored, sizeof ignored, 0) == 0) break;
        if (watched.revents & POLLOUT) {
            const ssize_t n =
                send(client, m_script.data() + sent, m_script.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN) break;
            if (n > 0) sent += static_cast<size_t>(n);
            // A server that reads, once it has said everything, says so and still listens.
            if (sent == m_script.size() && m_then == Then::Closes && m_reads == Reads::Yes)
                shutdown(client, SHUT_WR);
        }
    }
    ::close(client);
}
