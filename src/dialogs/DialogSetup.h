#pragma once

#include <QDialog>
#include <QString>

#include "toolkit/ControlNames.h"

// What the program's dialogs share: a fixed frame with a close box only, and named controls.
inline void setupFixedDialog(QDialog* dialog, const QString& name, const QString& caption) {
    dialog->setObjectName(name);
    dialog->setWindowTitle(caption);
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
}
