#pragma once

#include <QString>

// The five-field line-parameter string handed to the engine: "baud,parity,data,stop,flow".
QString xfunLineParamString(const QString& baud, const QString& parity, const QString& dataBits,
                            const QString& stopBits, int flow);
// Flow field at start-up from the saved flow text: "な" 0, "ハ" 1, anything else 2.
int xfunFlowCode(const QString& flowText);

// The line panel's data-bit and stop-bit texts for what is set on the line, and, when a 1.5 stop
// bits choice could only be set as 1, why.
struct LinePanelTexts {
    QString dataBits;
    QString stopBits;
    QString stopNote;
};
LinePanelTexts xfunLinePanelTexts(const QString& parity, const QString& dataBits,
                                  const QString& stopBits);
