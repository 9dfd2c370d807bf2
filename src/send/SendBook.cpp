#include "send/SendBook.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString kHistoryKey = QStringLiteral("history/lines");

QString commandGroup(int index) {
    return QStringLiteral("command%1").arg(index + 1);
}

} // namespace

QString SendBook::pathBeside(const QString& settingsFile) {
    return QFileInfo(settingsFile).path() + QStringLiteral("/TessavueSend.ini");
}

SendBook::SendBook(QString path, QObject* parent) : QObject(parent), m_path(std::move(path)) {
    load();
}

void SendBook::addHistory(const QString& line) {
    if (line.isEmpty()) return;
    m_history.removeAll(line);
    m_history.prepend(line);
    while (m_history.size() > kHistoryLines)
        m_history.removeLast();
    save();
    emit historyChanged();
}

void SendBook::setCommand(int index, const Command& command) {
    if (index < 0 || index >= kCommands || m_commands[static_cast<size_t>(index)] == command)
        return;
    m_commands[static_cast<size_t>(index)] = command;
    save();
    emit commandChanged(index);
}

void SendBook::load() {
    QSettings file(m_path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) return;
    m_history = file.value(kHistoryKey).toStringList().mid(0, kHistoryLines);
    for (int i = 0; i < kCommands; ++i) {
        file.beginGroup(commandGroup(i));
        Command& c = m_commands[static_cast<size_t>(i)];
        c.name = file.value(QStringLiteral("name")).toString();
        c.line = file.value(QStringLiteral("line")).toString();
        c.mode = file.value(QStringLiteral("hex")).toBool() ? EntryMode::Hex : EntryMode::Text;
        const int ending = file.value(QStringLiteral("ending")).toInt();
        c.ending = ending >= 0 && ending <= static_cast<int>(LineEnding::CrLf)
                       ? static_cast<LineEnding>(ending)
                       : LineEnding::None;
        file.endGroup();
    }
}

void SendBook::save() const {
    QSettings file(m_path, QSettings::IniFormat);
    file.clear();
    file.setValue(kHistoryKey, m_history);
    for (int i = 0; i < kCommands; ++i) {
        const Command& c = m_commands[static_cast<size_t>(i)];
        if (c.name.isEmpty() && c.line.isEmpty()) continue;
        file.beginGroup(commandGroup(i));
        file.setValue(QStringLiteral("name"), c.name);
        file.setValue(QStringLiteral("line"), c.line);
        file.setValue(QStringLiteral("hex"), c.mode == EntryMode::Hex);
        file.setValue(QStringLiteral("ending"), static_cast<int>(c.ending));
        file.endGroup();
    }
}
