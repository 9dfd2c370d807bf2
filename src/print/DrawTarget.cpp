#include "DrawTarget.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <algorithm>

#include "toolkit/Twips.h"

namespace {
// Every target starts in a face whose digits keep their character codes in a PDF (those of
// Noto Sans CJK JP come out of Qt's PDF writer as glyphs without text, so a page printed to a
// PDF could not be searched or copied); Japanese falls back to Noto Sans CJK JP.
const QString kPageFace = QStringLiteral("DejaVu Sans");
constexpr int kStartFontPoints = 9;
} // namespace

DrawTarget::DrawTarget(QPaintDevice* device)
    : m_device(device), m_font(kPageFace, kStartFontPoints) {
    if (!m_painter.begin(device)) return;
    m_painter.setFont(m_font);
    setForeColor(0);
}

DrawTarget::~DrawTarget() {
    if (m_painter.isActive()) m_painter.end();
}

bool DrawTarget::end() {
    return m_painter.isActive() && m_painter.end();
}

float DrawTarget::scaleWidth() const {
    return static_cast<float>(m_device->width());
}

float DrawTarget::scaleHeight() const {
    return static_cast<float>(m_device->height());
}

void DrawTarget::setForeColor(int32_t bgr) {
    m_painter.setPen(QPen(colorFromBgr(bgr), 1));
}

void DrawTarget::setFontSize(float points) {
    m_font.setPointSizeF(points);
    m_painter.setFont(m_font);
}

void DrawTarget::setFontName(const QString& face) {
    m_font.setFamily(face);
    m_painter.setFont(m_font);
}

float DrawTarget::textWidth(const QString& text) const {
    return static_cast<float>(QFontMetricsF(m_font, m_device).horizontalAdvance(text));
}

float DrawTarget::textHeight(const QString&) const {
    // A text's height is its font's line height, whatever characters it holds.
    return static_cast<float>(QFontMetricsF(m_font, m_device).height());
}

void DrawTarget::setCurrent(float x, float y) {
    m_curX = x;
    m_curY = y;
}

void DrawTarget::print(const QString& text) {
    const QFontMetricsF metrics(m_font, m_device);
    m_painter.drawText(QPointF(m_curX, m_curY + metrics.ascent()), text);
    m_curX += static_cast<float>(metrics.horizontalAdvance(text));
}

void DrawTarget::line(float x1, float y1, float x2, float y2) {
    setCurrent(x1, y1);
    lineTo(x2, y2);
}

void DrawTarget::lineTo(float x, float y) {
    m_painter.drawLine(QPointF(m_curX, m_curY), QPointF(x, y));
    setCurrent(x, y);
}

void DrawTarget::point(float x, float y) {
    m_painter.drawPoint(QPointF(x, y));
    setCurrent(x, y);
}

PagePreview::PagePreview(QWidget* parent, float widthTw, float heightTw)
    : QWidget(parent), m_image(twipsToPx(widthTw), twipsToPx(heightTw), QImage::Format_RGB32) {
    m_image.fill(Qt::white);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PagePreview::Cls() {
    m_image.fill(Qt::white);
    update();
}

void PagePreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, m_image);
}

float DrawTarget::widget(QWidget* w, float x, float y, float width, float maxHeight) {
    const QSizeF size = w->size();
    if (size.isEmpty()) return 0;
    const double scale = std::min(width / size.width(), maxHeight / size.height());
    m_painter.save();
    m_painter.translate(x, y);
    m_painter.scale(scale, scale);
    w->render(&m_painter, QPoint(), QRegion(), QWidget::DrawChildren);
    m_painter.restore();
    return static_cast<float>(size.height() * scale);
}
