// The history of searches, rebuilt from the project folders: date groups
// (this month, last month, before last month) and one search history for
// web searches and one for keyword searches. Each project's date is its
// project.inf's last change; only the first lines of the file are read.
// No Qt; the user-interface thread builds and keeps them.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace pq::store {

struct HistoryEntry {
    std::string name;      // the project folder's name
    std::string folder;    // its path, with a trailing "/"
    std::string address;   // the URL line
    std::string date;      // "%y-%m-%d %H:%M:%S", local time
    std::string pictures;  // IMAGE line (date groups) or line 1 up to "*" (histories)
    std::string keywords;
    std::time_t modified = 0;
};

enum class DateGroup { kThisMonth, kLastMonth, kBeforeLastMonth };

// Whole days since modified: 0 to 30 this month, 31 to 60 last month, 61 and
// more before.
DateGroup GroupOf(std::time_t modified, std::time_t now);
std::string DateText(std::time_t t);

struct DateGroups {
    std::vector<HistoryEntry> groups[3];  // indexed by DateGroup
    const std::vector<HistoryEntry>& Of(DateGroup g) const { return groups[int(g)]; }
};

// The projects below each root (the "Websearch" and "Keysearch" folders):
// every subfolder with a readable project.inf, oldest first within a group.
DateGroups BuildDateGroups(const std::vector<std::string>& roots, std::time_t now);

// One search history: the projects of root, newest first.
std::vector<HistoryEntry> BuildSearchHistory(const std::string& root);

// A search ended in this run: first in its history, dated now.
void AddToHistory(std::vector<HistoryEntry>& history, HistoryEntry entry);

// The projects whose address (keyword = false) or keywords equal text,
// searched in the groups before last month, this month, last month, each
// from its newest entry.
std::vector<HistoryEntry> ProjectsOf(const DateGroups& groups, const std::string& text,
                                     bool keyword);

// Removes a project's folder with what it holds (a symbolic link inside is
// removed as a link, its target untouched); false when something stayed.
bool RemoveProject(const std::string& folder);

}  // namespace pq::store
