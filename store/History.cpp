#include "store/History.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "store/ProjectFile.h"

namespace pq::store {

namespace fs = std::filesystem;

namespace {

// Lines of project.inf the two kinds of list look at.
constexpr int kDateGroupLines = 11;
constexpr int kHistoryLines = 14;  // line 1 and 13 after it

// Line 1's picture count: what stands before its "**". An advanced search
// that has saved nothing yet has "0 00:00:00" there (a space for the
// stars): its count is the number before the space.
std::string PictureCount(const std::string& line1Part) {
    const size_t space = line1Part.find(' ');
    if (space == 0 || space == std::string::npos) return line1Part;
    for (size_t i = 0; i < space; ++i)
        if (line1Part[i] < '0' || line1Part[i] > '9') return line1Part;
    const std::string rest = line1Part.substr(space + 1);
    const bool time = rest.size() >= 8 && rest[2] == ':' && rest[5] == ':';
    return time ? line1Part.substr(0, space) : line1Part;
}

std::vector<HistoryEntry> ReadRoot(const std::string& rootIn, int maxLines, bool imageCount) {
    std::vector<HistoryEntry> out;
    std::string root = rootIn;
    if (root.empty() || root.back() != '/') root += '/';
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError)) continue;
        const std::string name = it->path().filename().string();
        const std::string folder = root + name + "/";
        struct stat st;
        // Only a regular project.inf counts; a folder or device of that name
        // is no project.
        if (::stat((folder + kProjectFileName).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const ProjectSummary s = ReadProjectSummary(folder, maxLines);
        if (!s.found) continue;
        HistoryEntry e;
        e.name = name;
        e.folder = folder;
        e.address = s.url;
        e.keywords = s.keywords;
        // The IMAGE line is optional; without it the count of line 1 serves.
        e.pictures = imageCount && !s.image.empty() ? s.image : PictureCount(s.pictures);
        e.modified = s.modified;
        e.date = DateText(s.modified);
        out.push_back(std::move(e));
    }
    return out;
}

}  // namespace

DateGroup GroupOf(std::time_t modified, std::time_t now) {
    const long long days = (long long)(now - modified) / 86400;
    if (days <= 30) return DateGroup::kThisMonth;
    if (days <= 60) return DateGroup::kLastMonth;
    return DateGroup::kBeforeLastMonth;
}

std::string DateText(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%y-%m-%d %H:%M:%S", &local);
    return buf;
}

DateGroups BuildDateGroups(const std::vector<std::string>& roots, std::time_t now) {
    DateGroups g;
    std::vector<HistoryEntry> all;
    for (const auto& root : roots) {
        auto some = ReadRoot(root, kDateGroupLines, true);
        all.insert(all.end(), some.begin(), some.end());
    }
    std::stable_sort(all.begin(), all.end(), [](const HistoryEntry& a, const HistoryEntry& b) {
        return a.modified < b.modified;
    });
    for (auto& e : all) g.groups[int(GroupOf(e.modified, now))].push_back(std::move(e));
    return g;
}

std::vector<HistoryEntry> BuildSearchHistory(const std::string& root) {
    auto h = ReadRoot(root, kHistoryLines, false);
    std::stable_sort(h.begin(), h.end(), [](const HistoryEntry& a, const HistoryEntry& b) {
        return a.modified > b.modified;
    });
    return h;
}

void AddToHistory(std::vector<HistoryEntry>& history, HistoryEntry entry) {
    // A continued project is listed once, at the front.
    history.erase(std::remove_if(history.begin(), history.end(),
                                 [&](const HistoryEntry& e) { return e.folder == entry.folder; }),
                  history.end());
    history.insert(history.begin(), std::move(entry));
}

std::vector<HistoryEntry> ProjectsOf(const DateGroups& groups, const std::string& text,
                                     bool keyword) {
    std::vector<HistoryEntry> out;
    for (DateGroup g :
         {DateGroup::kBeforeLastMonth, DateGroup::kThisMonth, DateGroup::kLastMonth}) {
        const auto& list = groups.Of(g);
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            if (it->name.empty()) continue;
            if ((keyword ? it->keywords : it->address) == text) out.push_back(*it);
        }
    }
    return out;
}

bool RemoveProject(const std::string& folder) {
    // A folder is held with its trailing "/", and "linked/" names what the
    // link points to: every call below gets the path without it, so a
    // project that is a link loses the link only.
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path.empty()) return false;
    std::error_code ec;
    const fs::file_status self = fs::symlink_status(path, ec);
    if (ec) return false;
    if (fs::is_symlink(self)) {
        fs::remove(path, ec);
    } else {
        // remove_all never follows a link inside: it removes the link.
        fs::remove_all(path, ec);
    }
    return !ec && !fs::exists(fs::symlink_status(path, ec));
}

}  // namespace pq::store
