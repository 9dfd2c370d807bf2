#include "RepaintThrottle.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

RepaintThrottle::RepaintThrottle(QWidget* window, int intervalMs)
    : QObject(window), m_window(window), m_intervalMs(intervalMs) {
    m_window->installEventFilter(this);
}

bool RepaintThrottle::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window || event->type() != QEvent::UpdateRequest) return false;
    if (!m_sincePaint.isValid() || m_sincePaint.elapsed() >= m_intervalMs) {
        m_sincePaint.start();
        return false;
    }
    // Too soon: everything marked dirty until then is painted by one later request.
    if (!m_deferred) {
        m_deferred = true;
        const int wait = m_intervalMs - static_cast<int>(m_sincePaint.elapsed());
        QTimer::singleShot(wait, Qt::PreciseTimer, this, [this] {
            m_deferred = false;
            QCoreApplication::postEvent(m_window, new QEvent(QEvent::UpdateRequest));
        });
    }
    return true;
}
