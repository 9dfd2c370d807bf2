#include "storage/DataFiles.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "LogFile.h"
#include "dialogs/Msg.h"
#include "storage/FileErrors.h"
#include "toolkit/FileNames.h"

namespace appSub {

int32_t xfunOverwriteAsk(const QString& path) {
    struct stat st {};
    if (::stat(xfunNameToBytes(path).constData(), &st) != 0) return 1;
    return Msg::MsgBoxAsk(QStringLiteral("すでにこのファイルはあります｡上書きしますか？"),
                          Msg::kYesNo, QString());
}

int xfunCreateForWrite(const QString& path, int& code) {
    // Never blocking: a named pipe gets a moment for its reader to turn up and is otherwise
    // refused as a device that is not ready. Regular files write as without it.
    const int fd = tessavue::openForWriting(xfunNameToBytes(path).toStdString(), O_CREAT | O_TRUNC,
                                            tessavue::LogFile::kReaderWaitMs);
    if (fd < 0) code = fileErrCodeFromErrno(errno, path);
    return fd;
}

int xfunOpenForRead(const QString& path, int& code) {
    // O_NONBLOCK: a FIFO or a terminal named here must not hang the window until a writer
    // or a carrier turns up. It changes nothing for regular files.
    const int fd = ::open(xfunNameToBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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

int xfunWriteAll(int fd, const uint8_t* data, size_t n, const QString& path, const SaveGoOn& goOn,
                 size_t done) {
    constexpr int kPipeWaitMs = 20;
    while (n > 0) {
        const ssize_t written = ::write(fd, data, n);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) { // a pipe opened without blocking, full for now
                pollfd ready{fd, POLLOUT, 0};
                ::poll(&ready, 1, kPipeWaitMs);
                if (!goOn(done)) return kSaveCancelled;
                continue;
            }
            return fileErrCodeFromErrno(errno, path);
        }
        data += written;
        n -= static_cast<size_t>(written);
        done += static_cast<size_t>(written);
    }
    return 0;
}

int xfunClose(int fd, const QString& path) {
    return ::close(fd) == 0 ? 0 : fileErrCodeFromErrno(errno, path);
}

namespace {

// The file a name stands for: the name itself, or the end of the chain of symbolic links it
// starts, which may not exist yet. Empty when the chain does not end.
QByteArray linkTarget(QByteArray name) {
    constexpr int kMostLinks = 40; // as the kernel allows
    for (int i = 0; i < kMostLinks; ++i) {
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(name.constData(), target.data(), target.size());
        if (n < 0) return name;
        target.truncate(n);
        if (!target.startsWith('/')) {
            const qsizetype slash = name.lastIndexOf('/');
            if (slash >= 0) target.prepend(name.left(slash + 1));
        }
        name = target;
    }
    return {};
}

// A name of the form ".<name>.XXXXXX" not yet taken in the folder, made with `make`, which
// returns 0 or an errno (EEXIST: try another).
int withFreshName(const QByteArray& name, QByteArray& temp,
                  const std::function<int(const char*)>& make) {
    for (int attempt = 0;; ++attempt) {
        temp = '.' + name + '.' + QByteArray::number(std::rand() % 1000000).rightJustified(6, '0');
        const int error = make(temp.constData());
        if (error != EEXIST || attempt == 100) {
            if (error != 0) temp.clear();
            return error;
        }
    }
}

} // namespace

DataFileWriter::~DataFileWriter() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_temp.isEmpty()) ::unlinkat(m_dirFd, m_temp.constData(), 0);
    if (m_dirFd >= 0) ::close(m_dirFd);
}

int DataFileWriter::open() {
    const QByteArray target = linkTarget(xfunNameToBytes(m_path));
    if (target.isEmpty()) return fileErrCodeFromErrno(ELOOP, m_path);
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        int code = 0;
        m_fd = xfunCreateForWrite(m_path, code);
        return code;
    }
    // The folder is held open, so the file lands where it was begun even if the folder is
    // renamed meanwhile, and nowhere if it is removed.
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? "/" : target.left(slash);
    m_name = target.mid(slash + 1);
    m_dirFd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0) return fileErrCodeFromErrno(errno, m_path);
    m_fd = ::openat(m_dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // No unnamed files here: one with a hidden name, removed unless the save completes.
        const int error = withFreshName(m_name, m_temp, [this](const char* temp) {
            m_fd = ::openat(m_dirFd, temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            return m_fd < 0 ? errno : 0;
        });
        if (error != 0) return fileErrCodeFromErrno(error, m_path);
    }
    if (m_fd < 0) return fileErrCodeFromErrno(errno, m_path);
    // The new file gets what the old one had; a new one is made as any other file would be.
    if (exists) {
        ::fchmod(m_fd, old.st_mode & 07777);
        // Only root may give a file away; anyone else keeps the new file as their own.
        [[maybe_unused]] const int given = ::fchown(m_fd, old.st_uid, old.st_gid);
    }
    return 0;
}

int DataFileWriter::write(const uint8_t* data, size_t n, const SaveGoOn& goOn, size_t done) {
    return xfunWriteAll(m_fd, data, n, m_path, goOn, done);
}

int DataFileWriter::nameTemp(int fd) {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    return withFreshName(m_name, m_temp, [this, &self](const char* temp) {
        return ::linkat(AT_FDCWD, self.constData(), m_dirFd, temp, AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                           : errno;
    });
}

int DataFileWriter::commit() {
    const int fd = std::exchange(m_fd, -1);
    if (m_dirFd < 0) return xfunClose(fd, m_path);
    // A full disk may show only when the data reaches it, and a crash after the rename must not
    // leave a name pointing at lost data.
    int code = ::fsync(fd) == 0 ? 0 : fileErrCodeFromErrno(errno, m_path);
    if (code == 0 && m_temp.isEmpty()) {
        if (const int error = nameTemp(fd); error != 0) code = fileErrCodeFromErrno(error, m_path);
    }
    const int closed = xfunClose(fd, m_path);
    if (code == 0) code = closed;
    if (code != 0) return code;
    if (::renameat(m_dirFd, m_temp.constData(), m_dirFd, m_name.constData()) != 0)
        return fileErrCodeFromErrno(errno, m_path);
    m_temp.clear();
    return 0;
}

int xfunSaveBytes(const QString& path, const uint8_t* data, size_t n, const SaveGoOn& goOn) {
    // The window gets its turn (and the user the chance to cancel) after every piece.
    constexpr size_t kBytesPerPiece = 4097;
    DataFileWriter file(path);
    int code = file.open();
    for (size_t done = 0; done < n && code == 0;) {
        const size_t piece = std::min(kBytesPerPiece, n - done);
        code = file.write(data + done, piece, goOn, done);
        done += piece;
        if (code == 0 && done < n && !goOn(done)) code = kSaveCancelled;
    }
    return code != 0 ? code : file.commit();
}

} // namespace appSub
