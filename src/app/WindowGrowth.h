#pragma once

#include <QObject>
#include <QRectF>
#include <QSize>
#include <QString>
#include <vector>

class LineShape;
class QWidget;
class frms_RS_GRAPH_1;

// The main window grown past its default size: the graph pane takes the extra width and
// height, the controls keep their size and stay beside and below it, and the pane's lines are
// stretched over the new trace area so that its samples and scale lines map by the same rules.
// The default size is the smallest; there every control and pixel stay where they always were.
// The size and place are kept in the lens's settings file (Tessavue.ini), not the nine-line one.
class WindowGrowth : public QObject {
    Q_OBJECT
public:
    explicit WindowGrowth(frms_RS_GRAPH_1* form);

    // What the window last had, from `path` (nothing for a missing or damaged entry).
    void restore(const QString& path);
    void remember(const QString& path) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Where a widget stands at the default size, in twips as it was placed.
    struct Placed {
        QWidget* widget;
        QRectF at;
    };
    void grow();

    frms_RS_GRAPH_1* m_form;
    QSize m_default;
    QRectF m_pane;
    // The trace's base line at the default size, in twips of the pane.
    float m_baseY;
    // The window's controls and the pane's own children, where they stand at the default size.
    std::vector<Placed> m_controls;
    std::vector<Placed> m_paneChildren;
    std::vector<Placed> m_scaleLabels;
    // The pane's lines at the default size, and the trace area they frame (twips).
    struct LineEnds {
        LineShape* line;
        float x1, y1, x2, y2;
    };
    std::vector<LineEnds> m_lines;
    struct {
        float x0, y0, w, h;
    } m_lineFrame;
    // The extra width and height the pane's lines were last stretched for.
    QSize m_grown{0, 0};
};
