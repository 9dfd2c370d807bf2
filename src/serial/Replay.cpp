#include "serial/Replay.h"

#include <cerrno>

#include "storage/FileErrors.h"
#include "storage/TimeTrack.h"

std::unique_ptr<Replay> Replay::open(const QString& path, int64_t lineCharNs, int& error) {
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        error = appSub::fileErrCodeFromErrno(errno, path, true);
        return nullptr;
    }
    const uint64_t length = uint64_t(probe.size());
    const TimeTrackRead read = xfunReadTimeTrack(path);
    if (read.track) {
        TimedBytes times{read.track->header.anchor, read.track->header.charNs, read.track->reads};
        ReplayPace pace(read.track->reads, length, read.track->header.charNs);
        return std::unique_ptr<Replay>(new Replay(path, std::move(pace), std::move(times), {}));
    }
    return std::unique_ptr<Replay>(new Replay(
        path, ReplayPace({}, length, lineCharNs), std::nullopt,
        xfunTimeTrackFaultText(read.fault) + QStringLiteral("設定の通信速度で再生します｡")));
}

Replay::Replay(const QString& path, ReplayPace pace, std::optional<TimedBytes> times, QString note)
    : m_path(path), m_file(path), m_pace(std::move(pace)), m_times(std::move(times)),
      m_note(std::move(note)) {
    m_file.open(QIODevice::ReadOnly);
}

void Replay::seek(uint64_t offset, int64_t nowNs) {
    m_pace.seek(offset, nowNs);
    m_given = std::min(offset, m_pace.length());
}

size_t Replay::take(uint8_t* out, size_t max, TimedBytes& times, int64_t nowNs, int& error) {
    const uint64_t due = m_pace.position(nowNs);
    if (due <= m_given) return 0;
    const size_t n = size_t(std::min<uint64_t>(due - m_given, max));
    if (!m_file.seek(qint64(m_given)) ||
        m_file.read(reinterpret_cast<char*>(out), qint64(n)) != qint64(n)) {
        error = appSub::fileErrCodeFromErrno(errno, m_path, true);
        return 0;
    }
    times = m_times ? m_times->slice(m_given, n) : TimedBytes{};
    m_given += n;
    return n;
}
