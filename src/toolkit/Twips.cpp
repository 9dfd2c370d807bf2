#include "Twips.h"

#include <QVariant>

namespace {
constexpr int32_t kSystemColorFlag = static_cast<int32_t>(0x80000000);

void storeGeometry(QWidget* w, float left, float top, float width, float height) {
    w->setProperty("LeftTw", left);
    w->setProperty("TopTw", top);
    w->setProperty("WidthTw", width);
    w->setProperty("HeightTw", height);
    w->setGeometry(twipsToPx(left), twipsToPx(top), twipsToPx(width), twipsToPx(height));
}

// A widget placed by twips reads back the twips it was given; any other reads its pixels.
float storedTw(const QWidget* w, const char* property, int px) {
    const QVariant v = w->property(property);
    return v.isValid() ? v.toFloat() : static_cast<float>(px) * kTwipsPerPixel;
}
} // namespace

void placeTw(QWidget* w, float left, float top, float width, float height) {
    storeGeometry(w, left, top, width, height);
}

void setTopTw(QWidget* w, float top) {
    storeGeometry(w, leftTw(w), top, widthTw(w), heightTw(w));
}

void setLeftTw(QWidget* w, float left) {
    storeGeometry(w, left, topTw(w), widthTw(w), heightTw(w));
}

float leftTw(const QWidget* w) {
    return storedTw(w, "LeftTw", w->x());
}
float topTw(const QWidget* w) {
    return storedTw(w, "TopTw", w->y());
}
float widthTw(const QWidget* w) {
    return storedTw(w, "WidthTw", w->width());
}
float heightTw(const QWidget* w) {
    return storedTw(w, "HeightTw", w->height());
}

QColor colorFromBgr(int32_t bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

int32_t bgrFromColor(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

void setBackColor(QWidget* w, int32_t bgr) {
    w->setProperty("BackColor", bgr);
    QPalette pal = w->palette();
    if (bgr & kSystemColorFlag) {
        // Back to the theme's own colours.
        w->setAutoFillBackground(false);
        w->setPalette(QPalette());
        return;
    }
    const QColor c = colorFromBgr(bgr);
    pal.setColor(QPalette::Window, c);
    pal.setColor(QPalette::Button, c);
    pal.setColor(QPalette::Base, c);
    w->setAutoFillBackground(true);
    w->setPalette(pal);
}

int32_t backColor(const QWidget* w) {
    const QVariant v = w->property("BackColor");
    return v.isValid() ? v.toInt() : static_cast<int32_t>(0x8000000F);
}

void setForeColor(QWidget* w, int32_t bgr) {
    QPalette pal = w->palette();
    const QColor c = colorFromBgr(bgr);
    pal.setColor(QPalette::WindowText, c);
    pal.setColor(QPalette::ButtonText, c);
    pal.setColor(QPalette::Text, c);
    w->setPalette(pal);
}
