#include "shell/CSearchCommands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <unordered_map>

#include "store/ProjectFile.h"

namespace pq {

namespace {

bool PathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string TrimTrailing(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

// Seconds of an "hh:mm:ss" text read back from a project; a damaged text
// (out of range, or too large for the clock) counts as 0.
int SecondsOf(const std::string& hms) {
    long long h = 0, m = 0, s = 0;
    if (std::sscanf(hms.c_str(), "%lld:%lld:%lld", &h, &m, &s) != 3) return 0;
    if (h < 0 || h > 99999 || m < 0 || m > 59 || s < 0 || s > 59) return 0;
    return int(h * 3600 + m * 60 + s);
}

}  // namespace

CSearchCommands::CSearchCommands(CPelquinarApp& app, CSearchState& state, CPelquinarDoc& doc)
    : app_(app), state_(state), doc_(doc) {}

std::string CSearchCommands::TrimAddress(std::string text) { return TrimTrailing(std::move(text)); }

std::string CSearchCommands::TrimKeywords(std::string text) {
    if (!text.empty() && text.back() == '/') text.pop_back();
    return TrimTrailing(std::move(text));
}

std::string CSearchCommands::EngineName(std::string text) {
    std::string out;
    for (char c : text)
        if (c != ' ') out += c;
    return out;
}

std::string CSearchCommands::AddressProblem(const std::string& address) {
    for (unsigned char c : address)
        if (c < 0x20 || c == 0x7f) return "The address holds control characters.";
    // A scheme is letters, digits, "+", "-" and "." before "://".
    size_t sep = address.find("://");
    if (sep != std::string::npos && sep > 0) {
        std::string scheme = address.substr(0, sep);
        bool isScheme = std::isalpha(static_cast<unsigned char>(scheme[0]));
        for (char c : scheme)
            isScheme = isScheme && (std::isalnum(static_cast<unsigned char>(c)) || c == '+' ||
                                    c == '-' || c == '.');
        for (char& c : scheme) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (isScheme && scheme != "http" && scheme != "https")
            return "Only http and https addresses can be searched, not " + scheme + ":.";
    }
    return {};
}

std::string CSearchCommands::WebBaseFolder() const {
    return app_.startDirectory + "My Search/Websearch/";
}
std::string CSearchCommands::KeyBaseFolder() const {
    return app_.startDirectory + "My Search/Keysearch/";
}

std::string CSearchCommands::MakeProjectName(const SearchBarText& bar,
                                             const std::string& baseFolder,
                                             std::string& message) const {
    message.clear();
    std::string seed;
    if (app_.searchMode != "searchweb") {
        if (bar.keywords.empty()) {
            message = kNoKeywords;
            return {};
        }
        seed = bar.engine + "=" + bar.keywords;
    } else {
        if (bar.address.empty()) {
            message = kNoAddress;
            return {};
        }
        seed = bar.address.size() > 7 ? bar.address.substr(7) : std::string();
    }
    seed = seed.substr(0, seed.find('&'));
    for (char& c : seed)
        if (c == '/') c = '=';
    std::string name = seed;
    int n = 0;
    // "." and ".." would name the base folder or its parent, never a project.
    if (name == "." || name == "..") name = seed + "[" + std::to_string(++n) + "]";
    while (!name.empty() && PathExists(baseFolder + name))
        name = seed + "[" + std::to_string(++n) + "]";
    return name;
}

bool CSearchCommands::CreateProjectFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::is_directory(folder, ec);
}

std::string CSearchCommands::KeywordQueryUrl(const std::string& keywords) const {
    return "http://" + app_.searchHost + "/images?q=" + keywords +
           "&svnum=10&hl=it&lr=&ie=UTF-8&oe=UTF-8&start=0&sa=N";
}

std::string CSearchCommands::AdvancedKeywordQueryUrl(const std::string& keywords) const {
    return "http://" + app_.searchHost + "/images?q=" + keywords + "&svnum=10&hl=it&start=0&sa=N";
}

std::string CSearchCommands::AdvancedWebFilterCode(bool gif, bool jpg, bool bmp, int minKb,
                                                   int maxKb, bool png, bool webp) {
    std::string flags =
        std::string("100") + (gif ? "1" : "0") + (jpg ? "1" : "0") + (bmp ? "1" : "0");
    if (png || webp) flags += std::string(png ? "1" : "0") + (webp ? "1" : "0");
    return flags + " " + std::to_string(minKb) + " " + std::to_string(maxKb);
}

std::string CSearchCommands::ServiceBase(SearchService service) const {
    if (!app_.serviceHostOverride.empty()) return "http://" + app_.serviceHostOverride;
    if (service == SearchService::kOpenverse)
        return app_.openverseHost.empty() ? DefaultServiceBase(service) : app_.openverseHost;
    if (service == SearchService::kCommons)
        return app_.commonsHost.empty() ? DefaultServiceBase(service) : app_.commonsHost;
    return {};
}

std::string CSearchCommands::AdvancedKeyFilterCode(bool thumbnails, bool big) {
    return std::string("9") + (thumbnails ? "1" : "0") + (big ? "1" : "0") + "000 0 900";
}

void CSearchCommands::ApplyFilterCode(const std::string& code) {
    char kind = code.empty() ? '0' : code[0];
    auto flag = [&](size_t i) { return code.size() > i && code[i] == '1'; };
    if (kind == '1') {
        state_.mode = "advancedweb";
        state_.filter.gif = flag(3);
        state_.filter.jpg = flag(4);
        state_.filter.bmp = flag(5);
        // Codes before PNG and WebP end after the BMP flag: neither is kept.
        state_.filter.png = code.find(' ') > 6 && flag(6);
        state_.filter.webp = code.find(' ') > 7 && flag(7);
    } else if (kind == '9') {
        state_.mode = "advancedkey";
        state_.filter.thumbnails = flag(1);
        state_.filter.big = flag(2);
    } else {
        state_.mode = app_.searchMode == "searchkey" ? "key" : "web";
    }
}

void CSearchCommands::UseService(SearchService service) {
    state_.service = service;
    state_.serviceBase = ServiceBase(service);
    state_.userAgent = ServiceUserAgent(app_.contact);
    state_.pageIntervalMs = ServicePageIntervalMs(service);
    // A keyword search keeps every classic type; PNG and WebP as set.
    state_.filter.jpg = state_.filter.gif = state_.filter.bmp = true;
}

void CSearchCommands::PrepareJob(const std::string& mode) {
    // The threads of an earlier search read this state: they end first.
    doc_.EndSearch();
    state_.mode = mode;
    state_.maxLevels = std::clamp(app_.maxLevels, 0, CPelquinarApp::kMaxDepth);
    state_.pictureLimitBytes = (long long)std::max(app_.pictureLimitMb, 1) * 1024 * 1024;
    state_.transfersAtOnce = app_.transfers;
    state_.hostConnections = app_.hostConnections;
    state_.pagesAhead = app_.pagesAhead;
    state_.useProxy = app_.UsesProxy();
    state_.proxy = app_.proxy;
    state_.imageMinKb = app_.imageMinSize;
    state_.imageMaxKb = app_.imageMaxSize;
    state_.minWidth = app_.imageMinWidth;
    state_.minHeight = app_.imageMinHeight;
    state_.index = app_.PictureIndex();
    state_.skipDuplicates = app_.bNoDuplicates;
    state_.keepDeletedAway = app_.bDeletedStay;
    state_.filter = PictureFilter{};
    state_.filter.gif = app_.bGif;
    state_.filter.jpg = app_.bJpg;
    state_.filter.bmp = app_.bBmp;
    state_.filter.png = app_.bPng;
    state_.filter.webp = app_.bWebp;
    state_.filter.thumbnails = app_.bThum;
    state_.filter.big = app_.bBig;
    state_.SetSearchHost(app_.searchHost);
    state_.service = SearchService::kHtml;
    state_.serviceBase.clear();
    state_.userAgent.clear();
    state_.pageIntervalMs = 0;
    state_.queue.Reset();
    state_.ResetDownloads();
    state_.SetElapsedText("00:00:00");
    state_.continueFlag = false;
    state_.idleFlag = false;
}

bool CSearchCommands::StartInFolder(SearchStart& s, const std::string& baseFolder,
                                    const std::string& name) {
    s.projectName = name;
    return StartIn(s, name.empty() ? baseFolder : baseFolder + name + "/");
}

bool CSearchCommands::StartIn(SearchStart& s, const std::string& folder) {
    s.projectFolder = folder;
    if (s.projectFolder.empty() || s.projectFolder.back() != '/') s.projectFolder += '/';
    if (!CreateProjectFolder(s.projectFolder)) {
        // Without its folder a search could keep nothing it fetched.
        s.folderFailed = true;
        state_.idleFlag = true;
        return false;
    }
    state_.SetStatusText(state_.header.statusText);
    doc_.SetProjectFolder(s.projectFolder);
    doc_.StartSearch(s.startAddress, s.keywords);
    s.started = true;
    return true;
}

SearchStart CSearchCommands::WebSearch(const SearchBarText& bar, const std::string& projectFolder) {
    SearchStart s;
    SearchBarText b = bar;
    b.address = TrimAddress(bar.address);
    b.keywords = TrimKeywords(bar.keywords);
    b.engine = EngineName(bar.engine);
    if (b.address.empty()) return s;
    PrepareJob("web");
    state_.keywordFlag = false;
    std::string name = MakeProjectName(b, WebBaseFolder(), s.message);
    state_.header = store::ProjectHeader{};
    state_.header.urlLine = "URL=" + b.address;
    ApplyFilterCode(state_.header.filterValue);
    s.startAddress = b.address;
    CPelquinarApp::AddToHistory(app_.history, b.address);
    if (projectFolder.empty()) {
        StartInFolder(s, WebBaseFolder(), name);
    } else {
        std::string trimmed = projectFolder;
        while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
        s.projectName = trimmed.substr(trimmed.rfind('/') + 1);
        StartIn(s, projectFolder);
    }
    return s;
}

SearchStart CSearchCommands::KeywordSearch(const SearchBarText& bar) {
    if (app_.searchMode == "searchweb") return WebSearch(bar);
    SearchBarText b = bar;
    b.keywords = TrimKeywords(bar.keywords);
    b.engine = EngineName(bar.engine);
    if (b.keywords.empty()) return SearchStart{};
    store::ProjectHeader header;
    header.versionLine = "Version=1.10";
    return StartKeywordKind(b, "key", KeywordQueryUrl(b.keywords), header);
}

SearchStart CSearchCommands::StartKeywordKind(const SearchBarText& b, const std::string& mode,
                                              const std::string& queryUrl,
                                              store::ProjectHeader header) {
    SearchStart s;
    PrepareJob(mode);
    state_.keywordFlag = true;
    std::string name = MakeProjectName(b, KeyBaseFolder(), s.message);
    const SearchService service = ServiceFromName(b.engine);
    std::string url = queryUrl;
    if (service != SearchService::kHtml) {
        UseService(service);
        url = FirstResultPage(service, state_.serviceBase, b.keywords, state_.Types());
    }
    const std::string& queryAddress = url;
    s.startAddress = queryAddress;
    s.keywords = b.keywords;
    header.keywordsLine = "KEYWORDS=" + b.keywords;
    header.engineLine = "SEARCHENGINE=" + b.engine;
    header.urlLine = "URL=" + queryAddress;
    state_.header = header;
    ApplyFilterCode(header.filterValue);
    CPelquinarApp::AddToHistory(app_.keywords, b.keywords);
    StartInFolder(s, KeyBaseFolder(), name);
    return s;
}

SearchStart CSearchCommands::AdvancedWebSearch(const SearchBarText& bar,
                                               const AdvancedWebOptions& o) {
    SearchStart s;
    std::string address = TrimAddress(bar.address);
    if (address.empty()) {
        s.message = kNoAddress;
        return s;
    }
    // Start stores the dialog's choices as the new defaults.
    app_.maxLevels = std::clamp(o.depth, 0, CPelquinarApp::kMaxDepth);
    app_.imageMinSize = o.minKb;
    app_.imageMaxSize = o.maxKb;
    app_.imageMinWidth = std::clamp(o.minWidth, 0, CPelquinarApp::kMaxPixels);
    app_.imageMinHeight = std::clamp(o.minHeight, 0, CPelquinarApp::kMaxPixels);
    app_.bGif = o.gif;
    app_.bJpg = o.jpg;
    app_.bBmp = o.bmp;
    app_.bPng = o.png;
    app_.bWebp = o.webp;
    PrepareJob("advancedweb");
    state_.keywordFlag = false;
    state_.filter.keyword = o.filterKeywords;
    std::string name = o.projectName;
    for (char& c : name)
        if (c == '/') c = '=';
    if (name == "." || name == "..") name += "[1]";
    state_.header = store::ProjectHeader{};
    state_.header.statusText = "0 00:00:00";
    state_.header.filterValue =
        AdvancedWebFilterCode(o.gif, o.jpg, o.bmp, o.minKb, o.maxKb, o.png, o.webp);
    state_.header.urlLine = "URL=" + address;
    ApplyFilterCode(state_.header.filterValue);
    s.startAddress = address;
    CPelquinarApp::AddToHistory(app_.history, address);
    StartInFolder(s, WebBaseFolder(), name);
    return s;
}

SearchStart CSearchCommands::AdvancedKeywordSearch(const SearchBarText& bar, bool thumbnails,
                                                   bool big) {
    SearchBarText b = bar;
    b.keywords = TrimKeywords(bar.keywords);
    b.engine = EngineName(bar.engine);
    // Start stores the dialog's image style as the new default.
    app_.bThum = thumbnails;
    app_.bBig = big;
    if (b.keywords.empty()) {
        SearchStart s;
        s.message = kNoKeywords;
        return s;
    }
    store::ProjectHeader header;
    header.statusText = "0 00:00:00";
    header.filterValue = AdvancedKeyFilterCode(thumbnails, big);
    return StartKeywordKind(b, "advancedkey", AdvancedKeywordQueryUrl(b.keywords), header);
}

SearchStart CSearchCommands::Continue(const std::string& folderIn) {
    SearchStart s;
    std::string folder = folderIn;
    if (folder.empty() || folder.back() != '/') folder += '/';
    store::BrowsedProject p = store::ReadProjectForBrowsing(folder);
    if (!p.found) {
        s.message = "No project.inf in " + folder;
        return s;
    }
    if (p.url.empty()) {
        s.message = kNoAddress;
        return s;
    }
    PrepareJob("web");
    ApplyFilterCode(p.filterValue);
    // A simple project says itself which kind it is: a keyword search has its
    // keywords (and version 1.10); the search bar's last mode has no say.
    if (state_.mode == "key" || state_.mode == "web")
        state_.mode = (!p.keywords.empty() || p.version == "1.10") ? "key" : "web";
    state_.keywordFlag = state_.mode == "key" || state_.mode == "advancedkey";
    if (state_.keywordFlag && ServiceFromName(p.engine) != SearchService::kHtml) {
        UseService(ServiceFromName(p.engine));
        // The result pages' own address names the service that was asked.
        state_.serviceBase.clear();
    }
    state_.header = store::ProjectHeader{};
    state_.header.keywordsLine = "KEYWORDS=" + p.keywords;
    state_.header.engineLine = "SEARCHENGINE=" + p.engine;
    state_.header.urlLine = "URL=" + p.url;
    // What the project already holds is entered as queued-and-taken and as
    // downloaded: the crawl does not queue it again and the workers, in
    // "continue" mode, do not fetch it again.
    for (const auto& pic : p.pictures) {
        state_.queue.AppendTaken(pic.localName, pic.address);
        state_.AddDownloaded(DownloadedPicture{pic.localName, pic.address, std::string()});
    }
    state_.SetElapsedText(p.elapsed.empty() ? "00:00:00" : p.elapsed);
    state_.continueFlag = true;
    s.elapsedSeconds = SecondsOf(p.elapsed);
    s.startAddress = p.url;
    s.keywords = TrimTrailing(p.keywords);
    if (state_.keywordFlag)
        CPelquinarApp::AddToHistory(app_.keywords, s.keywords);
    else
        CPelquinarApp::AddToHistory(app_.history, s.startAddress);
    std::string trimmed = folder.substr(0, folder.size() - 1);
    s.projectName = trimmed.substr(trimmed.rfind('/') + 1);
    s.projectFolder = folder;
    doc_.SetProjectFolder(folder);
    doc_.StartSearch(s.startAddress, s.keywords);
    s.started = true;
    return s;
}

}  // namespace pq
