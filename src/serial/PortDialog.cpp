#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>

#include "LineParams.h"
#include "PortNotices.h"
#include "app/state/AppState.h"
#include "dialogs/Msg.h"
#include "frms_ScanningSelect.h"
#include "toolkit/Controls.h"
#include "toolkit/FileNames.h"

namespace {

// The classic rates, then the faster ones USB adapters and microcontrollers commonly run at.
const QStringList kBaudRates = {
    QStringLiteral("300"),     QStringLiteral("600"),     QStringLiteral("1200"),
    QStringLiteral("2400"),    QStringLiteral("4800"),    QStringLiteral("9600"),
    QStringLiteral("14400"),   QStringLiteral("19200"),   QStringLiteral("38400"),
    QStringLiteral("56000"),   QStringLiteral("57600"),   QStringLiteral("115200"),
    QStringLiteral("230400"),  QStringLiteral("460800"),  QStringLiteral("921600"),
    QStringLiteral("1000000"), QStringLiteral("2000000"), QStringLiteral("3000000")};

// Selects the item with this text; a text the list lacks (a device path, an edited settings
// file) is added as an item of its own, so the dialog can show and reopen what was saved.
void selectOrAdd(QComboBox* list, const QString& text) {
    int index = list->findText(text, Qt::MatchExactly);
    if (index < 0) {
        list->addItem(text);
        index = list->count() - 1;
    }
    list->setCurrentIndex(index);
}

QRadioButton* option(QWidget* parent, const QString& name, const QString& text, float top) {
    return control<QRadioButton>(parent, name, {180, top, 1650, 330}, text);
}

} // namespace

frms_ScanningSelect::frms_ScanningSelect(QWidget* parent) : QDialog(parent) {
    setupDialog(this, QStringLiteral("frms_ScanningSelect"), QStringLiteral("Scanning Select"));
    setModal(true);
    buildControls();
    Form_Load();
}

void frms_ScanningSelect::buildControls() {
    setFixedSizeTw(this, 6360, 4050);

    auto* select = control<QGroupBox>(this, QStringLiteral("Frm_Select"), {150, 120, 1950, 1560},
                                      QStringLiteral("Select"));
    const char* sources[3] = {"COM ON", "Test Paturn", "COM OFF"};
    for (int i = 0; i < 3; ++i) {
        Opn_sel[i] =
            option(select, indexedName("Opn_sel", i), QLatin1String(sources[i]), 330.0f + 390 * i);
        connect(Opn_sel[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) Opn_sel_Click(i);
        });
    }

    frm_COM = control<QGroupBox>(this, QStringLiteral("frm_COM"), {2250, 120, 3960, 3810});
    const char* captions[6] = {"COM Port",  "Buard Rate", "Parity",
                               "Data Size", "Stop Bit",   "Flow Control"};
    const char* names[6] = {"Combo0", "combo1", "combo2", "combo3", "combo4", "Combo5"};
    std::array<QComboBox*, 6> lists{};
    for (int i = 0; i < 6; ++i) {
        const float y = 240 + 495 * i;
        control<QLabel>(frm_COM, QString(), {150, y, 1350, 390}, QLatin1String(captions[i]));
        // not editable: only the listed items can be chosen
        lists[i] = control<QComboBox>(frm_COM, QLatin1String(names[i]), {1500, y, 2310, 390});
    }
    Combo0 = lists[0];
    // A port on the network is typed: rfc2217://HOST:PORT or tcp://HOST:PORT.
    Combo0->setEditable(true);
    Combo0->setInsertPolicy(QComboBox::NoInsert);
    lbl_LineNote = control<QLabel>(frm_COM, QStringLiteral("lbl_LineNote"), {150, 3210, 3660, 510});
    lbl_LineNote->setWordWrap(true);
    connect(Combo0, &QComboBox::currentTextChanged, this, &frms_ScanningSelect::showLineControl);
    combo1 = lists[1];
    combo2 = lists[2];
    combo3 = lists[3];
    combo4 = lists[4];
    Combo5 = lists[5];

    Frm_Test = control<QGroupBox>(this, QStringLiteral("Frm_Test"), {2250, 120, 3960, 1560},
                                  QStringLiteral("Test Paturn"));
    for (int i = 0; i < 3; ++i)
        opn_tp[i] = option(Frm_Test, indexedName("opn_tp", i), QStringLiteral("Test %1").arg(i + 1),
                           330.0f + 390 * i);

    Command1 = control<QPushButton>(this, QStringLiteral("Command1"), {150, 2400, 1950, 450},
                                    QStringLiteral("Ｏ Ｋ"));
    Command1->setDefault(true);
    Command2 = control<QPushButton>(this, QStringLiteral("Command2"), {150, 2970, 1950, 450},
                                    QStringLiteral("キャンセル"));
    connect(Command1, &QPushButton::clicked, this, &frms_ScanningSelect::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frms_ScanningSelect::Command2_Click);
}

