// Every command of the window as data: its text, tool tip, shortcut and
// icon, made into one QAction each. Menus, toolbars and context menus take
// the actions by id; enable and check states are set in one place by the
// frame (CMainFrame::UpdateCommands).
// User-interface thread only.
#pragma once

#include <QAction>
#include <QHash>
#include <QKeySequence>
#include <QObject>

namespace pq {

struct CommandSpec {
    int id;
    const char* text;     // menu text with its & mnemonic
    const char* toolTip;  // also the status tip
    QKeySequence shortcut;
    const char* iconName;  // freedesktop icon name; a shipped icon of the same name backs it
    bool checkable;
};

class CCommandTable : public QObject {
    Q_OBJECT
public:
    explicit CCommandTable(QObject* parent);

    QAction* Action(int id) const;
    const QList<CommandSpec>& Specs() const;
    // The icon for a freedesktop name: the desktop theme's, else the
    // program's own.
    static QIcon Icon(const char* name);

signals:
    void Triggered(int id);

private:
    QHash<int, QAction*> actions_;
};

}  // namespace pq
