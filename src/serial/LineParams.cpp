#include "LineParams.h"

#include "graph/Measurements.h"

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
    const LineCharacter character = xfunLineCharacter(parity, dataBits, stopBits);
    return QStringLiteral("%1,%2,%3,%4,%5")
        .arg(baud)
        .arg(parityCode)
        .arg(character.dataBits)
        .arg(character.stopBits - 1)
        .arg(flow);
}

int xfunFlowCode(const QString& flowText) {
    const QString first = flowText.left(1);
    if (first == QStringLiteral("な")) return 0;
    if (first == QStringLiteral("ハ")) return 1;
    return 2;
}

LinePanelTexts xfunLinePanelTexts(const QString& parity, const QString& dataBits,
                                  const QString& stopBits) {
    const LineCharacter c = xfunLineCharacter(parity, dataBits, stopBits);
    LinePanelTexts texts{QStringLiteral("%1 ﾋﾞｯﾄ").arg(c.dataBits),
                         QStringLiteral("%1 ｽﾄｯﾌﾟﾋﾞｯﾄ").arg(c.stopBits), QString()};
    if (c.oneAndHalfAsked) {
        texts.stopBits = QStringLiteral("1.5→1 ｽﾄｯﾌﾟ");
        texts.stopNote = QStringLiteral(
            "1.5 ストップビットは端末に設定できません｡ 1 ストップビットで設定しました｡");
    }
    return texts;
}
