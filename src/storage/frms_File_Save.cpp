#include "storage/frms_File_Save.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/state/AppState.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"
#include "storage/StorageNames.h"
#include "storage/TimeTrack.h"
#include "toolkit/Controls.h"

frms_File_Save::frms_File_Save(QWidget* parent) : QDialog(parent) {
    setupDialog(this, QStringLiteral("frms_File_Save"), QStringLiteral("View→File"));
    setFixedSizeTw(this, 5400, 2040);
    Label1 = control<QLabel>(this, QStringLiteral("Label1"), {300, 270, 4800, 360},
                             QStringLiteral("メモリーの内容をファイルに書いています｡"));
    Label2 = control<QLabel>(this, QStringLiteral("Label2"), {300, 810, 4800, 360},
                             QStringLiteral("しばらくお待ちください｡"));
    Command1 = control<QPushButton>(this, QStringLiteral("Command1"), {3600, 1410, 1500, 450},
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
    // The saved bytes keep the times they came at, beside them.
    if (code == 0) {
        const int timeCode = xfunWriteTimeTrack(
            s.strMemFile, s.memTimes.slice(uint64_t(range.first), uint64_t(range.count)),
            s.bMemBuf.data() + range.first, static_cast<size_t>(range.count));
        if (timeCode != 0) appSub::xsubFileErrMsg(timeCode);
    }
    accept();
}

void frms_File_Save::Command1_Click() {
    m_cancelled = true;
}

void frms_File_Save::reject() {}
