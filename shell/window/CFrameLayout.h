// The frame's layout commands: the search, manage and download layouts, the
// preview's placement, the toolbars shown, and the two sets of status pane
// texts that the search and the other layouts keep.
// User-interface thread only.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <string>

#include "shell/window/CPaneLayout.h"
#include "shell/window/FrameParts.h"

namespace pq {

class CFrameLayout : public QObject {
    Q_OBJECT
public:
    static constexpr int kPanes = 6;
    using Texts = std::array<QString, kPanes>;

    CFrameLayout(FrameParts& parts, QObject* parent = nullptr);

    // True when id is one of this area's commands (and it ran).
    bool Run(int id);

    void SetSearchLayout();
    void SetManageLayout();
    void SetDownloadLayout();
    void SetPlacement(CPaneLayout::Placement p);
    // The layout the settings' tabmode names ("search" or "manage").
    void EnterSavedLayout();

    // "search", "manage", "download" or "nosearch" (the search layout once
    // its search has ended).
    const std::string& LayoutText() const { return layoutText_; }
    void SearchEnded();

    // The search layout's pane texts: a fresh search's (counters at 0,
    // the clock at 00:00:00, "Ready"), and one pane set by the engine,
    // shown at once when the search layout is in view.
    static Texts FreshSearchTexts();
    void SetSearchTexts(const Texts& texts);
    void SetSearchPane(int pane, const QString& text);
    const Texts& SearchTexts();
    // A pane of the set in view.
    void SetPane(int pane, const QString& text);
    // The browsing list's folder left pictures out whose names cannot be
    // read: pane 4 says how many (and says nothing more once a folder
    // without any is shown).
    void ShowUnreadableNames(int count);

    // Leaves the full view before a layout changes (set by the frame).
    std::function<void()> leaveFullView;

private:
    void SwitchPaneTexts(const std::string& to);

    FrameParts& p_;
    std::string layoutText_ = "manage";
    std::string lastSet_ = "manage";  // the layout whose pane texts are shown
    QString unreadableText_;
    Texts searchTexts_{};
    Texts manageTexts_{};
};

}  // namespace pq
