#pragma once

#include <QObject>
#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "SerialEngine.h"
#include "app/state/ReceivedTimes.h"

class QTimer;
class Replay;

// Reception apart from the window. One tick fetches what the engine received (or makes one
// test-pattern sample), stores it in the ring and counts it, ends a log the engine ended, and
// watches for a lost device and for bytes the engine dropped; a lost port is tried again every
// second until it is back. The window draws from what a tick reports; what the user must be
// told comes out of notice(), to be shown from the event loop, never inside the tick.
class ReceivePipeline : public QObject {
    Q_OBJECT
public:
    // What one tick did that the window shows.
    struct Tick {
        bool samplesAdded = false; // lRcvCount and the ring have grown
        bool logEnded = false;     // the engine ended the log: iLogOn 0, strLogFile ""
        bool portLost = false;     // the device went away: the port is closed, being retried
        std::optional<uint8_t> modemStatus; // read when the port is open
        // The bytes the tick added, valid until the next tick: what a lens decodes.
        const uint8_t* bytes = nullptr;
        int32_t byteCount = 0;
        // When they came, as long as the bytes are valid (nullptr: not known).
        const TimedBytes* times = nullptr;
    };

    // Asks the engine of the moment to tell when bytes are waiting (bytesWaiting()).
    explicit ReceivePipeline(QObject* parent = nullptr);
    ~ReceivePipeline() override;

    Tick tick();
    // While a replay is set, the ticks take its bytes as they fall due instead of the port's
    // (which wait in the engine); nullptr ends it.
    void setReplay(std::unique_ptr<Replay> replay);
    Replay* replay() const { return m_replay.get(); }
    // The last fetch took all a fetch can hold: more is waiting in the engine.
    bool fetchWasFull() const { return m_fetchWasFull; }
    // The engine tells of bytes through bytesWaiting(); without it only polling finds them.
    bool engineTells() const { return m_engineTells; }
    // Tries once to reopen the lost port, and stops retrying once it is open or no longer
    // wanted. True when the port is open again.
    bool reconnect();

    // Fires every second while a lost port is being retried (objectName "Timer_Reconnect").
    QTimer* const reconnectTimer;

signals:
    void notice(const QString& text);
    // The engine has received bytes (or lost the line) since the last fetch: a tick now finds
    // them. While a stream moves this comes at most once a frame: news within a frame of a fetch
    // that brought bytes is held back, as the picture could not show it sooner anyway, and what
    // it told of waits for the next news or the poll.
    void bytesWaiting();

private:
    void fetchFromPort(Tick& t);
    void fetchFromReplay(Tick& t);
    void dropsCheck();

    std::vector<uint8_t> m_fetched =
        std::vector<uint8_t>(tessavue::SerialEngine::kMaxBytesPerFetch);
    TimedBytes m_fetchedTimes;
    std::unique_ptr<Replay> m_replay;
    uint8_t m_testByte = 0;
    bool m_fetchWasFull = false;
    bool m_engineTells = false;
    // A bytesWaiting() is on its way through the event loop: the reader's next news joins it.
    std::atomic<bool> m_wakePosted = false;
    // When the last fetch that brought bytes was made, on the steady clock (nanoseconds); read by
    // the reader threads.
    std::atomic<int64_t> m_lastFetchNs = INT64_MIN / 2;
    uint64_t m_droppedSeen = 0;     // the engine's drop count at the previous tick
    uint64_t m_droppedReported = 0; // the part of it the user has been told of
};
