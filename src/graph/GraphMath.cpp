#include "GraphMath.h"

float xfunMapX(int16_t K, int16_t nMinus1, float W, float X0) {
    const float share = static_cast<float>(K) / static_cast<float>(nMinus1);
    const float offset = share * W;
    return X0 + offset;
}

float xfunMapY(int16_t v, int16_t span, int16_t yMin, float H, float Y0) {
    const auto above = static_cast<int16_t>(v - yMin);
    const float share = static_cast<float>(above) / static_cast<float>(span);
    const float offset = share * H;
    return Y0 - offset;
}

int16_t xfunSignedValue(uint8_t b, int16_t iSigned) {
    if (iSigned == 1 && b >= 128) return static_cast<int16_t>(b - 256);
    return b;
}

uint8_t xfunRawByte(int16_t v) {
    return static_cast<uint8_t>(v < 0 ? v + 256 : v);
}

QString xfunHexText(int16_t v) {
    // A negative value prints as its four 16-bit digits; the last two are the raw byte's.
    const QString hex = QString::number(static_cast<uint16_t>(v), 16).toUpper();
    return (QStringLiteral("00") + hex + QStringLiteral("h")).right(3);
}
