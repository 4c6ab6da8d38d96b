#pragma once
// The second window of the library comparison: the progress while the
// folder is read, then the sources found and the documents skipped. It only
// shows; the comparer window does the work.

#include "comparer/core/libraryfolder.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;

class LibraryWindow : public QWidget {
    Q_OBJECT
public:
    explicit LibraryWindow(QWidget* parent = nullptr);

    void showReading(const QString& folder);
    void showProgress(int done, int total);
    void showStatus(const QString& text);  // the run is over: progress hidden
    void showResult(const std::vector<comparer::library::SourceRow>& rows,
                    const comparer::library::Library& library);

    QLabel* status = nullptr;
    QProgressBar* progress = nullptr;
    QPushButton* cancel = nullptr;
    QTableWidget* sources = nullptr;  // path, characters, share
    QListWidget* skipped = nullptr;   // "path：reason"

signals:
    void cancelClicked();
    void sourceClicked(qint32 source);  // the library's index of the row's source

private:
    void setBusy(bool busy);
};
