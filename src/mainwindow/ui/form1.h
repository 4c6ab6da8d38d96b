#pragma once
// The main window. Thin: one handler per event, each calling the logic of the
// analysis and document libraries. Its handlers are spread over a few files by
// concern (form1.cpp: start-up, layout, editing; form1_compare.cpp: queries,
// scoring, automatic runs, statistics; form1_documents.cpp: new, open, save).

#include "analysis/checkkeeper.h"
#include "analysis/comparisonsession.h"
#include "analysis/precheck.h"
#include "platform/core/endpoints.h"

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <optional>
#include <utility>

class BrowserView;
class QAction;
class QDialog;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class RichEditor;
class ReportWindow;
struct SavedCheck;
namespace singleinstance {
class RestoreServer;
}

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(const Endpoints& endpoints, QWidget* parent = nullptr);
    ~Form1() override;

    // Links to the other windows, set by the program before formLoad().
    std::function<void()> openComparer;               // duibiqi, Command6
    std::function<void()> openUpdateWindow;           // gengxin, start-up step 10
    std::function<void(const QUrl&)> loadInComparer;  // new-window redirection
    std::function<void()> endProgram;                 // exit now; default quits the application

    // Seams of the start-up and exit commands, replaced by tests.
    std::function<QString()> getProcessList;         // default: the running processes
    QString executableName;                          // default: this program's file name
    QString instanceServerName;                      // local socket of the running copy; empty: the default
    std::function<bool(const QUrl&)> openInBrowser;  // default: the user's web browser

    // Start-up sequence; call once before the window is shown.
    void formLoad();

    // Public state other windows use.
    QVariant upl;  // empty at start, 1 after start-up
    ComparisonSession session;
    const Endpoints endpoints;

    // Controls
    RichEditor* RichTextBox1 = nullptr;
    BrowserView* WebBrowser1 = nullptr;  // search results
    BrowserView* WebBrowser2 = nullptr;  // start-up request, sized to nothing
    QListWidget* List1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command1 = nullptr;  // 进行分析
    QPushButton* Command2 = nullptr;  // 手动对比
    QPushButton* Command3 = nullptr;  // 启动自动对比
    QPushButton* Command4 = nullptr;  // 停止自动对比！
    QPushButton* Command5 = nullptr;  // 统计相似性网站
    QPushButton* Command6 = nullptr;  // 对比
    QPlainTextEdit* Text1 = nullptr;  // hidden work field of the analysis
    QTimer Timer1;                    // control-state refresh
    QTimer Timer2;                    // one automatic comparison step

    // Menus
    QMenu* wjcd = nullptr;
    QMenu* yjcd = nullptr;
    QMenu* yinqing = nullptr;
    QAction* xinjian = nullptr;
    QAction* dakai = nullptr;
    QAction* baocun = nullptr;
    QAction* tuichu = nullptr;
    QAction* cx = nullptr;
    QAction* jq = nullptr;
    QAction* fz = nullptr;
    QAction* nt = nullptr;
    QAction* sc = nullptr;
    QAction* qx = nullptr;
    QAction* baidu = nullptr;
    QAction* wenku = nullptr;
    QAction* longyuan = nullptr;
    QAction* zhiwang = nullptr;
    QAction* duibiqi = nullptr;
    QAction* gengxin = nullptr;

    // --- handlers: start-up, layout, editing (form1.cpp) ---
    void Command1_Click();  // analyse
    void Form_Resize();
    void tuichu_Click();
    void qx_Click();
    void fz_Click();
    void jq_Click();
    void nt_Click();
    void sc_Click();
    void cx_Click();
    void RichTextBox1_KeyUp(int key);
    void RichTextBox1_MouseDown(Qt::MouseButtons buttons, const QPoint& pos);
    void Web_V1_NewWindow(const QUrl& url, bool* processed);

    // --- handlers: comparison (form1_compare.cpp) ---
    void Command2_Click();  // compare one sentence
    void Command3_Click();  // start automatic
    void Command4_Click();  // stop automatic
    void Command5_Click();  // site statistics
    void Command6_Click();  // open the comparer
    void engine_Click(QAction* item);
    void List1_Click();
    void Timer1_Timer();
    void Timer2_Timer();
    void WebBrowser1_DownloadBegin();
    void WebBrowser1_DownloadComplete();

    // Comparison settings and state of the window (form1_compare.cpp).
    float statisticsPauseSeconds = 3;  // the statistics page's time to load; tests shorten it
    int pageWaitLimitMs = 30000;       // an automatic step gives up on a page that never comes
    int siteTotal = 0;                 // titled slots found by the last statistics rebuild
    // The user's data folder, where checks are kept to be continued later;
    // tests point it at a folder of their own.
    QString dataFolder;
    // A verification page stopped the check: no page is scored until the next
    // Compare sends the piece again.
    bool pausedForVerification = false;
    CheckKeeper checkKeeper;  // writes the check off the window's thread; tests wait on it

    // --- a re-check of an edited paper (form1_rework.cpp) ---
    QMenu* List1Popup = nullptr;  // List1's popup menu
    QAction* cxdb = nullptr;      // 重新对比此句
    QAction* ckxt = nullptr;      // 查看相同之处
    void List1_ContextMenu(const QPoint& pos);
    void cxdb_Click();  // sends the piece under the popup again; its figure replaces the old one
    // The piece under the popup beside the earlier result it still shares
    // runs with, the runs marked in both; only for a piece the pre-check found.
    void ckxt_Click();
    QPointer<QDialog> sameTextWindow;  // 查看相同之处, made on first use

    // --- handlers: documents (form1_documents.cpp) ---
    void xinjian_Click();
    void dakai_Click();
    void baocun_Click();
    void RichTextBox1_FileDropped(const QString& path);  // opens it there as dakai does
    QString openedDocument;                              // the file the editor's text was opened from last
    // The file types of the open and the save dialog.
    static QString openFileTypes();
    static QString saveFileTypes();

    // --- the check report (form1_report.cpp) ---
    QMenu* jcbg = nullptr;    // 检测报告
    QAction* ckbg = nullptr;  // 查看检测报告
    QAction* dcbg = nullptr;  // 导出检测报告…
    QAction* bzxs = nullptr;  // 在论文中标出相似句
    QAction* bzlw = nullptr;  // 导出标注后的论文…
    void ckbg_Click();
    void dcbg_Click();
    void bzxs_Click();
    void bzlw_Click();
    void refreshReportMenu();       // enabled once a piece is checked, while no run is on
    QByteArray reportHtml() const;  // the report of the check as it stands
    QPointer<ReportWindow> reportWindow;
    void createReportMenu();
    QDateTime checkTime(const SavedCheck& live) const;  // when the check was last kept

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;  // Form_Unload: ends the program
    void showEvent(QShowEvent* event) override;    // centred on the first show

