// The library comparison through the real comparer window (offscreen): a
// folder of .txt, .docx and .pdf sources made here by real writers, one of
// them damaged and one hidden; the figures worked out by compare-and-mark's
// plain search, source by source; the index; trovalis-cli on the same folder.
// A second folder holds passages of the paper copied as they stand, with
// changed punctuation and a word inserted, in traditional characters, and
// reworded with the thesaurus: the three levels' colours, captions, columns
// and the side-by-side view against runs found by a plain search.

#include "comparer/core/libraryfolder.h"
#include "comparer/core/localcompare.h"
#include "comparer/core/thesauruspage.h"
#include "comparer/ui/form2.h"
#include "comparer/ui/librarywindow.h"
#include "documents/pdf/pdfreader.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "platform/widgets/sidebysideview.h"
#include "platform/widgets/twips.h"
#include "support/clirunner.h"
#include "support/testdata.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
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
const QColor kOrange(0xE6, 0x78, 0x00);
const QColor kViolet(0x94, 0x00, 0xD3);

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

// A content character by the rules, folded: ideographs, Basic Latin letters
// and digits and their full-width forms, letters in lower case; the
// traditional characters these tests write, as their simplified forms.
char32_t foldedByRule(char32_t c)
{
    static const QHash<char32_t, char32_t> simplified = {
        {U'經', U'经'}, {U'濟', U'济'}, {U'對', U'对'}, {U'發', U'发'}, {U'國', U'国'}, {U'產', U'产'},
        {U'業', U'业'}, {U'結', U'结'}, {U'構', U'构'}, {U'遠', U'远'}, {U'響', U'响'}};
    if (c >= 0xFF01 && c <= 0xFF5E)
        c -= 0xFEE0;  // full-width forms
    if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z'))
        return c;
    if (c >= u'A' && c <= u'Z')
        return c + 32;
    if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF))
        return simplified.value(c, c);
    return 0;
}

struct Run {
    Stretch paper;   // first content character to last, in the paper
    Stretch source;  // the same in the source's text
};

// Every maximal run of at least n content characters the two texts share, by
// trying every pair of places.
std::vector<Run> plainRuns(const QString& paper, const QString& source, int n)
{
    const auto content = [](const QString& text) {
        std::vector<std::pair<char32_t, qsizetype>> chars;  // folded, where
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (const char32_t c = foldedByRule(text[i].unicode()))
                chars.push_back({c, i});
        }
        return chars;
    };
    const auto a = content(paper);
    const auto b = content(source);
    std::vector<Run> runs;
    for (size_t i = 0; i < a.size(); ++i) {
        for (size_t j = 0; j < b.size(); ++j) {
            if (a[i].first != b[j].first || (i > 0 && j > 0 && a[i - 1].first == b[j - 1].first))
                continue;
            size_t k = 0;
            while (i + k < a.size() && j + k < b.size() && a[i + k].first == b[j + k].first)
                ++k;
            if (k >= size_t(n))
                runs.push_back({{a[i].second, a[i + k - 1].second + 1 - a[i].second},
                                {b[j].second, b[j + k - 1].second + 1 - b[j].second}});
        }
    }
    return runs;
}

struct Expected {
    QString caption;
    QStringList rows;                // "path\tchars\tshare\tliteral\treworded"
    QStringList sentenceRows;        // "path\tchars\tshare" of those with sentences, most first
    QStringList runRows;             // "path\tliteral\treworded" of those with runs, in table order
    std::vector<Stretch> stretches;  // red
    std::vector<Stretch> orange;
    std::vector<Stretch> violet;
    QHash<QString, std::vector<Stretch>> bySource;  // every find, joined: blue when picked
    QHash<QString, std::vector<Stretch>> sentences;
    QHash<QString, std::vector<Run>> literal;
};

QString shareOf(qint64 chars, qint64 length)
{
    return QString::number(comparer::roundedPercent(chars, length));
}

std::vector<Stretch> paperSide(const std::vector<Run>& runs)
{
    std::vector<Stretch> spans;
    for (const Run& r : runs)
        spans.push_back(r.paper);
    return joined(spans);
}

// The parts of `a` outside `b`, both joined.
std::vector<Stretch> minus(const std::vector<Stretch>& a, const std::vector<Stretch>& b)
{
    std::vector<Stretch> out;
    for (const Stretch& s : a) {
        qsizetype at = s.start;
        const qsizetype end = s.start + s.length;
        for (const Stretch& x : b) {
            if (x.start + x.length <= at || x.start >= end)
                continue;
            if (x.start > at)
                out.push_back({at, x.start - at});
            at = std::max(at, x.start + x.length);
        }
        if (at < end)
            out.push_back({at, end - at});
    }
    return out;
}

