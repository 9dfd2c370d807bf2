#include "frms_Print_test.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>

#include "DrawTarget.h"
#include "PrintSub.h"
#include "app/state/AppState.h"
#include "dialogs/Msg.h"
#include "toolkit/Controls.h"

namespace {

QRadioButton* option(QGroupBox* frame, const char* name, int index, const QString& caption,
                     float top, float width) {
    return control<QRadioButton>(frame, indexedName(name, index), {120, top, width, 255}, caption);
}

} // namespace

frms_Print_test::frms_Print_test(QWidget* parent) : QDialog(parent) {
    setupDialog(this, QStringLiteral("frms_Print_test"), QStringLiteral("Print Data"));
    setFixedSizeTw(this, 8205, 7620);

    Picture1 = named(new PagePreview(this, 4290, 7155), QStringLiteral("Picture1"));
    placeTw(Picture1, 240, 0, 4290, 7155);
    Label1 = control<QLabel>(this, QStringLiteral("Label1"), {4680, 240, 2535, 255},
                             QStringLiteral("グラフタイトル"));
    Text1 = control<QLineEdit>(this, QStringLiteral("Text1"), {4680, 720, 3255, 375});

    Frame1 = control<QGroupBox>(this, QStringLiteral("Frame1"), {4680, 1320, 3255, 975},
                                QStringLiteral("日付"));
    Opn_Hizuke[0] = option(Frame1, "Opn_Hizuke", 0, QStringLiteral("日付を印刷する"), 240, 3015);
    Opn_Hizuke[1] = option(Frame1, "Opn_Hizuke", 1, QStringLiteral("日付を印刷しない"), 600, 3015);

    Frame2 = control<QGroupBox>(this, QStringLiteral("Frame2"), {4680, 2400, 3255, 1455},
                                QStringLiteral("Author"));
    Opn_author[0] = option(Frame2, "Opn_author", 0, QStringLiteral("印刷する"), 240, 2895);
    Opn_author[1] = option(Frame2, "Opn_author", 1, QStringLiteral("印刷しない"), 600, 2895);
    Text2 = control<QLineEdit>(Frame2, QStringLiteral("Text2"), {120, 960, 3015, 375});

    Frame3 = control<QGroupBox>(this, QStringLiteral("Frame3"), {4680, 3960, 3255, 1455},
                                QStringLiteral("Data"));
    opn_data[0] = option(Frame3, "opn_data", 0, QStringLiteral("10進で印刷する"), 240, 2895);
    opn_data[1] = option(Frame3, "opn_data", 1, QStringLiteral("16進で印刷する"), 600, 3015);
    opn_data[2] = option(Frame3, "opn_data", 2, QStringLiteral("印刷しない"), 960, 3015);

    Command1 = control<QPushButton>(this, QStringLiteral("Command1"), {4920, 7200, 1575, 375},
                                    QStringLiteral("印刷"));
    Cmd_Cansel = control<QPushButton>(this, QStringLiteral("Cmd_Cansel"), {6600, 7200, 1455, 375},
                                      QStringLiteral("キャンセル"));
    // Enter in a text box must not print or close by accident.
    Command1->setAutoDefault(false);
    Cmd_Cansel->setAutoDefault(false);

    for (int i = 0; i < 2; ++i) {
        connect(Opn_Hizuke[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) Opn_Hizuke_Click(i);
        });
        connect(Opn_author[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) Opn_author_Click(i);
        });
    }
    connect(Command1, &QPushButton::clicked, this, &frms_Print_test::Command1_Click);
    connect(Cmd_Cansel, &QPushButton::clicked, this, &frms_Print_test::Cmd_Cansel_Click);

    Form_Load();
}

void frms_Print_test::Form_Load() {
    const AppState& s = app();
    Text1->setText(s.strPrintTitle);
    Opn_Hizuke[s.iPrintDate == 1 ? 0 : 1]->setChecked(true);
    if (s.iPrintAuthor == 1) {
        Opn_author[0]->setChecked(true);
        Text2->setText(s.strPrintAuthor);
    } else {
        Opn_author[1]->setChecked(true);
        Text2->clear();
    }
    opn_data[s.iPrintData == 0 ? 0 : s.iPrintData == 1 ? 1 : 2]->setChecked(true);
}

void frms_Print_test::Opn_Hizuke_Click(int) {
    app().iPrintDate = Opn_Hizuke[0]->isChecked() ? 1 : 0;
}

void frms_Print_test::Opn_author_Click(int) {
    Text2->setVisible(Opn_author[0]->isChecked());
}

void frms_Print_test::Command1_Click() {
    AppState& s = app();
    PrintSub::xsubPrintDataGet();
    Picture1->Cls();
    s.strPrintTitle = Text1->text();
    if (Opn_author[0]->isChecked()) {
        s.iPrintAuthor = 1;
        s.strPrintAuthor = Text2->text();
    } else {
        s.iPrintAuthor = 0;
    }
    s.iPrintData = opn_data[0]->isChecked() ? 0 : opn_data[1]->isChecked() ? 1 : 2;
    Command1->setEnabled(false);
    {
        DrawTarget preview(&Picture1->canvas());
        PrintSub::xsubPrintPage(preview);
    }
    Picture1->update();
    const QString failure = printOnDefaultPrinter();
    if (!failure.isEmpty()) Msg::MsgBoxShow(failure, Msg::kOKOnly, QString());
    Command1->setEnabled(true);
}

void frms_Print_test::Cmd_Cansel_Click() {
    reject();
}

QString frms_Print_test::printOnDefaultPrinter() {
    // Qt calls a printer valid even when there is none, so ask for the default printer itself.
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) return PrintSub::xfunNoPrinterText();
    QPrinter printer(info);
    return PrintSub::xfunPrintOnPrinter(printer);
}
