#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace ini {

// What the command line asks for. Nothing here needs a display, so --help, --version and a
// mistyped option are answered before any window system is touched.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QString port;    // --port NAME: this run's port, "" for the saved one
    QString lens;    // --lens FORMAT: this run's lens (a valid text form), "" for the saved one
    QString file;    // a data file to show in the File view, "" for none
    QByteArray send; // --send TEXT: sent once the port is open, "" for nothing
    QString error;   // what is wrong, for Action::Error
};

// args without the program's own name.
CommandLine xfunCommandLine(const QStringList& args);

QString xfunHelpText();
QString xfunVersionText();

} // namespace ini
