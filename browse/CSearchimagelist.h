// The view of the running or last search: its project folder, with a row
// added as each picture is saved.
// User-interface thread only.
#pragma once

#include "browse/CPictureListView.h"

namespace pq {

class CPictureIndexer;
class CSearchState;

class CSearchimagelist : public CPictureListView {
    Q_OBJECT
public:
    CSearchimagelist(std::string& modeSetting, CSearchState& state, QWidget* parent = nullptr);

    // A new search empties the list; a continued one shows what its project
    // holds already.
    void StartSearch(const QString& projectFolder, bool continuing);
    // Adds the pictures saved since the last call, in the order they were
    // saved, each once.
    void OnPicturesSaved();
    // Queues the big pictures of the selected rows for the search's own
    // download workers.
    int GetBigPictures();
    int Shown() const { return shown_; }
    // The picture index the pictures saved are entered into; none by
    // default.
    void SetIndexer(CPictureIndexer* indexer) { indexer_ = indexer; }

private:
    CSearchState& state_;
    int shown_ = 0;
    CPictureIndexer* indexer_ = nullptr;
};

}  // namespace pq
