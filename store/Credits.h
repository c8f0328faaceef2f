// The credits of pictures from an open search service: "credits.txt" in the
// project folder, one line per saved picture, CR LF, its fields separated by
// a tab: file name, title, creator, licence, licence version, licence
// address, landing page, picture address, full picture address (the same
// as the picture address for a full picture; Get Big Pictures of a
// thumbnail fetches it). Tabs and other control bytes
// inside a field are percent-encoded ("%09"), so a field never splits a line
// or another field. No Qt: the download workers write it.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace pq::store {

inline constexpr const char* kCreditsFileName = "credits.txt";

struct Credit {
    std::string title;
    std::string creator;
    std::string license;         // "by-sa", "CC BY-SA 4.0", ...
    std::string licenseVersion;  // "4.0", or "" when the licence names it
    std::string licenseUrl;
    std::string landingPage;
    std::string fullPicture;  // the address of the full-size picture

    bool Empty() const {
        return title.empty() && creator.empty() && license.empty() && licenseUrl.empty() &&
               landingPage.empty();
    }
    // "Title by Creator, CC BY-SA 4.0" as far as the fields go.
    std::string Summary() const;
    // The licence as people write it: "CC BY-SA 4.0", "CC0 1.0", "Public Domain".
    std::string LicenseText() const;
};

// Appends the picture's line, whole, in one write; false when the file cannot
// be opened or written.
bool AppendCreditLine(const std::string& folder, const std::string& localName, const Credit& credit,
                      const std::string& address);

// The credits of a folder by file name; empty when there is no file. Lines
// that do not have nine fields are skipped; at most 4 MB are read.
std::map<std::string, Credit> ReadCredits(const std::string& folder);
// The same lines in the order they were written (a name written twice
// appears twice).
std::vector<std::pair<std::string, Credit>> ReadCreditLines(const std::string& folder);

}  // namespace pq::store
