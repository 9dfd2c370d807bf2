#include "storage/StorageNames.h"

#include <algorithm>
#include <sys/stat.h>

#include "toolkit/FileNames.h"

namespace appSub {

QString xfunDefaultFileName(const QString& dir, const QString& prefix, const QDateTime& now,
                            const QString& extension) {
    const QString folder = dir.endsWith(u'/') ? dir : dir + u'/';
    return folder + prefix + now.toString(QStringLiteral("yyMMddHHmmss")) + extension;
}

bool xfunIsLogFile(const QString& path, const QString& logFile) {
    if (path.isEmpty() || logFile.isEmpty()) return false;
    if (path.compare(logFile, Qt::CaseInsensitive) == 0) return true;
    // The same file, whatever way each name takes to it.
    struct stat a {
    }, b{};
    return ::stat(xfunNameToBytes(path).constData(), &a) == 0 &&
           ::stat(xfunNameToBytes(logFile).constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

ByteRange xfunMemSaveRange(bool allData, int32_t memCount, int32_t memTop, int32_t xDim) {
    if (allData) return {0, std::max(memCount, 0)};
    const int32_t first = std::clamp(memTop, 0, std::max(memCount, 0));
    const int32_t last = std::min(first + xDim, memCount); // one past the end
    return {first, std::max(last - first, 0)};
}

} // namespace appSub
