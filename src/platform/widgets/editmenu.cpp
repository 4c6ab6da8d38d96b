#include "platform/widgets/editmenu.h"

#include "platform/widgets/richeditor.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

namespace editmenu {

void selectAll(RichEditor* editor)
{
    editor->setSelStart(0);
    editor->setSelLength(static_cast<int>(editor->text().size()));
}

void copy(RichEditor* editor) { QGuiApplication::clipboard()->setText(editor->selText()); }

void cut(RichEditor* editor)
{
    QGuiApplication::clipboard()->setText(editor->selText());
    editor->setSelText(QString());
}

void paste(RichEditor* editor)
{
    editor->setSelText(QString());
    editor->setSelText(QGuiApplication::clipboard()->text());
}

void remove(RichEditor* editor) { editor->setSelText(QString()); }

void undo(RichEditor* editor) { editor->undo(); }

Actions addEditActions(QMenu* menu, std::function<RichEditor*()> editor, Shortcuts shortcuts)
{
    const auto item = [&](const char* name, const QString& caption, const QKeySequence& keys,
                          void (*command)(RichEditor*)) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        if (shortcuts == Shortcuts::Standard)
            action->setShortcut(keys);
        QObject::connect(action, &QAction::triggered, menu, [editor, command] {
            if (RichEditor* target = editor())
                command(target);
        });
        return action;
    };
    Actions actions;
    actions.cx = item("cx", QStringLiteral(u"撤销"), QKeySequence(Qt::CTRL | Qt::Key_Z), undo);
    menu->addSeparator();
    actions.jq = item("jq", QStringLiteral(u"剪切"), QKeySequence(Qt::CTRL | Qt::Key_X), cut);
    actions.fz = item("fz", QStringLiteral(u"复制"), QKeySequence(Qt::CTRL | Qt::Key_C), copy);
    actions.nt = item("nt", QStringLiteral(u"粘贴"), QKeySequence(Qt::CTRL | Qt::Key_V), paste);
    actions.sc = item("sc", QStringLiteral(u"删除"), QKeySequence(Qt::Key_Delete), remove);
    menu->addSeparator();
    actions.qx = item("qx", QStringLiteral(u"全选"), QKeySequence(Qt::CTRL | Qt::Key_A), selectAll);
    return actions;
}

}  // namespace editmenu
