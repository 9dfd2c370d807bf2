#pragma once

#include <QByteArray>
#include <QString>

// Where the program keeps its files, and the code page its texts are stored in.
namespace appSub {

// Tessavue.OVR in the folder dir.
QString settingsPath(const QString& dir);

// Where a program started from programDir keeps its settings file, and its data files until
// the user picks another folder.
struct FilePlaces {
    QString settingsFile;
    QString homeDir;
};
FilePlaces xfunFilePlaces(const QString& programDir);

QByteArray toCp932(const QString& text);
QString fromCp932(const QByteArray& bytes);

} // namespace appSub
