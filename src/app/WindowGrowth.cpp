#include "app/WindowGrowth.h"

#include <QEvent>
#include <QScrollBar>
#include <QSettings>

#include "app/frms_RS_GRAPH_1.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Twips.h"

namespace {
const char* const kGeometryKey = "window/geometry";
} // namespace

namespace {
QRectF placedTw(const QWidget* w) {
    return {leftTw(w), topTw(w), widthTw(w), heightTw(w)};
}
void place(QWidget* w, const QRectF& r) {
    placeTw(w, static_cast<float>(r.left()), static_cast<float>(r.top()),
            static_cast<float>(r.width()), static_cast<float>(r.height()));
}
} // namespace

WindowGrowth::WindowGrowth(frms_RS_GRAPH_1* form)
    : QObject(form), m_form(form), m_default(form->size()), m_pane(placedTw(form->pic_graph)),
      m_baseY(form->line_X_base->Y1()), m_lineFrame{
                                            form->line_Y_base->X1(), form->line_Y_base->Y1(),
                                            form->line_X_base->X2() - form->line_X_base->X1(),
                                            form->line_X_base->Y1() - form->line_Y_base->Y1()} {
    for (QObject* o : form->children())
        if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow() && w != form->pic_graph)
            m_controls.push_back({w, placedTw(w)});
    for (QObject* o : form->pic_graph->children())
        if (auto* w = qobject_cast<QWidget*>(o)) m_paneChildren.push_back({w, placedTw(w)});
    for (LineShape* line : form->pic_graph->lines())
        m_lines.push_back({line, line->X1(), line->Y1(), line->X2(), line->Y2()});
    for (QObject* o : form->Pic_Scale->children())
        if (auto* w = qobject_cast<QWidget*>(o)) m_scaleLabels.push_back({w, placedTw(w)});
    form->setMinimumSize(m_default);
    form->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    form->installEventFilter(this);
}

bool WindowGrowth::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_form && event->type() == QEvent::Resize) grow();
    return false;
}

void WindowGrowth::grow() {
    const int dxPx = std::max(0, m_form->width() - m_default.width());
    const int dyPx = std::max(0, m_form->height() - m_default.height());
    if (QSize(dxPx, dyPx) == m_grown) return;
    const qreal dx = dxPx * kTwipsPerPixel;
    const qreal dy = dyPx * kTwipsPerPixel;
    // Controls beside the pane move right (those as tall as most of it, the Y cursors' bars,
    // grow with it), those below it move down.
    for (const Placed& p : m_controls) {
        if (p.at.left() >= m_pane.right())
            place(p.widget, p.at.translated(dx, 0).adjusted(
                                0, 0, 0, p.at.height() > m_pane.height() / 2 ? dy : 0));
        else if (p.at.top() >= m_pane.bottom())
            place(p.widget, p.at.translated(0, dy));
    }
    PictureBox* pic = m_form->pic_graph;
    place(pic, m_pane.adjusted(0, 0, dx, dy));
    // Inside the pane: what stands in its right half moves with the right edge, what stands
    // below the trace with the bottom, and what spans most of it (the bar, the scale panel, the
    // channel pane) stretches.
    for (const Placed& p : m_paneChildren) {
        QRectF r = p.at;
        if (r.width() > m_pane.width() / 2)
            r.setWidth(r.width() + dx);
        else if (r.center().x() > m_pane.width() / 2)
            r.translate(dx, 0);
        if (r.height() > m_pane.height() / 2)
            r.setHeight(r.height() + dy);
        else if (r.top() >= m_baseY)
            r.translate(0, dy);
        place(p.widget, r);
    }
    // The scale's lowest labels keep to the bottom; the others follow the grid.
    for (const Placed& p : m_scaleLabels)
        if (p.at.top() > m_pane.height() / 2) place(p.widget, p.at.translated(0, dy));

    // The lines, from where they stood at the default size: the trace area keeps its Y axis
    // and its top line, and everything in it stretches by the same factor. The cursors, the
    // trigger's level and the grid are placed again from their values below.
    const float x0 = m_lineFrame.x0;
    const float y0 = m_lineFrame.y0;
    const float sx = (m_lineFrame.w + static_cast<float>(dx)) / m_lineFrame.w;
    const float sy = (m_lineFrame.h + static_cast<float>(dy)) / m_lineFrame.h;
    const auto mapX = [&](float x) { return x <= x0 ? x : x0 + (x - x0) * sx; };
    const auto mapY = [&](float y) { return y <= y0 ? y : y0 + (y - y0) * sy; };
    for (const LineEnds& l : m_lines)
        l.line->setEnds(mapX(l.x1), mapY(l.y1), mapX(l.x2), mapY(l.y2));
    m_grown = QSize(dxPx, dyPx);

    m_form->xsubYGridBuild();
    m_form->xsubScalePanelLayout();
    m_form->xsubCurXPlace();
    m_form->xsubCurYPlace();
    m_form->xsubTriggerPlace();
}

void WindowGrowth::restore(const QString& path) {
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) return;
    const QByteArray geometry = ini.value(QLatin1String(kGeometryKey)).toByteArray();
    if (!geometry.isEmpty()) m_form->restoreGeometry(geometry);
}

void WindowGrowth::remember(const QString& path) const {
    QSettings ini(path, QSettings::IniFormat);
    ini.setValue(QLatin1String(kGeometryKey), m_form->saveGeometry());
}