// The figures by the rules: each source's sentences marked as compare-and-mark
// marks a reference, its literal runs found by the plain search, and the
// reworded runs given (where the passage was rewritten), the characters
// counted once. `reworded` is empty without a thesaurus.
Expected expectedFor(const QString& paper, const QHash<QString, QString>& sources, int n = 13,
                     const std::optional<QHash<QString, std::vector<Stretch>>>& reworded = {})
{
    Expected e;
    std::vector<Stretch> all, literal, rewordedAll;
    struct Row {
        qint64 literal, chars;
        QString path;
        qint64 reworded;
    };
    QList<Row> rows;
    int withSentences = 0;
    for (auto it = sources.begin(); it != sources.end(); ++it) {
        std::vector<Stretch> own;
        for (const auto& sentence : comparer::compareAndMarkNaive(paper, it.value()).sentences) {
            for (const qsizetype start : sentence.starts)
                own.push_back({start, sentence.length});
        }
        const std::vector<Run> runs = plainRuns(paper, it.value(), n);
        const std::vector<Stretch> ownReworded =
            reworded ? reworded->value(it.key()) : std::vector<Stretch>{};
        if (own.empty() && runs.empty() && ownReworded.empty())
            continue;
        withSentences += own.empty() ? 0 : 1;
        all.insert(all.end(), own.begin(), own.end());
        const std::vector<Stretch> ownLiteral = paperSide(runs);
        literal.insert(literal.end(), ownLiteral.begin(), ownLiteral.end());
        rewordedAll.insert(rewordedAll.end(), ownReworded.begin(), ownReworded.end());
        e.sentences[it.key()] = joined(own);
        e.literal[it.key()] = runs;
        std::vector<Stretch> every = own;
        every.insert(every.end(), ownLiteral.begin(), ownLiteral.end());
        every.insert(every.end(), ownReworded.begin(), ownReworded.end());
        e.bySource[it.key()] = joined(every);
        rows.append({totalLength(ownLiteral), totalLength(e.sentences[it.key()]), it.key(),
                     totalLength(minus(joined(ownReworded), ownLiteral))});
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return a.literal != b.literal ? a.literal > b.literal
            : a.chars != b.chars      ? a.chars > b.chars
                                      : a.path < b.path;
    });
    for (const Row& row : rows) {
        e.rows << QStringLiteral("%1\t%2\t%3\t%4\t%5")
                      .arg(row.path, QString::number(row.chars), shareOf(row.chars, paper.size()),
                           QString::number(row.literal), QString::number(row.reworded));
        if (row.literal > 0 || row.reworded > 0)
            e.runRows << QStringLiteral("%1\t%2\t%3").arg(row.path).arg(row.literal).arg(row.reworded);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return a.chars != b.chars ? a.chars > b.chars : a.path < b.path;
    });
    for (const Row& row : rows) {
        if (row.chars > 0)
            e.sentenceRows << QStringLiteral("%1\t%2\t%3")
                                  .arg(row.path)
                                  .arg(row.chars)
                                  .arg(shareOf(row.chars, paper.size()));
    }
    e.stretches = joined(all);
    literal = joined(literal);
    const std::vector<Stretch> rewordedOutside = minus(joined(rewordedAll), literal);
    e.orange = minus(literal, e.stretches);
    e.violet = minus(rewordedOutside, e.stretches);
    const qint64 c = totalLength(e.stretches);
    const qint64 x = totalLength(literal);
    const qint64 y = totalLength(rewordedOutside);
    e.caption = u(u"你的文章一共 %1 字，其中 %2 字与文献库中 %3 篇文献重复\r\n"
                  u"        重复部分占你的文章的： %4 %\r\n"
                  u"        连续%5字以上相同：%6 字（%7 %）")
                    .arg(paper.size())
                    .arg(c)
                    .arg(withSentences)
                    .arg(shareOf(c, paper.size()))
                    .arg(n)
                    .arg(x)
                    .arg(shareOf(x, paper.size()));
    if (reworded)
        e.caption += u(u"，疑似改写：%1 字（%2 %）").arg(y).arg(shareOf(y, paper.size()));
    return e;
}

QStringList tableRows(const QTableWidget* table)
{
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r)
        rows << QStringLiteral("%1\t%2\t%3\t%4\t%5")
                    .arg(table->item(r, 0)->text(), table->item(r, 1)->text(),
                         table->item(r, 2)->text().remove(QStringLiteral(" %")), table->item(r, 3)->text(),
                         table->item(r, 4)->text());
    return rows;
}

