#pragma once

#include <QDialog>
#include <QString>

// What the program's dialogs share: a fixed frame with a close box only, and named controls
// (tests and tools find controls by objectName).
template <typename W>
W* named(W* w, const QString& name)
{
    w->setObjectName(name);
    return w;
}

inline void setupFixedDialog(QDialog* dialog, const QString& name, const QString& caption)
{
    dialog->setObjectName(name);
    dialog->setWindowTitle(caption);
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
}
