#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPixmap>
#include <QTimer>

class QWidget;

// Paints a widget at most once per interval; paints asked for sooner show the widget's last
// picture, and the newest look follows when the interval is over. For a label whose text
// changes with every received batch: laying out and drawing its text each time the window is
// painted costs more than it tells, as nobody reads a count faster than about ten times a second.
class HeldPaint : public QObject {
    Q_OBJECT
public:
    HeldPaint(QWidget* widget, int intervalMs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_widget;
    int m_intervalMs;
    QPixmap m_last;
    QElapsedTimer m_sinceDrawn;
    QTimer m_catchUp;
    bool m_drawing = false;
};
