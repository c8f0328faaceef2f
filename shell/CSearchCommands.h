// The search commands without their widgets: they check what the user typed,
// name and create the project folder, fill the project record and start the
// search job. The window's commands and the headless front end both use
// them. User-interface thread only.
#pragma once

#include <string>

#include "engine/CPelquinarDoc.h"
#include "engine/CSearchState.h"
#include "shell/CPelquinarApp.h"

namespace pq {

// What the search bar holds when a command runs.
struct SearchBarText {
    std::string address;
    std::string keywords;
    std::string engine = "google Image Search";  // or an open service's title
};

struct AdvancedWebOptions {
    std::string projectName;  // as typed in the dialog; used as it is
    int depth = 2;
    bool jpg = true;
    bool gif = true;
    bool bmp = true;
    bool png = false;
    bool webp = false;
    int minKb = 0;
    int maxKb = 900;
    // The smallest size on screen, in pixels (0: no bound).
    int minWidth = 0;
    int minHeight = 0;
    std::string filterKeywords;
};

// The outcome of a command.
struct SearchStart {
    bool started = false;
    bool folderFailed = false;  // the project folder could not be made
    std::string message;        // a text to show the user, or ""
    std::string projectName;
    std::string projectFolder;  // ends with "/"
    std::string startAddress;
    std::string keywords;
    int elapsedSeconds = 0;  // where the search clock starts (Continue)
};

class CSearchCommands {
public:
    static constexpr const char* kNoAddress = "Please input address!";
    static constexpr const char* kNoKeywords = "Please input keywords!";

    CSearchCommands(CPelquinarApp& app, CSearchState& state, CPelquinarDoc& doc);

    // Trailing spaces, CR and LF removed.
    static std::string TrimAddress(std::string text);
    // One trailing "/" removed, then trailing spaces, CR and LF.
    static std::string TrimKeywords(std::string text);
    // Every space removed.
    static std::string EngineName(std::string text);
    // Why an address cannot be searched ("" when it can): another scheme
    // than http and https, or control characters.
    static std::string AddressProblem(const std::string& address);

    std::string WebBaseFolder() const;
    std::string KeyBaseFolder() const;

    // The project name for what the bar holds, unique under baseFolder;
    // message gets a text for the user when the input is missing.
    std::string MakeProjectName(const SearchBarText& bar, const std::string& baseFolder,
                                std::string& message) const;
    // Creates every missing folder of the path; false when it cannot.
    static bool CreateProjectFolder(const std::string& folder);

    std::string KeywordQueryUrl(const std::string& keywords) const;
    std::string AdvancedKeywordQueryUrl(const std::string& keywords) const;
    // The address an open service is asked at: the one-run override over
    // plain http, else its setting.
    std::string ServiceBase(SearchService service) const;

    // "100GJB min max"; with PNG or WebP kept, their two flags follow the
    // three ("100GJBPW min max"), so that older records read as before.
    static std::string AdvancedWebFilterCode(bool gif, bool jpg, bool bmp, int minKb, int maxKb,
                                             bool png = false, bool webp = false);
    static std::string AdvancedKeyFilterCode(bool thumbnails, bool big);
    // Sets the search kind and the picture flags from a filter code.
    void ApplyFilterCode(const std::string& code);

    // Go. projectFolder, when given, is used as the project folder instead of
    // one named under the web base folder.
    SearchStart WebSearch(const SearchBarText& bar,
                          const std::string& projectFolder = std::string());
    SearchStart KeywordSearch(const SearchBarText& bar);
    SearchStart AdvancedWebSearch(const SearchBarText& bar, const AdvancedWebOptions& options);
    SearchStart AdvancedKeywordSearch(const SearchBarText& bar, bool thumbnails, bool big);
    // Resumes the project in folder: what it listed is neither queued nor
    // fetched again.
    SearchStart Continue(const std::string& folder);

private:
    // Common steps of every new search: settings into the job, counters reset.
    void PrepareJob(const std::string& mode);
    // A keyword search of an open service: its address, the User-Agent its
    // rules ask for, the pacing of its result pages.
    void UseService(SearchService service);
    bool StartInFolder(SearchStart& s, const std::string& baseFolder, const std::string& name);
    bool StartIn(SearchStart& s, const std::string& folder);
    // The common part of the two keyword searches.
    SearchStart StartKeywordKind(const SearchBarText& bar, const std::string& mode,
                                 const std::string& queryUrl, store::ProjectHeader header);

    CPelquinarApp& app_;
    CSearchState& state_;
    CPelquinarDoc& doc_;
};

}  // namespace pq
