#include "send/ConsoleLog.h"

#include "app/state/Places.h"

namespace {

QString byteText(uint8_t b) {
    return QStringLiteral("\\x") + QString::number(b, 16).toUpper().rightJustified(2, u'0');
}

void appendAscii(QString& out, uint8_t b) {
    if (b == '\n') {
        out += QChar(0x240A);
        out += u'\n';
    } else if (b < 0x20) {
        out += QChar(0x2400 + b);
    } else if (b == 0x7F) {
        out += QChar(0x2421);
    } else {
        out += QChar(b);
    }
}

bool continuation(uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at p (n bytes left), or 0.
int utf8Length(const uint8_t* p, qsizetype n) {
    const uint8_t b = p[0];
    int len = 0;
    uint8_t lo = 0x80, hi = 0xBF; // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (n < len || p[1] < lo || p[1] > hi) return 0;
    for (int i = 2; i < len; ++i)
        if (!continuation(p[i])) return 0;
    return len;
}

int cp932Length(const uint8_t* p, qsizetype n) {
    const uint8_t b = p[0];
    if (b >= 0xA1 && b <= 0xDF) return 1;
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (!lead || n < 2) return 0;
    const uint8_t t = p[1];
    return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC) ? 2 : 0;
}

} // namespace

QString xfunConsoleText(const QByteArray& bytes, bool cp932) {
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        if (p[i] < 0x80) {
            appendAscii(out, p[i++]);
            continue;
        }
        const int len = cp932 ? cp932Length(p + i, n - i) : utf8Length(p + i, n - i);
        const QByteArray one(reinterpret_cast<const char*>(p + i), len);
        const QString c = len == 0 ? QString()
                          : cp932  ? appSub::fromCp932(one)
                                   : QString::fromUtf8(one);
        if (c.isEmpty() || c.contains(QChar::ReplacementCharacter)) {
            out += byteText(p[i++]);
        } else {
            out += c;
            i += len;
        }
    }
    return out;
}

QString xfunConsoleHex(const QByteArray& bytes, int64_t firstSample) {
    QString out;
    for (qsizetype row = 0; row < bytes.size(); row += 16) {
        out += QStringLiteral("%1 ").arg(firstSample + row, 10, 10, QLatin1Char(' '));
        QString chars;
        for (qsizetype i = row; i < row + 16; ++i) {
            if (i < bytes.size()) {
                const auto b = static_cast<uint8_t>(bytes[i]);
                out += QStringLiteral(" %1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
                chars += b >= 0x20 && b < 0x7F ? QChar(b) : QChar(u'.');
            } else {
                out += QStringLiteral("   ");
            }
        }
        out += QStringLiteral("  ") + chars + u'\n';
    }
    return out;
}

void ConsoleLog::feed(const RingView& ring) {
    if (m_next < 0 || ring.total < m_next) m_next = ring.total; // first look, or emptied
    const int64_t from = std::max({m_next, ring.oldest(), ring.total - int64_t{kKeepBytes}});
    if (from >= ring.total) return;
    QByteArray bytes(static_cast<qsizetype>(ring.total - from), Qt::Uninitialized);
    for (int64_t n = from; n < ring.total; ++n)
        bytes[static_cast<qsizetype>(n - from)] = static_cast<char>(ring.data[ring.positionOf(n)]);
    if (!m_chunks.empty() && !m_chunks.back().sent &&
        m_chunks.back().first + m_chunks.back().bytes.size() == from)
        m_chunks.back().bytes += bytes;
    else
        m_chunks.push_back({from, bytes, false});
    m_kept += bytes.size();
    m_next = ring.total;
    trim();
}

void ConsoleLog::markSent(const QByteArray& bytes) {
    if (!m_echo || bytes.isEmpty()) return;
    m_chunks.push_back({std::max<int64_t>(m_next, 0), bytes, true});
    m_kept += bytes.size();
    trim();
}

void ConsoleLog::clear() {
    m_chunks.clear();
    m_kept = 0;
    ++m_generation;
    emit changed();
}

void ConsoleLog::trim() {
    while (m_kept > kKeepBytes && !m_chunks.empty()) {
        Chunk& oldest = m_chunks.front();
        const qsizetype over = m_kept - kKeepBytes;
        if (oldest.bytes.size() <= over) {
            m_kept -= oldest.bytes.size();
            m_chunks.pop_front();
        } else {
            oldest.bytes.remove(0, over);
            if (!oldest.sent) oldest.first += over;
            m_kept -= over;
        }
    }
    ++m_generation;
    emit changed();
}

QString ConsoleLog::render(View view, bool cp932) const {
    QString out;
    bool lineOpen = false; // the text so far does not end its line
    for (const Chunk& c : m_chunks) {
        if (c.sent) {
            if (lineOpen) out += u'\n';
            out += QStringLiteral("▶ 送信: ") + xfunConsoleText(c.bytes, false);
            if (!out.endsWith(u'\n')) out += u'\n';
            lineOpen = false;
        } else {
            out += view == View::Hex ? xfunConsoleHex(c.bytes, c.first)
                                     : xfunConsoleText(c.bytes, cp932);
            lineOpen = !out.endsWith(u'\n');
        }
    }
    return out;
}
