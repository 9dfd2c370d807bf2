#pragma once

// Servers on the loopback interface for the tests of network ports.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

// ser2net exporting a device on a free local port, as a lab's server exports its serial lines.
class Ser2net {
public:
    enum class Mode { Rfc2217, Raw };
    Ser2net(const QString& devicePath, Mode mode);
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;
    ~Ser2net() { stop(); }

    // True once it listens (again, after stop()).
    bool start();
    void stop();
    // The program's name for the exported port: rfc2217://127.0.0.1:N or tcp://127.0.0.1:N.
    QString portName() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    uint16_t m_port = 0;
    Mode m_mode;
};

// A local listening socket: a server that never accepts. The kernel still completes connections
// until its queue is full; fill() fills it, so that further connections time out.
class Listener {
public:
    explicit Listener(int backlog);
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    ~Listener();
    uint16_t port() const { return m_port; }
    int fd() const { return m_fd; }
    void fill();

private:
    int m_fd = -1;
    uint16_t m_port = 0;
    std::vector<int> m_queued;
};

// A local TCP port nothing listens on (at the moment of asking).
uint16_t freeLocalPort();

// A server on the loopback for one client that sends exactly the bytes of its script, at once,
// whatever the client says: for the tests of a network port against servers that misbehave.
// It reads (and forgets) what the client sends only when told to, and after the script either
// closes the connection or keeps it open until it is destroyed.
class ScriptedServer {
public:
    enum class Reads { Yes, No };
    enum class Then { Closes, Stays };
    ScriptedServer(std::vector<uint8_t> script, Reads reads, Then then);
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;
    ~ScriptedServer();
    uint16_t port() const { return m_listener.port(); }

private:
    void serve();

    Listener m_listener{1};
    const std::vector<uint8_t> m_script;
    const Reads m_reads;
    const Then m_then;
    std::atomic<bool> m_stop = false;
    std::thread m_thread; // last: it starts running in the constructor
};
