#include "browse/CSearchimagelist.h"

#include "browse/CPictureIndexer.h"
#include "engine/CSearchState.h"

namespace pq {

CSearchimagelist::CSearchimagelist(std::string& modeSetting, CSearchState& state, QWidget* parent)
    : CPictureListView(modeSetting, parent), state_(state) {
    setObjectName("searchImageList");
    setAccessibleName(tr("Pictures of the search"));
}

void CSearchimagelist::StartSearch(const QString& projectFolder, bool continuing) {
    // What the search saves from now on comes row by row, counted from
    // before the folder is read: a picture saved while it is read is in the
    // listing or comes as a row (once; AddOne skips a file listed already),
    // where counting after the read lost it.
    const int before = state_.DownloadedCount();
    // Read at once: the search adds its rows right after.
    list_->ShowFolderNow(projectFolder, continuing);
    shown_ = before;
}

void CSearchimagelist::OnPicturesSaved() {
    DownloadedPicture p;
    QString folder = list_->Folder();
    if (!folder.endsWith('/')) folder += '/';
    QStringList saved;
    while (state_.DownloadedAt(shown_, p)) {
        ++shown_;
        list_->Model().AddOne(folder, QString::fromStdString(p.localName),
                              QString::fromStdString(p.address));
        saved.append(folder + QString::fromStdString(p.localName));
    }
    // Entered once more is nothing: a picture current in the index is
    // left as it is.
    if (indexer_ && !saved.isEmpty()) indexer_->EnterFiles(saved);
}

int CSearchimagelist::GetBigPictures() {
    int n = 0;
    for (const BigPicture& b : BigPicturesOf(list_->Model(), SelectedRows())) {
        state_.queue.MakeRoom();
        state_.queue.Append(b.localName, b.address);
        ++n;
    }
    return n;
}

}  // namespace pq
