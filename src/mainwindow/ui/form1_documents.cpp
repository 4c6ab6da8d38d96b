// The File menu's document commands: new, open and save on RichTextBox1, and
// files dropped on it.

#include "mainwindow/ui/form1.h"

#include "documents/editorfiles/richeditorfiles.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "platform/widgets/twips.h"

#include <QAction>
#include <QListWidget>

namespace {

constexpr int kEditorDesignWidth = 10140;  // twips
constexpr int kEditorDesignHeight = 6225;

// The file dialog's name chosen last, shared by open and save; kept on the window.
constexpr char kDialogFileName[] = "CommonDialog1.FileName";

void giveDesignSize(RichEditor* editor)
{
    twips::setWidth(editor, kEditorDesignWidth);
    twips::setHeight(editor, kEditorDesignHeight);
}

// Removes every highlight: the whole text black, caret at the start.
void colourAllBlack(RichEditor* editor)
{
    editor->setSelStart(0);
    editor->setSelLength(editor->text().size());
    editor->setSelColor(Qt::black);
    editor->setSelStart(0);
}

}  // namespace

void Form1::connectDocumentHandlers()
{
    connect(xinjian, &QAction::triggered, this, &Form1::xinjian_Click);
    connect(dakai, &QAction::triggered, this, &Form1::dakai_Click);
    connect(baocun, &QAction::triggered, this, &Form1::baocun_Click);
    connect(RichTextBox1, &RichEditor::fileDropped, this, &Form1::RichTextBox1_FileDropped);
}

// Open reads more than Word, text and WordPad files: .docx and WPS Writer's
// .wps join the Word entry, and PDF and OpenDocument entries follow. Save
// writes RTF only, so its list stays as it was.
QString Form1::openFileTypes()
{
    return QStringLiteral("WORD文档(*.doc *.docx *.wps);;文本文件(*.txt);;写字板文件(*.rtf);;PDF文档(*.pdf);;"
                          "OpenDocument文本(*.odt)");
}

QString Form1::saveFileTypes()
{
    return QStringLiteral("WORD文档(*.doc);;文本文件(*.txt);;写字板文件(*.rtf)");
}

void Form1::xinjian_Click()
{
    RichTextBox1->setText(QString());
    giveDesignSize(RichTextBox1);
    List1->setVisible(false);
}

void Form1::dakai_Click()
{
    giveDesignSize(RichTextBox1);
    List1->setVisible(false);
    const QString fileName = dialogs::openFileName(this, QStringLiteral("请选择一个文件"), openFileTypes(), 1,
                                                   property(kDialogFileName).toString());
    // A cancelled dialog loads nothing: reloading the previous file would
    // replace the text the user has edited since.
    if (!fileName.isEmpty())
        setProperty(kDialogFileName, fileName);
    openInEditor(fileName);
}

// A dropped file is opened as Open opens it; the dialog's remembered name stays.
void Form1::RichTextBox1_FileDropped(const QString& path)
{
    giveDesignSize(RichTextBox1);
    List1->setVisible(false);
    openInEditor(path);
}

void Form1::openInEditor(const QString& fileName)
{
    const Result<QString> loaded =
        fileName.isEmpty() ? Result<QString>(QString()) : loadDocument(RichTextBox1, fileName);
    colourAllBlack(RichTextBox1);
    if (loaded && !fileName.isEmpty())
        openedDocument = fileName;
    if (!loaded)
        dialogs::message(this, loaded.error(), {}, dialogs::Icon::Warning);
    else if (!loaded->isEmpty())
        dialogs::message(this, *loaded, {}, dialogs::Icon::Information);
}

void Form1::baocun_Click()
{
    const QString fileName = dialogs::saveFileName(this, QStringLiteral("请输入文件名"), saveFileTypes(), 1,
                                                   property(kDialogFileName).toString());
    if (fileName.isEmpty())
        return;  // cancelled: nothing is saved
    setProperty(kDialogFileName, fileName);
    RichTextBox1->setSelColor(Qt::black);
    const Result<void> saved = saveDocument(RichTextBox1, fileName);
    if (!saved)
        dialogs::message(this, QStringLiteral("保存失败：") + saved.error(), {}, dialogs::Icon::Warning);
}
