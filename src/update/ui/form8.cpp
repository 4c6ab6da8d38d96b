#include "update/ui/form8.h"

#include "platform/core/endpoints.h"
#include "platform/core/gbk.h"
#include "platform/widgets/dialogs.h"
#include "update/core/handover.h"
#include "update/core/programfiles.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kWaitTicks = 500;

QString caption()
{
    return QStringLiteral("自动升级程序%1.%2.%3")
        .arg(version::kMajor)
        .arg(version::kMinor)
        .arg(version::kRevision);
}

bool writeWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    // Unbuffered: with a buffer, a small file whose only write fails at commit
    // (a full disk) is put in place empty and the commit reports success.
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size()
        && file.commit();
}

QByteArray readWhole(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

UpdateContext UpdateContext::forThisProgram(const QString& updateBase)
{
    UpdateContext context;
    context.programFolder = QCoreApplication::applicationDirPath();
    context.mainExecutable = update::joinPath(context.programFolder,
                                              QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    context.updateBase = updateBase;
    return context;
}

Form8::Form8(const UpdateContext& context, const MainWindowLink& mainWindow, QWidget* parent)
    : QWidget(parent, Qt::Window), context_(context), main_(mainWindow)
{
    setWindowTitle(QStringLiteral("自动升级程序"));
    createControls();
    endProgram = [] {
        std::fflush(nullptr);
        std::_Exit(0);
    };
    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, &Form8::Timer1_Timer);
    connect(cmdUpdate, &QPushButton::clicked, this, &Form8::cmdUpdate_Click);
    connect(cmdExit, &QPushButton::clicked, this, &Form8::cmdExit_Click);
    inetOLUpdate.onProgress = [this](qint64 received, qint64 total) { showFileProgress(received, total); };

    update::DownloadSettings settings;
    settings.programFolder = context_.programFolder;
    settings.mainExecutable = context_.mainExecutable;
    settings.updateBase = context_.updateBase;
    settings.timeoutSeconds = context_.downloadTimeoutSeconds;
    settings.publicKey = context_.publicKey;
    run_ = std::make_unique<update::DownloadRun>(settings);
    run_->pump = [this] { pumpEvents(); };
    connect(run_.get(), &update::DownloadRun::tableRead, this, &Form8::showTable);
    connect(run_.get(), &update::DownloadRun::fileStarted, this, &Form8::showFileStarted);
    connect(run_.get(), &update::DownloadRun::fileProgress, this, &Form8::showFileProgress);
    connect(run_.get(), &update::DownloadRun::fileFinished, this, &Form8::showFileFinished);
    connect(run_.get(), &update::DownloadRun::downloadsFinished, this, &Form8::showDownloadsFinished);
}

Form8::~Form8() = default;

void Form8::createControls()
{
    Q_INIT_RESOURCE(update_ui);
    Frame1 = new QGroupBox(QStringLiteral("欢迎使用在线升级程序"), this);
    Picture1 = new QLabel(Frame1);
    Picture1->setPixmap(QPixmap(QStringLiteral(":/update/picture1.jpg")));
    Text1 = new QPlainTextEdit(Frame1);
    Text1->setReadOnly(true);
    proUpdate = new QProgressBar(Frame1);
    proUpdate->setRange(0, 100);
    proUpdate->setTextVisible(false);
    lblScale = new QLabel(QStringLiteral("0%"), Frame1);
    timUpdate = new QProgressBar(Frame1);
    timUpdate->setRange(0, 100);
    timUpdate->setTextVisible(false);
    Label1 = new QLabel(QStringLiteral("0%"), Frame1);
    lblNumber = new QLabel(QStringLiteral("请点击“升级”进行文件更新！"), Frame1);
    cmdUpdate = new QPushButton(QStringLiteral("升级"), Frame1);
    cmdExit = new QPushButton(QStringLiteral("取消"), Frame1);

    auto* grid = new QGridLayout(Frame1);
    grid->addWidget(Picture1, 0, 0, 1, 3);
    grid->addWidget(Text1, 1, 0, 1, 3);
    grid->addWidget(timUpdate, 2, 0, 1, 2);
    grid->addWidget(Label1, 2, 2);
    grid->addWidget(proUpdate, 3, 0, 1, 2);
    grid->addWidget(lblScale, 3, 2);
    grid->addWidget(lblNumber, 4, 0);
    grid->addWidget(cmdUpdate, 4, 1);
    grid->addWidget(cmdExit, 4, 2);
    auto* outer = new QGridLayout(this);
    outer->addWidget(Frame1, 0, 0);
    resize(420, 320);
}

QString Form8::programFile(const QString& name) const
{
    return update::joinPath(context_.programFolder, name);
}

void Form8::pumpEvents() { QCoreApplication::processEvents(); }

update::UpdateTable Form8::getUpdateInfor(const QString&)
{
    return update::getUpdateInfor(context_.programFolder, [this] { pumpEvents(); });
}

// --- loading ---------------------------------------------------------------

void Form8::Form_Load()
{
    hide();
    cmdUpdate->setEnabled(true);
    placeWindow();
    if (handOverPending())
        return;
    QFile::remove(programFile(update::updaterFileName()));
    QFile::remove(programFile(QStringLiteral("up.png")));
    inetOLUpdate.setRequestTimeout(context_.checkTimeoutSeconds);
    // A usable answer is shorter than 800 characters, at most two bytes each.
    inetOLUpdate.setMaximumSize(2 * update::kMaxAnswerLength);
    inetOLUpdate.setDeadline(context_.checkTimeoutSeconds);
    if (!checkVersion())
        return;
    showUpdateLog();
    setWindowTitle(caption());
    show();
}

void Form8::placeWindow()
{
    if (main_.window && main_.window->isVisible()) {
        const QRect m = main_.window->frameGeometry();
        move(m.left() + m.width() / 3, m.top() + m.height() / 3);
        return;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect s = screen->geometry();
    move(s.width() / 2 - frameGeometry().width() / 2, s.height() / 2 - frameGeometry().height() / 2);
}

bool Form8::handOverPending()
{
    if (!QFileInfo::exists(programFile(update::kHandOverFile)))
        return false;
    if (!update::startUpdater(context_.programFolder))
        return false;  // stay usable; the hand-over waits for the next start
    endProgram();
    return true;
}

Result<QByteArray> Form8::refreshLocalCopy(const QString& name, bool mustBeSigned)
{
    const QUrl source(context_.updateBase + u'/' + name);
    const Result<QByteArray> answer = inetOLUpdate.fetch(source);
    if (!answer)
        return answer;
    if (!update::acceptableAnswer(gbk::decode(*answer)))
        return failure(QStringLiteral("the answer is empty or too long"));
    // An answer the vendor's key did not sign counts as no answer at all.
    if (mustBeSigned) {
        const Result<void> signedByVendor =
            update::checkSigned(inetOLUpdate, source, *answer, context_.publicKey);
        if (!signedByVendor)
            return failure(signedByVendor.error());
    }
    const QString copy = programFile(name);
    pumpEvents();
    if (!writeWhole(copy, *answer))
        return failure(QStringLiteral("cannot write ") + copy);
    return readWhole(copy);
}

bool Form8::checkVersion()
{
    const Result<QByteArray> manifest = refreshLocalCopy(update::kManifestFile, true);
    if (!manifest)
        return true;
    const QStringList lines = update::readTextLines(*manifest, 1);
    if (lines.isEmpty())
        return true;
    const QString serverVersion = lines.first();
    const bool uplIsOne = main_.upl && main_.upl->toInt() == 1;
    if (!update::isNewerVersion(serverVersion)) {
        if (uplIsOne)
            return true;
        close();
        return false;
    }
    const QString question = QStringLiteral("已出最新版，是否在线从") + QString::number(version::kBuildNumber)
        + QStringLiteral("版本更新到") + serverVersion + QStringLiteral("版本 ？");
    if (dialogs::message(this, question, QStringLiteral("在线更新"), dialogs::Icon::Information,
                         dialogs::Buttons::YesNo)
        == dialogs::Answer::Yes) {
        if (main_.window) {
            main_.window->setEnabled(false);
            main_.window->showMinimized();
        }
        if (main_.upl)
            *main_.upl = 1;
        show();
        return true;
    }
    dialogs::message(this, QStringLiteral("您忽略本次更新，如需要更新请点击帮助——更新即可！"));
    if (main_.upl)
        *main_.upl = 1;
    close();
    return false;
}

void Form8::showUpdateLog()
{
    // The log is only shown, never acted on: it needs no signature.
    const Result<QByteArray> log = refreshLocalCopy(update::kLogFile, false);
    if (!log)
        return;
    if (log->isEmpty())
        Text1->setPlainText(QStringLiteral("谢谢您的使用，请点击“升级”进行更新！"));
    else
        Text1->setPlainText(update::readTextLines(*log, 1).value(0));
}

// --- download run ------------------------------------------------------------

void Form8::cmdUpdate_Click()
{
    if (run_->isRunning())
        return;  // a second click while the run pumps events must not start another
    const Result<void> downloaded = run_->run();
    if (closeRequested_) {
        close();
        return;
    }
    if (!downloaded) {
        // Which file failed, or which check, is not the user's to mend: the
        // message says what to do, and the old program stays as it is.
        dialogs::message(this, QStringLiteral("下载错误，请重新运行下载程序！"), QStringLiteral("在线更新"),
                         dialogs::Icon::Warning);
        return;
    }
    const QString question = QStringLiteral("文件下载完毕，是否立即更新？（选择“否”则下次启动时自动更新！）");
    if (dialogs::message(this, question, QStringLiteral("在线更新"), dialogs::Icon::Information,
                         dialogs::Buttons::YesNo)
        == dialogs::Answer::Yes) {
        handOverNow();
        return;
    }
    if (main_.window)
        main_.window->setEnabled(true);
    close();
}

void Form8::showTable(const update::UpdateTable& table, int count)
{
    updateInfor = table;
    filesDone = 0;
    Timer1.start();
    proUpdate->setRange(0, std::max(count, 1));  // a 0..0 bar would turn into a busy indicator
    timUpdate->setRange(0, kWaitTicks);
}

void Form8::showFileStarted(int slot, int count)
{
    fileIndex = qint16(slot);
    lblNumber->setText(update::fileProgressText(slot - 1, count));
    if (slot < update::kTableSlots) {  // slots past 20 name no file: the bar stays as it is
        byteCountKnown_ = false;
        timUpdate->setRange(0, kWaitTicks);
    }
}

void Form8::showFileFinished(int slot, int count)
{
    filesDone = qint16(slot - 1);
    proUpdate->setValue(filesDone);
    lblScale->setText(update::filesDoneText(filesDone, count));
    waitTicks = 0;
}

void Form8::showDownloadsFinished()
{
    Timer1.stop();
    timUpdate->setValue(timUpdate->maximum());
    Label1->setText(QStringLiteral("100"));
}

void Form8::handOverNow()
{
    // The program ends whatever came of the hand-over: "up.inf" stays, and
    // the next start hands over again.
    static_cast<void>(update::startUpdater(context_.programFolder));
    endProgram();
}

void Form8::showFileProgress(qint64 received, qint64 total)
{
    if (total <= 0)
        return;
    byteCountKnown_ = true;
    // A progress bar counts in int: show kibibytes for files beyond its range.
    const int shift = total > INT_MAX ? 10 : 0;
    timUpdate->setRange(0, int(total >> shift));
    timUpdate->setValue(int(std::min(received, total) >> shift));
}

void Form8::Timer1_Timer()
{
    if (waitTicks < kWaitTicks)
        ++waitTicks;
    if (!byteCountKnown_)
        timUpdate->setValue(waitTicks);
    Label1->setText(update::ticksText(waitTicks, kWaitTicks));
}

// --- closing -------------------------------------------------------------------

void Form8::cmdExit_Click() { close(); }

void Form8::closeEvent(QCloseEvent* event)
{
    if (run_->isRunning()) {
        // The run is inside a transfer or an unpacking step: stop it first, then close.
        closeRequested_ = true;
        run_->cancel();
        event->ignore();
        return;
    }
    if (main_.reloadResultPage)
        main_.reloadResultPage();
    if (main_.window)
        main_.window->setEnabled(true);
    event->accept();
}

Form8* showUpdateWindow(const UpdateContext& context, const MainWindowLink& mainWindow)
{
    static QPointer<Form8> window;
    if (window) {
        if (window->isVisible()) {
            window->raise();
            window->activateWindow();
        }
        return window;
    }
    window = new Form8(context, mainWindow);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Form_Load();
    return window;
}
