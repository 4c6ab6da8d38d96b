#include "platform/widgets/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QQueue>

#include <utility>

namespace dialogs {

namespace {

struct TestQueues {
    QQueue<Answer> answers;
    QQueue<QString> fileNames;
    QList<Shown> shown;
};

TestQueues& queues()
{
    static TestQueues q;
    return q;
}

QMessageBox::Icon toQt(Icon icon)
{
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Warning:
        return QMessageBox::Warning;
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

Answer showMessageBox(QWidget* parent, const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    QMessageBox box(toQt(icon), title, text,
                    buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Ok:
        return Answer::Ok;
    default:
        break;
    }
    // Closed with Escape or the window's close button.
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}

// Filters are Qt-style lists ("Text (*.txt);;All (*)"); filterIndex counts from 1.
QString selectedFilter(const QString& filter, int filterIndex)
{
    const QStringList filters = filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    return filters.value(filterIndex - 1);
}

}  // namespace

Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    const QString shownTitle = title.isEmpty() ? QStringLiteral("Trovalis") : title;
    TestQueues& q = queues();
    q.shown.append({text, shownTitle, icon, buttons});
    if (!q.answers.isEmpty())
        return q.answers.dequeue();
    return showMessageBox(parent, text, shownTitle, icon, buttons);
}

QString openFileName(QWidget* parent, const QString& title, const QString& filter, int filterIndex,
                     const QString& fileName)
{
    if (!queues().fileNames.isEmpty())
        return queues().fileNames.dequeue();
    QString chosenFilter = selectedFilter(filter, filterIndex);
    return QFileDialog::getOpenFileName(parent, title, fileName, filter, &chosenFilter);
}

QString saveFileName(QWidget* parent, const QString& title, const QString& filter, int filterIndex,
                     const QString& fileName)
{
    if (!queues().fileNames.isEmpty())
        return queues().fileNames.dequeue();
    QString chosenFilter = selectedFilter(filter, filterIndex);
    // The program replaces an existing file without asking.
    return QFileDialog::getSaveFileName(parent, title, fileName, filter, &chosenFilter,
                                        QFileDialog::DontConfirmOverwrite);
}

QString folderName(QWidget* parent, const QString& title)
{
    if (!queues().fileNames.isEmpty())
        return queues().fileNames.dequeue();
    return QFileDialog::getExistingDirectory(parent, title);
}

void queueAnswer(Answer answer) { queues().answers.enqueue(answer); }

void queueFileName(const QString& fileName) { queues().fileNames.enqueue(fileName); }

QList<Shown> takeShownMessages() { return std::exchange(queues().shown, {}); }

void reset() { queues() = TestQueues{}; }

}  // namespace dialogs
