#pragma once
// The update window: at every creation it hands a waiting update over to the
// updater or checks the update server's manifest; its "升级" button starts a
// download run (update/core/downloadrun.h) and shows its progress, then hands
// the new main executable over to the updater.

#include "platform/core/result.h"
#include "update/core/downloadrun.h"
#include "update/core/manifest.h"
#include "update/core/signature.h"
#include "update/core/transfer.h"

#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// What the update window needs of the main window.
struct MainWindowLink {
    QPointer<QWidget> window;                // position, enable, minimise
    QVariant* upl = nullptr;                 // the main window's public flag
    std::function<void()> reloadResultPage;  // WebBrowser1's reload
};

// Where the update window works; the program's own values unless a test sets others.
struct UpdateContext {
    QString programFolder;                           // holds the main executable and every update file
    QString mainExecutable;                          // full path of the running main executable
    QString updateBase;                              // ".../trvs"
    int checkTimeoutSeconds = 15;                    // loading: manifest and log
    int downloadTimeoutSeconds = 120;                // download run: seconds without data before giving up
    QString publicKey = update::builtInPublicKey();  // the vendor's key; what it signed is taken

    static UpdateContext forThisProgram(const QString& updateBase);
};

class Form8 : public QWidget {
    Q_OBJECT
public:
    Form8(const UpdateContext& context, const MainWindowLink& mainWindow, QWidget* parent = nullptr);
    ~Form8() override;

    // Loading sequence; the window stays hidden until its end.
    void Form_Load();
    void cmdUpdate_Click();
    void cmdExit_Click();
    void Timer1_Timer();

    update::UpdateTable getUpdateInfor(const QString& strPath);

    // Ends the whole program at once; replaced by tests.
    std::function<void()> endProgram;

    // Controls
    QGroupBox* Frame1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* cmdUpdate = nullptr;
    QPushButton* cmdExit = nullptr;
    QProgressBar* proUpdate = nullptr;
    QLabel* lblScale = nullptr;
    QProgressBar* timUpdate = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblNumber = nullptr;
    QLabel* Picture1 = nullptr;
    QTimer Timer1;

    // Download state
    update::UpdateTable updateInfor;
    qint16 fileIndex = 0;
    qint16 filesDone = 0;
    int waitTicks = 0;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void placeWindow();
    bool handOverPending();
    // Fetches a server text file; a usable answer (signed by the vendor's key
    // when `mustBeSigned`) replaces the local copy, whose bytes are returned.
    Result<QByteArray> refreshLocalCopy(const QString& name, bool mustBeSigned);
    bool checkVersion();  // false: the loading sequence ends here
    void showUpdateLog();
    void handOverNow();
    QString programFile(const QString& name) const;
    void pumpEvents();
    // What the download run reports.
    void showTable(const update::UpdateTable& table, int count);
    void showFileStarted(int slot, int count);
    void showFileProgress(qint64 received, qint64 total);
    void showFileFinished(int slot, int count);
    void showDownloadsFinished();

    UpdateContext context_;
    MainWindowLink main_;
    update::TransferClient inetOLUpdate;
    std::unique_ptr<update::DownloadRun> run_;
    bool closeRequested_ = false;  // closing waits for the run to stop
    bool byteCountKnown_ = false;  // timUpdate shows bytes of the current file
};

// Opens the single update window (creating it when needed, as the menu does).
Form8* showUpdateWindow(const UpdateContext& context, const MainWindowLink& mainWindow);
