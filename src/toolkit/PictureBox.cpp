#include "PictureBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "Twips.h"

namespace {
// Strokes kept before they are rendered anyway (a screen's trace and scale lines are a dozen).
constexpr size_t kMaxPendingStrokes = 256;
} // namespace

LineShape::LineShape(PictureBox* owner, float x1, float y1, float x2, float y2, int32_t bgr,
                     LineLayer layer)
    : m_owner(owner), m_x1(x1), m_y1(y1), m_x2(x2), m_y2(y2), m_color(bgr), m_layer(layer) {}

void LineShape::setEnds(float x1, float y1, float x2, float y2) {
    if (m_x1 == x1 && m_y1 == y1 && m_x2 == x2 && m_y2 == y2) return;
    m_x1 = x1;
    m_y1 = y1;
    m_x2 = x2;
    m_y2 = y2;
    m_owner->lineChanged(*this);
}

void LineShape::setBorderColor(int32_t bgr) {
    if (m_color == bgr) return;
    m_color = bgr;
    m_owner->lineChanged(*this);
}

void LineShape::setVisible(bool visible) {
    if (m_visible == visible) return;
    m_visible = visible;
    m_owner->lineChanged(*this);
}

void LineShape::setDashed(bool dashed) {
    if (m_dashed == dashed) return;
    m_dashed = dashed;
    m_owner->lineChanged(*this);
}

PictureBox::PictureBox(QWidget* parent, float widthTw, float heightTw)
    : QWidget(parent),
      m_ink(twipsToPx(widthTw), twipsToPx(heightTw), QImage::Format_ARGB32_Premultiplied) {
    m_ink.fill(Qt::transparent);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PictureBox::~PictureBox() = default;

QPointF PictureBox::toPx(float x, float y) const {
    return QPointF(x / kTwipsPerPixel, y / kTwipsPerPixel);
}

void PictureBox::closeStroke() {
    if (!m_strokes.empty()) m_strokes.back().open = false;
}

void PictureBox::addStroke(Stroke stroke) {
    m_strokes.push_back(std::move(stroke));
    // A pane that is never painted (hidden, minimized) must not gather strokes without end.
    if (m_strokes.size() > kMaxPendingStrokes) render();
    updateDrawing();
}

void PictureBox::updateDrawing() {
    // Opaque children (the scale-label panel) hide the drawing beneath them; leaving them out
    // keeps the labels on them from being painted again with every new trace.
    QRegion dirty = rect();
    for (const QObject* o : children()) {
        const auto* w = qobject_cast<const QWidget*>(o);
        if (w && w->isVisible() && w->autoFillBackground()) dirty -= w->geometry();
    }
    update(dirty);
    emit drawingChanged();
}

void PictureBox::resolve(Stroke& stroke) const {
    if (stroke.laterCount == 0) return;
    stroke.points.reserve(stroke.points.size() + stroke.laterCount);
    for (int i = 0; i < stroke.laterCount; ++i) {
        const QPointF tw = stroke.later(i);
        stroke.points.append(toPx(static_cast<float>(tw.x()), static_cast<float>(tw.y())));
    }
    stroke.later = {};
    stroke.laterCount = 0;
}

void PictureBox::drawStrokes(QPainter& p, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        Stroke& s = m_strokes[i];
        resolve(s);
        const QColor c = colorFromBgr(s.color);
        if (s.points.size() >= 2) {
            QPen pen(c, s.width);
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(s.points);
        } else if (s.width <= 1) {
            p.setPen(c);
            p.drawPoint(s.points.first());
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawEllipse(s.points.first(), s.width / 2.0, s.width / 2.0);
        }
    }
}

void PictureBox::render() {
    if (m_erasePending) {
        m_ink.fill(Qt::transparent);
        m_erasePending = false;
        m_surfaceStale = true;
    }
    if (m_strokes.empty()) return;
    QPainter p(&m_ink);
    drawStrokes(p, 0, m_strokes.size());
    m_strokes.clear();
    m_surfaceStale = true;
}

void PictureBox::Cls() {
    m_strokes.clear();
    m_erasePending = true;
    m_curX = 0;
    m_curY = 0;
    updateDrawing();
}

void PictureBox::PSet(float x, float y) {
    closeStroke();
    addStroke({m_foreColor, m_drawWidth, QPolygonF{toPx(x, y)}, false});
    m_curX = x;
    m_curY = y;
}

void PictureBox::LineTo(float x, float y) {
    if (!m_strokes.empty() && m_strokes.back().open) {
        resolve(m_strokes.back());
        m_strokes.back().points.append(toPx(x, y));
    } else {
        addStroke({m_foreColor, m_drawWidth, QPolygonF{toPx(m_curX, m_curY), toPx(x, y)}, true});
    }
    m_curX = x;
    m_curY = y;
}

void PictureBox::LinesTo(int count, std::function<QPointF(int)> pointAt) {
    if (count <= 0) return;
    const QPointF last = pointAt(count - 1);
    if (!m_strokes.empty() && m_strokes.back().open) {
        Stroke& open = m_strokes.back();
        resolve(open);
        open.later = std::move(pointAt);
        open.laterCount = count;
    } else {
        addStroke({m_foreColor, m_drawWidth, QPolygonF{toPx(m_curX, m_curY)}, true,
                   std::move(pointAt), count});
    }
    m_curX = static_cast<float>(last.x());
    m_curY = static_cast<float>(last.y());
}

