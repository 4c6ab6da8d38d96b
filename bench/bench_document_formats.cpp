// Opening long theses as students hand them in: a .docx and a PDF of about
// 300 pages, both made here by LibreOffice from the same long text, opened
// through the real main window's Open, beside LibreOffice's own conversion of
// the same files to text, and the .docx marked with 300 similar pieces as the
// report menu marks it. Prints milliseconds (the best of a few runs).
//   bench_document_formats [characters] [--marking]   (default 940,000: 300
//   pages of A4; --marking: only the .docx, its opening and its marking)
// Run with QTWEBENGINE_DISABLE_SANDBOX=1 as root (the window holds browsers).

#include "analysis/segmentation.h"
#include "documents/core/documentfiles.h"
#include "documents/core/docxreader.h"
#include "documents/pdf/pdfreader.h"
#include "mainwindow/ui/form1.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "report/core/markedpaper.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>

#include <algorithm>
#include <functional>

namespace {

QTextStream out(stdout);

// Paragraphs of a thesis: Chinese with figures and Latin names, and now and
// then an English one, so that lines end inside words as well.
QString longText(int characters)
{
    const QStringList chinese = {
        QStringLiteral("本文研究了论文查重中的句子切分与相似度计算方法，在 2017 年收集的 1200 "
                       "篇学位论文上验证了它的效果。"),
        QStringLiteral(
            "结果表明，该方法可以有效地找出与网络上已有文字相同的段落，并给出每一句的相似度和总体相似度。"),
        QStringLiteral(
            "与 Smith 和 Jones 的方法相比，本方法不依赖分词词典，因而对新词和专业术语同样适用，误报率更低。"),
    };
    const QString english =
        QStringLiteral("The checker cuts the paper into pieces of at most thirty-eight characters and sends "
                       "each of them to the "
                       "search service, whose result page marks the stretches it found elsewhere. ");
    QStringList paragraphs;
    int written = 0;
    for (int n = 1; written < characters; ++n) {
        QString paragraph = QStringLiteral("第%1段：").arg(n);
        for (int i = 0; i < 4; ++i)
            paragraph += chinese[(n + i) % chinese.size()];
        if (n % 7 == 0)
            paragraph = english.repeated(3).trimmed();
        written += paragraph.size();
        paragraphs.append(paragraph);
    }
    return paragraphs.join(u'\n') + u'\n';
}

bool soffice(const QStringList& args, const QString& profile, qint64* millis = nullptr, int limitMs = 600000)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(
        QStringLiteral("soffice"),
        QStringList{QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
                    QStringLiteral("--headless")}
            + args);
    const bool finished = process.waitForFinished(limitMs);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    if (millis)
        *millis = timer.elapsed();
    return finished && process.exitCode() == 0;
}

qint64 best(int runs, const std::function<void()>& step)
{
    qint64 fastest = -1;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        const qint64 elapsed = timer.elapsed();
        fastest = fastest < 0 ? elapsed : std::min(fastest, elapsed);
    }
    return fastest;
}

// LibreOffice's own text of a file: the time of the faster of `runs` runs
// (later runs find its files in the disk cache, as ours do), and how much
// text it wrote.
QString libreOfficeText(const QString& file, const QString& inFilter, const QString& dir,
                        const QString& profile, int runs, int limitMs)
{
    QStringList args;
    if (!inFilter.isEmpty())
        args << QStringLiteral("--infilter=") + inFilter;
    const QString outDir = dir + QStringLiteral("/lo");
    args << QStringLiteral("--convert-to") << QStringLiteral("txt:Text (encoded):UTF8")
         << QStringLiteral("--outdir") << outDir << file;
    qint64 fastest = -1;
    for (int i = 0; i < runs; ++i) {
        qint64 elapsed = 0;
        if (!soffice(args, profile, &elapsed, limitMs))
            return QStringLiteral("no text: stopped or failed after %1 ms").arg(elapsed);
        fastest = fastest < 0 ? elapsed : std::min(fastest, elapsed);
    }
    QFile written(outDir + u'/' + QFileInfo(file).completeBaseName() + QStringLiteral(".txt"));
    const QString text = written.open(QIODevice::ReadOnly) ? QString::fromUtf8(written.readAll()) : QString();
    return QStringLiteral("%1 ms, %2 characters").arg(fastest).arg(text.size());
}

void openThroughTheWindow(Form1& form, const QString& path, const char* what)
{
    qint64 fastest = best(3, [&] {
        dialogs::queueFileName(path);
        form.dakai->trigger();
    });
    const Result<documents::LoadedDocument> loaded = documents::loadDocumentFile(path);
    const qint64 reading = best(3, [&] { (void)documents::loadDocumentFile(path); });
    out << what << ": Open in the main window " << fastest << " ms (reading the file " << reading << " ms), "
        << form.RichTextBox1->text().size() << " characters in the editor"
        << (loaded ? QString() : QStringLiteral(", FAILED: ") + loaded.error()) << "\n";
    out.flush();
    dialogs::takeShownMessages();
}

