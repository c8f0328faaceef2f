#include "browse/CPictureListView.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QVBoxLayout>

#include "browse/CThumbnailer.h"
#include "browse/ThumbnailCache.h"
#include "engine/AdmissionRules.h"

namespace pq {

std::vector<BigPicture> BigPicturesOf(const CThumbListModel& model, const QList<int>& rows) {
    std::vector<BigPicture> out;
    for (int row : rows) {
        if (row < 0 || row >= model.rowCount()) continue;
        const auto& r = model.At(row);
        // An open service named the full picture; a classic result's
        // thumbnail carries its address inside its own.
        out.push_back(BigPicture{BigPictureName(r.record.name.toStdString()),
                                 r.bigAddress.isEmpty() ? BigPictureAddress(r.address.toStdString())
                                                        : r.bigAddress.toStdString()});
    }
    return out;
}

CPictureListView::CPictureListView(std::string& modeSetting, QWidget* parent)
    : QWidget(parent), modeSetting_(modeSetting) {
    list_ = new CThumbList(this);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(list_);
    list_->SetMode(modeSetting_);
    modeSetting_ = list_->Mode();
    connect(list_, &CThumbList::PictureChosen, this, &CPictureListView::PictureChosen);
}

void CPictureListView::SetMode(const std::string& mode) {
    list_->SetMode(mode);
    modeSetting_ = list_->Mode();
}

void CPictureListView::SetThumbnailCache(bool on) {
    list_->Thumbnailer().SetCache(on ? ThumbnailCache::Shared() : nullptr);
}

void CPictureListView::SelectRow(int row) {
    auto& model = list_->Model();
    if (row < 0 || row >= model.rowCount()) return;
    const QModelIndex index = model.index(row, 0);
    list_->Selection()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->CurrentView()->scrollTo(index);
}

QList<int> CPictureListView::SelectedRows() const {
    QList<int> rows = list_->SelectedRows();
    if (rows.size() > kMaxSelection) rows.resize(kMaxSelection);
    return rows;
}

}  // namespace pq
