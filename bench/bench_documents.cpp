// Opening and saving a long paper: the RTF writer and reader on a
// 100,000-character Chinese text with every other sentence marked red, and
// the editor adapter both ways. Prints milliseconds per step.

#include "documents/core/rtfreader.h"
#include "documents/core/rtfwriter.h"
#include "documents/editorfiles/richeditorfiles.h"
#include "platform/widgets/richeditor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <functional>

namespace {

documents::Document longPaper(int characters)
{
    const QString sentence = QStringLiteral("本文研究了论文查重中的句子切分与相似度计算方法，");
    documents::Document paper;
    documents::Paragraph paragraph;
    documents::CharFormat plain{QStringLiteral("宋体"), 12, std::nullopt};
    documents::CharFormat red = plain;
    red.color = 0xFF0000;
    for (int written = 0, n = 0; written < characters; written += sentence.size(), ++n) {
        paragraph.runs.append({sentence, n % 2 ? red : plain});
        if (n % 20 == 19) {
            paper.paragraphs.append(paragraph);
            paragraph = {};
        }
    }
    paper.paragraphs.append(paragraph);
    return paper;
}

double millis(const std::function<void()>& step, int repeat = 5)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repeat; ++i)
        step();
    return timer.nsecsElapsed() / 1e6 / repeat;
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const documents::Document paper = longPaper(100000);
    const QByteArray rtf = documents::writeRtf(paper);
    out << "paper: " << paper.plainText().size() << " characters, RTF " << rtf.size() << " bytes\n";
    out << "writeRtf:        " << millis([&] { documents::writeRtf(paper); }) << " ms\n";
    out << "readRtf:         " << millis([&] { (void)documents::readRtf(rtf); }) << " ms\n";

    RichEditor editor;
    out << "modelToDocument: " << millis([&] { modelToDocument(paper, editor.document()); }) << " ms\n";
    out << "documentToModel: " << millis([&] { documentToModel(*editor.document()); }) << " ms\n";
    return 0;
}
