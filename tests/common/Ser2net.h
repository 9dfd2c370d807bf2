#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>

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

// A local TCP port nothing listens on (at the moment of asking).
uint16_t freeLocalPort();
