#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <deque>

#include "app/state/RingView.h"

// How bytes read as text: control characters as their symbols (U+2400..), a line feed also
// ending the line, bytes that are no character of the code as \xNN. cp932 reads code page 932
// rather than UTF-8. A character cut off at the end of bytes is shown as its bytes.
QString xfunConsoleText(const QByteArray& bytes, bool cp932);

// A hex dump: 16 bytes a row, each row headed by the number of its first sample.
QString xfunConsoleHex(const QByteArray& bytes, int64_t firstSample);

// The newest part of what arrived (at most kKeepBytes, so it keeps up with any rate), taken
// from the sample ring after each receive tick, with the lines sent marked among it.
class ConsoleLog : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kKeepBytes = 32 * 1024;
    enum class View { Text, Hex };

    explicit ConsoleLog(QObject* parent = nullptr) : QObject(parent) {}

    // Takes what the ring gained since the last call; the first call starts at its newest.
    void feed(const RingView& ring);
    // Bytes sent now, shown among the received ones while echo is on.
    void markSent(const QByteArray& bytes);
    void setEcho(bool on) { m_echo = on; }
    bool echo() const { return m_echo; }
    void clear();

    // All that is kept, as the view shows it.
    QString render(View view, bool cp932) const;
    // Changes each time something is added, so a view redraws only when it must.
    uint64_t generation() const { return m_generation; }

signals:
    void changed();

private:
    struct Chunk {
        int64_t first = 0; // sample number of the first byte; for sent bytes, the next one
        QByteArray bytes;
        bool sent = false;
    };
    void trim();

    std::deque<Chunk> m_chunks;
    qsizetype m_kept = 0;
    int64_t m_next = -1; // the next sample to take; -1 before the first feed
    bool m_echo = true;
    uint64_t m_generation = 0;
};
