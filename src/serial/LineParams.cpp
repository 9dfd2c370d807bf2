#include "LineParams.h"

QString xfunLineParamString(const QString& baud, const QString& parity, const QString& dataBits,
                            const QString& stopBits, int flow) {
    int parityCode = 4;
    if (parity == QStringLiteral("なし"))
        parityCode = 0;
    else if (parity == QStringLiteral("偶数"))
        parityCode = 1;
    else if (parity == QStringLiteral("奇数"))
        parityCode = 2;
    else if (parity == QStringLiteral("ﾏｰｸ"))
        parityCode = 3;
    const int stopCode = stopBits.left(1) == QStringLiteral("2") ? 1 : 0;
    return QStringLiteral("%1,%2,%3,%4,%5")
        .arg(baud)
        .arg(parityCode)
        .arg(dataBits.left(1))
        .arg(stopCode)
        .arg(flow);
}

int xfunFlowCode(const QString& flowText) {
    const QString first = flowText.left(1);
    if (first == QStringLiteral("な")) return 0;
    if (first == QStringLiteral("ハ")) return 1;
    return 2;
}
