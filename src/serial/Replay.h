#pragma once

#include <QFile>
#include <QString>
#include <memory>

#include "app/state/ReceivedTimes.h"
#include "storage/ReplayPace.h"

// A recorded file played back as if it were arriving: its bytes become due at the pace of its
// time side file, or at the line's character rate when it has no sound one (note() says why).
class Replay {
public:
    // nullptr, with the file error code in error, when the file cannot be read.
    static std::unique_ptr<Replay> open(const QString& path, int64_t lineCharNs, int& error);

    const QString& path() const { return m_path; }
    // Empty when played at the recorded pace; else why not.
    const QString& note() const { return m_note; }
    ReplayPace& pace() { return m_pace; }
    const ReplayPace& pace() const { return m_pace; }
    // What has been handed on.
    uint64_t given() const { return m_given; }
    // Moves play to offset: what follows is handed on from there.
    void seek(uint64_t offset, int64_t nowNs);

    // Hands on up to max of the bytes due by nowNs into out and their times (when the file has
    // them); returns how many, 0 on a read error (error gets its code).
    size_t take(uint8_t* out, size_t max, TimedBytes& times, int64_t nowNs, int& error);

private:
    Replay(const QString& path, ReplayPace pace, std::optional<TimedBytes> times, QString note);

    QString m_path;
    QFile m_file;
    ReplayPace m_pace;
    std::optional<TimedBytes> m_times; // the whole file's
    QString m_note;
    uint64_t m_given = 0;
};
