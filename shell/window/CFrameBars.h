// The frame's menus and toolbars, made from the command table: the main
// menu, the main toolbar with its three drop-down buttons (view modes,
// wallpaper, preview placement), the top bar with its two tabs and
// Continue, and the bar that holds the search bar.
// User-interface thread only.
#pragma once

#include <QObject>

#include "shell/window/FrameParts.h"

class QMenu;
class QToolButton;

namespace pq {


class CFrameBars : public QObject {
    Q_OBJECT
public:
    // Fills parts.toolbar, topBar, urlBar and searchBar.
    CFrameBars(FrameParts& parts, QObject* parent = nullptr);

    // The main menu, sharing the toolbar buttons' pop-ups.
    void BuildMenus();

    QToolButton* SearchTab() const { return searchTab_; }
    QToolButton* BrowserTab() const { return browserTab_; }
    QMenu* ViewModesMenu() const { return viewModes_; }
    QMenu* WallpaperMenu() const { return wallpaper_; }
    QMenu* PlacementMenu() const { return placement_; }

signals:
    // A menu is about to show: its rules run first.
    void MenuOpening();

private:
    void BuildToolbars();
    QToolButton* DropButton(int id, QMenu* menu, const char* name);

    FrameParts& p_;
    QToolButton* searchTab_ = nullptr;
    QToolButton* browserTab_ = nullptr;
    QMenu* viewModes_ = nullptr;
    QMenu* wallpaper_ = nullptr;
    QMenu* placement_ = nullptr;
};

}  // namespace pq
