// The parts of the main window that its command handlers share: the
// settings, the search job, the bars and the views. The frame makes them
// and hands them to each handler; a test can make the parts a handler needs
// without a frame.
// User-interface thread only.
#pragma once

#include <QString>
#include <functional>

class QMainWindow;
class QToolBar;

namespace pq {

class CCommandTable;
class CImagelist;
class CImgContainerWnd;
class CPaneLayout;
class CPelquinarApp;
class CPelquinarDoc;
class CPictureIndexer;
class CPictureListView;
class CSearchBar;
class CSearchCommands;
class CSearchState;
class CSearchimagelist;
class CStatusPanes;
class Chistorylist;
class Ctreemanage;

struct FrameParts {
    CPelquinarApp* app = nullptr;
    CSearchState* state = nullptr;
    CPelquinarDoc* doc = nullptr;
    CSearchCommands* commands = nullptr;
    CCommandTable* table = nullptr;
    CSearchBar* searchBar = nullptr;
    CStatusPanes* panes = nullptr;
    CPaneLayout* layout = nullptr;
    CImagelist* imageList = nullptr;
    CSearchimagelist* searchList = nullptr;
    CImgContainerWnd* preview = nullptr;
    Ctreemanage* tree = nullptr;
    Chistorylist* history = nullptr;
    CPictureIndexer* indexer = nullptr;  // null when the picture index cannot be opened
    QMainWindow* window = nullptr;
    QToolBar* toolbar = nullptr;  // the main toolbar
    QToolBar* topBar = nullptr;   // the two tabs and Continue
    QToolBar* urlBar = nullptr;   // holds the search bar
    // A message for the user (a message box in the window).
    std::function<void(const QString&)> message;
    // The enable and check rules run again.
    std::function<void()> update;

    // The list the view commands act on: the search's in the search
    // layout, the browsing list elsewhere.
    CPictureListView* ActiveList() const;
    void Message(const QString& text) const {
        if (message) message(text);
    }
    void Update() const {
        if (update) update();
    }
};

}  // namespace pq
