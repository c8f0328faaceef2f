#include "shell/window/CFrameWallpaper.h"

#include <QMenu>

#include "browse/CImgContainerWnd.h"
#include "browse/Wallpaper.h"
#include "shell/CPelquinarApp.h"
#include "shell/window/CCommandTable.h"
#include "shell/window/CommandIds.h"

namespace pq {

CFrameWallpaper::CFrameWallpaper(FrameParts& parts, QObject* parent)
    : QObject(parent), p_(parts) {}

CFrameWallpaper::~CFrameWallpaper() = default;

bool CFrameWallpaper::Run(int id) {
    const QString picture = p_.preview->Picture()->Path();
    switch (id) {
        case cmd::kWallpaperTiled:
            if (wallpaper_ && !wallpaper_->SetTiled(picture)) p_.Message(wallpaper_->Problem());
            return true;
        case cmd::kWallpaperFull:
            if (wallpaper_ && !wallpaper_->SetFullScreen(picture))
                p_.Message(wallpaper_->Problem());
            return true;
        case cmd::kWallpaperRestore:
            if (wallpaper_ && !wallpaper_->Restore()) p_.Message(wallpaper_->Problem());
            return true;
        case cmd::kWallpaperButton:
            return true;  // its menu does the work
        default:
            return false;
    }
}

void CFrameWallpaper::SetDesktop(std::unique_ptr<IDesktopWallpaper> desktop, const QString& file) {
    desktop_ = std::move(desktop);
    CPelquinarApp& app = *p_.app;
    wallpaper_ = std::make_unique<CWallpaper>(
        desktop_.get(),
        PreviousWallpaper{app.prevWallpaper, app.prevTileWallpaper, app.prevWallpaperStyle}, file);
    // Asked once: the answer comes from running the desktop's own tool.
    available_ = wallpaper_->Available();
    const QString why = available_
                            ? QString()
                            : tr(" (not on this desktop: %1)")
                                  .arg(qEnvironmentVariable("XDG_CURRENT_DESKTOP", tr("unknown")));
    for (int id : {cmd::kWallpaperTiled, cmd::kWallpaperFull, cmd::kWallpaperRestore}) {
        QAction* a = p_.table->Action(id);
        for (const CommandSpec& spec : p_.table->Specs())
            if (spec.id == id) a->setToolTip(tr(spec.toolTip) + why);
    }
    p_.Update();
}

void CFrameWallpaper::FillMenu(QMenu& menu) const {
    for (int id : {cmd::kWallpaperTiled, cmd::kWallpaperFull, cmd::kWallpaperRestore})
        menu.addAction(p_.table->Action(id));
}

}  // namespace pq
