#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>

#include "send/SendLine.h"

// What the user has sent and kept for sending again: the last lines sent (newest first) and
// twelve named commands for F1..F12. Kept in a file of its own beside the settings file, never
// in it; a damaged or missing file reads as empty.
class SendBook : public QObject {
    Q_OBJECT
public:
    static constexpr int kHistoryLines = 100;
    static constexpr int kCommands = 12;

    struct Command {
        QString name; // "" for a key that has no command
        QString line;
        EntryMode mode = EntryMode::Text;
        LineEnding ending = LineEnding::None;
        bool operator==(const Command&) const = default;
    };

    // The file beside the settings file this book is kept in.
    static QString pathBeside(const QString& settingsFile);

    explicit SendBook(QString path, QObject* parent = nullptr);

    const QStringList& history() const { return m_history; }
    // A line sent: first in the history, any earlier copy of it gone, the oldest past
    // kHistoryLines dropped; written to the file at once.
    void addHistory(const QString& line);

    const Command& command(int index) const { return m_commands.at(static_cast<size_t>(index)); }
    void setCommand(int index, const Command& command);

signals:
    void historyChanged();
    void commandChanged(int index);

private:
    void load();
    void save() const;

    QString m_path;
    QStringList m_history;
    std::array<Command, kCommands> m_commands{};
};
