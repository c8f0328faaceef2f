#include "store/Credits.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <fstream>
#include <vector>

#include "store/ProjectFile.h"

namespace pq::store {

namespace {

constexpr size_t kMaxCreditsBytes = 4 * 1024 * 1024;

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t from = 0;
    for (;;) {
        const size_t tab = line.find('\t', from);
        fields.push_back(DecodeField(line.substr(from, tab - from)));
        if (tab == std::string::npos) break;
        from = tab + 1;
    }
    return fields;
}

}  // namespace

std::string Credit::LicenseText() const {
    if (license.empty()) return {};
    std::string lower;
    for (char c : license) lower += char(std::tolower(static_cast<unsigned char>(c)));
    // Openverse names licences by their short codes: "by-sa", "cc0", "pdm".
    std::string text;
    if (lower == "pdm")
        text = "Public Domain Mark";
    else if (lower == "cc0")
        text = "CC0";
    else if (lower.find(' ') == std::string::npos && lower.rfind("by", 0) == 0) {
        text = "CC ";
        for (char c : license) text += char(std::toupper(static_cast<unsigned char>(c)));
    } else {
        text = license;
    }
    if (!licenseVersion.empty()) text += " " + licenseVersion;
    return text;
}

std::string Credit::Summary() const {
    std::string s = title;
    if (!creator.empty()) s += (s.empty() ? "by " : " by ") + creator;
    const std::string l = LicenseText();
    if (!l.empty()) s += (s.empty() ? "" : ", ") + l;
    return s;
}

bool AppendCreditLine(const std::string& folder, const std::string& localName, const Credit& credit,
                      const std::string& address) {
    std::string line;
    for (const std::string* field :
         {&localName, &credit.title, &credit.creator, &credit.license, &credit.licenseVersion,
          &credit.licenseUrl, &credit.landingPage, &address, &credit.fullPicture}) {
        if (!line.empty() || field != &localName) line += '\t';
        line += EncodeControls(*field);
    }
    line += "\r\n";
    const int fd = ::open((folder + kCreditsFileName).c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return false;
    const char* p = line.data();
    size_t left = line.size();
    bool ok = true;
    while (ok && left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) {
            p += n;
            left -= size_t(n);
        }
    }
    return (::close(fd) == 0) && ok;
}

std::vector<std::pair<std::string, Credit>> ReadCreditLines(const std::string& folder) {
    std::vector<std::pair<std::string, Credit>> credits;
    std::ifstream in(folder + kCreditsFileName, std::ios::binary);
    if (!in) return credits;
    std::string text(kMaxCreditsBytes, '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) break;  // a line cut off at the bound, or unfinished
        std::string line = text.substr(from, end - from);
        from = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() != 9 || f[0].empty()) continue;
        credits.emplace_back(f[0], Credit{f[1], f[2], f[3], f[4], f[5], f[6], f[8]});
    }
    return credits;
}

std::map<std::string, Credit> ReadCredits(const std::string& folder) {
    std::map<std::string, Credit> credits;
    for (auto& [name, credit] : ReadCreditLines(folder)) credits[name] = std::move(credit);
    return credits;
}

}  // namespace pq::store
