#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// The samples of one screen of the File or Memory view, from the view's top on: at most iXDim,
// ending where the view's data ends.
struct ViewScreen {
    std::vector<uint8_t> samples;
    // False when the File view's file could not be positioned at all: nothing of it is drawn.
    bool positioned = true;
};

// The data file File mode shows: the one place that opens, reads and closes iFileNo (lFileLen
// and lFileTop describe it). A failure is told with the file's error text and closes the file,
// so File mode then shows no file.
namespace FileView {

// Opens path as the shown file: iFileNo, lFileLen, lFileTop = 0. False, after the error
// message and with no file shown, when it cannot be opened.
bool open(const QString& path);
void close();
// The screen from lFileTop, read in one go. A read that fails part way is told once; the
// bytes before it are good and the rest read as 0. Empty without a file.
ViewScreen screen();
// The `count` bytes from `from` read as screen() reads its own (a zoomed view's screen).
ViewScreen read(int64_t from, int64_t count);

} // namespace FileView

// The engine's copy of its most recent bytes as the Memory view holds it (bMemBuf, lMemCount,
// lMemTop).
namespace MemoryView {

// Fetches the copy into bMemBuf, letting the window handle its events every 4,097 bytes.
void xsubMemLoad();
// The screen from lMemTop.
ViewScreen screen();

} // namespace MemoryView

// The screen of the view iDispMode shows (File or Memory): what drawing and printing read.
ViewScreen xfunViewScreen();
