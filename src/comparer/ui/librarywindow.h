#pragma once
// The second window of the library comparison: the progress while the
// folder is read, then the sources found and the documents skipped; a
// source's finds in the paper, and the one picked beside the source's text.
// It only shows; the comparer window does the work.

#include "comparer/core/libraryfolder.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class SideBySideView;

class LibraryWindow : public QWidget {
    Q_OBJECT
public:
    explicit LibraryWindow(QWidget* parent = nullptr);

    void showReading(const QString& folder);
    void showProgress(int done, int total);
    void showStatus(const QString& text);  // the run is over: progress hidden
    void showResult(const std::vector<comparer::library::SourceRow>& rows,
                    const comparer::library::Library& library);
    // The picked source's finds, one line each, in the colour of their level.
    void showPassages(const std::vector<comparer::library::Passage>& passages, QStringView paper);
    void setRunLength(int runLength);  // without raising runLengthChanged

    QLabel* status = nullptr;
    QProgressBar* progress = nullptr;
    QPushButton* cancel = nullptr;
    QSpinBox* runLength = nullptr;         // N of the literal and reworded runs
    QTableWidget* sources = nullptr;       // path, characters, share, 连续相同, 疑似改写
    QListWidget* passages = nullptr;       // the picked source's finds
    SideBySideView* sideBySide = nullptr;  // the picked find: the paper's passage and the source's
    QListWidget* skipped = nullptr;        // "path：reason"

signals:
    void cancelClicked();
    void sourceClicked(qint32 source);  // the library's index of the row's source
    void passageClicked(int index);     // in the list showPassages was given
    void runLengthChanged(int runLength);

private:
    void setBusy(bool busy);
};

// What a level is called in the window, and its colour.
QString levelName(comparer::library::Level level);
QColor levelColour(comparer::library::Level level);
