// The File menu's document commands: new, open and save on RichTextBox1.

#include "mainwindow/ui/form1.h"

#include "mainwindow/editorfiles/richeditorfiles.h"
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

QString fileTypes() { return QStringLiteral("WORD文档(*.doc);;文本文件(*.txt);;写字板文件(*.rtf)"); }

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
    const QString fileName = dialogs::openFileName(this, QStringLiteral("请选择一个文件"), fileTypes(), 1,
                                                   property(kDialogFileName).toString());
    // A cancelled dialog loads nothing: reloading the previous file would
    // replace the text the user has edited since.
    QString error;
    QString warning;
    bool loaded = false;
    if (!fileName.isEmpty()) {
        setProperty(kDialogFileName, fileName);
        loaded = loadDocument(RichTextBox1, fileName, &error, &warning);
    }
    colourAllBlack(RichTextBox1);
    if (!fileName.isEmpty() && !loaded)
        dialogs::message(this, error, {}, dialogs::Icon::Warning);
    else if (!warning.isEmpty())
        dialogs::message(this, warning, {}, dialogs::Icon::Information);
}

void Form1::baocun_Click()
{
    const QString fileName = dialogs::saveFileName(this, QStringLiteral("请输入文件名"), fileTypes(), 1,
                                                   property(kDialogFileName).toString());
    if (fileName.isEmpty())
        return;  // cancelled: nothing is saved
    setProperty(kDialogFileName, fileName);
    RichTextBox1->setSelColor(Qt::black);
    QString error;
    if (!saveDocument(RichTextBox1, fileName, &error))
        dialogs::message(this, QStringLiteral("保存失败：") + error, {}, dialogs::Icon::Warning);
}
