#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

// What the user types to send, turned into the bytes that go out. Pure: no port, no widget.

enum class LineEnding { None, Lf, Cr, CrLf };
enum class EntryMode {
    Text, // characters as UTF-8, with the escapes \r \n \t \\ \xNN
    Hex   // bytes as pairs of hex digits, "02 51 03" or "025103"
};

// A line goes to the port's queue in one piece, so it may be no longer than the queue holds;
// longer data is a file to send.
constexpr qsizetype kMaxLineBytes = 64 * 1024;

struct SendBytes {
    QByteArray bytes; // with the line ending; empty when error is set
    QString error;    // why the line cannot be sent, for the user; empty when it can
    bool ok() const { return error.isEmpty(); }
};

SendBytes xfunSendBytes(const QString& line, EntryMode mode, LineEnding ending);

QByteArray xfunLineEndingBytes(LineEnding ending);
