#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>

class DrawTarget;
class QPrinter;

// The printed page: gathers the samples of the current view and lays out and draws the page
// (title, date, plot with its value scale, X axis, information lines, value listing) on any
// draw target, each from the target's own size and fonts.
namespace PrintSub {

inline constexpr int kPrintBufSize = 801;
// The fixed-pitch face of the value listing, so its cells line up in columns.
inline const QString kListFace = QStringLiteral("Noto Sans Mono CJK JP");

extern std::array<uint8_t, kPrintBufSize> bPrintBuf;
extern int16_t iPrintCount;

extern float sngMarginL;
extern float sngMarginR;
extern float sngPlotX;
extern float sngPlotW;
extern float sngPlotH;
extern float sngHeadH;
extern float sngAxisY;
extern int16_t iPrintYMax;
extern int16_t iPrintYMin;
extern int16_t iXDivision;

// While a lens is on: the channel pane, printed with its legend and axis in place of the byte
// plot and listing, and the lens's text form for the information lines; null and empty otherwise.
extern QPointer<QWidget> pLensPane;
extern QString strLensText;

void xsubPrintDataGet();

void xsubPrintPage(DrawTarget& t);
void xsubPrintLayout(DrawTarget& t);
void xsubPrintTitle(DrawTarget& t);
void xsubPrintDate(DrawTarget& t);
void xsubPrintYAxis(DrawTarget& t);
void xsubPrintYLabel(DrawTarget& t, float y, int16_t v);
void xsubPrintXAxis(DrawTarget& t);
void xsubPrintTrace(DrawTarget& t);
void xsubPrintInfo(DrawTarget& t);
void xsubPrintLens(DrawTarget& t);
void xsubPrintList(DrawTarget& t);
void xsubPrintListDec(DrawTarget& t);
void xsubPrintListHex(DrawTarget& t);

float xfunPrintX(int16_t i);
float xfunPrintY(int16_t v);

// The texts of the page, apart from their drawing.
QString xfunYLabelText(int16_t v);
QString xfunDecCell(uint8_t b);
QString xfunHexCell(uint8_t b);
QString xfunXDimensionLine();
QString xfunXDivisionLine();
QString xfunYDimensionLine();

// Draws the page onto the printer and ends the document. Returns "" when the page went out,
// else the text that tells the user it did not.
QString xfunPrintOnPrinter(QPrinter& printer);
// The text for a print that found no printer at all.
QString xfunNoPrinterText();

} // namespace PrintSub
