// The application's settings, held for the whole run: loaded once at start,
// written once at exit, read and changed in between by the commands and
// dialogs. The user-interface thread alone touches them; a search copies
// what it needs before it starts.
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "store/PictureIndex.h"

namespace pq {

class SettingsKey;

class CPelquinarApp {
public:
    static constexpr int kMaxListEntries = 50;
    // The deepest search the options and dialogs offer; a larger stored or
    // given depth is brought down to it.
    static constexpr int kMaxDepth = 20;

    // What the options offer: thumbnail width and height, the border, the
    // slide show's seconds, and the picture size bounds in KB. A stored
    // value beyond them is brought into them when loaded: a hand-edited
    // 100000 x 100000 thumbnail would take gigabytes, a delay of millions of
    // seconds overflows the timer.
    static constexpr int kThumbMin = 40, kThumbMax = 180, kBorderMax = 20;
    static constexpr int kDelayMin = 1, kDelayMax = 60;
    static constexpr int kMaxSizeKb = 1000000;
    // The smallest size on screen an advanced web search keeps is at most
    // this many pixels each way.
    static constexpr int kMaxPixels = 100000;

    // Thumbnail size and border, in pixels.
    int thumbWidth = 60;
    int thumbHeight = 60;
    int thumbBorder = 0;
    int slideDelay = 0;
    int imageMinSize = 0;  // KB
    int imageMaxSize = 0;  // KB
    // The smallest width and height on screen an advanced web search keeps,
    // in pixels ("imageminwidth", "imageminheight"; 0: no bound).
    int imageMinWidth = 0;
    int imageMinHeight = 0;
    bool bGif = false;
    bool bJpg = false;
    bool bBmp = false;
    bool bThum = false;
    bool bBig = false;
    int maxLevels = 0;
    // Largest picture any search keeps, in MB ("picturelimit").
    int pictureLimitMb = 64;
    // Picture transfers at once, 1 to 6 ("transfers"), and requests in
    // flight to one host, 1 to 16 ("hostconnections").
    int transfers = 6;
    int hostConnections = 6;
    static constexpr int kMaxTransfers = 6;
    static constexpr int kMaxHostConnections = 16;
    // Pages fetched ahead of the walk, 0 (one page at a time) to 16
    // ("pagesahead").
    int pagesAhead = 4;
    static constexpr int kMaxPagesAhead = 16;
    int maxPages = 0;
    int limit = 0;
    std::string useProxy;
    std::string proxy;
    std::string port;
    std::string userName;
    std::string password;
    std::string winMode;
    std::string listMode;
    std::string sListMode;
    std::string searchMode;
    std::string tabMode;
    // A picture already in the collection is not kept a second time
    // ("bNoDuplicates"); pictures sent to the trash from a project are not
    // fetched again ("bDeletedStay"). Both off by default: a search keeps
    // what it always kept.
    bool bNoDuplicates = false;
    bool bDeletedStay = false;
    // Where the picture index lies ("": the user's data folder); a demo
    // keeps one of its own.
    std::string indexPath;
    // The picture index the searches and the window share, opened on first
    // use; null when it cannot be opened (searches then go without it).
    std::shared_ptr<store::PictureIndex> PictureIndex();
    // Why it could not be opened, if it could not.
    const std::string& IndexProblem() const { return indexProblem_; }
    // No settings were stored before this run (Load found no "winmode").
    bool firstRun = false;
    std::string dirCreate;
    // The desktop wallpaper the user had before the program set its own.
    std::string prevWallpaper;
    std::string prevTileWallpaper;
    std::string prevWallpaperStyle;
    // Host (and optional port) of the image search service.
    std::string searchHost;
    // The open search services' addresses ("openversehost", "commonshost",
    // default their public APIs over https), and how their operators can
    // reach the user ("contact": an e-mail or web address, sent in the
    // User-Agent as their rules ask).
    std::string openverseHost;
    std::string commonsHost;
    std::string contact;
    // For one run only, never saved: the chosen service's "HOST[:PORT]",
    // asked over plain http (a local server).
    std::string serviceHostOverride;
    // PNG and WebP pictures ("bPng", "bWebp", default off: a search then
    // keeps what it always kept).
    bool bPng = false;
    bool bWebp = false;
    // Thumbnails are looked up in and written to the desktop's shared
    // thumbnail cache ("bThumbCache", default on; "0" turns it off).
    bool bThumbCache = true;

    std::vector<std::string> items;     // destination folders
    std::vector<std::string> keywords;  // past keyword searches, newest first
    std::vector<std::string> history;   // past web search addresses, newest first

    // The program's start directory, ending in "/": where "My Search" and
    // "My Pictures" lie. Set before Load to override the setting for one run
    // (--start-dir); otherwise Load takes it from "startdir", or the user's
    // Pictures folder + "Pelquinar/".
    std::string startDirectory;
    // The "startdir" setting as stored ("" for the default).
    std::string startDirSetting;
    static std::string DefaultStartDirectory();
    // Creates the start directory when missing; false when it cannot be.
    bool EnsureStartDirectory() const;

    // Loads every setting from the file at path (DefaultPath when empty).
    void Load(const QString& path = QString());
    // Writes every setting back to the file Load used.
    void Save();

    bool UsesProxy() const { return useProxy != "0"; }
    const QString& Path() const { return path_; }

    // A new entry goes to the front; an equal entry is removed first.
    static void AddToHistory(std::vector<std::string>& list, const std::string& entry);

private:
    std::shared_ptr<store::PictureIndex> index_;
    bool indexTried_ = false;
    std::string indexProblem_;

    void ReadList(SettingsKey& key, const std::string& prefix, std::vector<std::string>& list);
    void WriteList(SettingsKey& key, const std::string& prefix,
                   const std::vector<std::string>& list);
    QString path_;
};

}  // namespace pq
