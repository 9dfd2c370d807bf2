#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Some thirty pictures a second keep a moving trace smooth; each one more costs as much again.
// A little under the receive timer's 30 ms, so that a picture changed by one of its wakes is let
// through at once instead of waiting out the timer's jitter.
constexpr int kScreenPaintIntervalMs = 28;
// With nothing moving and nobody at the controls, a changing count reads as well at ten.
constexpr int kQuietPaintIntervalMs = 100;

// Paints a window at most once per interval. The receive ticks change labels about a thousand
// times a second; Qt would repaint (and send to the display) after every one of them, which
// costs far more than the ticks themselves. The interval is kScreenPaintIntervalMs while a
// picture moves (moving()) or the user works with the program, else kQuietPaintIntervalMs.
class RepaintThrottle : public QObject {
    Q_OBJECT
public:
    explicit RepaintThrottle(QWidget* window);

    // A moving picture on the window changed: paint it at the full rate.
    void moving();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int interval() const;
    // Paints no later than the interval allows from now on.
    void paintWithin();

    QWidget* m_window;
    QElapsedTimer m_sincePaint;
    QElapsedTimer m_sinceInput;
    bool m_moving = false;
    QTimer m_deferred;
};
