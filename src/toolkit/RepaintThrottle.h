#pragma once

#include <QElapsedTimer>
#include <QObject>

class QWidget;

// Some thirty pictures a second keep a moving trace smooth; each one more costs as much again.
constexpr int kScreenPaintIntervalMs = 30;

// Paints a window at most once per interval. The receive ticks change labels about a thousand
// times a second; Qt would repaint (and send to the display) after every one of them, which
// costs far more than the ticks themselves.
class RepaintThrottle : public QObject {
    Q_OBJECT
public:
    explicit RepaintThrottle(QWidget* window, int intervalMs = kScreenPaintIntervalMs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    int m_intervalMs;
    QElapsedTimer m_sincePaint;
    bool m_deferred = false;
};
