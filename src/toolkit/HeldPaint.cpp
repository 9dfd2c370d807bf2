#include "HeldPaint.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

HeldPaint::HeldPaint(QWidget* widget, int intervalMs)
    : QObject(widget), m_widget(widget), m_intervalMs(intervalMs) {
    m_catchUp.setSingleShot(true);
    connect(&m_catchUp, &QTimer::timeout, m_widget, qOverload<>(&QWidget::update));
    widget->installEventFilter(this);
}

bool HeldPaint::eventFilter(QObject*, QEvent* event) {
    if (event->type() != QEvent::Paint || m_drawing) return false;
    const qreal ratio = m_widget->devicePixelRatioF();
    const QSize pixels = m_widget->size() * ratio;
    const bool held = m_sinceDrawn.isValid() && m_sinceDrawn.elapsed() < m_intervalMs &&
                      m_last.size() == pixels;
    if (held) {
        // What asked for this paint may have changed the look: show it once the interval is over.
        if (!m_catchUp.isActive())
            m_catchUp.start(m_intervalMs - static_cast<int>(m_sinceDrawn.elapsed()));
    } else {
        m_last = QPixmap(pixels);
        m_last.setDevicePixelRatio(ratio);
        m_last.fill(Qt::transparent);
        m_drawing = true;
        m_widget->render(&m_last, {}, {}, QWidget::RenderFlags());
        m_drawing = false;
        m_sinceDrawn.start();
    }
    QPainter(m_widget).drawPixmap(0, 0, m_last);
    return true;
}
