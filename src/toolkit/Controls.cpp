#include "Controls.h"

void setFixedSizeTw(QWidget* window, float widthTw, float heightTw) {
    window->setFixedSize(twipsToPx(widthTw), twipsToPx(heightTw));
}

void setupDialog(QDialog* dialog, const QString& name, const QString& caption) {
    dialog->setObjectName(name);
    dialog->setWindowTitle(caption);
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
}
