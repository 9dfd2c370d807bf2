#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QWidget>
#include <cstdint>

class QPaintDevice;

// What the printed page is drawn on: the printer, the dialog's preview image or any other paint
// device, in device pixels, with one current position that text, lines and points move on.
// Text is measured with the device's own font metrics, so a page laid out from those numbers
// fits the device it is drawn on.
class DrawTarget {
public:
    explicit DrawTarget(QPaintDevice* device);
    ~DrawTarget();
    DrawTarget(const DrawTarget&) = delete;
    DrawTarget& operator=(const DrawTarget&) = delete;

    // False when the device refused to start painting (a printer that is not there).
    bool isActive() const { return m_painter.isActive(); }
    // Ends painting; for a printer this sends the document. True when the device accepted it.
    bool end();

    float scaleWidth() const;
    float scaleHeight() const;

    void setForeColor(int32_t bgr);
    float fontSize() const { return static_cast<float>(m_font.pointSizeF()); }
    void setFontSize(float points);
    QString fontName() const { return m_font.family(); }
    void setFontName(const QString& face);

    float textWidth(const QString& text) const;
    float textHeight(const QString& text) const;

    float currentX() const { return m_curX; }
    float currentY() const { return m_curY; }
    void setCurrent(float x, float y);

    // Prints with the text's top-left corner at the current position and leaves the current
    // position just right of the text, on the same line.
    void print(const QString& text);
    void line(float x1, float y1, float x2, float y2);
    void lineTo(float x, float y);
    void point(float x, float y);
    // Draws the widget as it shows, scaled in its own proportions to fit width x maxHeight with
    // its top-left corner at (x, y); returns the height it took.
    float widget(QWidget* w, float x, float y, float width, float maxHeight);

private:
    QPaintDevice* m_device;
    QPainter m_painter;
    QFont m_font;
    float m_curX = 0;
    float m_curY = 0;
};

// The print dialog's page preview: a picture kept in an image, so it stays as drawn.
class PagePreview : public QWidget {
    Q_OBJECT
public:
    PagePreview(QWidget* parent, float widthTw, float heightTw);

    void Cls();
    // The picture to draw on; call update() after drawing so it shows.
    QImage& canvas() { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};
