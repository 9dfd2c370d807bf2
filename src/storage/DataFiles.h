#pragma once

#include <QString>
#include <cstdint>

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

// Writes all n bytes at the current position; returns 0 or the file error code. While a pipe
// is full it waits for its reader and lets the window go on meanwhile.
int xfunWriteAll(int fd, const uint8_t* data, size_t n, const QString& path);

// A data file being saved. A regular file (or a new name) gets its bytes through a temporary
// file in the same folder, which takes the name only once everything is on disk, so a failed
// save leaves the old file as it was and no half file. Anything else the name points to (a
// named pipe, a device) is written directly.
class DataFileWriter {
public:
    explicit DataFileWriter(const QString& path) : m_path(path) {}
    ~DataFileWriter(); // an unfinished temporary file goes
    DataFileWriter(const DataFileWriter&) = delete;
    DataFileWriter& operator=(const DataFileWriter&) = delete;

    // Each returns 0 or the file error code; after an error only the destructor is left.
    int open();
    int write(const uint8_t* data, size_t n);
    int commit();

private:
    QString m_path;
    QByteArray m_target; // the file the temporary file replaces, "" when writing directly
    QByteArray m_temp;
    int m_fd = -1;
};

// Closes the descriptor; returns 0 or the file error code (a full disk may show only here).
int xfunClose(int fd, const QString& path);

} // namespace appSub
