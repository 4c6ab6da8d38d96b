// The comparer window's library comparison: the paper against every document
// of a folder, read on a worker while the window stays responsive; the finds
// at three levels, and each one beside the source's text.

#include "comparer/core/runlength.h"
#include "comparer/ui/form2.h"
#include "comparer/ui/librarywindow.h"
#include "comparer/ui/papercolouring.h"
#include "documents/pdf/pdfreader.h"
#include "matching/synonyms.h"
#include "platform/core/markcolours.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "platform/widgets/sidebysideview.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>

#include <chrono>
#include <future>

using namespace comparer::library;

namespace {

const QColor kPicked{QRgb(markcolour::kPicked)};  // the marks of the source picked in the table
// Characters of the text shown around a find on either side.
constexpr qsizetype kContext = 80;

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

// The paper's marks by level: red the sentences, orange the literal runs
// outside red, violet the reworded runs outside both.
std::vector<std::pair<Stretch, Level>> levelMarks(const LibraryResult& result)
{
    std::vector<std::pair<Stretch, Level>> marks;
    for (const Stretch& s : result.stretches)
        marks.push_back({s, Level::Sentence});
    for (const Stretch& s : outside(result.literal, result.stretches))
        marks.push_back({s, Level::Literal});
    for (const Stretch& s : outside(result.rewordedStretches, result.stretches))  // already outside literal
        marks.push_back({s, Level::Reworded});
    return marks;
}

// Those parts of the marks that lie within `within` (joined).
std::vector<std::pair<Stretch, Level>> clipped(const std::vector<std::pair<Stretch, Level>>& marks,
                                               const std::vector<Stretch>& within)
{
    std::vector<std::pair<Stretch, Level>> parts;
    for (const auto& [mark, level] : marks) {
        for (const Stretch& w : within) {
            const qsizetype from = std::max(mark.start, w.start);
            const qsizetype to = std::min(mark.start + mark.length, w.start + w.length);
            if (from < to)
                parts.push_back({{from, to - from}, level});
        }
    }
    return parts;
}

// Every find of a source, in the paper, joined.
std::vector<Stretch> paperStretches(const SourceFinds& finds)
{
    std::vector<Stretch> all = finds.stretches;
    for (const Passage& p : finds.passages)
        all.push_back(p.paper);
    return joined(std::move(all));
}

// `stretch` with some text either side, the find marked in it.
SidePane paneAround(QStringView text, Stretch stretch, const QColor& colour)
{
    const qsizetype from = std::max<qsizetype>(0, stretch.start - kContext);
    const qsizetype to = std::min(text.size(), stretch.start + stretch.length + kContext);
    return {{}, text.mid(from, to - from).toString(), {{stretch.start - from, stretch.length, colour}}};
}

// A find of the paper and where it stands in the source, side by side.
SideBySideView::Place placeOf(QStringView paper, const ShownSource& source, const QString& path,
                              const Passage& passage)
{
    const QColor colour = levelColour(passage.level);
    SidePane left = paneAround(paper, passage.paper, colour);
    left.caption = QStringLiteral(u"你的文章：第 %1 字起 %2 字，%3")
                       .arg(passage.paper.start + 1)
                       .arg(passage.paper.length)
                       .arg(levelName(passage.level));
    const Stretch there = source.stretchOf(passage, paper);
    SidePane right;
    if (there.length > 0) {
        right = paneAround(source.text, there, colour);
        right.caption = QStringLiteral(u"%1：第 %2 字起 %3 字")
                            .arg(path, QString::number(there.start + 1), QString::number(there.length));
    } else {
        right.caption = path + QStringLiteral(u"：文献中已找不到这段文字");
    }
    if (source.changed)
        right.caption += QStringLiteral(u"（这篇文献在建立索引之后改动过）");
    return {left, right};
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
    shownSource_.reset();
    libraryChecked_ = false;
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
    checkAgainstLibrary(indexProblem);
}

// The paper against the library at hand, at every level.
void Form2::checkAgainstLibrary(const QString& indexProblem)
{
    libraryWindow->showPassages({}, {});  // what they showed is about to go
    libraryPaper_ = RichTextBox1->text();
    libraryChecked_ = true;
    QString thesaurusProblem;
    libraryResult_ = awaitLettingEventsThrough([&, path = thesaurusPath(), runLength = runLength_] {
        return libraryTable_->findIn(libraryPaper_, {runLength, thesaurusFor(path, thesaurusProblem)});
    });
    showLibraryResult();
    libraryWindow->showStatus(QStringLiteral(u"文献库中共有 %1 篇文献，其中 %2 篇与你的文章有重复。")
                                  .arg(library_.files.size())
                                  .arg(libraryResult_.sources.size())
                              + thesaurusProblem
                              + indexProblem
                              // Label1's third line again, whole: the comparer's buttons cover its end.
                              + QStringLiteral("\n") + runsCaption(libraryResult_).trimmed());
}

// The thesaurus of the rewrite as word classes, read again only when
// ciku.txt has changed. Called on the worker: touches no widget.
std::shared_ptr<const matching::Synonyms> Form2::thesaurusFor(const QString& path, QString& problem)
{
    const QFileInfo info(path);
    const qint64 size = info.exists() ? info.size() : -1;
    const qint64 modified = info.exists() ? info.lastModified().toMSecsSinceEpoch() : -1;
    ThesaurusCache& cache = thesaurusCache_;
    if (cache.path != path || cache.size != size || cache.modified != modified) {
        cache = {path, size, modified, nullptr, {}};
        const Result<comparer::Thesaurus> read = comparer::readThesaurus(path);
        if (!read)
            cache.problem = QStringLiteral(u"（词库文件无法读取，未查找疑似改写：") + read.error()
                + QStringLiteral(u"）");
        else if (read->state == comparer::Thesaurus::State::Damaged)
            cache.problem = QStringLiteral(u"（词库文件已损坏，未查找疑似改写）");
        else if (read->state == comparer::Thesaurus::State::Read)
            cache.synonyms = std::make_shared<const matching::Synonyms>(read->lines);
    }
    problem = cache.problem;
    return cache.synonyms;
}

void Form2::showLibraryResult()
{
    highlightedSource_ = -1;
    shownSource_.reset();
    std::vector<PaperMark> marks;
    for (const auto& [stretch, level] : levelMarks(libraryResult_)) {
        std::vector<PaperMark> some = paperMarks({stretch}, levelColour(level));
        marks.insert(marks.end(), some.begin(), some.end());
    }
    colourPaper(RichTextBox1->document(), std::move(marks), true, letEventsThrough);
    Label1->setText(libraryCaption(libraryResult_));
    libraryWindow->showResult(sourceRows(libraryResult_, library_.paths()), library_);
}

std::vector<PaperMark> Form2::paperMarks(const std::vector<Stretch>& stretches, const QColor& colour) const
{
    std::vector<PaperMark> marks;
    marks.reserve(stretches.size());
    for (const Stretch& s : stretches)
        marks.push_back({RichTextBox1->documentPosition(static_cast<int>(s.start)),
                         RichTextBox1->documentPosition(static_cast<int>(s.start + s.length)), colour});
    return marks;
}

void Form2::libraryWindow_SourceClicked(qint32 source)
{
    if (comparing_)
        return;
    const SourceFinds* picked = findsOf(libraryResult_, source);
    if (!picked || picked->passages.empty())
        return;
    // Events go through while the paper is coloured: nothing may replace the
    // result `picked` points into, nor move the paper under the marks.
    comparing_ = true;
    RichTextBox1->setReadOnly(true);
    if (const SourceFinds* before = findsOf(libraryResult_, highlightedSource_)) {
        std::vector<PaperMark> back;
        for (const auto& [stretch, level] : clipped(levelMarks(libraryResult_), paperStretches(*before))) {
            std::vector<PaperMark> some = paperMarks({stretch}, levelColour(level));
            back.insert(back.end(), some.begin(), some.end());
        }
        colourPaper(RichTextBox1->document(), std::move(back), false, letEventsThrough);
    }
    colourPaper(RichTextBox1->document(), paperMarks(paperStretches(*picked), kPicked), false,
                letEventsThrough);
    RichTextBox1->setReadOnly(false);
    comparing_ = false;
    highlightedSource_ = source;
    shownSource_.reset();  // read again when shown: the document may have changed meanwhile
    RichTextBox1->setSelStart(static_cast<int>(picked->passages.front().paper.start));
    RichTextBox1->ensureCursorVisible();
    libraryWindow->showPassages(picked->passages, libraryPaper_);
}

// The source's text is read now, so that it shows as the document stands.
void Form2::libraryWindow_PassageClicked(int index)
{
    const SourceFinds* picked = findsOf(libraryResult_, highlightedSource_);
    if (comparing_ || !picked || index < 0 || static_cast<size_t>(index) >= picked->passages.size())
        return;
    const qint32 source = picked->source;
    const QString path = library_.paths().value(source);
    if (!shownSource_ || shownSource_->first != source) {
        comparing_ = true;
        Result<ShownSource> read = awaitLettingEventsThrough(
            [&, reader = readLibraryDocument] { return showSource(library_, source, reader); });
        comparing_ = false;
        if (!read) {
            libraryWindow->sideBySide->clear();
            libraryWindow->showStatus(path + QStringLiteral(u"：") + read.error());
            return;
        }
        shownSource_.emplace(source, std::move(*read));
    }
    libraryWindow->sideBySide->showPlaces(
        static_cast<int>(picked->passages.size()),
        [this, source, path](int i) -> SideBySideView::Place {
            const SourceFinds* finds = findsOf(libraryResult_, source);
            if (!finds || !shownSource_ || shownSource_->first != source
                || static_cast<size_t>(i) >= finds->passages.size())
                return {};  // a check under way has replaced them
            return placeOf(libraryPaper_, shownSource_->second, path,
                           finds->passages[static_cast<size_t>(i)]);
        },
        index);
}

void Form2::libraryWindow_RunLengthChanged(int runLength)
{
    runLength_ = runLength;
    if (const Result<void> kept = keepRunLength(dataFolder, runLength); !kept)
        libraryWindow->showStatus(QStringLiteral(u"连续相同的字数无法保存：") + kept.error());
    if (comparing_ || !libraryChecked_)
        return;  // the next check takes it
    comparing_ = true;
    RichTextBox1->setReadOnly(true);
    checkAgainstLibrary({});
    RichTextBox1->setReadOnly(false);
    comparing_ = false;
}
