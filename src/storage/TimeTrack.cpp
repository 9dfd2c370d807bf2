#include "TimeTrack.h"

#include <QFile>
#include <QSaveFile>
#include <cstring>

#include "storage/FileErrors.h"

TimeTrackRead xfunReadTimeTrack(const QString& path) {
    QFile side(path + QStringLiteral(".time"));
    QFile data(path);
    if (!side.open(QIODevice::ReadOnly) || !data.open(QIODevice::ReadOnly))
        return {std::nullopt, TimeTrackFault::Missing};
    const qint64 dataSize = data.size();
    // A file of times a read at the least: larger than the bytes it times cannot be one of theirs.
    if (side.size() > qint64(tessavue::kTimeFileHeaderBytes) + 20 * std::max<qint64>(dataSize, 1))
        return {std::nullopt, TimeTrackFault::OtherFile};
    const QByteArray bytes = side.readAll();
    const auto* begin = reinterpret_cast<const uint8_t*>(bytes.constData());
    const auto* end = begin + bytes.size();
    const std::optional<tessavue::TimeFileHeader> header =
        tessavue::parseTimeFileHeader(begin, size_t(bytes.size()));
    if (!header) {
        const size_t shown = std::min<size_t>(size_t(bytes.size()), 8);
        const bool cut = size_t(bytes.size()) < tessavue::kTimeFileHeaderBytes &&
                         std::memcmp(begin, tessavue::kTimeFileMagic, shown) == 0;
        return {std::nullopt, cut ? TimeTrackFault::Truncated : TimeTrackFault::NotATimeFile};
    }
    if (!data.seek(qint64(header->base))) return {std::nullopt, TimeTrackFault::OtherFile};
    const QByteArray checked = data.read(header->checkLength);
    if (header->base > uint64_t(dataSize) || checked.size() != qint64(header->checkLength) ||
        tessavue::timeCheckHash(reinterpret_cast<const uint8_t*>(checked.constData()),
                                size_t(checked.size())) != header->checkHash)
        return {std::nullopt, TimeTrackFault::OtherFile};
    TimeTrack track{*header, {}};
    tessavue::ReadStamp last{header->base, header->anchor.steadyNs};
    for (const uint8_t* at = begin + tessavue::kTimeFileHeaderBytes; at != end;) {
        const tessavue::ReadStamp before = last;
        if (!tessavue::decodeTimeRecord(at, end, last))
            return {std::nullopt, at == end ? TimeTrackFault::Truncated : TimeTrackFault::Damaged};
        if (last.end <= before.end || last.ns < before.ns)
            return {std::nullopt, TimeTrackFault::Damaged};
        if (last.end > uint64_t(dataSize)) return {std::nullopt, TimeTrackFault::OtherFile};
        track.reads.push_back(last);
    }
    return {std::move(track), TimeTrackFault::None};
}

QString xfunTimeTrackFaultText(TimeTrackFault fault) {
    switch (fault) {
    case TimeTrackFault::None:
        return {};
    case TimeTrackFault::Missing:
        return QStringLiteral("時刻ファイルがありません｡");
    case TimeTrackFault::NotATimeFile:
        return QStringLiteral("時刻ファイルの形式ではありません｡");
    case TimeTrackFault::Truncated:
        return QStringLiteral("時刻ファイルが途中で切れています｡");
    case TimeTrackFault::Damaged:
        return QStringLiteral("時刻ファイルが壊れています｡");
    case TimeTrackFault::OtherFile:
        return QStringLiteral("時刻ファイルが別のファイルのものです｡");
    }
    return {};
}

int xfunWriteTimeTrack(const QString& path, const TimedBytes& times, const uint8_t* data,
                       size_t n) {
    const QString sidePath = path + QStringLiteral(".time");
    if (!times.known() || n == 0) {
        QFile::remove(sidePath); // one left from a file saved here before
        return 0;
    }
    const uint32_t checked = uint32_t(std::min<size_t>(n, tessavue::kTimeFileCheckBytes));
    std::vector<uint8_t> out;
    tessavue::appendTimeFileHeader(
        out, {*times.anchor, times.charNs, 0, checked, tessavue::timeCheckHash(data, checked)});
    tessavue::TimeRecordEncoder encoder(0, times.anchor->steadyNs);
    for (const tessavue::ReadStamp& read : times.reads)
        encoder.add(read, out);
    encoder.flush(out);
    QSaveFile side(sidePath);
    if (!side.open(QIODevice::WriteOnly) ||
        side.write(reinterpret_cast<const char*>(out.data()), qint64(out.size())) !=
            qint64(out.size()) ||
        !side.commit())
        return appSub::fileErrCodeFromErrno(errno, sidePath);
    return 0;
}
