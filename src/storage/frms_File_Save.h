#pragma once

#include <QDialog>

class QLabel;
class QTimer;

// "View→File": writes the chosen part of the memory copy to strMemFile on its first timer tick,
// so the window is on screen while it works, then closes itself.
class frms_File_Save : public QDialog {
    Q_OBJECT
public:
    explicit frms_File_Save(QWidget* parent = nullptr);

    void Timer1_Timer();
    // The window closes itself when the file is written; the close box does nothing.
    void reject() override;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QTimer* Timer1 = nullptr;
};
