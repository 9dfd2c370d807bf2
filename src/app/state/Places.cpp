#include "app/state/Places.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QStringConverter>
#include <unistd.h>

#include "toolkit/FileNames.h"

namespace appSub {

QString settingsPath(const QString& dir) {
    return dir + (dir.endsWith(u'/') ? QString() : QStringLiteral("/")) +
           QStringLiteral("Tessavue.OVR");
}

FilePlaces xfunFilePlaces(const QString& programDir) {
    // A copy of the program in a folder it may write to keeps everything beside itself, as it
    // always has. An installed one (its menu entry in the share folder beside its bin folder)
    // never writes into the system's folders, not even when root starts it.
    const bool installed =
        QFileInfo::exists(programDir + QStringLiteral("/" TESSAVUE_DESKTOP_ENTRY_FROM_BIN));
    if (!installed && ::access(xfunNameToBytes(programDir).constData(), W_OK) == 0)
        return {settingsPath(programDir), programDir};
    return {settingsPath(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/tessavue")),
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                QStringLiteral("/Tessavue")};
}

QByteArray toCp932(const QString& text) {
    QStringEncoder enc("windows-31j");
    return enc.encode(text);
}

QString fromCp932(const QByteArray& bytes) {
    QStringDecoder dec("windows-31j");
    return dec.decode(bytes);
}

} // namespace appSub
