#pragma once

#include <QDialog>

class QPushButton;

// A storage dialog answered through iDlgOK: "YES" (Command1) runs the dialog's own check and
// accepts; "NO" (Command2) and every other way of closing it count as "NO".
class YesNoDialog : public QDialog {
    Q_OBJECT
public:
    virtual void Command1_Click() = 0;
    void Command2_Click();
    void reject() override;

    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

protected:
    YesNoDialog(QWidget* parent, const QString& name, const QString& caption, float widthTw,
                float heightTw);
    // The two buttons at the right, at this top; called where they come in the tab order.
    void addYesNo(float topTw);
};
