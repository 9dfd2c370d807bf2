#include "toolkit/FileNames.h"

#include <sys/stat.h>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isContinuation(uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at i, or 0 when the byte there starts none.
qsizetype sequenceLength(const QByteArray& bytes, qsizetype i) {
    const auto at = [&](qsizetype k) { return static_cast<uint8_t>(bytes[i + k]); };
    const uint8_t lead = at(0);
    qsizetype n = 0;
    uint8_t low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        n = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;  // no overlong forms
        if (lead == 0xED) high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + n > bytes.size() || at(1) < low || at(1) > high) return 0;
    for (qsizetype k = 2; k < n; ++k)
        if (!isContinuation(at(k))) return 0;
    return n;
}

} // namespace

QString xfunNameFromBytes(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        if (const qsizetype n = sequenceLength(bytes, i)) {
            name += QString::fromUtf8(bytes.constData() + i, n);
            i += n;
        } else {
            name += QChar(static_cast<char16_t>(kEscapeBase + static_cast<uint8_t>(bytes[i++])));
        }
    }
    return name;
}

QByteArray xfunNameToBytes(const QString& name) {
    QByteArray bytes;
    qsizetype runStart = 0; // start of the text not yet converted
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        const bool paired = i > 0 && name[i - 1].isHighSurrogate();
        if (c < kEscapeBase + 0x80 || c > kEscapeBase + 0xFF || paired) continue;
        bytes += name.mid(runStart, i - runStart).toUtf8();
        bytes += static_cast<char>(c - kEscapeBase);
        runStart = i + 1;
    }
    return bytes + name.mid(runStart).toUtf8();
}

bool xfunIsFolder(const QString& path) {
    struct stat st {};
    return ::stat(xfunNameToBytes(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}
