#pragma once

#include <QElapsedTimer>
#include <QObject>

class QWidget;

// Painting the screen more often than a display refreshes shows nothing more.
constexpr int kScreenPaintIntervalMs = 15;

// Paints a window at most once per interval. The receive tick changes labels about a thousand
// times a second; Qt would repaint (and send to the display) after every one of them, which
// costs far more than the tick itself, while a screen shows some sixty pictures a second.
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
