// project.inf: the one record of a project folder. Seven header lines, then
// one item line per page fetch attempt and per picture saved, each line
// ending in CR LF. Written by the crawl thread and the download workers,
// read by the browsing views and the histories.
//
// Writers of one process are serialised around each open-write-close, and
// every line goes to the file in a single write, so lines never interleave.
// No Qt here: the engine links this.
#pragma once

#include <ctime>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace pq::store {

inline constexpr const char* kProjectFileName = "project.inf";

// The six values a search prepares for a new project.inf.
struct ProjectHeader {
    std::string statusText = "0**00:00:00";
    std::string versionLine = "Version=1.1";
    std::string filterValue = "000000 0 900";
    std::string keywordsLine = "KEYWORDS=";
    std::string engineLine = "SEARCHENGINE=";
    std::string urlLine = "URL=";
};

// The whole header as written at creation.
std::string FormatHeader(const ProjectHeader& header);

// Creates folder + "project.inf" with the header when the file does not
// exist. Returns true when it created the file; an existing file is left
// untouched (a continued search keeps its history).
bool CreateProjectFile(const std::string& folder, const ProjectHeader& header);

// Appends "status name size address" and CR LF to an existing file. False
// when the file cannot be opened for appending (the line is then lost).
bool AppendItemLine(const std::string& folder, const std::string& status,
                    const std::string& localName, const std::string& sizeText,
                    const std::string& address);

// Writes statusText over the start of line 1 (no line end), then appends the
// picture's item line; both under one open.
bool UpdateStatusAndAppend(const std::string& folder, const std::string& statusText,
                           const std::string& localName, const std::string& sizeText,
                           const std::string& address);

// The project.inf of a running search, kept open from its start to its end:
// a saved picture costs two writes (the status over line 1, the item line
// appended whole with O_APPEND) instead of an open, a read, a seek, two
// writes and a close. Lines are appended whole by one write each, as by the
// functions above, which may still write to the same file meanwhile.
// Threads: any; one mutex.
class ProjectRecord {
public:
    ProjectRecord() = default;
    ~ProjectRecord();
    ProjectRecord(const ProjectRecord&) = delete;
    ProjectRecord& operator=(const ProjectRecord&) = delete;

    // Opens folder + "project.inf" (closing what was open); false when it
    // cannot be opened.
    bool Open(const std::string& folder);
    void Close();
    bool IsOpenFor(const std::string& folder) const;

    // As the functions of the same name: on the open file when it is
    // folder's, else through them (a line that comes after Close still
    // reaches the record).
    bool AppendItemLine(const std::string& folder, const std::string& status,
                        const std::string& localName, const std::string& sizeText,
                        const std::string& address);
    bool UpdateStatusAndAppend(const std::string& folder, const std::string& statusText,
                               const std::string& localName, const std::string& sizeText,
                               const std::string& address);
    // Several "OK" lines of saved pictures at once, appended in one write,
    // then statusText over line 1 ("" leaves line 1 alone).
    struct PictureLine {
        std::string localName;
        std::string sizeText;
        std::string address;
    };
    bool AppendPictureLines(const std::string& folder, const std::vector<PictureLine>& lines,
                            const std::string& statusText);

private:
    mutable std::mutex mutex_;
    std::string folder_;
    int appendFd_ = -1;
    int statusFd_ = -1;
    long firstLineLength_ = -1;  // line 1 keeps its length: the status never passes it
};

// "OK name size address" without the line end. Name and address are
// written with EncodeField.
std::string FormatItemLine(const std::string& status, const std::string& localName,
                           const std::string& sizeText, const std::string& address);

// A field of an item line: a space would end the field and a control byte
// the line, so both are written percent-encoded ("my pic.jpg" as
// "my%20pic.jpg"); everything else stays as it is.
std::string EncodeField(std::string_view text);
// Control bytes percent-encoded, all else as it is: text that must stay on
// one line (a header value, an address shown in a page).
std::string EncodeControls(std::string_view text);
// Undoes EncodeField: only "%20" and the escapes of control bytes are
// decoded, so any other "%" sequence an address held reads back unchanged.
std::string DecodeField(std::string_view text);

// What the browsing views read back from a project.
struct BrowsedPicture {
    std::string localName;
    std::string typeText;  // "JPEG Image", "GIF Image", "BMP Image", or "" for other types
    std::string address;
};

// A page the project's earlier runs saved: its local name and address.
struct BrowsedPage {
    std::string localName;
    std::string address;
};

struct BrowsedProject {
    bool found = false;   // project.inf could be opened
    std::string elapsed;  // line 1 after its last '*', trailing white space removed
    std::string version;  // the "Version=" line's value
    std::string url;
    std::string keywords;
    std::string engine;
    std::string filterValue;
    std::vector<BrowsedPicture> pictures;  // only those whose file exists
    std::vector<BrowsedPage> pages;        // "OK" page lines, as written
};

BrowsedProject ReadProjectForBrowsing(const std::string& folder);

// What the histories read back from a project: the status line up to its
// first '*', and the URL, IMAGE and KEYWORDS lines among the first maxLines
// lines (the last of each kind wins). Trailing white space is removed.
struct ProjectSummary {
    bool found = false;
    std::string pictures;  // line 1 up to its first '*'
    std::string url;
    std::string image;
    std::string keywords;
    std::time_t modified = 0;  // last write of project.inf
};

ProjectSummary ReadProjectSummary(const std::string& folder, int maxLines);

}  // namespace pq::store
