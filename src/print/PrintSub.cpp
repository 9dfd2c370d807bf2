#include "PrintSub.h"

#include <QCoreApplication>
#include <QPrinter>
#include <algorithm>
#include <cmath>

#include "DrawTarget.h"
#include "app/state/AppState.h"
#include "storage/FileView.h"
#include "toolkit/CountText.h"

namespace PrintSub {

std::array<uint8_t, kPrintBufSize> bPrintBuf{};
int16_t iPrintCount = 0;

float sngMarginL = 0.02f;
float sngMarginR = 0.02f;
float sngPlotX = 0;
float sngPlotW = 0;
float sngPlotH = 0;
float sngHeadH = 0;
float sngAxisY = 0;
int16_t iPrintYMax = 255;
int16_t iPrintYMin = 0;
int16_t iXDivision = 1;
QPointer<QWidget> pLensPane;
QString strLensText;

namespace {

constexpr float kPagePoints = 9.0f;

// The right-hand `width` characters of `text` after `width` leading spaces.
QString rightAligned(const QString& text, int width) {
    return (QString(width, QLatin1Char(' ')) + text).right(width);
}

QString hexByte(uint8_t b) {
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

int16_t sampleValue(uint8_t b) {
    return (app().ChData[0].iSigned == 1 && b >= 128) ? static_cast<int16_t>(b - 256) : b;
}

void gridLine(DrawTarget& t, int16_t v, bool labelled) {
    const float y = xfunPrintY(v);
    t.line(sngPlotX, y, sngPlotX + sngPlotW, y);
    if (labelled) xsubPrintYLabel(t, y, v);
}

void printList(DrawTarget& t, QString (*cell)(uint8_t)) {
    const QString face = t.fontName();
    t.setFontName(kListFace);
    const float th = t.textHeight(QStringLiteral("A"));
    float row = 5.5f;
    int left = 0;
    for (int i = 0; i < iPrintCount; ++i) {
        if (left <= 0) {
            row = row + 1;
            left = 20;
            t.setCurrent(sngPlotX, th * row + sngAxisY);
        }
        t.print(cell(bPrintBuf[i]));
        if (left == 11) t.print(QStringLiteral(" "));
        left = left - 1;
    }
    t.setFontName(face);
}

} // namespace

void xsubPrintDataGet() {
    // A failure is told once by the view's reader, and what it could not read prints as 0.
    const std::vector<uint8_t> samples = xfunViewScreen().samples;
    std::copy(samples.begin(), samples.end(), bPrintBuf.begin());
    iPrintCount = static_cast<int16_t>(samples.size());
}

void xsubPrintPage(DrawTarget& t) {
    xsubPrintLayout(t);
    const float points = std::nearbyint(t.fontSize());
    t.setFontSize(kPagePoints);
    t.setForeColor(0);
    xsubPrintTitle(t);
    xsubPrintDate(t);
    if (pLensPane) {
        xsubPrintLens(t);
        t.setFontSize(points);
        return;
    }
    xsubPrintYAxis(t);
    xsubPrintXAxis(t);
    QCoreApplication::processEvents();
    xsubPrintTrace(t);
    t.setForeColor(0);
    xsubPrintInfo(t);
    QCoreApplication::processEvents();
    xsubPrintList(t);
    t.setFontSize(points);
}

void xsubPrintLayout(DrawTarget& t) {
    t.setForeColor(0);
    const float W = t.scaleWidth();
    const float H = t.scaleHeight();
    sngMarginL = 0.02f;
    sngMarginR = 0.02f;
    const float th = t.textHeight(QStringLiteral("A"));
    const float lw = t.textWidth(QStringLiteral(" -128 "));
    sngPlotW = W - (sngMarginL + sngMarginR) * W - lw;
    sngPlotH = sngPlotW * 0.615384615f;
    sngPlotX = sngMarginL * W + lw;
    sngHeadH = 5 * th;
    const float gap = sngPlotH / 255 * 10;
    const float below = sngHeadH + 2.5f * th + gap;
    if (sngPlotH + below > H) sngPlotH = H - below;
    sngAxisY = gap + sngPlotH + sngHeadH;
    if (app().ChData[0].iSigned == 1) {
        iPrintYMax = 127;
        iPrintYMin = -128;
    } else {
        iPrintYMax = 255;
        iPrintYMin = 0;
    }
}

float xfunPrintX(int16_t i) {
    return static_cast<float>(i) / static_cast<float>(app().ChData[0].iXDim - 1) * sngPlotW +
           sngPlotX;
}

float xfunPrintY(int16_t v) {
    return (sngHeadH + sngPlotH) - static_cast<float>(v - iPrintYMin) /
                                       static_cast<float>(iPrintYMax - iPrintYMin) * sngPlotH;
}

void xsubPrintTitle(DrawTarget& t) {
    const QString& title = app().strPrintTitle;
    t.setCurrent(sngPlotX, (sngHeadH - t.textHeight(title)) / 2);
    t.print(title);
}

void xsubPrintDate(DrawTarget& t) {
    if (app().iPrintDate != 1) return;
    const QString d = xfunDateText();
    t.setCurrent(sngPlotX + sngPlotW - t.textWidth(d), sngHeadH - 1.5f * t.textHeight(d));
    t.print(d);
}

void xsubPrintYAxis(DrawTarget& t) {
    t.line(sngPlotX, sngHeadH, sngPlotX, sngHeadH + sngPlotH);
    t.line(sngPlotX, sngHeadH + sngPlotH, sngPlotX + sngPlotW, sngHeadH + sngPlotH);
    if (app().ChData[0].iSigned == 1) {
        for (int16_t v = -110; v <= 110; v += 10)
            gridLine(t, v, v % 50 == 0);
        gridLine(t, -128, true);
        gridLine(t, 127, true);
    } else {
        for (int16_t v = 0; v <= 240; v += 10)
            gridLine(t, v, v % 50 == 0);
        gridLine(t, 255, true);
    }
}

QString xfunYLabelText(int16_t v) {
    if (app().iPrintData == 1)
        return QStringLiteral(" ") + hexByte(static_cast<uint8_t>(v)) + QStringLiteral("h");
    return rightAligned(QString::number(v), 4);
}

void xsubPrintYLabel(DrawTarget& t, float y, int16_t v) {
    const QString text = xfunYLabelText(v);
    t.setCurrent((sngPlotX - t.textWidth(text)) / 2, y - t.textHeight(text) / 2);
    t.print(text);
}

void xsubPrintXAxis(DrawTarget& t) {
    const int16_t xDim = app().ChData[0].iXDim;
    t.line(sngPlotX, sngAxisY, sngPlotX + sngPlotW, sngAxisY);
    iXDivision = xDim < 100 ? 1 : 10;
    const float half = sngPlotH / 255 * 2.5f;
    for (int16_t i = 0; i <= xDim - 1; i += iXDivision) {
        const float x = xfunPrintX(i);
        t.line(x, sngAxisY - half, x, sngAxisY + half);
    }
}

void xsubPrintTrace(DrawTarget& t) {
    t.setForeColor(app().lPenColor);
    for (int16_t i = 0; i < iPrintCount; ++i) {
        const float x = xfunPrintX(i);
        const float y = xfunPrintY(sampleValue(bPrintBuf[i]));
        if (i == 0) {
            t.point(x, y);
        } else {
            t.lineTo(x, y);
        }
    }
}

QString xfunXDimensionLine() {
    return QStringLiteral("X-Dimension ") +
           rightAligned(QString::number(app().ChData[0].iXDim), 3) + QStringLiteral(" Point");
}

QString xfunXDivisionLine() {
    return QStringLiteral("X-Division ") + rightAligned(QString::number(iXDivision), 3) +
           QStringLiteral(" Point");
}

QString xfunYDimensionLine() {
    return app().ChData[0].iSigned == 1 ? QStringLiteral("Y-Dimension Sign Enable -128～+127")
                                        : QStringLiteral("Y-Dimension Sign Disabel 0～255");
}

void xsubPrintInfo(DrawTarget& t) {
    const float x = sngPlotX + t.textWidth(QStringLiteral("111111"));
    const float th = t.textHeight(QStringLiteral("A"));
    t.setCurrent(x, sngAxisY + 1.5f * th);
    t.print(xfunXDimensionLine());
    t.setCurrent(x, sngAxisY + 2.5f * th);
    t.print(xfunXDivisionLine());
    t.setCurrent(x, sngAxisY + 3.5f * th);
    t.print(xfunYDimensionLine());
    if (app().iPrintAuthor == 1) {
        t.setCurrent(x, sngAxisY + 4.5f * th);
        t.print(app().strPrintAuthor);
    }
}

void xsubPrintLens(DrawTarget& t) {
    const float left = sngMarginL * t.scaleWidth();
    t.widget(pLensPane, left, sngHeadH, sngPlotX + sngPlotW - left, sngAxisY - sngHeadH);
    t.setForeColor(0);
    const float x = sngPlotX + t.textWidth(QStringLiteral("111111"));
    const float th = t.textHeight(QStringLiteral("A"));
    const QString lines[3] = {
        xfunXDimensionLine().replace(QStringLiteral("Point"), QStringLiteral("Frame")),
        QStringLiteral("Lens ") + strLensText,
        app().iPrintAuthor == 1 ? app().strPrintAuthor : QString()};
    for (int i = 0; i < 3; ++i) {
        t.setCurrent(x, sngAxisY + (1.5f + float(i)) * th);
        t.print(lines[i]);
    }
}

QString xfunDecCell(uint8_t b) {
    return rightAligned(QString::number(sampleValue(b)), 5);
}

QString xfunHexCell(uint8_t b) {
    return QStringLiteral(" ") + hexByte(b) + QStringLiteral("h");
}

void xsubPrintList(DrawTarget& t) {
    if (app().iPrintData == 0) {
        xsubPrintListDec(t);
    } else if (app().iPrintData == 1) {
        xsubPrintListHex(t);
    }
}

void xsubPrintListDec(DrawTarget& t) {
    printList(t, xfunDecCell);
}

void xsubPrintListHex(DrawTarget& t) {
    printList(t, xfunHexCell);
}

QString xfunNoPrinterText() {
    return QStringLiteral("印刷できませんでした｡ (no printer)");
}

QString xfunPrintOnPrinter(QPrinter& printer) {
    printer.setDocName(app().strAppTitle);
    DrawTarget target(&printer);
    if (!target.isActive())
        return QStringLiteral("印刷できませんでした｡ (the printer could not be opened)");
    xsubPrintPage(target);
    if (!target.end())
        return QStringLiteral("印刷できませんでした｡ (the page could not be sent to the printer)");
    return {};
}

} // namespace PrintSub
