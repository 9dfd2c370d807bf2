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

// Writes all n bytes at the current position; returns 0 or the file error code.
int xfunWriteAll(int fd, const uint8_t* data, size_t n, const QString& path);

// Closes the descriptor; returns 0 or the file error code (a full disk may show only here).
int xfunClose(int fd, const QString& path);

} // namespace appSub
