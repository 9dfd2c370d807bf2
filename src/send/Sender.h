#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <functional>

#include "SerialEngine.h"
#include "send/SendLine.h"

class QTimer;

// Sending to the open port, apart from any window: a line now, a line again every N ms until
// stopped, or a file in paced pieces. Every byte goes to the engine's bounded queue, so nothing
// here waits for the line. A queue that the far end no longer empties ends a send (what was
// queued still goes out, and the text says how much that was); a port that goes away ends it
// too. Each end of a repeat or a file send is told once through message().
class Sender : public QObject {
    Q_OBJECT
public:
    // The port sends go to: its engine, or none with the reason for the user.
    struct Port {
        tessavue::SerialEngine* engine = nullptr;
        QString why;
    };
    enum class Activity { Idle, Repeating, SendingFile };
    enum class FileMode {
        Raw,  // the file's bytes as they are, a block at a time
        Lines // a line at a time, each ended as the line ending says
    };

    static constexpr int kRepeatMinMs = 10;
    static constexpr int kRepeatMaxMs = 60 * 60 * 1000;
    // A send that has found no room in the queue for this long, while the line took nothing,
    // has a far end that stopped reading.
    static constexpr int kStalledMs = 3000;

    explicit Sender(std::function<Port()> port, QObject* parent = nullptr);

    Activity activity() const { return m_activity; }
    Port port() const { return m_port(); }
    // How many times the repeat has sent its line since it started.
    int repeatCount() const { return m_repeats; }
    uint64_t sentBytes() const { return m_sentBytes; }

    // Each returns false (and says why through message()) when it sends nothing.
    bool sendNow(const QByteArray& bytes);
    bool startRepeat(const QByteArray& bytes, int intervalMs);
    bool startFile(const QString& path, FileMode mode, int blockBytes, int delayMs,
                   LineEnding ending);
    // Ends a repeat or a file send; what is already queued still goes out.
    void stop();

    // Looks at the port again (the receive cycle calls it after each tick): a port gone ends
    // a send, and the availability and the count of sent bytes are told when they change.
    void refresh();

    static QString sentText(uint64_t bytes); // "送信: N バイト"

signals:
    void activityChanged(Activity activity);
    void message(const QString& text);
    void progress(qint64 done, qint64 total);
    void portChanged(bool usable, const QString& why);
    void sentBytesChanged(uint64_t bytes);
    // Bytes the queue took, for a console that shows what was sent.
    void sent(const QByteArray& bytes);

private:
    // Queues all of bytes or, when the queue takes less, ends with the full-queue text.
    bool offer(tessavue::SerialEngine* engine, const QByteArray& bytes, const QString& what);
    void repeatStep();
    void fileStep();
    // Next piece of the file to send; empty at its end or on a fault (then message was sent).
    QByteArray nextFilePiece();
    void end(const QString& why);
    void setActivity(Activity a);

    std::function<Port()> m_port;
    QTimer* m_timer;
    Activity m_activity = Activity::Idle;
    bool m_usable = false;
    QString m_why;
    uint64_t m_sentBytes = 0;

    QByteArray m_repeatBytes;
    int m_repeats = 0;

    QFile m_file;
    FileMode m_fileMode = FileMode::Raw;
    int m_blockBytes = 0;
    int m_delayMs = 0;
    QByteArray m_ending;
    QByteArray m_piece; // read from the file, waiting for room in the queue
    qint64 m_fileDone = 0;
    qint64 m_fileLine = 0;
    QElapsedTimer m_waitingSince; // valid while a piece waits for room
    uint64_t m_waitingSent = 0;   // the line's count when the wait began
};
