#include "platform/core/os.h"

#include <QProcess>

#include <tlhelp32.h>
#include <windows.h>

namespace os {

QString executableSuffix() { return QStringLiteral(".exe"); }

QString processList()
{
    // The snapshot lists the idle process first, as the process list does.
    QString list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return list;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        list += QString::fromWCharArray(entry.szExeFile) + QStringLiteral("\r\n");
    CloseHandle(snapshot);
    return list;
}

// Windows names local sockets as pipes; Qt adds the pipe prefix itself.
QString localServerName(const QString& name) { return name; }

// A job object would be needed to end a converter's children; the converter
// is ended on its own.
void useOwnProcessGroup(QProcess&) { }
void killProcessGroup(qint64) { }

}  // namespace os
