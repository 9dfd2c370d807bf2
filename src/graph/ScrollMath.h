#pragma once

#include <cstdint>
#include <optional>

// The arithmetic of the view position bars and the cursors, apart from any widget.
// T is the number of samples of the series, P the first sample on the screen, N the samples
// per screen. Roundings are to the nearest integer, halves to the even neighbour.
namespace nav {

// HScroll1's Max for a series of T samples: T up to the cap (3,000 for a file, 30,000 for the
// memory copy), 30,000 beyond it.
int barMaxFor(int64_t T, bool fileMode);

// A page click's step on a bar of this Max: 1 up to Max 10, else Max / 10.
int barLargeChangeFor(int barMax);

// Where the thumb stands for view position P. A view that has left the start never shows the
// thumb at 0 and one short of the end never at Max, so the user can tell both ends apart from
// "almost there". A view beyond T - N (left by a wider screen) shows at Max - 1.
int barValueFor(int64_t P, int64_t T, int N, int barMax);

// The view position a thumb drag or page click to `value` stands for (never below 0).
int64_t positionForBarValue(int value, int barMax, int64_t T, int N);

// Half a screen forward (kept at most T - N) or back (kept at least 0).
int64_t pageForward(int64_t P, int64_t T, int N);
int64_t pageBack(int64_t P, int N);

// x of the X-cursor line on screen index K, with the X axis from x1 to x2 taken in whole twips.
float cursorX(int16_t K, int16_t N, float x1, float x2);

// Screen index under pane x, or nothing when the pointer is not over a sample column.
std::optional<int16_t> screenIndexAt(float x, float x1, float x2, int16_t N);

// Value under pane y, or nothing outside the values a byte can have in this view
// (-128..127 signed, yMin..yMax unsigned).
std::optional<int16_t> valueAt(float y, float y1, float y2, int16_t yMax, int16_t yMin,
                               bool isSigned);

} // namespace nav
