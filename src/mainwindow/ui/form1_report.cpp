// The main window's check report menu: the report in a window of its own, its
// export as HTML or PDF, and the similar pieces coloured in the paper.

#include "mainwindow/ui/form1.h"

#include "analysis/pieceresult.h"
#include "analysis/savedcheck.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "report/core/checkreport.h"
#include "report/core/markedpaper.h"
#include "report/core/reportfile.h"
#include "report/core/reportmodel.h"
#include "report/ui/reportexport.h"
#include "report/ui/reportwindow.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QTextCursor>
#include <QTextDocument>

namespace {

QString engineName(const Form1& f)
{
    if (f.zhiwang->isChecked())
        return QStringLiteral("zhiwang");
    if (f.wenku->isChecked())
        return QStringLiteral("wenku");
    if (f.longyuan->isChecked())
        return QStringLiteral("longyuan");
    return QStringLiteral("baidu");
}

// The report of the live check. It is the check kept on disk after the last
// scored page, so it shows that check's time, and trovalis-cli writes the
// same report from that file.
report::CheckReportModel reportModel(const Form1& f)
{
    SavedCheck check = savedcheck::fromSession(f.session, f.Label2->text(), engineName(f), false);
    check.paperText = f.RichTextBox1->text();
    check.savedAt = f.checkTime(check);
    return report::modelOf(check, check.paperText);
}

bool isWordXmlDocument(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return suffix == u"docx" || suffix == u"docm";
}

QString withDocxSuffix(const QString& fileName)
{
    return fileName.endsWith(QStringLiteral(".docx"), Qt::CaseInsensitive)
        ? fileName
        : fileName + QStringLiteral(".docx");
}

// The .docx the paper was opened from, marked; "not the paper" when there is
// none or its text is no longer the checked one.
Result<documents::MarkedDocx> markOwnDocx(const QString& openedDocument, const SavedCheck& check)
{
    if (!isWordXmlDocument(openedDocument))
        return failure(markedpaper::notThePaper());
    QFile file(openedDocument);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("无法读取 %1：%2").arg(openedDocument, file.errorString()));
    return markedpaper::markDocx(file.readAll(), check);
}

bool anyPieceChecked(const ComparisonSession& session)
{
    return std::any_of(session.pieces.begin(), session.pieces.end(),
                       [](const PieceResult& piece) { return piece.checked; });
}

}  // namespace

void Form1::createReportMenu()
{
    jcbg = menuBar()->addMenu(QStringLiteral("检测报告"));
    jcbg->setObjectName(QStringLiteral("jcbg"));
    ckbg = jcbg->addAction(QStringLiteral("查看检测报告"));
    ckbg->setObjectName(QStringLiteral("ckbg"));
    dcbg = jcbg->addAction(QStringLiteral("导出检测报告…"));
    dcbg->setObjectName(QStringLiteral("dcbg"));
    bzxs = jcbg->addAction(QStringLiteral("在论文中标出相似句"));
    bzxs->setObjectName(QStringLiteral("bzxs"));
    bzlw = jcbg->addAction(QStringLiteral("导出标注后的论文…"));
    bzlw->setObjectName(QStringLiteral("bzlw"));

    connect(ckbg, &QAction::triggered, this, &Form1::ckbg_Click);
    connect(dcbg, &QAction::triggered, this, &Form1::dcbg_Click);
    connect(bzxs, &QAction::triggered, this, &Form1::bzxs_Click);
    connect(bzlw, &QAction::triggered, this, &Form1::bzlw_Click);
    // The state is read where it is seen: when the menu opens, and with the
    // other controls' refresh.
    connect(jcbg, &QMenu::aboutToShow, this, &Form1::refreshReportMenu);
    connect(&Timer1, &QTimer::timeout, this, &Form1::refreshReportMenu);
    refreshReportMenu();
}

void Form1::refreshReportMenu()
{
    const bool enabled = anyPieceChecked(session) && !session.autoRunning;
    for (QAction* item : {ckbg, dcbg, bzxs, bzlw})
        item->setEnabled(enabled);
}

QByteArray Form1::reportHtml() const { return report::html(reportModel(*this)).toUtf8(); }

QDateTime Form1::checkTime(const SavedCheck& live) const
{
    const Result<SavedCheck> kept = savedcheck::readFor(savedcheck::folderIn(dataFolder), live.analysedText);
    const bool same = kept && kept->sentences == live.sentences && kept->pieces == live.pieces
        && kept->pageCount == live.pageCount && kept->similaritySum == live.similaritySum;
    return same ? kept->savedAt : live.savedAt;
}

