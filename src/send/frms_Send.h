#pragma once

#include <QWidget>
#include <array>

#include "send/SendBook.h"
#include "send/Sender.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

// The send window (not modal): a line to send now or again and again, the saved commands on
// F1..F12, and a file to send with its progress. It holds nothing of its own: what it sends and
// keeps lives in the Sender and the SendBook it is given.
class frms_Send : public QWidget {
    Q_OBJECT
public:
    frms_Send(Sender* sender, SendBook* book, QWidget* parent = nullptr);

    // What the line asks to send, or why it cannot (then shown in the status line).
    SendBytes lineBytes() const;

    void cmdSend_Click();
    void cmdRepeat_Click();
    void cmdFile_Click();
    // Sends a file without asking for it (cmdFile_Click asks, then calls this).
    void xsubFileSend(const QString& path);
    void cmdCommand_Click(int index);
    // Keeps the line, its mode and ending as command index, under a name asked for.
    void xsubCommandStore(int index, const QString& name);
    void xsubHistoryStep(int step); // +1 older, -1 newer

    QLineEdit* txtLine = nullptr;
    QComboBox* cboEnding = nullptr;
    QCheckBox* chkHex = nullptr;
    QPushButton* cmdSend = nullptr;
    QSpinBox* spnRepeatMs = nullptr;
    QPushButton* cmdRepeat = nullptr;
    QComboBox* cboFileMode = nullptr;
    QSpinBox* spnBlock = nullptr;
    QSpinBox* spnDelayMs = nullptr;
    QPushButton* cmdFile = nullptr;
    QPushButton* cmdCancel = nullptr;
    QProgressBar* barFile = nullptr;
    std::array<QPushButton*, SendBook::kCommands> cmdCommand{};
    QLabel* lblStatus = nullptr;
    QLabel* lblSent = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void xsubPortShow(bool usable, const QString& why);
    void xsubActivityShow(Sender::Activity a);
    void xsubCommandShow(int index);
    // Parses the line and sends it once; the line joins the history when it went out.
    bool xsubLineSend(const QString& line, EntryMode mode, LineEnding ending);

    Sender* m_sender;
    SendBook* m_book;
    int m_historyAt = -1; // the history line shown, -1 for what the user is typing
};
