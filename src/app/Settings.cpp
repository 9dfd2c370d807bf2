#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringConverter>
#include <algorithm>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "app/state/AppState.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"
#include "toolkit/FileNames.h"

namespace appSub {

namespace {

// Walks the fields of the file in order, ignoring where lines break.
class FieldReader {
public:
    FieldReader(const QString& text, bool escapes) : m_text(text), m_escapes(escapes) {}

    std::optional<QString> text() {
        const int n = m_text.size();
        while (m_pos < n && m_text[m_pos] == u' ')
            ++m_pos;
        if (m_pos >= n) return std::nullopt;
        QString field;
        if (m_text[m_pos] == u'"') {
            // A quoted text keeps its commas; "" stands for one quote. A quote left open ends
            // with its line, so a damaged field cannot swallow the fields after it.
            ++m_pos;
            while (m_pos < n && !isLineEnd(m_text[m_pos])) {
                const QChar c = m_text[m_pos];
                if (c == u'"') {
                    if (m_pos + 1 < n && m_text[m_pos + 1] == u'"') {
                        field += u'"';
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                if (m_escapes && c == u'\\' && m_pos + 1 < n && !isLineEnd(m_text[m_pos + 1])) {
                    const QChar e = m_text[m_pos + 1];
                    field += e == u'r' ? QChar(u'\r') : e == u'n' ? QChar(u'\n') : e;
                    m_pos += 2;
                    continue;
                }
                field += c;
                ++m_pos;
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
    static bool isLineEnd(QChar c) { return c == u'\r' || c == u'\n'; }
    static bool isEnd(QChar c) { return c == u',' || isLineEnd(c); }

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
    bool m_escapes;
    int m_pos = 0;
};

bool hasLineBreak(const QString& text) {
    return text.contains(u'\r') || text.contains(u'\n');
}

QString quoted(const QString& text, bool escapes) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.startsWith(u' ') &&
        !hasLineBreak(text))
        return text;
    QString q = text;
    if (escapes) {
        q.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
        q.replace(QStringLiteral("\r"), QStringLiteral("\\r"));
        q.replace(QStringLiteral("\n"), QStringLiteral("\\n"));
    }
    q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

template <typename Int> Int clamped(Int v, Int lo, Int hi) {
    return std::clamp(v, lo, hi);
}

// Flags and check states: 1 is on, anything else a damaged file may hold is off.
int16_t flag(int16_t v) {
    return v == 1 ? 1 : 0;
}

// Texts that code page 932 cannot hold (accented letters, emoji) or that would break a line
// (a folder name with a line break) switch the whole file to UTF-8 behind a byte-order mark;
// only there may a quoted text carry the escapes \\, \r and \n. Every file written before
// begins with its first field, a number, never with that mark, so no older file can be read
// as the other kind, and a file that code page 932 can hold keeps its exact bytes.
const QByteArray kUtf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");

} // namespace

void applySettings(const QByteArray& bytes, AppState& s) {
    const bool utf8 = bytes.startsWith(kUtf8Mark);
    FieldReader in(utf8 ? QString::fromUtf8(bytes.mid(kUtf8Mark.size())) : fromCp932(bytes), utf8);
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
    READ_NUM(int16_t, ch.iSigned, flag(*v));
    ch.iYMax = ch.iSigned == 1 ? 130 : 255;
    ch.iYMin = ch.iSigned == 1 ? -130 : 0;
    for (int i = 0; i < 2; ++i)
        READ_NUM(int16_t, s.iCurXPos[i], clamped<int16_t>(*v, 0, 799));
    for (int i = 0; i < 2; ++i)
        READ_NUM(int16_t, s.iCurXOn[i], flag(*v));
    for (int i = 0; i < 2; ++i)
        READ_NUM(int16_t, s.iCurYPos[i], clamped<int16_t>(*v, -128, 255));
    for (int i = 0; i < 2; ++i)
        READ_NUM(int16_t, s.iCurYOn[i], flag(*v));
    READ_TEXT(s.strDataDir);
    if (s.strDataDir.isEmpty()) s.strDataDir = s.strHomeDir;
    READ_NUM(int32_t, s.lLogMaxMB, clamped<int32_t>(*v, 1, 10));
    READ_NUM(int32_t, ch.lColor, *v);
    s.lPenColor = ch.lColor;
    READ_TEXT(s.strPrinterName);
    READ_TEXT(s.strPrintTitle);
    READ_NUM(int16_t, s.iPrintAuthor, flag(*v));
    READ_TEXT(s.strPrintAuthor);
    READ_NUM(int16_t, s.iPrintData, *v);
    READ_NUM(int16_t, s.iMemSaveMode, *v);
#undef READ_TEXT
#undef READ_NUM
}

namespace {

QString settingsText(const AppState& s, bool escapes) {
    const ChannelRecord& ch = s.ChData[0];
    auto n = [](qlonglong v) { return QString::number(v); };
    auto q = [escapes](const QString& text) { return quoted(text, escapes); };
    const bool runPort =
        !s.strRunPort.isEmpty() && s.strPortName == s.strRunPort && s.iScanSource == kSourceCom;
    const QStringList lines = {
        QStringList{n(runPort ? s.iFileScanSource : s.iScanSource),
                    q(runPort ? s.strFilePortName : s.strPortName), q(s.strBaud), q(s.strParity),
                    q(s.strDataBits), q(s.strStopBits), q(s.strFlow)}
            .join(u','),
        n(ch.iXDim),
        n(ch.iSigned),
        QStringList{n(s.iCurXPos[0]), n(s.iCurXPos[1]), n(s.iCurXOn[0]), n(s.iCurXOn[1])}.join(
            u','),
        QStringList{n(s.iCurYPos[0]), n(s.iCurYPos[1]), n(s.iCurYOn[0]), n(s.iCurYOn[1])}.join(
            u','),
        QStringList{q(s.strDataDir), n(s.lLogMaxMB)}.join(u','),
        n(ch.lColor),
        QStringList{q(s.strPrinterName), q(s.strPrintTitle), n(s.iPrintAuthor), q(s.strPrintAuthor),
                    n(s.iPrintData)}
            .join(u','),
        n(s.iMemSaveMode),
    };
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

} // namespace

QByteArray settingsBytes(const AppState& s) {
    const QString text = settingsText(s, false);
    const QByteArray cp932 = toCp932(text);
    const bool lineBreaks = std::ranges::any_of(
        QStringList{s.strPortName, s.strBaud, s.strParity, s.strDataBits, s.strStopBits, s.strFlow,
                    s.strDataDir, s.strPrinterName, s.strPrintTitle, s.strPrintAuthor},
        hasLineBreak);
    if (!lineBreaks && fromCp932(cp932) == text) return cp932;
    return kUtf8Mark + settingsText(s, true).toUtf8();
}

void xsubRunPortUse(const QString& port) {
    if (port.isEmpty()) return;
    AppState& s = app();
    s.strFilePortName = s.strPortName;
    s.iFileScanSource = s.iScanSource;
    s.strRunPort = port;
    s.strPortName = port;
    s.iScanSource = kSourceCom;
}

void xsubSettingsRead() {
    // Never opened unless it is a regular file: a pipe or a device there would hold start-up
    // until something wrote to it. Anything else counts as no file.
    const int fd = ::open(xfunNameToBytes(app().strSettingsFile).constData(),
                          O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return;
    struct stat st {};
    QFile f;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return;
    }
    // A settings file is a few hundred bytes; anything huge is not ours.
    constexpr qint64 kMaxSettingsBytes = 64 * 1024;
    applySettings(f.read(kMaxSettingsBytes), app());
}

void xsubSettingsWrite() {
    QDir().mkpath(QFileInfo(app().strSettingsFile).path()); // a new user's first exit
    // Every byte is checked and on the disk before the file takes the name, so a full disk
    // leaves the old file whole; the user learns that this run's settings were not kept.
    const QByteArray bytes = settingsBytes(app());
    const int code =
        xfunSaveBytes(app().strSettingsFile, reinterpret_cast<const uint8_t*>(bytes.constData()),
                      static_cast<size_t>(bytes.size()), [](size_t) { return true; });
    if (code != 0) xsubFileErrMsg(code);
}

} // namespace appSub
