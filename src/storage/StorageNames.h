#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

// File names and ranges of the capture files, apart from any widget.
namespace appSub {

// The proposal for a new file: prefix ("MEM", "LOG", "IMG", "CSV") + "yymmddhhnnss" +
// extension, directly in the folder `dir`.
QString xfunDefaultFileName(const QString& dir, const QString& prefix, const QDateTime& now,
                            const QString& extension = QStringLiteral(".log"));

// True when `path` names the file the log is being written to: the same text ignoring letter
// case, or the same file once links and relative parts are resolved.
bool xfunIsLogFile(const QString& path, const QString& logFile);

// The part of the memory copy that "To File" writes.
struct ByteRange {
    int32_t first = 0;
    int32_t count = 0;
};
// allData: indices 0..memCount-1; otherwise the screen from memTop, never past the copy's end.
ByteRange xfunMemSaveRange(bool allData, int32_t memCount, int32_t memTop, int32_t xDim);

} // namespace appSub
