// The library comparison through the real comparer window (offscreen): a
// folder of .txt, .docx and .pdf sources made here by real writers, one of
// them damaged and one hidden; the figures worked out by compare-and-mark's
// plain search, source by source; the index; trovalis-cli on the same folder.

#include "comparer/core/libraryfolder.h"
#include "comparer/core/localcompare.h"
#include "comparer/ui/form2.h"
#include "comparer/ui/librarywindow.h"
#include "documents/pdf/pdfreader.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "platform/widgets/twips.h"
#include "support/clirunner.h"
#include "support/testdata.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <zip.h>

using namespace comparer::library;

namespace {

QString u(const char16_t* s) { return QString::fromUtf16(s); }

const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kBlue(0, 0, 255);

void writeDocx(const QString& path, const QStringList& paragraphs)
{
    QString body;
    for (const QString& p : paragraphs)
        body += QStringLiteral("<w:p><w:r><w:t>%1</w:t></w:r></w:p>").arg(p);
    const QByteArray xml =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document xmlns:w=\"http://schemas."
                       "openxmlformats.org/wordprocessingml/2006/main\"><w:body>%1</w:body></w:document>")
            .arg(body)
            .toUtf8();
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    zip_fileinfo info{};
    zipOpenNewFileInZip64(zip, "word/document.xml", &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                          Z_DEFAULT_COMPRESSION, 1);
    zipWriteInFileInZip(zip, xml.constData(), unsigned(xml.size()));
    zipCloseFileInZip(zip);
    zipClose(zip, nullptr);
}

void writePdf(const QString& path, const QStringList& lines)
{
    QPdfWriter writer(path);
    QPainter painter(&writer);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(12);
    painter.setFont(font);
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(QPointF(100, 300 + 300 * i), lines[i]);
}

struct Expected {
    QString caption;
    QStringList rows;  // "path\tchars\tshare"
    std::vector<Stretch> stretches;
    QHash<QString, std::vector<Stretch>> bySource;
};

QString shareOf(qint64 chars, qint64 length)
{
    return QString::number(comparer::roundedPercent(chars, length));
}

// The figures by the rules: each source's sentences marked as compare-and-mark
// marks a reference, the characters counted once.
Expected expectedFor(const QString& paper, const QHash<QString, QString>& sources)
{
    Expected e;
    std::vector<Stretch> all;
    QList<QPair<qint64, QString>> rows;
    for (auto it = sources.begin(); it != sources.end(); ++it) {
        std::vector<Stretch> own;
        for (const auto& sentence : comparer::compareAndMarkNaive(paper, it.value()).sentences) {
            for (const qsizetype start : sentence.starts)
                own.push_back({start, sentence.length});
        }
        if (own.empty())
            continue;
        all.insert(all.end(), own.begin(), own.end());
        e.bySource[it.key()] = joined(own);
        rows.append({totalLength(e.bySource[it.key()]), it.key()});
    }
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    for (const auto& [chars, path] : rows)
        e.rows
            << QStringLiteral("%1\t%2\t%3").arg(path, QString::number(chars), shareOf(chars, paper.size()));
    e.stretches = joined(all);
    const qint64 c = totalLength(e.stretches);
    e.caption = u(u"你的文章一共 %1 字，其中 %2 字与文献库中 %3 篇文献重复\r\n"
                  u"        重复部分占你的文章的： %4 %")
                    .arg(paper.size())
                    .arg(c)
                    .arg(rows.size())
                    .arg(shareOf(c, paper.size()));
    return e;
}

QStringList tableRows(const QTableWidget* table)
{
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r)
        rows << QStringLiteral("%1\t%2\t%3")
                    .arg(table->item(r, 0)->text(), table->item(r, 1)->text(),
                         table->item(r, 2)->text().remove(QStringLiteral(" %")));
    return rows;
}

bool inside(const std::vector<Stretch>& stretches, qsizetype pos)
{
    return std::any_of(stretches.begin(), stretches.end(),
                       [&](const Stretch& s) { return pos >= s.start && pos < s.start + s.length; });
}

// The colour of every character of the paper against the marks expected.
void verifyColours(RichEditor* editor, const std::vector<Stretch>& red, const std::vector<Stretch>& blue = {})
{
    const QString text = editor->text();
    for (int pos = 0; pos < text.size(); ++pos) {
        if (text[pos] == u'\r' || text[pos] == u'\n')
            continue;
        editor->setSelStart(pos);
        editor->setSelLength(1);
        const QColor expected = inside(blue, pos) ? kBlue : inside(red, pos) ? kRed : kBlack;
        if (editor->selColor() != expected)
            QFAIL(qPrintable(QStringLiteral("character %1 has the wrong colour").arg(pos)));
    }
}

}  // namespace

