#include "RepaintThrottle.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace {
// How long after a click or a key the user counts as working with the program.
constexpr int kInputLivelyMs = 500;

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}
} // namespace

RepaintThrottle::RepaintThrottle(QWidget* window) : QObject(window), m_window(window) {
    m_deferred.setSingleShot(true);
    m_deferred.setTimerType(Qt::PreciseTimer);
    connect(&m_deferred, &QTimer::timeout, this,
            [this] { QCoreApplication::postEvent(m_window, new QEvent(QEvent::UpdateRequest)); });
    // Input reaches the window's children, not the window: watch it where it all passes.
    qApp->installEventFilter(this);
}

int RepaintThrottle::interval() const {
    const bool lively =
        m_moving || (m_sinceInput.isValid() && m_sinceInput.elapsed() < kInputLivelyMs);
    return lively ? kScreenPaintIntervalMs : kQuietPaintIntervalMs;
}

void RepaintThrottle::paintWithin() {
    if (!m_deferred.isActive()) return; // the next update request is let through or deferred
    const int wait = std::max(0, interval() - static_cast<int>(m_sincePaint.elapsed()));
    if (m_deferred.remainingTime() > wait) m_deferred.start(wait);
}

void RepaintThrottle::moving() {
    m_moving = true;
    paintWithin();
}

bool RepaintThrottle::eventFilter(QObject* watched, QEvent* event) {
    if (isInput(event->type())) {
        m_sinceInput.start();
        paintWithin();
        return false;
    }
    if (watched != m_window || event->type() != QEvent::UpdateRequest) return false;
    const int wait =
        m_sincePaint.isValid() ? interval() - static_cast<int>(m_sincePaint.elapsed()) : 0;
    if (wait <= 0) {
        m_sincePaint.start();
        m_moving = false;
        return false;
    }
    // Too soon: everything marked dirty until then is painted by one later request.
    if (!m_deferred.isActive() || m_deferred.remainingTime() > wait) m_deferred.start(wait);
    return true;
}
