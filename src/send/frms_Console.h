#pragma once

#include <QWidget>
#include <cstdint>

#include "send/ConsoleLog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The console window (not modal): what arrives as text or as a hex dump, live, redrawn at most
// every kRedrawMs from the ConsoleLog it is given, so that a fast line costs a few redraws a
// second rather than one a fetch. Pause holds the picture for reading, searching and copying.
class frms_Console : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRedrawMs = 100;

    frms_Console(ConsoleLog* log, QWidget* parent = nullptr);

    // Redraws when the log has changed since the last time (and the console is not paused).
    void xsubRedraw();
    // Finds the next match after the cursor, from the top once the end is passed.
    bool xsubFind(const QString& text);
    void cmdCopy_Click();

    QComboBox* cboView = nullptr; // text, text CP932, hex
    QCheckBox* chkEcho = nullptr;
    QCheckBox* chkPause = nullptr;
    QLineEdit* txtFind = nullptr;
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdClear = nullptr;
    QPlainTextEdit* txtShown = nullptr;
    QLabel* lblStatus = nullptr;

private:
    ConsoleLog* m_log;
    QTimer* m_redraw;
    uint64_t m_shownGeneration = UINT64_MAX;
};