// A check of the whole thesis with `count` pieces from 20 %, spread evenly,
// red and yellow in turn, each with three sources for its comment.
SavedCheck checkWithSimilarPieces(const QString& editorText, int count)
{
    const segmentation::Analysis analysis = segmentation::analyse(editorText);
    SavedCheck check;
    check.analysedText = analysis.analysedText;
    check.sentences = analysis.sentences;
    check.pieces.resize(check.sentences.size());
    const qsizetype step = std::max<qsizetype>(1, check.sentences.size() / count);
    const QList<ResultLink> sources{{QStringLiteral("来源甲"), QStringLiteral("https://a.example/1")},
                                    {QStringLiteral("来源乙"), QStringLiteral("https://b.example/2")},
                                    {QStringLiteral("来源丙"), QStringLiteral("https://c.example/3")}};
    for (qsizetype k = 0; k < count && k * step < check.pieces.size(); ++k)
        check.pieces[k * step] = {true, k % 2 ? 60.0 : 30.0, sources};
    check.savedAt = QDateTime::currentDateTimeUtc();
    return check;
}

void markThroughTheReport(const QString& docx)
{
    QFile file(docx);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const Result<QString> text = documents::readDocxText(bytes);
    if (!text) {
        out << "marking: the .docx could not be read: " << text.error() << "\n";
        return;
    }
    const SavedCheck check =
        checkWithSimilarPieces(QString(*text).replace(u'\n', QStringLiteral("\r\n")), 300);
    Result<documents::MarkedDocx> marked = failure(QString());
    const qint64 fastest = best(3, [&] { marked = markedpaper::markDocx(bytes, check); });
    if (!marked) {
        out << "marking FAILED: " << marked.error() << "\n";
        return;
    }
    out << ".docx marked with 300 similar pieces (highlights and comments, read back to check): " << fastest
        << " ms; " << marked->marked << " placed, copy " << marked->package.size() / 1024 << " KiB\n";
    out.flush();
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool markingOnly = args.contains(QStringLiteral("--marking"));
    const int characters = !args.isEmpty() && args[0] != u"--marking" ? args[0].toInt() : 940000;
    if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty()) {
        out << "soffice is not installed: LibreOffice makes the documents of this bench\n";
        return 1;
    }
    QTemporaryDir dir;
    const QString profile = dir.filePath(QStringLiteral("profile"));
    const QString text = dir.filePath(QStringLiteral("thesis.txt"));
    QFile file(text);
    if (!file.open(QIODevice::WriteOnly) || file.write(longText(characters).toUtf8()) < 0)
        return 1;
    file.close();
    const QString docx = dir.filePath(QStringLiteral("thesis.docx"));
    const QString pdf = dir.filePath(QStringLiteral("thesis.pdf"));
    if (!soffice({QStringLiteral("--infilter=Text (encoded):UTF8"), QStringLiteral("--convert-to"),
                  QStringLiteral("docx"), QStringLiteral("--outdir"), dir.path(), text},
                 profile)
        || (!markingOnly
            && !soffice({QStringLiteral("--convert-to"), QStringLiteral("pdf"), QStringLiteral("--outdir"),
                         dir.path(), docx},
                        profile))) {
        out << "LibreOffice could not make the documents\n";
        return 1;
    }
    if (markingOnly) {
        out << "thesis: " << characters << " characters; .docx " << QFile(docx).size() / 1024 << " KiB\n";
    } else {
        const Result<QStringList> pages = pdf::readPdfPages(pdf);
        out << "thesis: " << characters << " characters, " << (pages ? pages->size() : 0) << " pages; .docx "
            << QFile(docx).size() / 1024 << " KiB, PDF " << QFile(pdf).size() / 1024 << " KiB\n";
    }

    Form1 form(Endpoints::builtIn());
    for (int i = 0; i < 16; ++i)
        dialogs::queueAnswer(dialogs::Answer::Ok);
    openThroughTheWindow(form, docx, ".docx");
    if (!markingOnly)
        openThroughTheWindow(form, pdf, "PDF  ");
    markThroughTheReport(docx);
    if (markingOnly)
        return 0;

    out << "LibreOffice's own text of the same files (soffice --convert-to txt, one process each):\n";
    out << "  .docx " << libreOfficeText(docx, {}, dir.path(), profile, 2, 600000) << "\n";
    out.flush();
    // Writer's PDF import puts the text in drawing frames, which its text
    // export leaves out; on a long PDF it takes minutes: one run, bounded.
    out << "  PDF   "
        << libreOfficeText(pdf, QStringLiteral("writer_pdf_import"), dir.path(), profile, 1, 120000) << "\n";
    return 0;
}
