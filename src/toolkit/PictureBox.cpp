#include "PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

#include "Twips.h"

namespace {
// Strokes kept before they are rendered anyway (a screen's trace and scale lines are a dozen).
constexpr size_t kMaxPendingStrokes = 256;
} // namespace

LineShape::LineShape(PictureBox* owner, float x1, float y1, float x2, float y2, int32_t bgr)
    : m_owner(owner), m_x1(x1), m_y1(y1), m_x2(x2), m_y2(y2), m_color(bgr) {}

void LineShape::setEnds(float x1, float y1, float x2, float y2) {
    if (m_x1 == x1 && m_y1 == y1 && m_x2 == x2 && m_y2 == y2) return;
    m_x1 = x1;
    m_y1 = y1;
    m_x2 = x2;
    m_y2 = y2;
    m_owner->lineChanged();
}

void LineShape::setBorderColor(int32_t bgr) {
    if (m_color == bgr) return;
    m_color = bgr;
    m_owner->lineChanged();
}

void LineShape::setVisible(bool visible) {
    if (m_visible == visible) return;
    m_visible = visible;
    m_owner->lineChanged();
}

void LineShape::setDashed(bool dashed) {
    if (m_dashed == dashed) return;
    m_dashed = dashed;
    m_owner->lineChanged();
}

PictureBox::PictureBox(QWidget* parent, float widthTw, float heightTw)
    : QWidget(parent), m_image(twipsToPx(widthTw), twipsToPx(heightTw), QImage::Format_RGB32) {
    m_image.fill(Qt::white);
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

void PictureBox::drawStrokes(QPainter& p) {
    for (Stroke& s : m_strokes) {
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
        m_image.fill(Qt::white);
        m_erasePending = false;
    }
    if (m_strokes.empty()) return;
    QPainter p(&m_image);
    drawStrokes(p);
    m_strokes.clear();
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

LineShape* PictureBox::addLine(float x1, float y1, float x2, float y2, int32_t bgr) {
    m_lines.push_back(std::make_unique<LineShape>(this, x1, y1, x2, y2, bgr));
    update();
    return m_lines.back().get();
}

const QImage& PictureBox::image() {
    render();
    return m_image;
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_erasePending) {
        // Everything since the last erase is still in strokes (the live trace, nearly always):
        // drawn straight onto the window, the image is neither cleared nor copied. The strokes
        // stay, for the next paint and for whoever reads the image.
        p.fillRect(rect(), Qt::white);
        drawStrokes(p);
    } else {
        render();
        p.drawImage(0, 0, m_image);
    }
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
        if (!line->Visible()) continue;
        if (line->BorderColor() != runColor || line->Dashed() != runDashed) drawRun();
        runColor = line->BorderColor();
        runDashed = line->Dashed();
        run.emplace_back(toPx(line->X1(), line->Y1()), toPx(line->X2(), line->Y2()));
    }
    drawRun();
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    emit mouseMovedTw(static_cast<float>(pos.x()) * kTwipsPerPixel,
                      static_cast<float>(pos.y()) * kTwipsPerPixel);
}