void PictureBox::Line(float x1, float y1, float x2, float y2) {
    closeStroke();
    m_curX = x1;
    m_curY = y1;
    LineTo(x2, y2);
}

void PictureBox::setForeColor(int32_t bgr) {
    if (bgr == m_foreColor) return;
    closeStroke();
    m_foreColor = bgr;
}

void PictureBox::setDrawWidth(int px) {
    if (px == m_drawWidth) return;
    closeStroke();
    m_drawWidth = px;
}

LineShape* PictureBox::addLine(float x1, float y1, float x2, float y2, int32_t bgr,
                               LineLayer layer) {
    m_lines.push_back(std::make_unique<LineShape>(this, x1, y1, x2, y2, bgr, layer));
    lineChanged(*m_lines.back());
    return m_lines.back().get();
}

std::vector<LineShape*> PictureBox::lines() const {
    std::vector<LineShape*> out;
    for (const auto& line : m_lines)
        out.push_back(line.get());
    return out;
}

void PictureBox::lineChanged(const LineShape& line) {
    if (line.layer() == LineLayer::BeneathDrawing) m_backdropValid = false;
    update();
}

const QImage& PictureBox::image() {
    render();
    if (m_surfaceStale) {
        m_surface = QImage(m_ink.size(), QImage::Format_RGB32);
        m_surface.fill(Qt::white);
        QPainter(&m_surface).drawImage(0, 0, m_ink);
        m_surfaceStale = false;
    }
    return m_surface;
}

size_t PictureBox::leadingLines() const {
    if (!m_erasePending) return 0;
    size_t n = 0;
    while (n < m_strokes.size() && m_strokes[n].points.size() == 2 && m_strokes[n].laterCount == 0)
        ++n;
    return n;
}

const QPixmap& PictureBox::backdrop(size_t leading) {
    const auto same = [](const Stroke& a, const Stroke& b) {
        return a.color == b.color && a.width == b.width && a.points == b.points;
    };
    if (m_backdropValid && m_backdropLines.size() == leading &&
        std::equal(m_backdropLines.begin(), m_backdropLines.end(), m_strokes.begin(), same))
        return m_backdrop;
    const qreal ratio = devicePixelRatioF();
    m_backdrop = QPixmap(size() * ratio);
    m_backdrop.setDevicePixelRatio(ratio);
    m_backdrop.fill(Qt::white);
    QPainter p(&m_backdrop);
    drawLines(p, LineLayer::BeneathDrawing);
    drawStrokes(p, 0, leading);
    m_backdropLines.assign(m_strokes.begin(), m_strokes.begin() + static_cast<ptrdiff_t>(leading));
    m_backdropValid = true;
    return m_backdrop;
}

void PictureBox::drawLines(QPainter& p, LineLayer layer) const {
    // Neighbouring lines of one colour and style (the grid) go to the painter together: setting
    // its pen costs more than drawing a line. The order, and so what lies above what, stays.
    std::vector<QLineF> run;
    int32_t runColor = 0;
    bool runDashed = false;
    const auto drawRun = [&] {
        if (run.empty()) return;
        const QColor c =
            (runColor & 0x80000000) ? palette().color(QPalette::Button) : colorFromBgr(runColor);
        p.setPen(QPen(c, 1, runDashed ? Qt::DashLine : Qt::SolidLine));
        p.drawLines(run.data(), static_cast<int>(run.size()));
        run.clear();
    };
    for (const auto& line : m_lines) {
        if (!line->Visible() || line->layer() != layer) continue;
        if (line->BorderColor() != runColor || line->Dashed() != runDashed) drawRun();
        runColor = line->BorderColor();
        runDashed = line->Dashed();
        run.emplace_back(toPx(line->X1(), line->Y1()), toPx(line->X2(), line->Y2()));
    }
    drawRun();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const size_t leading = leadingLines();
    p.drawPixmap(0, 0, backdrop(leading));
    if (m_erasePending) {
        // Everything since the last erase is still in strokes (the live trace, nearly always):
        // drawn straight onto the window, the image is neither cleared nor copied. The strokes
        // stay, for the next paint and for whoever reads the image.
        drawStrokes(p, leading, m_strokes.size());
    } else {
        render();
        p.drawImage(0, 0, m_ink);
    }
    drawLines(p, LineLayer::AboveDrawing);
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    emit mouseMovedTw(static_cast<float>(pos.x()) * kTwipsPerPixel,
                      static_cast<float>(pos.y()) * kTwipsPerPixel);
}

void PictureBox::resizeEvent(QResizeEvent*) {
    m_backdropValid = false;
    // A pane grown with its window draws over all of itself; what was drawn stays where it was.
    if (size() == m_ink.size()) return;
    QImage ink(size(), QImage::Format_ARGB32_Premultiplied);
    ink.fill(Qt::transparent);
    QPainter(&ink).drawImage(0, 0, m_ink);
    m_ink = std::move(ink);
    m_surfaceStale = true;
}

void PictureBox::changeEvent(QEvent* event) {
    // The button-face colour of the grid comes from the palette.
    if (event->type() == QEvent::PaletteChange) m_backdropValid = false;
    QWidget::changeEvent(event);
}
