#pragma once
// What differs between operating systems, in one place: one implementation
// file per system (os_unix.cpp, os_windows.cpp), chosen when building.

#include <QString>

class QProcess;

namespace os {

// The suffix of an executable file's name: ".exe" on Windows, none elsewhere.
QString executableSuffix();

// One line per running process, its executable file name, each line ending in
// CR LF. Line 0 is the idle task, so that a count that skips the first entry
// skips no real process.
QString processList();

// Where a local socket called `name` lives for this user.
QString localServerName(const QString& name);

// Starts `process` in a group of its own, so that killProcessGroup also ends
// the children it starts (a converter doing its work in a child process).
void useOwnProcessGroup(QProcess& process);
void killProcessGroup(qint64 processId);

}  // namespace os