QStringList frms_ScanningSelect::machinePorts(const QString& persistentNamesDir) {
    QStringList ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString path = info.systemLocation();
        bool isComName = false;
        for (int i = 0; i < 4; ++i)
            isComName |= path == QStringLiteral("/dev/ttyS%1").arg(i);
        if (!isComName && !ports.contains(path)) ports.append(path);
    }
    ports.sort();
    // These names stay the same when an adapter comes back under another ttyUSB number.
    for (const QFileInfo& link : QDir(persistentNamesDir).entryInfoList(QDir::System, QDir::Name))
        if (link.exists()) ports.append(link.absoluteFilePath());
    return ports;
}

void frms_ScanningSelect::Form_Load() {
    const AppState& s = app();
    Combo0->addItems({QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                      QStringLiteral("COM4")});
    Combo0->addItems(machinePorts());
    combo1->addItems(kBaudRates);
    combo2->addItems({QStringLiteral("なし"), QStringLiteral("偶数"), QStringLiteral("奇数"),
                      QStringLiteral("ﾏｰｸ"), QStringLiteral("ｽﾍﾟｰｽ")});
    combo3->addItems({QStringLiteral("8 ビット"), QStringLiteral("7 ビット")});
    combo4->addItems({QStringLiteral("1 ビット"), QStringLiteral("2 ビット")});
    Combo5->addItem(QStringLiteral("なし"));

    selectOrAdd(Combo0, s.strPortName);
    selectOrAdd(combo1, s.strBaud);
    selectOrAdd(combo2, s.strParity);
    selectOrAdd(combo3, s.strDataBits);
    selectOrAdd(combo4, s.strStopBits);
    Combo5->setCurrentIndex(0);
    showLineControl();

    if (s.iTestKind >= 0 && s.iTestKind <= 2) opn_tp[s.iTestKind]->setChecked(true);

    if (s.iScanSource >= kSourceCom && s.iScanSource <= kSourceOff)
        Opn_sel[s.iScanSource]->setChecked(true);
    frm_COM->setVisible(s.iScanSource == kSourceCom);
    Frm_Test->setVisible(s.iScanSource == kSourceTest);
}

void frms_ScanningSelect::showLineControl() {
    const QString note = xfunLineControlNote(Combo0->currentText());
    for (QComboBox* list : {combo1, combo2, combo3, combo4, Combo5})
        list->setEnabled(note.isEmpty());
    lbl_LineNote->setText(note);
    lbl_LineNote->setVisible(!note.isEmpty());
}

void frms_ScanningSelect::Opn_sel_Click(int index) {
    frm_COM->setVisible(index == 0);
    Frm_Test->setVisible(index == 1);
}

void frms_ScanningSelect::Command1_Click() {
    AppState& s = app();
    const auto closePort = [&s] {
        s.iPortLost = 0;
        if (s.iPortOpen == 1) {
            s.engine->CloseCommPort();
            s.iPortOpen = 0;
        }
    };

    if (Opn_sel[0]->isChecked()) {
        s.iScanSource = kSourceCom;
        const QString params = xfunLineParamString(combo1->currentText(), combo2->currentText(),
                                                   combo3->currentText(), combo4->currentText(), 0);
        // The old port is always released first, even when the same port is chosen again.
        if (s.iPortOpen == 1) s.engine->CloseCommPort();
        const QString port = Combo0->currentText();
        // Choosing another port ends the reopening of a lost one; the same one keeps it going
        // should this attempt fail too.
        if (port != s.strPortName) s.iPortLost = 0;
        const int16_t result = s.engine->OpenCommPort(xfunNameToBytes(port).toStdString());
        if (result != -1) {
            s.iPortOpen = 0;
            Msg::MsgBoxShow(port + QStringLiteral(" ポートがオープンできません") +
                                xfunPortOpenReason(port, result),
                            Msg::kOKOnly, QString());
            return;
        }
        s.iPortLost = 0;
        s.engine->SetCommPortParam(params.toStdString());
        s.strPortName = port;
        s.strBaud = combo1->currentText();
        s.strParity = combo2->currentText();
        s.strDataBits = combo3->currentText();
        s.strStopBits = combo4->currentText();
        s.iPortOpen = 1;
    } else if (Opn_sel[1]->isChecked()) {
        s.iScanSource = kSourceTest;
        for (int16_t k = 0; k < 3; ++k)
            if (opn_tp[k]->isChecked()) s.iTestKind = k;
        closePort();
    } else {
        s.iScanSource = kSourceOff;
        closePort();
    }
    accept();
}

void frms_ScanningSelect::Command2_Click() {
    reject();
}

// ---- the main window's source button and line control ----
