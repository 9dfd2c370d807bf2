#include "send/SendLine.h"

namespace {

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

SendBytes refused(const QString& why) {
    return {QByteArray(), why};
}

SendBytes tooLong() {
    return refused(QStringLiteral("1 行で送れるのは %1 バイトまでです｡ 長いデータはファイル送信で"
                                  "送ってください｡")
                       .arg(kMaxLineBytes));
}

// Positions are counted from 1 as a user counts the characters of the line.
QString at(qsizetype i) {
    return QStringLiteral(" (%1 文字目)").arg(i + 1);
}

SendBytes fromText(const QString& line) {
    QByteArray out;
    qsizetype plainFrom = 0;
    auto flushPlain = [&](qsizetype upTo) {
        out += line.mid(plainFrom, upTo - plainFrom).toUtf8();
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != u'\\') continue;
        flushPlain(i);
        if (i + 1 >= line.size())
            return refused(QStringLiteral("行末の \\ の後に文字がありません｡ \\ そのものは \\\\ "
                                          "と入力してください｡"));
        const QChar e = line[i + 1];
        qsizetype used = 2;
        if (e == u'r') {
            out += '\r';
        } else if (e == u'n') {
            out += '\n';
        } else if (e == u't') {
            out += '\t';
        } else if (e == u'\\') {
            out += '\\';
        } else if (e == u'x') {
            const int hi = i + 2 < line.size() ? hexValue(line[i + 2]) : -1;
            const int lo = i + 3 < line.size() ? hexValue(line[i + 3]) : -1;
            if (hi < 0 || lo < 0)
                return refused(QStringLiteral("\\x の後には 16 進 2 桁が要ります｡") + at(i));
            out += static_cast<char>(hi * 16 + lo);
            used = 4;
        } else {
            return refused(QStringLiteral("\\%1 は使えません｡ 使えるのは \\r \\n \\t \\\\ \\xNN "
                                          "です｡")
                               .arg(e) +
                           at(i));
        }
        i += used - 1;
        plainFrom = i + 1;
    }
    flushPlain(line.size());
    return {out, QString()};
}

SendBytes fromHex(const QString& line) {
    QByteArray out;
    int high = -1;          // the first digit of a pair, while its second is awaited
    qsizetype pairFrom = 0; // where that pair began
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c.isSpace()) {
            if (high >= 0) break;
            continue;
        }
        const int v = hexValue(c);
        if (v < 0)
            return refused(QStringLiteral("16 進でない文字「%1」があります｡").arg(c) + at(i));
        if (high < 0) {
            high = v;
            pairFrom = i;
        } else {
            out += static_cast<char>(high * 16 + v);
            high = -1;
        }
    }
    if (high >= 0)
        return refused(QStringLiteral("16 進は 2 桁ずつ入力してください｡ 1 桁だけの所があります｡") +
                       at(pairFrom));
    return {out, QString()};
}

} // namespace

QByteArray xfunLineEndingBytes(LineEnding ending) {
    switch (ending) {
    case LineEnding::None:
        return {};
    case LineEnding::Lf:
        return QByteArrayLiteral("\n");
    case LineEnding::Cr:
        return QByteArrayLiteral("\r");
    case LineEnding::CrLf:
        return QByteArrayLiteral("\r\n");
    }
    return {};
}

SendBytes xfunSendBytes(const QString& line, EntryMode mode, LineEnding ending) {
    // Even a line of plain letters can be no more than four bytes a character: a line far too
    // long is refused before it is turned into bytes at all.
    if (line.size() > kMaxLineBytes * 4) return tooLong();
    SendBytes r = mode == EntryMode::Hex ? fromHex(line) : fromText(line);
    if (!r.ok()) return r;
    r.bytes += xfunLineEndingBytes(ending);
    if (r.bytes.size() > kMaxLineBytes) return tooLong();
    return r;
}