private:
    void createControls();
    void createLabels(QWidget* client);
    void createButtons(QWidget* client);
    void createMenus();
    void connectHandlers();
    void restoreRunningCopy();
    void resetEditorFormatting();
    void fillList1(const QStringList& items);
    singleinstance::RestoreServer* restoreServer = nullptr;
    bool shownOnce = false;
    void connectCompareHandlers();  // form1_compare.cpp
    void colourSentence(const QString& sentence);
    bool waitForIdleBrowser();
    bool timer2Ticking = false;
    void selectListRow(int row);  // the program's pick: it does not compare
    void List1_CurrentRowChanged(int row);
    bool selectingListRow = false;
    void pauseForVerification();
    void colourListItem(int row);  // by its piece's figure, once checked
    void saveCheck(bool finished);
    void checkNotSaved(const QString& reason);  // Label1 says so, once per run
    void offerSavedCheck();                     // the end of an analysis: continue the saved check?
    void continueSavedCheck(const SavedCheck& saved);
    QString selectedEngineName() const;  // as a kept check names it
    // Compare in its three uses: the button and the run's next step (a
    // re-check's kept cut skips the pieces already checked), exactly the piece
    // at nextIndex (a pick in List1, a retry), and one piece sent again on its
    // own. False when nothing was sent.
    enum class CompareMode { Next, Exactly, Again };
    bool compare(CompareMode mode);
    // form1_rework.cpp
    void createList1Popup();
    void offerEarlierVersion();      // an edited paper: carry the unchanged pieces over?
    void showSentences();            // List1 anew from session.sentences, coloured
    void resumeAfterRecheck();       // the piece sent again was scored
    bool skipCheckedPieces = false;  // this check compares only the pieces not yet checked
    // The pre-check of a reworked paper's new pieces, per List1 row; empty otherwise.
    precheck::PreCheck preChecked;
    const precheck::Finding* stillSimilar(int row) const;    // the "仍相似" piece's finding, or none
    int popupRow = -1;                                       // the item the popup was opened on
    std::optional<std::pair<qint32, qint32>> recheckResume;  // nextIndex, lastIndex before it
    bool checkReachedEnd = false;    // this analysis's check ended with "本次对比结束！"
    bool checkSaveWarned = false;    // Label1 said this run that the check cannot be saved
    void connectDocumentHandlers();  // form1_documents.cpp
    void openInEditor(const QString& fileName);
};
