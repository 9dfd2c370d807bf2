#include "storage/frms_File_Save.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <algorithm>

#include "app/AppState.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"
#include "storage/FormControls.h"
#include "storage/StorageNames.h"

namespace {
// The writer lets the window breathe once every this many bytes (one write call per chunk).
constexpr int32_t kBytesPerChunk = 4097;

// Writes the chosen range of the memory copy; returns 0 or the file error code.
int writeMemoryFile() {
    const AppState& s = app();
    appSub::DataFileWriter file(s.strMemFile);
    int code = file.open();
    const appSub::ByteRange range =
        appSub::xfunMemSaveRange(s.iMemSaveSel == 1, s.lMemCount, s.lMemTop, s.ChData[0].iXDim);
    for (int32_t done = 0; done < range.count && code == 0;) {
        const int32_t n = std::min(kBytesPerChunk, range.count - done);
        code = file.write(s.bMemBuf.data() + range.first + done, static_cast<size_t>(n));
        done += n;
        if (done < range.count) QCoreApplication::processEvents();
    }
    return code != 0 ? code : file.commit();
}
} // namespace

frms_File_Save::frms_File_Save(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frms_File_Save"));
    setWindowTitle(QStringLiteral("View→File"));
    setFixedSize(360, 100);
    Label1 = placedChild<QLabel>(this, QStringLiteral("Label1"), {20, 18, 320, 24},
                                 QStringLiteral("メモリーの内容をファイルに書いています｡"));
    Label2 = placedChild<QLabel>(this, QStringLiteral("Label2"), {20, 54, 320, 24},
                                 QStringLiteral("しばらくお待ちください｡"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1);
    connect(Timer1, &QTimer::timeout, this, &frms_File_Save::Timer1_Timer);
    Timer1->start();
}

void frms_File_Save::Timer1_Timer() {
    Timer1->stop();
    const int code = writeMemoryFile();
    if (code != 0) appSub::xsubFileErrMsg(code);
    accept();
}

void frms_File_Save::reject() {}
