#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// The program's own message box: a text, an optional icon, one of six Japanese button sets and
// an answer code. The message, title and type are set before the box is created and the answer
// read after it has closed; they outlive each showing, as one shared box would keep them.
class MsgBoxX : public QDialog {
    Q_OBJECT
public:
    MsgBoxX();

    static void setMsgMain(const QString& text);
    static void setMsgTitle(const QString& title);
    static void setMsgType(int16_t type);
    static int16_t MsgAns();

    void Command_Click(int index);
    void Timer1_Timer();

    std::array<QPushButton*, 8> Command{}; // indices 1..7
    QLabel* Label1 = nullptr;
    std::array<QLabel*, 4> Icon1{};
    QLineEdit* Text1 = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void Form_Unload();
    void applyWindowGeometry();
};
