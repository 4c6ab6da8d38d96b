#pragma once
// The comparer window. One object for the program's whole life (it keeps the
// running totals of compare-and-mark); closing it only unloads it, and the
// next use loads it again: the paper is copied afresh from the main editor and
// every control returns to its design content.

#include "comparer/core/libraryfolder.h"
#include "comparer/core/localcompare.h"
#include "comparer/core/rewrite.h"
#include "platform/core/endpoints.h"
#include "platform/core/result.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class BrowserView;
class LibraryWindow;
class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class RichEditor;
struct PaperMark;
namespace matching {
class Synonyms;
}

class Form2 : public QWidget {
    Q_OBJECT
public:
    // `mainPaper` returns the main editor's text; it is read at each load.
    Form2(const Endpoints& endpoints, std::function<QString()> mainPaper, QWidget* parent = nullptr);
    ~Form2() override;

    // What the main window does with the comparer.
    void open();                     // load if needed, then show
    void loadPage(const QUrl& url);  // load hidden if needed, page loader navigates
    bool isLoaded() const { return loaded_; }

    // Where ciku.txt lives; the program folder unless a test says otherwise.
    QString programFolder;
    // Draws of the rewrite; clock-seeded unless a test says otherwise.
    comparer::RandomSource random = comparer::clockRandom();
    // How long the download waits for the thesaurus page.
    int pageTimeoutMs = 20000;
    // Where the library's index is kept; the user's data folder unless a test says otherwise.
    QString dataFolder;
    // Reads a document of the library (counted by tests).
    comparer::library::DocumentReader readLibraryDocument = comparer::library::readDocumentText;
    // Writes the editor's content as rich text, or says why it could not.
    std::function<Result<void>(const RichEditor*, const QString&)> saveRichText;

    const Endpoints endpoints;
    comparer::CompareCounts totals;  // every run since the window object was made

    // Controls
    RichEditor* RichTextBox1 = nullptr;  // the paper
    RichEditor* RichTextBox2 = nullptr;  // the reference text
    QLabel* Label1 = nullptr;
    QCheckBox* Check1 = nullptr;         // 累计标注
    QPushButton* Command1 = nullptr;     // 对比并标注
    QPushButton* Command2 = nullptr;     // 自动翻改
    QPushButton* Command3 = nullptr;     // 下载词库
    QPushButton* Command4 = nullptr;     // 文献库对比
    BrowserView* WebBrowser1 = nullptr;  // page loader for reference pages
    BrowserView* WebBrowser2 = nullptr;  // thesaurus page fetcher
    QMenu* yjcd = nullptr;
    QAction* baocun = nullptr;
    QAction* cx = nullptr;
    QAction* jq = nullptr;
    QAction* fz = nullptr;
    QAction* nt = nullptr;
    QAction* sc = nullptr;
    QAction* qx = nullptr;
    // The library comparison's second window: progress, the sources found, the skipped.
    LibraryWindow* libraryWindow = nullptr;

    // Handlers
    void Form_Load();
    void Form_Resize();
    void layoutForOuterSize(int width, int height);  // twips, frame included
    void Command1_Click();                           // compare and mark
    void Command2_Click();                           // rewrite from the thesaurus
    void Command3_Click();                           // download the thesaurus
    void Command4_Click();                           // the paper against a folder of sources
    void RichTextBox1_MouseDown(Qt::MouseButtons buttons, const QPoint& pos);
    void RichTextBox_FileDropped(RichEditor* editor, const QString& path);  // its text goes there
    void baocun_Click();
    void cx_Click();
    void jq_Click();
    void fz_Click();
    void nt_Click();
    void sc_Click();
    void qx_Click();
    void WebBrowser1_DownloadBegin();
    void WebBrowser1_DownloadComplete();
    void libraryWindow_SourceClicked(qint32 source);     // that source's marks in a colour of their own
    void libraryWindow_PassageClicked(int index);        // beside the source's text
    void libraryWindow_RunLengthChanged(int runLength);  // kept, and the paper checked again with it

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createMenu();
    void ensureLoaded();
    void markOccurrences(const comparer::CompareResult& result, bool resetMarks);
    bool fetchThesaurusPage();
    // The library comparison's steps (form2_library.cpp).
    std::optional<comparer::library::ReadOutcome> readLibraryLettingEventsThrough(const QString& folder);
    void keepLibrary(comparer::library::ReadOutcome outcome);
    void checkAgainstLibrary(const QString& indexProblem);
    void showLibraryResult();
    std::vector<PaperMark> paperMarks(const std::vector<comparer::library::Stretch>& stretches,
                                      const QColor& colour) const;
    std::shared_ptr<const matching::Synonyms> thesaurusFor(const QString& path, QString& problem);
    QString thesaurusPath() const;

    std::function<QString()> mainPaper_;
    bool loaded_ = false;
    bool downloading_ = false;
    bool comparing_ = false;  // compare and mark or the library comparison under way (events go through)
    // The library last compared with, kept for the window object's life so
    // that a second check reads nothing, and its table and last result.
    comparer::library::Library library_;
    std::optional<comparer::library::LibraryTable> libraryTable_;
    comparer::library::LibraryResult libraryResult_;
    QString libraryPaper_;         // the paper as last checked against the library
    bool libraryChecked_ = false;  // the library at hand was read whole and the paper checked
    qint32 highlightedSource_ = -1;
    int runLength_ = matching::kDefaultRun;  // N of the library's runs, as kept in the data folder
    // The source whose finds are shown beside it, read when first shown.
    std::optional<std::pair<qint32, comparer::library::ShownSource>> shownSource_;
    // ciku.txt made into word classes, again only when the file changes.
    struct ThesaurusCache {
        QString path;
        qint64 size = -1;
        qint64 modified = -1;
        std::shared_ptr<const matching::Synonyms> synonyms;
        QString problem;
    } thesaurusCache_;
};
