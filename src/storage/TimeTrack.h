#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "TimeFile.h"
#include "app/state/ReceivedTimes.h"

// The times of a recorded file, read from its side file "<file>.time": when each read ended, in
// the file's own offsets.
struct TimeTrack {
    tessavue::TimeFileHeader header;
    std::vector<tessavue::ReadStamp> reads; // ends ascending, times never falling
};

enum class TimeTrackFault { None, Missing, NotATimeFile, Truncated, Damaged, OtherFile };

struct TimeTrackRead {
    std::optional<TimeTrack> track;
    TimeTrackFault fault = TimeTrackFault::None;
};

// Reads the side file of the file at path and checks it against that file.
TimeTrackRead xfunReadTimeTrack(const QString& path);
// Why a side file gave no times, for the user; empty for None.
QString xfunTimeTrackFaultText(TimeTrackFault fault);

// Writes the side file of the n bytes at data just saved to path (removes an old one when no
// times are known); 0 or the file error code.
int xfunWriteTimeTrack(const QString& path, const TimedBytes& times, const uint8_t* data, size_t n);
