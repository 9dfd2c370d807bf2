#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>

// Layouts are given in twips; 15 twips make one logical pixel.
constexpr float kTwipsPerPixel = 15.0f;

inline int twipsToPx(float twips) {
    return qRound(twips / kTwipsPerPixel);
}

// Places a widget by its twip rectangle and remembers the exact twips, so code and tests can
// read back Left/Top/Width/Height as set (a pixel position would round them).
void placeTw(QWidget* w, float left, float top, float width, float height);
void setTopTw(QWidget* w, float top);
void setLeftTw(QWidget* w, float left);
float leftTw(const QWidget* w);
float topTw(const QWidget* w);
float widthTw(const QWidget* w);
float heightTw(const QWidget* w);

// Colours are kept as 0x00BBGGRR values; 0x8000000F means the platform's button face.
QColor colorFromBgr(int32_t bgr);
int32_t bgrFromColor(const QColor& c);
void setBackColor(QWidget* w, int32_t bgr);
int32_t backColor(const QWidget* w);
void setForeColor(QWidget* w, int32_t bgr);
