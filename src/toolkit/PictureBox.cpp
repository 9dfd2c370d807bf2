#include "PictureBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "Twips.h"

namespace {
// Painting the screen more often than a display refreshes shows nothing more.
constexpr int kRepaintIntervalMs = 15;
} // namespace

LineShape::LineShape(PictureBox* owner, float x1, float y1, float x2, float y2, int32_t bgr)
    : m_owner(owner), m_x1(x1), m_y1(y1), m_x2(x2), m_y2(y2), m_color(bgr)
{
}

void LineShape::setEnds(float x1, float y1, float x2, float y2)
{
    if (m_x1 == x1 && m_y1 == y1 && m_x2 == x2 && m_y2 == y2) return;
    m_x1 = x1;
    m_y1 = y1;
    m_x2 = x2;
    m_y2 = y2;
    m_owner->lineChanged();
}

void LineShape::setBorderColor(int32_t bgr)
{
    if (m_color == bgr) return;
    m_color = bgr;
    m_owner->lineChanged();
}

void LineShape::setVisible(bool visible)
{
    if (m_visible == visible) return;
    m_visible = visible;
    m_owner->lineChanged();
}

PictureBox::PictureBox(QWidget* parent, float widthTw, float heightTw)
    : QWidget(parent),
      m_image(twipsToPx(widthTw), twipsToPx(heightTw), QImage::Format_RGB32)
{
    m_image.fill(Qt::white);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PictureBox::~PictureBox() = default;

QPointF PictureBox::toPx(float x, float y) const
{
    return QPointF(x / kTwipsPerPixel, y / kTwipsPerPixel);
}

void PictureBox::flushPolyline()
{
    if (m_pending.size() < 2) {
        m_pending.clear();
        return;
    }
    QPainter p(&m_image);
    QPen pen(colorFromBgr(m_foreColor), m_drawWidth);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.drawPolyline(m_pending);
    m_pending.clear();
}

void PictureBox::scheduleRepaint()
{
    if (m_repaintQueued) return;
    m_repaintQueued = true;
    QTimer::singleShot(kRepaintIntervalMs, this, [this] {
        m_repaintQueued = false;
        update();
    });
}

void PictureBox::Cls()
{
    m_pending.clear();
    m_image.fill(Qt::white);
    m_curX = 0;
    m_curY = 0;
    scheduleRepaint();
}

void PictureBox::PSet(float x, float y)
{
    flushPolyline();
    QPainter p(&m_image);
    const QPointF at = toPx(x, y);
    if (m_drawWidth <= 1) {
        p.setPen(colorFromBgr(m_foreColor));
        p.drawPoint(at);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(colorFromBgr(m_foreColor));
        p.drawEllipse(at, m_drawWidth / 2.0, m_drawWidth / 2.0);
    }
    m_curX = x;
    m_curY = y;
    scheduleRepaint();
}

void PictureBox::LineTo(float x, float y)
{
    if (m_pending.isEmpty()) m_pending.append(toPx(m_curX, m_curY));
    m_pending.append(toPx(x, y));
    m_curX = x;
    m_curY = y;
    scheduleRepaint();
}

void PictureBox::Line(float x1, float y1, float x2, float y2)
{
    flushPolyline();
    m_curX = x1;
    m_curY = y1;
    LineTo(x2, y2);
}

void PictureBox::setForeColor(int32_t bgr)
{
    if (bgr == m_foreColor) return;
    flushPolyline();
    m_foreColor = bgr;
}

void PictureBox::setDrawWidth(int px)
{
    if (px == m_drawWidth) return;
    flushPolyline();
    m_drawWidth = px;
}

LineShape* PictureBox::addLine(float x1, float y1, float x2, float y2, int32_t bgr)
{
    m_lines.push_back(std::make_unique<LineShape>(this, x1, y1, x2, y2, bgr));
    scheduleRepaint();
    return m_lines.back().get();
}

const QImage& PictureBox::image()
{
    flushPolyline();
    return m_image;
}

void PictureBox::paintEvent(QPaintEvent*)
{
    flushPolyline();
    QPainter p(this);
    p.drawImage(0, 0, m_image);
    for (const auto& line : m_lines) {
        if (!line->Visible()) continue;
        const int32_t bgr = line->BorderColor();
        const QColor c = (bgr & 0x80000000) ? palette().color(QPalette::Button) : colorFromBgr(bgr);
        p.setPen(QPen(c, 1));
        p.drawLine(toPx(line->X1(), line->Y1()), toPx(line->X2(), line->Y2()));
    }
}

void PictureBox::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF pos = event->position();
    emit mouseMovedTw(static_cast<float>(pos.x()) * kTwipsPerPixel,
                      static_cast<float>(pos.y()) * kTwipsPerPixel);
}
