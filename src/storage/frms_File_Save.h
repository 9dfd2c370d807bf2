#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

// "View→File": writes the chosen part of the memory copy to strMemFile on its first timer tick,
// so the window is on screen while it works, then closes itself. "キャンセル" ends the save
// within a moment; the file stays as it was before.
class frms_File_Save : public QDialog {
    Q_OBJECT
public:
    explicit frms_File_Save(QWidget* parent = nullptr);

    void Timer1_Timer();
    void Command1_Click();
    // The window closes itself when the file is written; the close box does nothing.
    void reject() override;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command1 = nullptr;
    QTimer* Timer1 = nullptr;

private:
    bool m_cancelled = false;
};
