#include "storage/DataFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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
    if (fd < 0) {
        code = fileErrCodeFromErrno(errno, path, true);
        return fd;
    }
    // A folder opens for reading too (a name typed on the command line), but holds no samples.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        code = fileErrCodeFromErrno(EISDIR, path, true);
        return -1;
    }
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
    constexpr int kPipeWaitMs = 20;
    while (n > 0) {
        const ssize_t done = ::write(fd, data, n);
        if (done < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) { // a pipe opened without blocking, full for now
                pollfd ready{fd, POLLOUT, 0};
                ::poll(&ready, 1, kPipeWaitMs);
                QCoreApplication::processEvents();
                continue;
            }
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

DataFileWriter::~DataFileWriter() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_temp.isEmpty()) ::unlink(m_temp.constData());
}

int DataFileWriter::open() {
    const QByteArray name = QFile::encodeName(m_path);
    struct stat old {};
    const bool exists = ::stat(name.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        int code = 0;
        m_fd = xfunCreateForWrite(m_path, code);
        return code;
    }
    // Through a link, the file it points to is the one replaced.
    m_target = exists ? QFile::encodeName(QFileInfo(m_path).canonicalFilePath()) : name;
    const QFileInfo target(QFile::decodeName(m_target));
    QByteArray pattern = QFile::encodeName(target.path() + QStringLiteral("/.") +
                                           target.fileName() + QStringLiteral(".XXXXXX"));
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0) return fileErrCodeFromErrno(errno, m_path);
    m_temp = pattern;
    // The new file gets what the old one had, or what a newly created file would get.
    if (exists) {
        ::fchmod(m_fd, old.st_mode & 07777);
        // Only root may give a file away; anyone else keeps the new file as their own.
        [[maybe_unused]] const int given = ::fchown(m_fd, old.st_uid, old.st_gid);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(m_fd, 0666 & ~mask);
    }
    return 0;
}

int DataFileWriter::write(const uint8_t* data, size_t n) {
    return xfunWriteAll(m_fd, data, n, m_path);
}

int DataFileWriter::commit() {
    const int fd = std::exchange(m_fd, -1);
    if (m_temp.isEmpty()) return xfunClose(fd, m_path);
    // A full disk may show only when the data reaches it, and a crash after the rename must not
    // leave a name pointing at lost data.
    const int synced = ::fsync(fd) == 0 ? 0 : fileErrCodeFromErrno(errno, m_path);
    const int closed = xfunClose(fd, m_path);
    if (synced != 0 || closed != 0) return synced != 0 ? synced : closed;
    if (::rename(m_temp.constData(), m_target.constData()) != 0)
        return fileErrCodeFromErrno(errno, m_path);
    m_temp.clear();
    return 0;
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
