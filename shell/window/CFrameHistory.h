// The frame's histories: the web and keyword search histories and the three
// date groups, built from the project folders at the first asking and kept
// up to date as searches end; showing one in the history list, opening a
// project from it, and forgetting the projects deleted there.
// User-interface thread only.
#pragma once

#include <QObject>
#include <QString>
#include <vector>

#include "shell/CSearchCommands.h"
#include "shell/window/FrameParts.h"
#include "store/History.h"

namespace pq {

class CFrameLayout;
class CFramePreview;

class CFrameHistory : public QObject {
    Q_OBJECT
public:
    CFrameHistory(FrameParts& parts, CFrameLayout& layout, CFramePreview& preview,
                  QObject* parent = nullptr);

    // Web ("web"), keyword ("key") or a date group ("this", "last",
    // "befor").
    std::vector<store::HistoryEntry> History(const QString& key);
    // Shows that history in the history list.
    void Show(const QString& key);
    // The earlier searches of an address, in the download layout.
    void ShowAddress(const QString& address);
    // A project from the history, in the browsing list.
    void OpenProject(const QString& folder);
    void Forget(const QStringList& folders);
    // A search ended its crawl: first in its history.
    void AddEntry(const SearchStart& search, const QString& pictures, bool keyword);
    // Its downloads ended too: the count it ended with.
    void DownloadsEnded(const std::string& projectFolder, int pictures);

private:
    FrameParts& p_;
    CFrameLayout& layout_;
    CFramePreview& preview_;
    store::DateGroups dateGroups_;
    std::vector<store::HistoryEntry> webHistory_, keyHistory_;
    bool dateGroupsBuilt_ = false, webBuilt_ = false, keyBuilt_ = false;
};

}  // namespace pq
