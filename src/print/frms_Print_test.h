#pragma once

#include <QDialog>
#include <array>

class PagePreview;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The print dialog: title, date, author and listing options, a preview of the page and the
// button that prints the current view on the default printer. It stays open after a print.
class frms_Print_test : public QDialog {
    Q_OBJECT
public:
    explicit frms_Print_test(QWidget* parent = nullptr);

    void Form_Load();
    void Opn_Hizuke_Click(int index);
    void Opn_author_Click(int index);
    void Command1_Click();
    void Cmd_Cansel_Click();

    PagePreview* Picture1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, 2> Opn_Hizuke{};
    QGroupBox* Frame2 = nullptr;
    std::array<QRadioButton*, 2> Opn_author{};
    QLineEdit* Text2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    std::array<QRadioButton*, 3> opn_data{};
    QPushButton* Command1 = nullptr;
    QPushButton* Cmd_Cansel = nullptr;

private:
    // Draws the page on the default printer; returns "" when it went out, else what to tell.
    QString printOnDefaultPrinter();
};
