// The frame's wallpaper commands: the picture on show made the desktop's
// wallpaper, tiled or full screen, and the one of before restored; where
// this desktop offers no setting, the commands say why they are off.
// User-interface thread only.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "shell/window/FrameParts.h"

class QMenu;

namespace pq {

class CWallpaper;
class IDesktopWallpaper;

class CFrameWallpaper : public QObject {
    Q_OBJECT
public:
    explicit CFrameWallpaper(FrameParts& parts, QObject* parent = nullptr);
    ~CFrameWallpaper() override;

    bool Run(int id);
    // The desktop whose wallpaper the commands set (tests give a fake one),
    // and the file the picture is written to.
    void SetDesktop(std::unique_ptr<IDesktopWallpaper> desktop, const QString& file);
    bool Available() const { return available_; }
    // Tiled, Full screen and Restore: the "Set Wallpaper" pop-up.
    void FillMenu(QMenu& menu) const;

private:
    FrameParts& p_;
    std::unique_ptr<IDesktopWallpaper> desktop_;
    std::unique_ptr<CWallpaper> wallpaper_;
    bool available_ = false;
};

}  // namespace pq
