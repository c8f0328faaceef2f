#include "shell/window/CFrameLayout.h"

#include <QToolBar>

#include "browse/CThumbList.h"
#include "shell/CPelquinarApp.h"
#include "shell/window/CSearchBar.h"
#include "shell/window/CStatusPanes.h"
#include "shell/window/CommandIds.h"

namespace pq {

CFrameLayout::CFrameLayout(FrameParts& parts, QObject* parent)
    : QObject(parent), p_(parts), searchTexts_(FreshSearchTexts()) {
    manageTexts_[4] = tr("Ready");
    p_.panes->SetTexts(manageTexts_);
}

CFrameLayout::Texts CFrameLayout::FreshSearchTexts() {
    return {QStringLiteral("Page Searched:0    "),
            QStringLiteral("Image Found:0    "),
            QStringLiteral("Image Download:0    "),
            QStringLiteral("00:00:00"),
            tr("Ready"),
            QString()};
}

bool CFrameLayout::Run(int id) {
    switch (id) {
        case cmd::kLayoutSearch:
            SetSearchLayout();
            return true;
        case cmd::kLayoutManage:
            SetManageLayout();
            return true;
        case cmd::kLayoutDownload:
            SetDownloadLayout();
            return true;
        case cmd::kPreviewLeft:
            SetPlacement(CPaneLayout::Placement::kLeft);
            return true;
        case cmd::kPreviewMiddle:
            SetPlacement(CPaneLayout::Placement::kMiddle);
            return true;
        case cmd::kPreviewRight:
            SetPlacement(CPaneLayout::Placement::kRight);
            return true;
        case cmd::kToolbar:
            p_.toolbar->setVisible(!p_.toolbar->isVisible());
            p_.topBar->setVisible(p_.toolbar->isVisible());
            return true;
        case cmd::kUrlBar:
            p_.urlBar->setVisible(!p_.urlBar->isVisible());
            return true;
        default:
            return false;
    }
}

void CFrameLayout::SetSearchTexts(const Texts& texts) {
    searchTexts_ = texts;
    if (lastSet_ == "search") p_.panes->SetTexts(searchTexts_);
}

void CFrameLayout::SetSearchPane(int pane, const QString& text) {
    if (pane < 0 || pane >= kPanes) return;
    searchTexts_[size_t(pane)] = text;
    if (lastSet_ == "search") p_.panes->SetText(pane, text);
}

const CFrameLayout::Texts& CFrameLayout::SearchTexts() {
    if (lastSet_ == "search") searchTexts_ = p_.panes->Texts();
    return searchTexts_;
}

void CFrameLayout::SetPane(int pane, const QString& text) {
    if (pane < 0 || pane >= kPanes) return;
    p_.panes->SetText(pane, text);
    (lastSet_ == "search" ? searchTexts_ : manageTexts_)[size_t(pane)] = text;
}

void CFrameLayout::ShowUnreadableNames(int count) {
    const QString text = CThumbList::UnreadableNamesText(count);
    if (!text.isEmpty())
        SetPane(4, text);
    else if (!unreadableText_.isEmpty() && p_.panes->Text(4) == unreadableText_)
        SetPane(4, QString());
    unreadableText_ = text;
}

void CFrameLayout::SwitchPaneTexts(const std::string& to) {
    const std::string set = to == "search" ? "search" : "manage";
    if (set == lastSet_) return;
    if (lastSet_ == "search")
        searchTexts_ = p_.panes->Texts();
    else
        manageTexts_ = p_.panes->Texts();
    p_.panes->SetTexts(set == "search" ? searchTexts_ : manageTexts_);
    lastSet_ = set;
}

void CFrameLayout::SetSearchLayout() {
    if (leaveFullView) leaveFullView();
    layoutText_ = "search";
    p_.searchBar->SetLayoutState("search");
    p_.app->tabMode = "search";
    SwitchPaneTexts("search");
    p_.panes->SetBarsVisible(true);
    p_.layout->SetLayout(CPaneLayout::Layout::kSearch);
}

void CFrameLayout::SetManageLayout() {
    if (leaveFullView) leaveFullView();
    layoutText_ = "manage";
    p_.searchBar->SetLayoutState("nosearch");
    SwitchPaneTexts("manage");
    p_.layout->SetLayout(CPaneLayout::Layout::kManage);
    p_.app->tabMode = "manage";
    p_.panes->SetBarsVisible(false);
}

void CFrameLayout::SetDownloadLayout() {
    if (leaveFullView) leaveFullView();
    layoutText_ = "download";
    p_.searchBar->SetLayoutState("nosearch");
    SwitchPaneTexts("download");
    p_.panes->SetBarsVisible(false);
    p_.layout->SetLayout(CPaneLayout::Layout::kDownload);
}

void CFrameLayout::EnterSavedLayout() {
    if (p_.app->tabMode == "search")
        SetSearchLayout();
    else
        SetManageLayout();
}

void CFrameLayout::SearchEnded() {
    if (layoutText_ == "search") layoutText_ = "nosearch";
    p_.searchBar->SetLayoutState("nosearch");
}

void CFrameLayout::SetPlacement(CPaneLayout::Placement p) {
    if (leaveFullView) leaveFullView();
    p_.layout->SetPlacement(p);
    p_.app->winMode = CPaneLayout::PlacementName(p);
}

}  // namespace pq
