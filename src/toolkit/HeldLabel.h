#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

// A plain-text label that lays out and draws a new text at most once per kQuietPaintIntervalMs;
// until then it shows its last picture, and the newest text follows when the interval is over.
// For a count that changes with every received batch: drawing its text each time the window is
// painted costs more than it tells, as nobody reads a count faster than about ten times a second.
class HeldLabel : public QLabel {
    Q_OBJECT
public:
    HeldLabel(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
    QString m_pictureText;
    QElapsedTimer m_sinceDrawn;
    QTimer m_catchUp;
};
