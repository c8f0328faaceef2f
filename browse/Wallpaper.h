// The desktop wallpaper: the picture is written as "PQ wallpage.bmp" in the
// program's data folder and set through the running desktop's own setting,
// tiled or full screen; the wallpaper the user had before is kept (in the
// program's settings) and Restore puts it back.
// User-interface thread only.
#pragma once

#include <QString>
#include <memory>
#include <string>

namespace pq {

// One desktop's wallpaper setting: the picture (a path or a file URI, as the
// desktop keeps it) and the desktop's own placement option.
class IDesktopWallpaper {
public:
    struct Value {
        QString picture;
        QString option;
    };
    static constexpr const char* kTiled = "wallpaper";
    static constexpr const char* kFullScreen = "zoom";

    virtual ~IDesktopWallpaper() = default;
    virtual QString Name() const = 0;
    // Whether this desktop's setting can be read and written here.
    virtual bool Available() const = 0;
    virtual Value Get() const = 0;
    // option: kTiled, kFullScreen, or a value Get gave back.
    virtual bool Set(const Value& value) = 0;

    // The setting of the desktop this session runs (XDG_CURRENT_DESKTOP):
    // GNOME, Budgie, Cinnamon and MATE through GSettings, KDE Plasma through
    // its scripting interface, XFCE through xfconf. Null for any other.
    static std::unique_ptr<IDesktopWallpaper> ForThisDesktop();
    // The GSettings setting of one schema (for GNOME: picture-uri,
    // picture-uri-dark, picture-options).
    static std::unique_ptr<IDesktopWallpaper> GSettings(const QString& schema, bool pathNotUri);
};

// The saved wallpaper of before, as the settings keep it.
struct PreviousWallpaper {
    std::string& wallpaper;       // "PrevWallpaper"
    std::string& tileWallpaper;   // "PrevTileWallpaper": "1" tiled, "0" not
    std::string& wallpaperStyle;  // "PrevWallpaperStyle": the desktop's option
};

class CWallpaper {
public:
    CWallpaper(IDesktopWallpaper* desktop, PreviousWallpaper previous, QString file);

    // "PQ wallpage.bmp" in the program's data folder.
    static QString DefaultFile();
    bool Available() const { return desktop_ && desktop_->Available(); }
    QString DesktopName() const;

    // False when the wallpaper was not set (Problem() says why): the picture
    // could not be written as the wallpaper file, or the desktop refused.
    bool SetTiled(const QString& picture);
    bool SetFullScreen(const QString& picture);
    bool Restore();
    const QString& Problem() const { return problem_; }

    // The picture as BMP in the wallpaper file: a BMP copied byte for byte,
    // anything else converted.
    bool WriteFile(const QString& picture);
    const QString& File() const { return file_; }

private:
    // Keeps the desktop's wallpaper unless it is already this program's.
    void SavePrevious();
    bool CheckAvailable();
    bool Write(const QString& picture);
    bool Apply(const IDesktopWallpaper::Value& value);

    IDesktopWallpaper* desktop_;
    PreviousWallpaper previous_;
    QString file_;
    QString problem_;
};

}  // namespace pq
