#include "Settings.h"

#include <QFile>
#include <QSaveFile>
#include <QStringConverter>
#include <algorithm>
#include <limits>
#include <optional>

#include "AppState.h"

namespace appSub {

QString settingsPath(const QString& programDir) {
    return programDir + (programDir.endsWith(u'/') ? QString() : QStringLiteral("/")) +
           QStringLiteral("Tessavue.OVR");
}

QByteArray toCp932(const QString& text) {
    QStringEncoder enc("windows-31j");
    return enc.encode(text);
}

QString fromCp932(const QByteArray& bytes) {
    QStringDecoder dec("windows-31j");
    return dec.decode(bytes);
}

namespace {

// Walks the fields of the file in order, ignoring where lines break.
class FieldReader {
public:
    explicit FieldReader(const QString& text) : m_text(text) {}

    std::optional<QString> text() {
        const int n = m_text.size();
        while (m_pos < n && m_text[m_pos] == u' ')
            ++m_pos;
        if (m_pos >= n) return std::nullopt;
        QString field;
        if (m_text[m_pos] == u'"') {
            // A quoted text keeps its commas; "" stands for one quote.
            ++m_pos;
            while (m_pos < n) {
                if (m_text[m_pos] == u'"') {
                    if (m_pos + 1 < n && m_text[m_pos + 1] == u'"') {
                        field += u'"';
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                field += m_text[m_pos++];
            }
            while (m_pos < n && !isEnd(m_text[m_pos]))
                ++m_pos;
        } else {
            while (m_pos < n && !isEnd(m_text[m_pos]))
                field += m_text[m_pos++];
        }
        skipSeparator();
        return field;
    }

    template <typename Int> std::optional<Int> number() {
        const std::optional<QString> field = text();
        if (!field) return std::nullopt;
        bool ok = false;
        const qlonglong v = field->trimmed().toLongLong(&ok, 10);
        if (!ok || v < std::numeric_limits<Int>::min() || v > std::numeric_limits<Int>::max())
            return std::nullopt;
        return static_cast<Int>(v);
    }

private:
    static bool isEnd(QChar c) { return c == u',' || c == u'\r' || c == u'\n'; }

    void skipSeparator() {
        const int n = m_text.size();
        if (m_pos < n && m_text[m_pos] == u',') {
            ++m_pos;
        } else {
            if (m_pos < n && m_text[m_pos] == u'\r') ++m_pos;
            if (m_pos < n && m_text[m_pos] == u'\n') ++m_pos;
        }
    }

    QString m_text;
    int m_pos = 0;
};

QString quoted(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.startsWith(u' ')) return text;
    QString q = text;
    q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

template <typename Int> Int clamped(Int v, Int lo, Int hi) {
    return std::clamp(v, lo, hi);
}

} // namespace

void applySettings(const QByteArray& bytes, AppState& s) {
    FieldReader in(fromCp932(bytes));
    ChannelRecord& ch = s.ChData[0];

    // Each field is taken as soon as it has been read; the first bad one ends the reading.
#define READ_TEXT(target)                                                                          \
    if (auto v = in.text())                                                                        \
        target = *v;                                                                               \
    else                                                                                           \
        return
#define READ_NUM(Int, target, expr)                                                                \
    if (auto v = in.number<Int>())                                                                 \
        target = (expr);                                                                           \
    else                                                                                           \
        return

    READ_NUM(int16_t, s.iScanSource, *v);
    READ_TEXT(s.strPortName);
    READ_TEXT(s.strBaud);
    READ_TEXT(s.strParity);
    READ_TEXT(s.strDataBits);
    READ_TEXT(s.strStopBits);
    READ_TEXT(s.strFlow);
    // Out-of-range values come only from an edited or damaged file; they are brought into
    // range here so no control is asked to show what it cannot and nothing divides by zero.
    READ_NUM(int16_t, ch.iXDim, clamped<int16_t>(*v, 10, 800));
    READ_NUM(int16_t, ch.iSigned, clamped<int16_t>(*v, 0, 1));
    ch.iYMax = ch.iSigned == 1 ? 130 : 255;
    ch.iYMin = ch.iSigned == 1 ? -130 : 0;
    for (int i = 0; i < 2; ++i)
        READ_NUM(int16_t, s.iCurXPos[i], clamped<int16_t>(*v, 0, 799));
    for (int i = 0; i < 2; ++i)
        READ_NUM(int16_t, s.iCurXOn[i], clamped<int16_t>(*v, 0, 1));
    for (int i = 0; i < 2; ++i)
        READ_NUM(int16_t, s.iCurYPos[i], clamped<int16_t>(*v, -128, 255));
    for (int i = 0; i < 2; ++i)
        READ_NUM(int16_t, s.iCurYOn[i], clamped<int16_t>(*v, 0, 1));
    READ_TEXT(s.strDataDir);
    if (s.strDataDir.isEmpty()) s.strDataDir = s.strProgramDir;
    READ_NUM(int32_t, s.lLogMaxMB, clamped<int32_t>(*v, 1, 10));
    READ_NUM(int32_t, ch.lColor, *v);
    s.lPenColor = ch.lColor;
    READ_TEXT(s.strPrinterName);
    READ_TEXT(s.strPrintTitle);
    READ_NUM(int16_t, s.iPrintAuthor, *v);
    READ_TEXT(s.strPrintAuthor);
    READ_NUM(int16_t, s.iPrintData, *v);
    READ_NUM(int16_t, s.iMemSaveMode, *v);
#undef READ_TEXT
#undef READ_NUM
}

QByteArray settingsBytes(const AppState& s) {
    const ChannelRecord& ch = s.ChData[0];
    auto n = [](qlonglong v) { return QString::number(v); };
    const QStringList lines = {
        QStringList{n(s.iScanSource), quoted(s.strPortName), quoted(s.strBaud), quoted(s.strParity),
                    quoted(s.strDataBits), quoted(s.strStopBits), quoted(s.strFlow)}
            .join(u','),
        n(ch.iXDim),
        n(ch.iSigned),
        QStringList{n(s.iCurXPos[0]), n(s.iCurXPos[1]), n(s.iCurXOn[0]), n(s.iCurXOn[1])}.join(
            u','),
        QStringList{n(s.iCurYPos[0]), n(s.iCurYPos[1]), n(s.iCurYOn[0]), n(s.iCurYOn[1])}.join(
            u','),
        QStringList{quoted(s.strDataDir), n(s.lLogMaxMB)}.join(u','),
        n(ch.lColor),
        QStringList{quoted(s.strPrinterName), quoted(s.strPrintTitle), n(s.iPrintAuthor),
                    quoted(s.strPrintAuthor), n(s.iPrintData)}
            .join(u','),
        n(s.iMemSaveMode),
    };
    return toCp932(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

void xsubSettingsRead() {
    QFile f(settingsPath(app().strProgramDir));
    if (!f.open(QIODevice::ReadOnly)) return;
    // A settings file is a few hundred bytes; anything huge is not ours.
    constexpr qint64 kMaxSettingsBytes = 64 * 1024;
    applySettings(f.read(kMaxSettingsBytes), app());
}

void xsubSettingsWrite() {
    QSaveFile f(settingsPath(app().strProgramDir));
    if (!f.open(QIODevice::WriteOnly)) return;
    f.write(settingsBytes(app()));
    f.commit();
}

} // namespace appSub
