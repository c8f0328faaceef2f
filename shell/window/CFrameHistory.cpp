#include "shell/window/CFrameHistory.h"

#include <algorithm>
#include <ctime>

#include "browse/CImagelist.h"
#include "browse/Chistorylist.h"
#include "shell/window/CFrameLayout.h"
#include "shell/window/CFramePreview.h"
#include "shell/window/CPaneLayout.h"

namespace pq {

CFrameHistory::CFrameHistory(FrameParts& parts, CFrameLayout& layout, CFramePreview& preview,
                             QObject* parent)
    : QObject(parent), p_(parts), layout_(layout), preview_(preview) {}

std::vector<store::HistoryEntry> CFrameHistory::History(const QString& key) {
    const std::string web = p_.commands->WebBaseFolder(), kw = p_.commands->KeyBaseFolder();
    if (key == "web") {
        if (!webBuilt_) webHistory_ = store::BuildSearchHistory(web);
        webBuilt_ = true;
        return webHistory_;
    }
    if (key == "key") {
        if (!keyBuilt_) keyHistory_ = store::BuildSearchHistory(kw);
        keyBuilt_ = true;
        return keyHistory_;
    }
    if (!dateGroupsBuilt_) dateGroups_ = store::BuildDateGroups({web, kw}, std::time(nullptr));
    dateGroupsBuilt_ = true;
    const store::DateGroup g = key == "last"    ? store::DateGroup::kLastMonth
                               : key == "befor" ? store::DateGroup::kBeforeLastMonth
                                                : store::DateGroup::kThisMonth;
    // Newest first, as the lists are read.
    return {dateGroups_.Of(g).rbegin(), dateGroups_.Of(g).rend()};
}

void CFrameHistory::Show(const QString& key) {
    p_.history->SetEntries(History(key), key);
    if (p_.layout->CurrentLayout() == CPaneLayout::Layout::kManage) {
        p_.layout->SetManageList(true);
        // The browsing list's picture is no longer what the user looks at.
        preview_.Clear();
    }
    p_.Update();
}

void CFrameHistory::ShowAddress(const QString& address) {
    History(QStringLiteral("this"));
    layout_.SetDownloadLayout();
    const auto earlier = store::ProjectsOf(dateGroups_, address.toStdString(), false);
    p_.history->SetEntries(earlier, QString());
    // Enter outside the search layout lists; say how to search when there
    // is nothing to list.
    layout_.SetPane(
        4, earlier.empty()
               ? tr("No earlier search of %1: Go or the Search tab searches it.").arg(address)
               : tr("Earlier searches of %1").arg(address));
    p_.Update();
}

void CFrameHistory::OpenProject(const QString& folder) {
    // A project opens in the browsing list, never over a running search's.
    if (p_.layout->CurrentLayout() == CPaneLayout::Layout::kSearch) return;
    if (p_.layout->CurrentLayout() == CPaneLayout::Layout::kDownload) layout_.SetManageLayout();
    p_.layout->SetManageList(false);
    p_.imageList->ShowFolder(folder);
    preview_.Clear();
}

void CFrameHistory::Forget(const QStringList& folders) {
    auto drop = [&folders](std::vector<store::HistoryEntry>& list) {
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const store::HistoryEntry& e) {
                                      return folders.contains(QString::fromStdString(e.folder));
                                  }),
                   list.end());
    };
    drop(webHistory_);
    drop(keyHistory_);
    for (auto& g : dateGroups_.groups) drop(g);
    p_.Update();
}

void CFrameHistory::AddEntry(const SearchStart& search, const QString& pictures, bool keyword) {
    const std::time_t now = std::time(nullptr);
    store::HistoryEntry e;
    e.name = search.projectName;
    e.folder = search.projectFolder;
    e.address = search.startAddress;
    e.keywords = search.keywords;
    e.date = store::DateText(now);
    e.pictures = pictures.toStdString();
    e.modified = now;
    // The histories not read yet will find the project on disk.
    if (keyword ? keyBuilt_ : webBuilt_)
        store::AddToHistory(keyword ? keyHistory_ : webHistory_, e);
    if (p_.history->Key() == (keyword ? "key" : "web"))
        p_.history->SetEntries(History(p_.history->Key()), p_.history->Key());
}

void CFrameHistory::DownloadsEnded(const std::string& projectFolder, int pictures) {
    // The entry made when the crawl ended counted the pictures saved by
    // then; now all are in.
    for (auto* history : {&webHistory_, &keyHistory_})
        for (auto& e : *history)
            if (e.folder == projectFolder) e.pictures = std::to_string(pictures);
    // The list shown is brought up to date where it stands.
    if (p_.history->Key() == "web" || p_.history->Key() == "key")
        p_.history->SetEntries(History(p_.history->Key()), p_.history->Key());
}

}  // namespace pq