// The CLI's lines that begin with `prefix`, without it.
QStringList linesOf(const QString& out, const QString& prefix)
{
    QStringList found;
    for (const QString& line : out.split(u'\n')) {
        if (line.startsWith(prefix))
            found << line.mid(prefix.size());
    }
    return found;
}

bool inside(const std::vector<Stretch>& stretches, qsizetype pos)
{
    return std::any_of(stretches.begin(), stretches.end(),
                       [&](const Stretch& s) { return pos >= s.start && pos < s.start + s.length; });
}

// The colour of every character of the paper against the marks expected.
void verifyColours(RichEditor* editor, const Expected& e, const std::vector<Stretch>& blue = {})
{
    const QString text = editor->text();
    for (int pos = 0; pos < text.size(); ++pos) {
        if (text[pos] == u'\r' || text[pos] == u'\n')
            continue;
        editor->setSelStart(pos);
        editor->setSelLength(1);
        const QColor expected = inside(blue, pos) ? kBlue
            : inside(e.stretches, pos)            ? kRed
            : inside(e.orange, pos)               ? kOrange
            : inside(e.violet, pos)               ? kViolet
                                                  : kBlack;
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
    // The folder of edited copies, its data folder, the program folder holding ciku.txt.
    QString editedFolder_;
    QString editedData_;
    QString programFolder_;
    QHash<QString, QString> editedTexts_;
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

    // Passages of the paper in four documents: as they stand (red, the
    // sentences found), with a comma turned into "、" and a word inserted
    // (orange, two literal runs around the word), in traditional characters
    // (orange, one run), and with words swapped for others of their thesaurus
    // line (violet).
    void threeLevelsAndTheFindsSideBySide()
    {
        const QString copied = u(u"城市化进程中农村劳动力大量流入城市，带来了许多新的社会问题。");
        const QString inserted = u(u"互联网技术的快速发展改变了人们获取信息的方式，也深刻影响着传统媒体在新时"
                                   u"代的生存空间与发展方向。");
        const QString traditional = u(u"经济全球化对发展中国家的产业结构产生了深远的影响。");
        const QString reworded = u(u"研究人员采用新的方法分析了大量数据，得出了重要的结论。");
        const QString paper = u(u"我的论文从这里开始，先交代写作的缘起。") + copied
            + u(u"下面是我自己的看法。") + inserted + u(u"这一点值得注意。") + traditional
            + u(u"我认为还需要更多的证据。") + reworded + u(u"以上就是全部内容。");
        editedFolder_ = dir_.filePath(QStringLiteral("改写库"));
        editedData_ = dir_.filePath(QStringLiteral("data-edited"));
        programFolder_ = dir_.filePath(QStringLiteral("program"));
        QDir().mkpath(editedFolder_);
        QDir().mkpath(programFolder_);
        QVERIFY(comparer::writeThesaurusFile(
            programFolder_ + QStringLiteral("/ciku.txt"),
            {u(u"采用,使用,运用"), u(u"方法,办法,手段"), u(u"数据,资料"), u(u"重要,关键,主要")}));
        testdata::writeFile(editedFolder_ + QStringLiteral("/a.txt"),
                            (u(u"前面的话与论文无关。") + copied + u(u"后面还有别的句子。")).toUtf8());
        writeDocx(editedFolder_ + QStringLiteral("/b.docx"),
                  {u(u"开头的一段文字与论文无关。"),
                   u(u"互联网技术的快速发展改变了人们获取信息的方式、也深刻影响着传统纸质媒体在新时代的生存空"
                     u"间与发展方向。")});
        testdata::writeFile(
            editedFolder_ + QStringLiteral("/c.txt"),
            u(u"以下引自一篇文章：經濟全球化對發展中國家的產業結構產生了深遠的影響。文章到此为止。")
                .toUtf8());
        const QString dText = u(u"前言部分与论文无关。研究人员使用新的办法分析了大量资料，得出了关键的结论。"
                                u"后面的内容也不相同。");
        testdata::writeFile(editedFolder_ + QStringLiteral("/d.txt"), dText.toUtf8());
        for (const QString& path : {QStringLiteral("a.txt"), QStringLiteral("b.docx"),
                                    QStringLiteral("c.txt"), QStringLiteral("d.txt")})
            editedTexts_[path] = *readDocumentText(editedFolder_ + u'/' + path);
        // The rewritten passage differs from the paper only in words of one
        // thesaurus line, and its neighbours differ at once: the reworded run
        // is the passage, its first content character to its last.
        const QHash<QString, std::vector<Stretch>> rewordedRuns{
            {QStringLiteral("d.txt"), {{paper.indexOf(reworded), reworded.size() - 1}}}};
        const Expected expected = expectedFor(paper, editedTexts_, 13, rewordedRuns);
        QCOMPARE(expected.literal.value(QStringLiteral("b.docx")).size(), size_t(2));
        QCOMPARE(expected.literal.value(QStringLiteral("c.txt")).size(), size_t(1));
        QVERIFY(!expected.orange.empty() && !expected.violet.empty());

        auto form = makeForm(paper);
        form->dataFolder = editedData_;
        form->programFolder = programFolder_;
        dialogs::queueFileName(editedFolder_);
        form->Command4_Click();
        QCOMPARE(form->Label1->text(), expected.caption);
        QCOMPARE(tableRows(form->libraryWindow->sources), expected.rows);
        verifyColours(form->RichTextBox1, expected);

        // The inserted word's source: its finds listed in the paper's order,
        // each in its level's colour.
        LibraryWindow* window = form->libraryWindow;
        const int bRow = expected.rows.indexOf(QRegularExpression(QStringLiteral("^b\\.docx\t.*")));
        window->sources->cellClicked(bRow, 0);
        verifyColours(form->RichTextBox1, expected, expected.bySource["b.docx"]);
        std::vector<std::pair<qsizetype, QColor>> finds;
        for (const Stretch& s : expected.sentences["b.docx"])
            finds.push_back({s.start, kRed});
        for (const Run& r : expected.literal["b.docx"])
            finds.push_back({r.paper.start, kOrange});
        std::stable_sort(finds.begin(), finds.end(),
                         [](const auto& x, const auto& y) { return x.first < y.first; });
        QCOMPARE(window->passages->count(), int(finds.size()));
        for (int i = 0; i < window->passages->count(); ++i)
            QCOMPARE(window->passages->item(i)->foreground().color(), finds[size_t(i)].second);

        // A literal run beside the source's text, marked in both; the next
        // button goes on to the next find and the list follows.
        const int firstRun =
            int(std::find_if(finds.begin(), finds.end(), [](const auto& f) { return f.second == kOrange; })
                - finds.begin());
        window->passages->itemClicked(window->passages->item(firstRun));
        SideBySideView* view = window->sideBySide;
        const Run run = expected.literal["b.docx"].front();
        const auto verifyMarks = [view](SideBySideView::Side side, const QString& whole, Stretch marked,
                                        const QColor& colour) {
            const QString shown = view->textOf(side);
            const qsizetype from = whole.indexOf(shown);
            QVERIFY(!shown.isEmpty() && from >= 0);
            for (qsizetype p = 0; p < shown.size(); ++p) {
                const bool in = p + from >= marked.start && p + from < marked.start + marked.length;
                QCOMPARE(view->markAt(side, p), in ? colour : QColor());
            }
        };
        verifyMarks(SideBySideView::Side::Left, paper, run.paper, kOrange);
        verifyMarks(SideBySideView::Side::Right, editedTexts_["b.docx"], run.source, kOrange);
        QVERIFY(!view->rightCaption->text().contains(u(u"改动过")));
        if (firstRun + 1 < int(finds.size())) {
            view->next->click();
            QCOMPARE(window->passages->currentRow(), firstRun + 1);
        }

        // The rewritten source, changed on disk since it was read: its text
        // is read when shown, and says so.
        testdata::writeFile(editedFolder_ + QStringLiteral("/d.txt"),
                            (u(u"新加的一句话。") + dText).toUtf8());
        window->sources->cellClicked(
            expected.rows.indexOf(QRegularExpression(QStringLiteral("^d\\.txt\t.*"))), 0);
        QCOMPARE(window->passages->count(), 1);
        QCOMPARE(window->passages->item(0)->foreground().color(), kViolet);
        window->passages->itemClicked(window->passages->item(0));
        QVERIFY(view->rightCaption->text().endsWith(u(u"（这篇文献在建立索引之后改动过）")));
        verifyMarks(SideBySideView::Side::Left, paper, rewordedRuns["d.txt"].front(), kViolet);
        testdata::writeFile(editedFolder_ + QStringLiteral("/d.txt"), dText.toUtf8());

        // The same by the command line, thesaurus and all.
        if (!clirunner::path().isEmpty()) {
            const QString paperFile = dir_.filePath(QStringLiteral("edited-paper.txt"));
            testdata::writeFile(paperFile, paper.toUtf8());
            const clirunner::Run cli =
                clirunner::run({QStringLiteral("library"), QStringLiteral("--thesaurus"),
                                programFolder_ + QStringLiteral("/ciku.txt"), paperFile, editedFolder_});
            QCOMPARE(cli.exitCode, 0);
            QCOMPARE(cli.out.split(u'\n').mid(0, 3).join(u'\n'), expected.caption);
            QCOMPARE(linesOf(cli.out, QStringLiteral("runs\t")), expected.runRows);
        }
    }

    // N chosen in the window checks the paper again at once and is kept for
    // the next window; without ciku.txt the third line ends after the literal share.
    void theRunLengthIsKept()
    {
        QVERIFY(!editedFolder_.isEmpty());  // made by the test before
        const QString paper =
            u(u"开头。互联网技术的快速发展改变了人们获取信息的方式，也深刻影响着传统媒体在新时代的"
              u"生存空间与发展方向。经济全球化对发展中国家的产业结构产生了深远的影响。");
        auto form = makeForm(paper);
        form->dataFolder = editedData_;
        form->programFolder = dir_.filePath(QStringLiteral("no-thesaurus"));
        QCOMPARE(form->libraryWindow->runLength->value(), 13);
        *filesRead_ = 0;
        dialogs::queueFileName(editedFolder_);
        form->Command4_Click();
        QCOMPARE(form->Label1->text(), expectedFor(paper, editedTexts_, 13).caption);
        QVERIFY(filesRead_->load() <= 1);  // from the index, but the document the test before rewrote

        form->libraryWindow->runLength->setValue(20);
        const Expected twenty = expectedFor(paper, editedTexts_, 20);
        QCOMPARE(form->Label1->text(), twenty.caption);
        QCOMPARE(tableRows(form->libraryWindow->sources), twenty.rows);
        verifyColours(form->RichTextBox1, twenty);

        auto next = makeForm(paper);
        next->dataFolder = editedData_;
        next->Form_Load();
        QCOMPARE(next->libraryWindow->runLength->value(), 20);
        form->libraryWindow->runLength->setValue(8);  // the lower bound
        QCOMPARE(form->Label1->text(), expectedFor(paper, editedTexts_, 8).caption);

        // A kept N out of bounds or no number at all: the default.
        for (const QByteArray& kept : {QByteArray("51\n"), QByteArray("7"), QByteArray("十三")}) {
            testdata::writeFile(editedData_ + QStringLiteral("/library/runlength.txt"), kept);
            next->Form_Load();
            QCOMPARE(next->libraryWindow->runLength->value(), 13);
        }
    }

    // Over nothing of the described window: Label1's third line runs far to the right.
    void buttonBesideCompareAndMark()
    {
        auto form = makeForm({});
        QCOMPARE(form->Command4->text(), u(u"文献库对比"));
        form->layoutForOuterSize(9480, 8000);
        const QRect button = twips::geometry(form->Command4);
        QVERIFY(qAbs(twips::geometry(form->Command1).left() - 6180) < 15);  // the described controls stay
        const QWidget* others[] = {form->Label1,   form->Check1,   form->Command1,
                                   form->Command2, form->Command3, form->RichTextBox2};
        for (const QWidget* other : others)
            QVERIFY2(!button.intersects(twips::geometry(other)), qPrintable(other->objectName()));
        QVERIFY(button.right() < 9480 - 200 && button.height() >= 270);
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
        verifyColours(form->RichTextBox1, expected);

        // A row's source in a colour of its own, the caret at its first mark;
        // the next row's puts the first back to red.
        const int pdfRow = expected.rows.indexOf(QRegularExpression(QStringLiteral("^c\\.pdf\t.*")));
        form->libraryWindow->sources->cellClicked(pdfRow, 0);
        QCOMPARE(form->RichTextBox1->selStart(), int(expected.bySource["c.pdf"].front().start));
        verifyColours(form->RichTextBox1, expected, expected.bySource["c.pdf"]);
        form->libraryWindow->sources->cellClicked(pdfRow == 0 ? 1 : 0, 0);
        const QString other = expected.rows[pdfRow == 0 ? 1 : 0].section(u'\t', 0, 0);
        verifyColours(form->RichTextBox1, expected, expected.bySource[other]);
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
        verifyColours(form->RichTextBox1, expected);

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
        QCOMPARE(run.out.split(u'\n').mid(0, 3).join(u'\n'), expected.caption);
        QCOMPARE(linesOf(run.out, QStringLiteral("source\t")), expected.sentenceRows);
        QCOMPARE(linesOf(run.out, QStringLiteral("runs\t")), expected.runRows);
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
