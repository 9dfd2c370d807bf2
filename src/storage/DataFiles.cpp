#include "storage/DataFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "dialogs/Msg.h"
#include "storage/FileErrors.h"
#include "storage/StorageNames.h"
#include "storage/frms_File_Save.h"
#include "storage/frms_MemSave.h"

namespace appSub {

int32_t xfunOverwriteAsk(const QString& path) {
    if (!QFileInfo::exists(path)) return 1;
    return Msg::MsgBoxAsk(QStringLiteral("すでにこのファイルはあります｡上書きしますか？"), 4,
                          QString());
}

int xfunCreateForWrite(const QString& path, int& code) {
    // O_NONBLOCK: a named pipe with no reader would otherwise hold the window forever; it is
    // refused as a device that is not ready. Regular files write as without it.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    if (fd < 0) code = fileErrCodeFromErrno(errno, path);
    return fd;
}

int xfunOpenForRead(const QString& path, int& code) {
    // O_NONBLOCK: a FIFO or a terminal named here must not hang the window until a writer
    // or a carrier turns up. It changes nothing for regular files.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) code = fileErrCodeFromErrno(errno, path, true);
    return fd;
}

bool xfunDataFileTry(const QString& path) {
    int code = 0;
    const int fd = xfunOpenForRead(path, code);
    if (fd < 0) {
        xsubFileErrMsg(code);
        return false;
    }
    ::close(fd);
    return true;
}

int xfunWriteAll(int fd, const uint8_t* data, size_t n, const QString& path) {
    while (n > 0) {
        const ssize_t done = ::write(fd, data, n);
        if (done < 0) {
            if (errno == EINTR) continue;
            return fileErrCodeFromErrno(errno, path);
        }
        data += done;
        n -= static_cast<size_t>(done);
    }
    return 0;
}

int xfunClose(int fd, const QString& path) {
    return ::close(fd) == 0 ? 0 : fileErrCodeFromErrno(errno, path);
}

} // namespace appSub

void frms_RS_GRAPH_1::Cmd_memTOFile_Click() {
    Cmd_memTOFile->setEnabled(false);
    xsubMemToFile();
    xsubGraphRequest();
    Cmd_memTOFile->setEnabled(true);
}

void frms_RS_GRAPH_1::xsubMemToFile() {
    AppState& s = app();
    s.iMemSaveSel = 1;
    if (s.lMemCount == 0) return;
    s.strMemFile = appSub::xfunDefaultFileName(ini::xfunHomeDir(), QStringLiteral("MEM"),
                                               QDateTime::currentDateTime());
    {
        frms_MemSave dialog(this);
        dialog.exec();
    }
    if (s.iDlgOK == 1) {
        frms_File_Save progress(this);
        progress.exec();
    }
}
