#include "Twips.h"

#include <QVariant>

namespace {
constexpr int32_t kSystemColorFlag = static_cast<int32_t>(0x80000000);

void storeGeometry(QWidget* w, float left, float top, float width, float height)
{
    w->setProperty("LeftTw", left);
    w->setProperty("TopTw", top);
    w->setProperty("WidthTw", width);
    w->setProperty("HeightTw", height);
    w->setGeometry(twipsToPx(left), twipsToPx(top), twipsToPx(width), twipsToPx(height));
}
} // namespace

void placeTw(QWidget* w, float left, float top, float width, float height)
{
    storeGeometry(w, left, top, width, height);
}

void setTopTw(QWidget* w, float top) { storeGeometry(w, leftTw(w), top, widthTw(w), heightTw(w)); }

void setLeftTw(QWidget* w, float left) { storeGeometry(w, left, topTw(w), widthTw(w), heightTw(w)); }

float leftTw(const QWidget* w)
{
    const QVariant v = w->property("LeftTw");
    return v.isValid() ? v.toFloat() : w->x() * kTwipsPerPixel;
}

float topTw(const QWidget* w)
{
    const QVariant v = w->property("TopTw");
    return v.isValid() ? v.toFloat() : w->y() * kTwipsPerPixel;
}

float widthTw(const QWidget* w)
{
    const QVariant v = w->property("WidthTw");
    return v.isValid() ? v.toFloat() : w->width() * kTwipsPerPixel;
}

float heightTw(const QWidget* w)
{
    const QVariant v = w->property("HeightTw");
    return v.isValid() ? v.toFloat() : w->height() * kTwipsPerPixel;
}

QColor colorFromBgr(int32_t bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

int32_t bgrFromColor(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

void setBackColor(QWidget* w, int32_t bgr)
{
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

int32_t backColor(const QWidget* w)
{
    const QVariant v = w->property("BackColor");
    return v.isValid() ? v.toInt() : static_cast<int32_t>(0x8000000F);
}

void setForeColor(QWidget* w, int32_t bgr)
{
    QPalette pal = w->palette();
    const QColor c = colorFromBgr(bgr);
    pal.setColor(QPalette::WindowText, c);
    pal.setColor(QPalette::ButtonText, c);
    pal.setColor(QPalette::Text, c);
    w->setPalette(pal);
}
