#include "storage/frms_File_Save.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/AppState.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"
#include "storage/FormControls.h"
#include "storage/StorageNames.h"

frms_File_Save::frms_File_Save(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frms_File_Save"));
    setWindowTitle(QStringLiteral("View→File"));
    setFixedSize(360, 136);
    Label1 = placedChild<QLabel>(this, QStringLiteral("Label1"), {20, 18, 320, 24},
                                 QStringLiteral("メモリーの内容をファイルに書いています｡"));
    Label2 = placedChild<QLabel>(this, QStringLiteral("Label2"), {20, 54, 320, 24},
                                 QStringLiteral("しばらくお待ちください｡"));
    Command1 = placedChild<QPushButton>(this, QStringLiteral("Command1"), {240, 94, 100, 30},
                                        QStringLiteral("キャンセル"));
    connect(Command1, &QPushButton::clicked, this, &frms_File_Save::Command1_Click);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1);
    connect(Timer1, &QTimer::timeout, this, &frms_File_Save::Timer1_Timer);
    Timer1->start();
}

void frms_File_Save::Timer1_Timer() {
    Timer1->stop();
    const AppState& s = app();
    const appSub::ByteRange range =
        appSub::xfunMemSaveRange(s.iMemSaveSel == 1, s.lMemCount, s.lMemTop, s.ChData[0].iXDim);
    const int code = appSub::xfunSaveBytes(s.strMemFile, s.bMemBuf.data() + range.first,
                                           static_cast<size_t>(range.count), [this](size_t) {
                                               QCoreApplication::processEvents();
                                               return !m_cancelled;
                                           });
    if (code != 0 && code != appSub::kSaveCancelled) appSub::xsubFileErrMsg(code);
    accept();
}

void frms_File_Save::Command1_Click() {
    m_cancelled = true;
}

void frms_File_Save::reject() {}
