#include "storage/FileView.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "app/state/AppState.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"

namespace {

// The file ended before the bytes its length promised (it shrank while shown).
constexpr int kErrReadPastEnd = 62;

// The fetch of the engine's copy lets the window breathe once every this many bytes.
constexpr int kBytesBetweenPauses = 4096;

// How many samples of a view of `size` samples a screen from `top` shows.
int32_t screenLength(int64_t size, int64_t top) {
    const int64_t n = std::min<int64_t>(size, app().ChData[0].iXDim);
    return static_cast<int32_t>(std::clamp<int64_t>(std::min(n, size - top), 0, n));
}

void dropFile(int code) {
    appSub::xsubFileErrMsg(code);
    FileView::close();
}

} // namespace

bool FileView::open(const QString& path) {
    AppState& s = app();
    close();
    int code = 0;
    const int fd = appSub::xfunOpenForRead(path, code);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) != 0) {
        code = appSub::fileErrCodeFromErrno(errno, path);
        ::close(fd);
    }
    if (code != 0) {
        appSub::xsubFileErrMsg(code);
        return false;
    }
    s.iFileNo = fd;
    s.lFileLen = st.st_size;
    s.lFileTop = 0;
    return true;
}

void FileView::close() {
    AppState& s = app();
    if (s.iFileNo == -1) return;
    ::close(s.iFileNo);
    s.iFileNo = -1;
}

ViewScreen FileView::screen() {
    const AppState& s = app();
    return read(s.lFileTop, screenLength(s.lFileLen, s.lFileTop));
}

ViewScreen FileView::read(int64_t from, int64_t count) {
    const AppState& s = app();
    ViewScreen view;
    if (s.iFileNo == -1) return view;
    const int64_t want = std::max<int64_t>(count, 0);
    // Read whole, so drawing a screen costs one call.
    view.samples.assign(static_cast<size_t>(want), 0);
    int64_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(s.iFileNo, view.samples.data() + got,
                                  static_cast<size_t>(want - got), from + got);
        if (n > 0) {
            got += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) {
            dropFile(kErrReadPastEnd);
            break;
        }
        const int err = errno;
        dropFile(appSub::fileErrCodeFromErrno(err));
        // A file that cannot be positioned at all has nothing of this screen to draw.
        if (got == 0 && (err == EBADF || err == ESPIPE)) view.positioned = false;
        break;
    }
    return view;
}

void MemoryView::xsubMemLoad() {
    AppState& s = app();
    int32_t count = 0;
    s.engine->MoveLastFirst(count);
    // Never trust a count beyond the buffer: the copy must not write past bMemBuf.
    s.lMemCount = std::clamp(count, 0, kMemBufSize);
    s.memTimes = s.receivedTimes.newest(uint64_t(s.lMemCount));
    int sincePause = 0;
    for (int32_t i = 0; i < s.lMemCount; ++i) {
        if (++sincePause > kBytesBetweenPauses) {
            QCoreApplication::processEvents();
            sincePause = 0;
        }
        s.engine->MoveLastData(s.bMemBuf[static_cast<size_t>(i)], i);
    }
}

ViewScreen MemoryView::screen() {
    const AppState& s = app();
    ViewScreen view;
    const int32_t n = screenLength(s.lMemCount, s.lMemTop);
    for (int32_t l = 0; l < n; ++l) {
        const int64_t at = int64_t{s.lMemTop} + l;
        const bool inside = at >= 0 && at < static_cast<int64_t>(s.bMemBuf.size());
        view.samples.push_back(inside ? s.bMemBuf[static_cast<size_t>(at)] : 0);
    }
    return view;
}

ViewScreen xfunViewScreen() {
    return app().iDispMode == kDispFile ? FileView::screen() : MemoryView::screen();
}
