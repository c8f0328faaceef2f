// The window's enable and check rules in one place, without widgets: what
// the frame reads from its parts goes in, the state of every command comes
// out. The frame applies them whenever a menu opens or what they read
// changes; tests drive them directly.
#pragma once

#include <string>
#include <vector>

namespace pq {

struct CommandInputs {
    enum class Layout { kSearch, kManage, kDownload };
    enum class Placement { kLeft, kMiddle, kRight };

    bool searching = false;  // from the start of a search until its downloads end
    bool keywordMode = false;
    Layout layout = Layout::kManage;
    Placement placement = Placement::kLeft;
    bool fullView = false;
    bool historyShown = false;  // the history list is the list in view
    int historySelected = 0;    // projects selected there
    bool toolbarShown = true;
    bool urlBarShown = true;
    bool addressesKept = false;  // the address list or box holds something
    bool browsingList = true;    // the list in use is the browsing list (else the search's)
    int rows = 0;                // rows of the list in use
    int selected = 0;            // rows selected there
    std::string mode;            // its display mode
    int cursor = -1;             // the row on show, -1 for none
    bool slideShow = false;
    float zoom = -1.0f;       // -1: best fit
    float fitZoom = 1.0f;     // the scale best fit shows now
    bool picture = false;  // a picture is on show
    bool wallpaperAvailable = false;
    bool categorySelected = false;
    bool indexOpen = false;         // the picture index could be opened
    bool folderInView = false;      // the browsing list shows a folder (Find Duplicates looks there)
};

struct CommandState {
    int id;
    bool enabled;
    int checked;  // -1: no check mark to set, else 0 or 1
};

std::vector<CommandState> CommandStates(const CommandInputs& in);

}  // namespace pq