class TestForm2Library : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString folder_;
    QString dataFolder_;
    QHash<QString, QString> texts_;  // the readable sources' text, by relative path
    std::shared_ptr<std::atomic<int>> filesRead_ = std::make_shared<std::atomic<int>>(0);

    std::unique_ptr<Form2> makeForm(const QString& paper)
    {
        auto form = std::make_unique<Form2>(Endpoints::builtIn(), [paper] { return paper; });
        form->dataFolder = dataFolder_;
        form->readLibraryDocument = [count = filesRead_](const QString& path) {
            ++*count;
            return readDocumentText(path);
        };
        form->open();
        return form;
    }

    void compareWithLibrary(Form2* form)
    {
        *filesRead_ = 0;
        dialogs::queueFileName(folder_);
        QTest::mouseClick(form->Command4, Qt::LeftButton);
    }

    QString paperCopying(const QString& own)
    {
        return own + u(u"他说：") + u(u"文本文件里的第一句话，") + u(u"我们的想法不同。")
            + u(u"Word文档中的一段论述。") + u(u"\r\n第三篇文献写在PDF里的句子。")
            + u(u"文本文件里的第一句话，") + u(u"隐藏文件里的句子，不算。");
    }

private slots:
    void initTestCase()
    {
        pdf::install();  // for the texts the figures are worked out from
        folder_ = dir_.filePath(QStringLiteral("文献库"));
        dataFolder_ = dir_.filePath(QStringLiteral("data"));
        QDir().mkpath(folder_ + QStringLiteral("/sub"));
        testdata::writeFile(folder_ + QStringLiteral("/a.txt"),
                            u(u"文本文件里的第一句话，后面还有别的内容。\n没有被抄的一句。").toUtf8());
        writeDocx(folder_ + QStringLiteral("/sub/b.docx"),
                  {u(u"这是Word文档的开头。"), u(u"Word文档中的一段论述。")});
        writePdf(folder_ + QStringLiteral("/c.pdf"),
                 {u(u"第三篇文献写在PDF里的句子。"), u(u"另一行文字没有被抄。")});
        testdata::writeFile(folder_ + QStringLiteral("/damaged.docx"), "PK\x03\x04 cut short");
        testdata::writeFile(folder_ + QStringLiteral("/.hidden.txt"),
                            u(u"隐藏文件里的句子，不算。").toUtf8());
        for (const QString& path :
             {QStringLiteral("a.txt"), QStringLiteral("sub/b.docx"), QStringLiteral("c.pdf")}) {
            const Result<QString> text = readDocumentText(folder_ + u'/' + path);
            QVERIFY2(text, qPrintable(text.error()));
            texts_[path] = *text;
        }
        QVERIFY(texts_["c.pdf"].contains(u(u"第三篇文献写在PDF里的句子。")));
    }

    void init() { dialogs::reset(); }

    void buttonBesideCompareAndMark()
    {
        auto form = makeForm({});
        QCOMPARE(form->Command4->text(), u(u"文献库对比"));
        form->layoutForOuterSize(9480, 8000);
        const auto near = [](int actual, int expected) { return qAbs(actual - expected) < 15; };
        QVERIFY(near(twips::geometry(form->Command4).top(), 6900));
        QVERIFY(near(twips::geometry(form->Command1).left(), 6180));  // the described controls stay
        QVERIFY(twips::geometry(form->Command4).right() < twips::geometry(form->Command1).left());
    }

    void marksTheSourcesFoundAndListsTheSkipped()
    {
        const QString paper = paperCopying(u(u"开头是自己写的。"));
        auto form = makeForm(paper);
        form->Label1->setText(QStringLiteral("before"));
        form->totals = {7, 8, 9};
        compareWithLibrary(form.get());
        QCOMPARE(filesRead_->load(), 4);  // the hidden file is no source
        QCOMPARE(form->RichTextBox1->text(), paper);
        const Expected expected = expectedFor(paper, texts_);
        QCOMPARE(expected.rows.size(), 3);
        QCOMPARE(form->Label1->text(), expected.caption);
        QCOMPARE(tableRows(form->libraryWindow->sources), expected.rows);
        QCOMPARE(form->libraryWindow->skipped->count(), 1);
        QVERIFY(form->libraryWindow->skipped->item(0)->text().startsWith(u(u"damaged.docx：")));
        QCOMPARE(form->totals.chars, 7);  // the running totals are compare-and-mark's alone
        verifyColours(form->RichTextBox1, expected.stretches);

        // A row's source in a colour of its own, the caret at its first mark;
        // the next row's puts the first back to red.
        const int pdfRow = expected.rows.indexOf(QRegularExpression(QStringLiteral("^c\\.pdf\t.*")));
        form->libraryWindow->sources->cellClicked(pdfRow, 0);
        QCOMPARE(form->RichTextBox1->selStart(), int(expected.bySource["c.pdf"].front().start));
        verifyColours(form->RichTextBox1, expected.stretches, expected.bySource["c.pdf"]);
        form->libraryWindow->sources->cellClicked(pdfRow == 0 ? 1 : 0, 0);
        const QString other = expected.rows[pdfRow == 0 ? 1 : 0].section(u'\t', 0, 0);
        verifyColours(form->RichTextBox1, expected.stretches, expected.bySource[other]);
    }

    // A second check of an edited paper reads no file: in the same window
    // object from memory, in a new one from the index in the data folder.
    void aSecondCheckReadsNothing()
    {
        auto form = makeForm(paperCopying(u(u"第一版。")));
        compareWithLibrary(form.get());
        const QString edited = paperCopying(u(u"改过的第二版，Word文档中的一段论述。"));
        form->RichTextBox1->setText(edited);
        compareWithLibrary(form.get());
        QCOMPARE(filesRead_->load(), 0);
        const Expected expected = expectedFor(edited, texts_);
        QCOMPARE(form->Label1->text(), expected.caption);
        QCOMPARE(tableRows(form->libraryWindow->sources), expected.rows);
        verifyColours(form->RichTextBox1, expected.stretches);

        auto fresh = makeForm(edited);
        compareWithLibrary(fresh.get());
        QCOMPARE(filesRead_->load(), 0);
        QCOMPARE(fresh->Label1->text(), expected.caption);
        QCOMPARE(QDir(dataFolder_ + QStringLiteral("/library")).entryList(QDir::Files).size(), 1);

        // The command line reads every file and gives the same figures.
        if (clirunner::path().isEmpty())
            QSKIP("TROVALIS_CLI is not set; run the test through ctest");
        const QString paperFile = dir_.filePath(QStringLiteral("paper.txt"));
        testdata::writeFile(paperFile, edited.toUtf8());
        const clirunner::Run run = clirunner::run({QStringLiteral("library"), paperFile, folder_});
        QCOMPARE(run.exitCode, 0);
        QStringList lines = run.out.split(u'\n');
        QCOMPARE(lines.mid(0, 2).join(u'\n'), expected.caption);
        QStringList sources;
        for (const QString& line : lines.mid(2)) {
            if (line.startsWith(QStringLiteral("source\t")))
                sources << line.mid(7);
        }
        QCOMPARE(sources, expected.rows);
        QVERIFY(run.out.contains(QStringLiteral("skipped\tdamaged.docx\t")));
    }

    void emptyFolderAndCancel()
    {
        auto form = makeForm(u(u"一篇论文。"));
        const QString empty = dir_.filePath(QStringLiteral("empty"));
        QDir().mkpath(empty);
        dialogs::queueFileName(empty);
        dialogs::queueAnswer(dialogs::Answer::Ok);
        form->Label1->setText(QStringLiteral("kept"));
        form->Command4_Click();
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith(u(u"所选文件夹中没有可对比的文献")));
        QCOMPARE(form->Label1->text(), QStringLiteral("kept"));

        dialogs::queueFileName(QString());  // the folder dialog cancelled: nothing happens
        form->Command4_Click();
        QVERIFY(dialogs::takeShownMessages().isEmpty());

        // Cancelled while the first file is read: nothing shown, what was read kept.
        form->readLibraryDocument = [&form](const QString& path) {
            QMetaObject::invokeMethod(form->libraryWindow->cancel, &QPushButton::click, Qt::QueuedConnection);
            QThread::msleep(100);
            return readDocumentText(path);
        };
        QDir().mkpath(dataFolder_ + QStringLiteral("2"));
        form->dataFolder = dataFolder_ + QStringLiteral("2");
        dialogs::queueFileName(folder_);
        form->Command4_Click();
        QCOMPARE(form->Label1->text(), QStringLiteral("kept"));
        QVERIFY(form->libraryWindow->status->text().startsWith(u(u"已取消")));
    }
};

QTEST_MAIN(TestForm2Library)
#include "test_form2_library.moc"
