#include "shell/CPelquinarApp.h"

#include <QDir>
#include <QStandardPaths>
#include <algorithm>
#include <cstdlib>
#include <limits>

#include "shell/SettingsKey.h"

namespace pq {

namespace {

// A decimal number the way the settings have always been read: leading
// digits count, anything that is not a number reads as 0. Digits beyond
// what an int holds give its largest (or smallest) value, which the
// corrections then bring into range.
int ToInt(const std::string& text) {
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    return int(
        std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Reads a value into text, emptying it first, so a value that cannot be
// read counts as empty text.
std::string ReadText(const SettingsKey& key, const char* name) {
    std::string text;
    key.Read(name, text);
    return text;
}

}  // namespace

void CPelquinarApp::AddToHistory(std::vector<std::string>& list, const std::string& entry) {
    list.erase(std::remove(list.begin(), list.end(), entry), list.end());
    list.insert(list.begin(), entry);
}

void CPelquinarApp::ReadList(SettingsKey& key, const std::string& prefix,
                             std::vector<std::string>& list) {
    list.clear();
    for (int i = 0; i < kMaxListEntries; ++i) {
        std::string text;
        if (!key.Read(prefix + std::to_string(i), text) || text.empty()) break;
        list.push_back(text);
    }
}

void CPelquinarApp::WriteList(SettingsKey& key, const std::string& prefix,
                              const std::vector<std::string>& list) {
    for (int i = 0; i < kMaxListEntries; ++i) key.Remove(prefix + std::to_string(i));
    for (size_t i = 0; i < list.size(); ++i) key.Write(prefix + std::to_string(i), list[i]);
}

std::string CPelquinarApp::DefaultStartDirectory() {
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty()) pictures = QDir::homePath() + "/Pictures";
    return QDir::cleanPath(pictures).toStdString() + "/Pelquinar/";
}

bool CPelquinarApp::EnsureStartDirectory() const {
    return !startDirectory.empty() && QDir().mkpath(QString::fromStdString(startDirectory));
}

std::shared_ptr<store::PictureIndex> CPelquinarApp::PictureIndex() {
    if (indexTried_) return index_;
    indexTried_ = true;
    auto index = std::make_shared<store::PictureIndex>();
    const std::string path = indexPath.empty() ? store::PictureIndex::DefaultPath() : indexPath;
    if (index->Open(path, &indexProblem_))
        index_ = std::move(index);
    else if (indexProblem_.empty())
        indexProblem_ = "The picture index " + path + " cannot be opened.";
    return index_;
}

void CPelquinarApp::Load(const QString& path) {
    path_ = path.isEmpty() ? SettingsKey::DefaultPath() : path;
    SettingsKey key;
    key.Open(path_);

    // A program started from the desktop runs in the home folder, which is
    // no place for "My Search": the start directory is a setting.
    startDirSetting = ReadText(key, "startdir");
    if (startDirectory.empty()) {
        startDirectory = startDirSetting.empty() ? DefaultStartDirectory() : startDirSetting;
    }
    if (startDirectory.back() != '/') startDirectory += '/';

    ReadList(key, "Keyword", keywords);
    ReadList(key, "Item", items);
    ReadList(key, "History", history);

    firstRun = ReadText(key, "winmode").empty();
    if (firstRun) {
        // First run: the picture settings start from their defaults.
        thumbWidth = 80;
        thumbHeight = 80;
        thumbBorder = 15;
        slideDelay = 1;
        imageMinSize = 0;
        imageMaxSize = 900;
        bGif = bJpg = bBmp = bThum = true;
        bBig = false;
    } else {
        std::string t = ReadText(key, "thumbsize");
        int parts[3] = {0, 0, 0};
        size_t pos = 0;
        for (int i = 0; i < 3 && pos <= t.size(); ++i) {
            size_t comma = t.find(',', pos);
            parts[i] =
                ToInt(t.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
            if (comma == std::string::npos) break;
            pos = comma + 1;
        }
        thumbWidth = parts[0] < kThumbMin ? 80 : std::min(parts[0], int(kThumbMax));
        thumbHeight = parts[1] < kThumbMin ? 80 : std::min(parts[1], int(kThumbMax));
        thumbBorder = parts[2] < 5 ? 15 : std::min(parts[2], int(kBorderMax));
        slideDelay = ToInt(ReadText(key, "slidedelay"));
        if (slideDelay == 0) slideDelay = 1;
        slideDelay = std::clamp(slideDelay, int(kDelayMin), int(kDelayMax));
        imageMinSize = std::clamp(ToInt(ReadText(key, "imageminsize")), 0, int(kMaxSizeKb));
        imageMaxSize = ToInt(ReadText(key, "imagemaxsize"));
        if (imageMaxSize <= 2) imageMaxSize = 900;
        imageMaxSize = std::min(imageMaxSize, int(kMaxSizeKb));
        bGif = ReadText(key, "bGif") == "1";
        bJpg = ReadText(key, "bJpg") == "1";
        bBmp = ReadText(key, "bBmp") == "1";
        bThum = ReadText(key, "bThum") == "1";
        bBig = ReadText(key, "bBig") == "1";
    }

    // Newer than the first-run defaults: missing reads as 0, no bound.
    imageMinWidth = std::clamp(ToInt(ReadText(key, "imageminwidth")), 0, int(kMaxPixels));
    imageMinHeight = std::clamp(ToInt(ReadText(key, "imageminheight")), 0, int(kMaxPixels));

    auto withDefault = [&](const char* name, const char* def) {
        std::string v = ReadText(key, name);
        return v.empty() ? std::string(def) : v;
    };
    winMode = withDefault("winmode", "left");
    listMode = withDefault("listmode", "smallbmp");
    sListMode = withDefault("slistmode", "smallbmp");
    searchMode = withDefault("searchmode", "searchweb");
    tabMode = withDefault("tabmode", "search");
    dirCreate = withDefault("dircreate", "-1");

    maxLevels = ToInt(ReadText(key, "maxlevels"));
    if (maxLevels == 0) maxLevels = 2;
    // A hand-edited depth beyond what the options offer would make every
    // search walk without end; a negative one means nothing.
    if (maxLevels > kMaxDepth) maxLevels = kMaxDepth;
    if (maxLevels < 0) maxLevels = 2;
    pictureLimitMb = ToInt(ReadText(key, "picturelimit"));
    if (pictureLimitMb <= 0 || pictureLimitMb > 4096) pictureLimitMb = 64;
    transfers = ToInt(ReadText(key, "transfers"));
    if (transfers <= 0 || transfers > kMaxTransfers) transfers = kMaxTransfers;
    hostConnections = ToInt(ReadText(key, "hostconnections"));
    if (hostConnections <= 0 || hostConnections > kMaxHostConnections) hostConnections = 6;
    {
        const std::string ahead = ReadText(key, "pagesahead");
        pagesAhead = ahead.empty() ? 4 : ToInt(ahead);
        if (pagesAhead < 0 || pagesAhead > kMaxPagesAhead) pagesAhead = 4;
    }
    maxPages = ToInt(ReadText(key, "maxpages"));
    if (maxPages == 0) maxPages = 1;
    limit = ToInt(ReadText(key, "limit"));
    useProxy = withDefault("useproxy", "0");
    proxy = ReadText(key, "proxy");
    port = ReadText(key, "port");
    userName = ReadText(key, "username");
    password = ReadText(key, "password");
    searchHost = withDefault("searchhost", "images.google.com");
    openverseHost = withDefault("openversehost", "https://api.openverse.org");
    commonsHost = withDefault("commonshost", "https://commons.wikimedia.org");
    contact = ReadText(key, "contact");
    bPng = ReadText(key, "bPng") == "1";
    bWebp = ReadText(key, "bWebp") == "1";
    bThumbCache = ReadText(key, "bThumbCache") != "0";
    bNoDuplicates = ReadText(key, "bNoDuplicates") == "1";
    bDeletedStay = ReadText(key, "bDeletedStay") == "1";
    prevWallpaper = ReadText(key, "PrevWallpaper");
    prevTileWallpaper = ReadText(key, "PrevTileWallpaper");
    prevWallpaperStyle = ReadText(key, "PrevWallpaperStyle");
    key.Close();
}

void CPelquinarApp::Save() {
    SettingsKey key;
    key.Open(path_.isEmpty() ? SettingsKey::DefaultPath() : path_);
    WriteList(key, "Item", items);
    WriteList(key, "History", history);
    key.Write("thumbsize", std::to_string(thumbWidth) + "," + std::to_string(thumbHeight) + "," +
                               std::to_string(thumbBorder));
    key.Write("slidedelay", std::to_string(slideDelay));
    key.Write("imageminsize", std::to_string(imageMinSize));
    key.Write("imagemaxsize", std::to_string(imageMaxSize));
    key.Write("imageminwidth", std::to_string(imageMinWidth));
    key.Write("imageminheight", std::to_string(imageMinHeight));
    key.Write("bGif", bGif ? "1" : "0");
    key.Write("bJpg", bJpg ? "1" : "0");
    key.Write("bBmp", bBmp ? "1" : "0");
    key.Write("bThum", bThum ? "1" : "0");
    key.Write("bBig", bBig ? "1" : "0");
    key.Write("winmode", winMode);
    key.Write("listmode", listMode);
    key.Write("slistmode", sListMode);
    key.Write("searchmode", searchMode);
    key.Write("tabmode", tabMode);
    key.Write("dircreate", dirCreate);
    WriteList(key, "Keyword", keywords);
    key.Write("maxlevels", std::to_string(maxLevels));
    key.Write("picturelimit", std::to_string(pictureLimitMb));
    key.Write("transfers", std::to_string(transfers));
    key.Write("hostconnections", std::to_string(hostConnections));
    key.Write("pagesahead", std::to_string(pagesAhead));
    key.Write("maxpages", std::to_string(maxPages));
    key.Write("limit", std::to_string(limit));
    key.Write("useproxy", useProxy);
    key.Write("proxy", proxy);
    key.Write("port", port);
    key.Write("username", userName);
    key.Write("password", password);
    key.Write("searchhost", searchHost);
    key.Write("openversehost", openverseHost);
    key.Write("commonshost", commonsHost);
    key.Write("contact", contact);
    key.Write("bPng", bPng ? "1" : "0");
    key.Write("bWebp", bWebp ? "1" : "0");
    key.Write("bThumbCache", bThumbCache ? "1" : "0");
    key.Write("bNoDuplicates", bNoDuplicates ? "1" : "0");
    key.Write("bDeletedStay", bDeletedStay ? "1" : "0");
    key.Write("startdir", startDirSetting);
    key.Write("PrevWallpaper", prevWallpaper);
    key.Write("PrevTileWallpaper", prevTileWallpaper);
    key.Write("PrevWallpaperStyle", prevWallpaperStyle);
    key.Close();
}

}  // namespace pq
