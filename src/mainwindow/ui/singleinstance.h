#pragma once
// Finding an already running copy of the program and bringing its window back.
// Copies are counted by executable name in the process list; the running copy
// listens on a local socket named after the version caption and restores its
// window when a newer copy asks.

#include <QObject>
#include <QString>

class QLocalServer;
class QWidget;

namespace singleinstance {

// One line per running process, its executable file name, each line ending in
// CR LF. Line 0 is the idle task, as the copy count skips the first entry.
QString processList();

// The running program's file name as the process list shows it: base name
// plus the platform's executable suffix (none on Linux).
QString executableName();

// How many entries of `processList` name `executableName` exactly. The first
// entry (the idle task) and the empty element after the last CR LF are not
// examined.
int countCopies(const QString& processList, const QString& executableName);

// The local socket the running copy listens on: the version caption, in the
// user's runtime folder.
QString defaultServerName();

// Asks the copy listening on `serverName` to restore its window. False when
// none answers.
bool askToRestore(const QString& serverName);

// Listens on `serverName` and shows `window` normal and raised on every request.
class RestoreServer : public QObject {
    Q_OBJECT
public:
    RestoreServer(QWidget* window, QObject* parent = nullptr);
    // False when another live copy already listens there (or listening failed).
    bool listen(const QString& serverName);

private:
    void acceptConnections();
    QWidget* window_;
    QLocalServer* server_;
};

}  // namespace singleinstance
