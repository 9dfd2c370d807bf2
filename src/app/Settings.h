#pragma once

#include <QByteArray>
#include <QString>

struct AppState;

// The settings file Tessavue.OVR next to the program: nine comma-separated lines in code page 932.
namespace appSub {

QString settingsPath(const QString& programDir);

// Reads the file into the state; stops quietly at the first missing or bad field.
void xsubSettingsRead();
// Writes the file; failures are quiet and never leave a half-written file behind.
void xsubSettingsWrite();

// The file's bytes for a state, and the reverse; kept apart from the file for testing.
QByteArray settingsBytes(const AppState& s);
void applySettings(const QByteArray& bytes, AppState& s);

QByteArray toCp932(const QString& text);
QString fromCp932(const QByteArray& bytes);

} // namespace appSub