void Form1::ckbg_Click()
{
    refreshReportMenu();
    if (!ckbg->isEnabled())
        return;
    if (!reportWindow) {
        reportWindow = new ReportWindow(this);
        reportWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    reportWindow->showReport(reportHtml());
    reportWindow->show();
    reportWindow->raise();
    reportWindow->activateWindow();
}

void Form1::dcbg_Click()
{
    refreshReportMenu();
    // Printing a PDF lets events run for some seconds; a second export
    // started meanwhile would print into the same engine twice.
    static bool exporting = false;
    if (!dcbg->isEnabled() || exporting)
        return;
    const QScopedValueRollback<bool> busy(exporting, true);
    QString fileName = dialogs::saveFileName(this, QStringLiteral("导出检测报告"), reportexport::fileTypes());
    if (fileName.isEmpty())
        return;
    fileName = reportexport::withSuffix(fileName);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // A long paper's PDF takes a second or two, made on a worker thread while
    // the window stays usable; the progress label says how far it is.
    const QString progressBefore = Label1->text();
    const Result<void> written = reportexport::write(reportModel(*this), fileName,
                                                     [this](const QString& text) { Label1->setText(text); });
    Label1->setText(progressBefore);
    QApplication::restoreOverrideCursor();
    if (!written)
        dialogs::message(this, QStringLiteral("检测报告导出失败：") + written.error(), {},
                         dialogs::Icon::Warning);
}

// Colours each checked piece where it occurs, found as the comparison finds
// it: red or orange by its figure, black below. One edit block, so that one
// undo takes it all back.
void Form1::bzxs_Click()
{
    refreshReportMenu();
    if (!bzxs->isEnabled())
        return;
    const QString text = RichTextBox1->text();
    QTextCursor cursor(RichTextBox1->document());
    cursor.beginEditBlock();
    for (qsizetype i = 0; i < session.sentences.size() && i < session.pieces.size(); ++i) {
        const PieceResult& piece = session.pieces[i];
        const QString& sentence = session.sentences[i];
        if (!piece.checked || sentence.isEmpty())
            continue;
        QTextCharFormat format;
        format.setForeground(QColor::fromRgb(similarityband::colourFor(piece.figure).value_or(0x000000)));
        for (qsizetype at = text.indexOf(sentence); at >= 0;
             at = text.indexOf(sentence, at + sentence.size())) {
            cursor.setPosition(RichTextBox1->documentPosition(int(at)));
            cursor.setPosition(RichTextBox1->documentPosition(int(at + sentence.size())),
                               QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(format);
        }
    }
    cursor.endEditBlock();
}

// The student's own .docx with the similar pieces highlighted and their
// sources in comments. A paper from another file, or one whose .docx no
// longer holds the checked text, becomes a new .docx of the editor's text.
void Form1::bzlw_Click()
{
    refreshReportMenu();
    if (!bzlw->isEnabled())
        return;
    const QString proposed =
        markedpaper::proposedName(openedDocument.isEmpty() ? QStringLiteral("论文") : openedDocument);
    QString fileName = dialogs::saveFileName(this, QStringLiteral("导出标注后的论文"),
                                             QStringLiteral("Word文档(*.docx)"), 1, proposed);
    if (fileName.isEmpty())
        return;
    fileName = withDocxSuffix(fileName);
    SavedCheck check = savedcheck::fromSession(session, Label2->text(), engineName(*this), false);
    check.savedAt = checkTime(check);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Result<documents::MarkedDocx> ownFile = markOwnDocx(openedDocument, check);
    const bool formattingLost = !ownFile && ownFile.error() == markedpaper::notThePaper();
    const Result<documents::MarkedDocx> marked =
        formattingLost ? markedpaper::markText(RichTextBox1->text(), check) : ownFile;
    const Result<void> written =
        marked ? reportfile::write(marked->package, fileName) : Result<void>(failure(marked.error()));
    QApplication::restoreOverrideCursor();
    if (!written)
        dialogs::message(this, QStringLiteral("导出标注后的论文失败：") + written.error(), {},
                         dialogs::Icon::Warning);
    else if (formattingLost)
        dialogs::message(
            this,
            QStringLiteral("论文不是从 Word 文档（.docx）打开的，或打开后已改动，原文件的格式无法保留："
                           "标注后的论文按编辑器中的文字另行生成。"),
            {}, dialogs::Icon::Information);
}
