#include "HeldLabel.h"

#include <QPainter>
#include <QStyle>

#include "RepaintThrottle.h"

HeldLabel::HeldLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    m_catchUp.setSingleShot(true);
    connect(&m_catchUp, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void HeldLabel::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    const bool sameLook = m_picture.size() == pixels && m_pictureText == text();
    const int held = m_sinceDrawn.isValid()
                         ? kQuietPaintIntervalMs - static_cast<int>(m_sinceDrawn.elapsed())
                         : 0;
    if (!sameLook && held > 0 && m_picture.size() == pixels) {
        if (!m_catchUp.isActive()) m_catchUp.start(held);
    } else if (!sameLook) {
        m_picture = QPixmap(pixels);
        m_picture.setDevicePixelRatio(ratio);
        m_picture.fill(Qt::transparent);
        QPainter p(&m_picture);
        drawFrame(&p);
        // Where QLabel puts plain text: inside the margin and, in a frame, half an "x" further in.
        const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
        QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        int in = indent();
        if (in < 0 && frameWidth() != 0)
            in = fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 - margin();
        if (in > 0) {
            if (align & Qt::AlignLeft) room.setLeft(room.left() + in);
            if (align & Qt::AlignRight) room.setRight(room.right() - in);
            if (align & Qt::AlignTop) room.setTop(room.top() + in);
            if (align & Qt::AlignBottom) room.setBottom(room.bottom() - in);
        }
        style()->drawItemText(&p, room, static_cast<int>(align), palette(), isEnabled(), text(),
                              foregroundRole());
        m_pictureText = text();
        m_sinceDrawn.start();
    }
    QPainter(this).drawPixmap(0, 0, m_picture);
}
