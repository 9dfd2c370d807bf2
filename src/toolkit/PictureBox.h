#pragma once

#include <QImage>
#include <QPixmap>
#include <QPolygonF>

class QPainter;
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class PictureBox;

// Where a line object lies: beneath the drawing (the furniture of a chart, which must never
// hide what is drawn) or above it (marks the user moves over the drawing).
enum class LineLayer { BeneathDrawing, AboveDrawing };

// A straight line that stays on a picture box until it is moved or hidden; erasing the picture
// does not touch it. Coordinates are twips.
class LineShape {
public:
    LineShape(PictureBox* owner, float x1, float y1, float x2, float y2, int32_t bgr,
              LineLayer layer);

    float X1() const { return m_x1; }
    float Y1() const { return m_y1; }
    float X2() const { return m_x2; }
    float Y2() const { return m_y2; }
    int32_t BorderColor() const { return m_color; }
    bool Visible() const { return m_visible; }
    bool Dashed() const { return m_dashed; }
    LineLayer layer() const { return m_layer; }

    void setEnds(float x1, float y1, float x2, float y2);
    void setX(float x) { setEnds(x, m_y1, x, m_y2); }
    void setY(float y) { setEnds(m_x1, y, m_x2, y); }
    void setBorderColor(int32_t bgr);
    void setVisible(bool visible);
    void setDashed(bool dashed);

private:
    PictureBox* m_owner;
    float m_x1, m_y1, m_x2, m_y2;
    int32_t m_color;
    bool m_visible = true;
    bool m_dashed = false;
    LineLayer m_layer;
};

// A drawing surface in twips with a backing image (drawn by PSet and Line at a current
// position, erased by Cls) on a white ground, with persistent line objects beneath or above it
// and child widgets painted above all.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(QWidget* parent, float widthTw, float heightTw);
    ~PictureBox() override;

    void Cls();
    void PSet(float x, float y);
    void LineTo(float x, float y);
    // As `count` LineTo calls through pointAt(0) .. pointAt(count - 1) (twips), except that
    // the points are asked for only when the picture is rendered or the line extended: a
    // picture drawn again before anyone looks at it never works them out. pointAt must not
    // depend on anything that may change meanwhile. The last point is the current position.
    void LinesTo(int count, std::function<QPointF(int)> pointAt);
    void Line(float x1, float y1, float x2, float y2);

    void setForeColor(int32_t bgr);
    int32_t ForeColor() const { return m_foreColor; }
    void setDrawWidth(int px);
    int DrawWidth() const { return m_drawWidth; }
    float CurrentX() const { return m_curX; }
    float CurrentY() const { return m_curY; }

    LineShape* addLine(float x1, float y1, float x2, float y2, int32_t bgr, LineLayer layer);
    // Every line object, in the order they were added.
    std::vector<LineShape*> lines() const;

    // The drawing surface with every pending stroke applied, on white (line objects not
    // included).
    const QImage& image();

    // Called by LineShape when one changes.
    void lineChanged(const LineShape& line);

signals:
    void mouseMovedTw(float x, float y);
    // The drawing changed (not only a line object or a child).
    void drawingChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // One point or one polyline, in the colour and width it was drawn with.
    struct Stroke {
        int32_t color;
        int width;
        QPolygonF points; // one point for PSet
        bool open;        // LineTo may still extend it
        // Points that follow `points`, not yet worked out (LinesTo).
        std::function<QPointF(int)> later = {};
        int laterCount = 0;
    };

    void render();
    void drawStrokes(QPainter& p, size_t from, size_t to);
    void drawLines(QPainter& p, LineLayer layer) const;
    // How many strokes a fresh picture starts with that are straight lines (a chart's scale
    // lines, drawn before its data): they go into the backdrop.
    size_t leadingLines() const;
    // White, the line objects beneath the drawing and the first `leading` strokes.
    const QPixmap& backdrop(size_t leading);
    void updateDrawing();
    void resolve(Stroke& stroke) const;
    void closeStroke();
    void addStroke(Stroke stroke);
    QPointF toPx(float x, float y) const;

    // What has been drawn, transparent where nothing was: the line objects beneath the drawing
    // must show through it.
    QImage m_ink;
    // m_ink on white, as image() hands it out; made again only when asked for after a change.
    QImage m_surface;
    bool m_surfaceStale = true;
    int32_t m_foreColor = 0;
    int m_drawWidth = 1;
    float m_curX = 0;
    float m_curY = 0;
    // Drawing is kept as strokes and put on the image only when someone looks (a repaint or
    // image()). The live trace is erased and drawn again at every receive tick, far more often
    // than the screen is painted, so most of those pictures are never rendered at all; and as
    // it is drawn with LinesTo, a tick does not even work out the points of its polyline, so it
    // costs what changed rather than the width of the screen. Consecutive LineTo calls form one
    // polyline, which strokes much faster than its segments.
    std::vector<Stroke> m_strokes;
    bool m_erasePending = false;
    std::vector<std::unique_ptr<LineShape>> m_lines;
    // White, the line objects beneath the drawing and the straight lines a fresh picture starts
    // with (a chart's scale lines), as last painted: they change with the size, the view or the
    // pen, not with the data, and cost about as much to draw as the trace itself.
    QPixmap m_backdrop;
    std::vector<Stroke> m_backdropLines;
    bool m_backdropValid = false;
};
