// The comparer window's library comparison: the paper against every document
// of a folder, read on a worker while the window stays responsive.

#include "comparer/ui/form2.h"
#include "comparer/ui/librarywindow.h"
#include "comparer/ui/papercolouring.h"
#include "documents/pdf/pdfreader.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>

#include <chrono>
#include <future>

using namespace comparer::library;

namespace {

const QColor kRed(255, 0, 0);
const QColor kPicked(0, 0, 255);  // the marks of the source picked in the table

void letEventsThrough() { QCoreApplication::processEvents(); }

// Runs `work` on a worker thread; meanwhile the window repaints and takes
// input, and `tick` runs every 10 ms.
template <typename Work> auto awaitLettingEventsThrough(Work work, const std::function<void()>& tick = {})
{
    auto future = std::async(std::launch::async, std::move(work));
    while (future.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        if (tick)
            tick();
        letEventsThrough();
    }
    return future.get();
}

QString noDocuments()
{
    return QStringLiteral(
        u"所选文件夹中没有可对比的文献（.txt、.rtf、.doc、.docx、.wps、.odt、.pdf、.htm、.html）。");
}

const SourceFinds* findsOf(const LibraryResult& result, qint32 source)
{
    for (const SourceFinds& finds : result.sources) {
        if (finds.source == source)
            return &finds;
    }
    return nullptr;
}

}  // namespace

void Form2::Command4_Click()
{
    if (comparing_)
        return;  // a click while events go through: the run under way goes on
    const QString folder = dialogs::folderName(this, QStringLiteral(u"请选择文献库所在的文件夹"));
    if (folder.isEmpty())
        return;
    comparing_ = true;
    // The paper holds still while events go through, so that the marks land
    // where they were found.
    RichTextBox1->setReadOnly(true);
    if (std::optional<ReadOutcome> outcome = readLibraryLettingEventsThrough(folder))
        keepLibrary(std::move(*outcome));
    RichTextBox1->setReadOnly(false);
    comparing_ = false;
}

// The folder's documents, taken from the library of the last run or from the
// index on disk where unchanged, the others read.
std::optional<ReadOutcome> Form2::readLibraryLettingEventsThrough(const QString& folder)
{
    pdf::install();
    const QString absolute = QDir(folder).absolutePath();
    const bool sameFolder = library_.folder == absolute;
    if (!sameFolder)
        libraryTable_.reset();
    libraryWindow->showReading(QDir::toNativeSeparators(absolute));
    libraryWindow->show();
    libraryWindow->raise();

    ReadProgress progress;
    const QMetaObject::Connection cancel =
        connect(libraryWindow, &LibraryWindow::cancelClicked, this, [&progress] { progress.cancel = true; });
    Library earlier = sameFolder ? std::move(library_) : Library{};
    library_ = Library{};
    const QString index = indexPath(dataFolder, absolute);
    std::optional<LibraryTable> storedTable;
    Result<ReadOutcome> read = awaitLettingEventsThrough(
        [&, earlier = std::move(earlier), reader = readLibraryDocument]() mutable {
            if (earlier.folder.isEmpty()) {
                StoredLibrary stored = loadIndex(index, absolute);
                earlier = std::move(stored.library);
                storedTable = std::move(stored.table);
            }
            return readLibrary(absolute, std::move(earlier), reader, progress);
        },
        [&] { libraryWindow->showProgress(progress.done, progress.total); });
    disconnect(cancel);
    if (read && !read->changed && storedTable)
        libraryTable_ = std::move(storedTable);  // nothing changed since it was saved
    if (!read) {
        libraryTable_.reset();
        libraryWindow->showStatus(read.error());
        dialogs::message(this, read.error(), {}, dialogs::Icon::Warning);
        return std::nullopt;
    }
    return std::move(*read);
}

void Form2::keepLibrary(ReadOutcome outcome)
{
    const QString index = indexPath(dataFolder, outcome.library.folder);
    const bool changed = outcome.changed || !libraryTable_;
    library_ = std::move(outcome.library);
    QString indexProblem;
    if (changed) {
        // What was read is kept even when the run was cancelled: the next run goes on from there.
        auto [table, saved] = awaitLettingEventsThrough([&] {
            LibraryTable table = library_.table();
            Result<void> saved = outcome.changed ? saveIndex(library_, table, index) : Result<void>();
            return std::pair{std::move(table), saved};
        });
        libraryTable_ = std::move(table);
        if (!saved)
            indexProblem = QStringLiteral(u"（文献库索引无法保存：") + saved.error() + QStringLiteral(u"）");
    }
    if (outcome.cancelled) {
        libraryWindow->showStatus(
            QStringLiteral(u"已取消。已读取的 %1 篇文献下次不必再读。").arg(library_.files.size())
            + indexProblem);
        return;
    }
    if (library_.files.empty()) {
        libraryWindow->showStatus(noDocuments());
        dialogs::message(this, noDocuments(), {}, dialogs::Icon::Information);
        return;
    }
    const QString paper = RichTextBox1->text();
    libraryResult_ = awaitLettingEventsThrough([&] { return libraryTable_->findIn(paper); });
    showLibraryResult();
    libraryWindow->showStatus(QStringLiteral(u"文献库中共有 %1 篇文献，其中 %2 篇与你的文章有重复。")
                                  .arg(library_.files.size())
                                  .arg(libraryResult_.sources.size())
                              + indexProblem);
}

void Form2::showLibraryResult()
{
    highlightedSource_ = -1;
    colourStretches(libraryResult_.stretches, true, kRed);
    Label1->setText(libraryCaption(libraryResult_));
    libraryWindow->showResult(sourceRows(libraryResult_, library_.paths()), library_);
}

void Form2::colourStretches(const std::vector<Stretch>& stretches, bool resetMarks, const QColor& colour)
{
    std::vector<PaperMark> marks;
    marks.reserve(stretches.size());
    for (const Stretch& s : stretches)
        marks.push_back({RichTextBox1->documentPosition(static_cast<int>(s.start)),
                         RichTextBox1->documentPosition(static_cast<int>(s.start + s.length))});
    colourPaper(RichTextBox1->document(), std::move(marks), resetMarks, letEventsThrough, colour);
}

void Form2::libraryWindow_SourceClicked(qint32 source)
{
    if (comparing_)
        return;
    const SourceFinds* picked = findsOf(libraryResult_, source);
    if (!picked || picked->stretches.empty())
        return;
    if (const SourceFinds* before = findsOf(libraryResult_, highlightedSource_))
        colourStretches(before->stretches, false, kRed);
    colourStretches(picked->stretches, false, kPicked);
    highlightedSource_ = source;
    RichTextBox1->setSelStart(static_cast<int>(picked->stretches.front().start));
    RichTextBox1->ensureCursorVisible();
}
