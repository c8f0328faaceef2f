// What the two picture views share: a CThumbList filling the pane, its
// display mode kept in a setting, the picture chosen, select all, invert
// selection, and the big-picture rule. CImagelist browses folders;
// CSearchimagelist shows the running search.
// User-interface thread only.
#pragma once

#include <QWidget>
#include <string>

#include "browse/CThumbList.h"
#include "engine/CPictureQueue.h"

namespace pq {

// The queue entries of Get Big Pictures for the selected rows: the local
// name with "big" before its extension, and the address the row's source
// address carries after its last colon, with "http://" in front.
struct BigPicture {
    std::string localName;
    std::string address;
};
std::vector<BigPicture> BigPicturesOf(const CThumbListModel& model, const QList<int>& rows);

class CPictureListView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxSelection = 10000;

    // modeSetting: where the display mode is kept ("listmode" or
    // "slistmode" of the settings), read now and written on every change.
    CPictureListView(std::string& modeSetting, QWidget* parent = nullptr);

    CThumbList& List() { return *list_; }
    void SetMode(const std::string& mode);
    const std::string& Mode() const { return list_->Mode(); }
    void SetThumbSize(const QSize& size) { list_->SetThumbSize(size); }
    // Thumbnails through the user's shared thumbnail cache, or decoded
    // every time.
    void SetThumbnailCache(bool on);
    // Moves the selection to row (previous/next), and shows it.
    void SelectRow(int row);
    // The selected rows, at most kMaxSelection.
    QList<int> SelectedRows() const;

signals:
    void PictureChosen(const QString& path, int row, int count);

protected:
    CThumbList* list_;
    std::string& modeSetting_;
};

}  // namespace pq
