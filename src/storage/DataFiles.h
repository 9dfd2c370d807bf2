#pragma once

#include <QString>
#include <cstdint>
#include <functional>

// Data files on disk: one byte per sample, no header. Every failure comes back as a file error
// code of the program (see FileErrors.h), 0 meaning success.
namespace appSub {

// 1 when no file of that name exists, else the answer to the overwrite question (6 yes, 7 no).
int32_t xfunOverwriteAsk(const QString& path);

// Creates the file or cuts an existing one to zero length, and leaves it open for writing.
// Returns the descriptor, or -1 with `code` set. Never blocks, whatever the name points to.
int xfunCreateForWrite(const QString& path, int& code);

// Opens an existing file for reading its samples. Returns the descriptor, or -1 with `code`
// set. Never blocks, whatever kind of file the name points to.
int xfunOpenForRead(const QString& path, int& code);

// Opens the file for reading and closes it again: true when that works, else false after its
// message has been shown.
bool xfunDataFileTry(const QString& path);

// What a save returns when the user cancelled it; nothing to tell.
constexpr int kSaveCancelled = -1;

// Asked between pieces of a long write, with the bytes written so far: lets the window go on
// and returns false when the user has cancelled.
using SaveGoOn = std::function<bool(size_t done)>;

// Writes all n bytes at the current position; returns 0, kSaveCancelled or the file error code.
// While a pipe is full it waits for its reader, asking goOn (with `done`) meanwhile.
int xfunWriteAll(int fd, const uint8_t* data, size_t n, const QString& path, const SaveGoOn& goOn,
                 size_t done = 0);

// A data file being saved. A regular file (or a new name) gets its bytes through an unnamed
// file in the same folder, which takes the name only once everything is on disk, so a failed
// or cancelled save leaves the old file as it was and nothing else behind. Through a symbolic
// link, the file it points to is the one written, created when missing; the link stays.
// Anything else the name points to (a named pipe, a device) is written directly.
class DataFileWriter {
public:
    explicit DataFileWriter(const QString& path) : m_path(path) {}
    ~DataFileWriter(); // an unfinished file goes
    DataFileWriter(const DataFileWriter&) = delete;
    DataFileWriter& operator=(const DataFileWriter&) = delete;

    // Each returns 0 or the file error code (write also kSaveCancelled); after that only the
    // destructor is left.
    int open();
    int write(const uint8_t* data, size_t n, const SaveGoOn& goOn, size_t done);
    int commit();

private:
    // Gives the unnamed file fd a name of its own in the folder; 0 or an errno.
    int nameTemp(int fd);

    QString m_path;
    int m_dirFd = -1;  // the folder of the file replaced; -1 when writing directly
    QByteArray m_name; // the file's name in that folder
    QByteArray m_temp; // a name the new file has in that folder, "" while it has none
    int m_fd = -1;
};

// Saves the bytes as the whole new content of the file in pieces, asking goOn between them;
// returns 0, kSaveCancelled or the file error code.
int xfunSaveBytes(const QString& path, const uint8_t* data, size_t n, const SaveGoOn& goOn);

// Closes the descriptor; returns 0 or the file error code (a full disk may show only here).
int xfunClose(int fd, const QString& path);

} // namespace appSub
