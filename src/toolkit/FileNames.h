#pragma once

#include <QByteArray>
#include <QString>

// File names are bytes to the file system and need not be UTF-8. Qt's own conversion turns the
// bytes that are not into U+FFFD and the name is lost; these two keep each such byte as one
// unpaired surrogate U+DC80..U+DCFF (shown as a replacement mark) and give it back unchanged.
QString xfunNameFromBytes(const QByteArray& bytes);
QByteArray xfunNameToBytes(const QString& name);

// True when the name leads to a folder (through links too).
bool xfunIsFolder(const QString& path);
