#pragma once
// The one seam for modal message boxes and file dialogs. Tests queue answers
// ahead of time; with nothing queued the real modal dialog is shown.

#include <QString>
#include <QStringList>

class QWidget;

namespace dialogs {

enum class Icon { None, Information, Question, Warning, Critical };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No, Cancel };

// Shows a modal message box. An empty title shows the program title "Trovalis".
Answer message(QWidget* parent, const QString& text, const QString& title = {}, Icon icon = Icon::None,
               Buttons buttons = Buttons::Ok);

// `filter` is a Qt filter list ("Text (*.txt);;All (*)"); `filterIndex` picks
// the preselected entry, counting from 1.
// Returns the chosen file name or an empty string when cancelled. `fileName`
// preselects a name (the one chosen last, for dialogs that remember it).
QString openFileName(QWidget* parent, const QString& title, const QString& filter, int filterIndex = 1,
                     const QString& fileName = {});
QString saveFileName(QWidget* parent, const QString& title, const QString& filter, int filterIndex = 1,
                     const QString& fileName = {});
// An existing folder, or an empty string when cancelled; answered from the
// queue of file names in tests.
QString folderName(QWidget* parent, const QString& title);

// --- for tests ---
void queueAnswer(Answer answer);
void queueFileName(const QString& fileName);  // "" means the user cancelled
struct Shown {
    QString text;
    QString title;
    Icon icon;
    Buttons buttons;
};
QList<Shown> takeShownMessages();  // every message shown since the last call
void reset();

}  // namespace dialogs
