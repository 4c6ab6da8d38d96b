#pragma once
// The Edit commands of a rich-text editor, and the menu that runs them, built
// once for both windows that edit a paper.

#include <QKeySequence>

#include <functional>

class QAction;
class QMenu;
class RichEditor;

namespace editmenu {

void selectAll(RichEditor* editor);  // 全选
void copy(RichEditor* editor);       // 复制
void cut(RichEditor* editor);        // 剪切
void paste(RichEditor* editor);      // 粘贴: the clipboard's plain text over the selection
void remove(RichEditor* editor);     // 删除
void undo(RichEditor* editor);       // 撤销

struct Actions {
    QAction* cx = nullptr;
    QAction* jq = nullptr;
    QAction* fz = nullptr;
    QAction* nt = nullptr;
    QAction* sc = nullptr;
    QAction* qx = nullptr;
};

enum class Shortcuts { None, Standard };

// Adds 撤销 | 剪切 复制 粘贴 删除 | 全选 to `menu`, each running its command on
// the editor `editor` returns when triggered (a window may create its editor anew).
Actions addEditActions(QMenu* menu, std::function<RichEditor*()> editor, Shortcuts shortcuts);

}  // namespace editmenu
