#pragma once

#include <QString>
#include <cstdint>

// The arithmetic of the graph pane, apart from any widget: where a sample lands and how a byte
// reads. Every step is single precision in this order, so a twip comes out the same wherever
// the pane, the cursors or the Y grid compute it.

// x of sample K of a screen of nMinus1 + 1 samples: X0 + (K / (N - 1)) * W.
float xfunMapX(int16_t K, int16_t nMinus1, float W, float X0);

// y of value v on an axis from yMin (at Y0) up to yMin + span (at Y0 - H):
// Y0 - ((v - yMin) / span) * H, with v - yMin a 16-bit subtraction.
float xfunMapY(int16_t v, int16_t span, int16_t yMin, float H, float Y0);

// A stored byte as the trace reads it: -128..127 when iSigned is 1, else 0..255.
int16_t xfunSignedValue(uint8_t b, int16_t iSigned);

// The raw byte behind a value read by xfunSignedValue.
uint8_t xfunRawByte(int16_t v);

// Two uppercase hex digits of the raw byte and "h": -128 gives "80h", 10 gives "0Ah".
QString xfunHexText(int16_t v);
