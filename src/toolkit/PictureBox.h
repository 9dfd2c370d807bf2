#pragma once

#include <QImage>
#include <QPolygonF>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

class PictureBox;

// A straight line that stays on top of a picture box's drawing until it is moved or hidden;
// erasing the picture does not touch it. Coordinates are twips.
class LineShape {
public:
    LineShape(PictureBox* owner, float x1, float y1, float x2, float y2, int32_t bgr);

    float X1() const { return m_x1; }
    float Y1() const { return m_y1; }
    float X2() const { return m_x2; }
    float Y2() const { return m_y2; }
    int32_t BorderColor() const { return m_color; }
    bool Visible() const { return m_visible; }

    void setEnds(float x1, float y1, float x2, float y2);
    void setX(float x) { setEnds(x, m_y1, x, m_y2); }
    void setY(float y) { setEnds(m_x1, y, m_x2, y); }
    void setBorderColor(int32_t bgr);
    void setVisible(bool visible);

private:
    PictureBox* m_owner;
    float m_x1, m_y1, m_x2, m_y2;
    int32_t m_color;
    bool m_visible = true;
};

// A drawing surface in twips with a backing image (drawn by PSet and Line at a current
// position, erased by Cls), with persistent line objects and child widgets painted above it.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(QWidget* parent, float widthTw, float heightTw);
    ~PictureBox() override;

    void Cls();
    void PSet(float x, float y);
    void LineTo(float x, float y);
    void Line(float x1, float y1, float x2, float y2);

    void setForeColor(int32_t bgr);
    int32_t ForeColor() const { return m_foreColor; }
    void setDrawWidth(int px);
    int DrawWidth() const { return m_drawWidth; }
    float CurrentX() const { return m_curX; }
    float CurrentY() const { return m_curY; }

    LineShape* addLine(float x1, float y1, float x2, float y2, int32_t bgr);

    // The drawing surface with every pending stroke applied (lines objects not included).
    const QImage& image();

    // Called by LineShape when one changes.
    void lineChanged() { scheduleRepaint(); }

signals:
    void mouseMovedTw(float x, float y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void flushPolyline();
    void scheduleRepaint();
    QPointF toPx(float x, float y) const;

    QImage m_image;
    int32_t m_foreColor = 0;
    int m_drawWidth = 1;
    float m_curX = 0;
    float m_curY = 0;
    // Consecutive LineTo calls are gathered and stroked at once: a trace of 800 segments is
    // then one polyline, which is much cheaper than 800 separate strokes.
    QPolygonF m_pending;
    std::vector<std::unique_ptr<LineShape>> m_lines;
    bool m_repaintQueued = false;
};
