#include "browse/CDuplicatesDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "browse/CFileOperations.h"
#include "browse/CImagelist.h"
#include "browse/CPictureIndexer.h"
#include "browse/FileRecord.h"
#include "browse/PictureLoader.h"

namespace pq {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }
QString PathText(const std::string& path) { return QFile::decodeName(path.c_str()); }

}  // namespace

CDuplicatesDialog::CDuplicatesDialog(CPictureIndexer& indexer, const QString& folder, bool below,
                                     CImagelist* list, QWidget* parent)
    : QDialog(parent),
      indexer_(indexer),
      folder_(folder.endsWith('/') ? folder : folder + '/'),
      below_(below),
      list_(list),
      sink_(std::make_shared<CResultSink<Found>>(this, "DrainResults")) {
    setObjectName("duplicatesDialog");
    setAccessibleName(tr("Duplicate pictures"));
    setWindowTitle(tr("Find Duplicates"));
    auto* layout = new QVBoxLayout(this);
    auto* where = new QLabel(tr("In %1%2").arg(folder_, below_ ? tr(" and below") : QString()),
                             this);
    where->setObjectName("duplicatesScope");
    layout->addWidget(where);
    status_ = new QLabel(this);
    status_->setObjectName("duplicatesStatus");
    status_->setAccessibleName(tr("What was found"));
    layout->addWidget(status_);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("duplicatesGroups");
    scroll_->setAccessibleName(tr("Groups of duplicates"));
    scroll_->setWidgetResizable(true);
    layout->addWidget(scroll_, 1);
    auto* buttons = new QDialogButtonBox(this);
    trash_ = buttons->addButton(tr("Move the Others to the Trash"), QDialogButtonBox::ActionRole);
    trash_->setObjectName("trashOthersButton");
    trash_->setAccessibleName(tr("Move the pictures not kept to the trash"));
    trash_->setToolTip(tr("Keep the picture chosen in each group; the others go to the trash"));
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName("closeButton");
    connect(trash_, &QPushButton::clicked, this, [this] { TrashOthers(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(720, 560);
    Find();
}

CDuplicatesDialog::~CDuplicatesDialog() { sink_->Detach(); }

void CDuplicatesDialog::Find() {
    ready_ = false;
    trash_->setEnabled(false);
    status_->setText(tr("Looking for duplicates..."));
    const quint64 ticket = ++ticket_;
    const std::string folder = QFile::encodeName(folder_).toStdString();
    std::weak_ptr<CResultSink<Found>> sink = sink_;
    const bool below = below_;
    indexer_.Post([sink, ticket, folder, below](store::PictureIndex& index,
                                                const std::atomic<bool>& stop) {
        // The index follows what the program did; what was done to the
        // files meanwhile by others is caught up with first.
        const std::vector<std::string> folders =
            below ? CPictureIndexer::FoldersUnder(folder, stop) : std::vector<std::string>{folder};
        for (const std::string& f : folders) {
            if (stop) return;
            CPictureIndexer::UpdateFolder(index, f, stop);
        }
        Found found;
        found.ticket = ticket;
        found.groups = store::FindDuplicates(below ? index.Under(folder) : index.In(folder));
        for (const store::DuplicateGroup& g : found.groups) {
            std::vector<QImage> thumbs;
            if (g.kind == store::DuplicateGroup::Kind::kLookAlike)
                for (const store::IndexedPicture& p : g.members) {
                    if (stop) return;
                    thumbs.push_back(picture::LoadThumbnail(PathText(p.path),
                                                            QSize(kThumbSide, kThumbSide))
                                         .image);
                }
            found.thumbs.push_back(std::move(thumbs));
        }
        if (auto s = sink.lock()) s->Push(std::move(found));
    });
}

void CDuplicatesDialog::DrainResults() {
    for (Found& f : sink_->Take())
        if (f.ticket == ticket_) Show(std::move(f));
}

void CDuplicatesDialog::Show(Found found) {
    groups_ = std::move(found.groups);
    choices_.clear();
    auto* box = new QWidget;
    box->setObjectName("duplicatesList");
    auto* layout = new QVBoxLayout(box);
    for (size_t i = 0; i < groups_.size(); ++i)
        layout->addWidget(MakeGroup(int(i), groups_[i],
                                    i < found.thumbs.size() ? found.thumbs[i]
                                                            : std::vector<QImage>()));
    layout->addStretch(1);
    scroll_->setWidget(box);  // the one before goes
    groupsBox_ = box;
    int same = 0, alike = 0;
    for (const auto& g : groups_) (g.kind == store::DuplicateGroup::Kind::kSameBytes ? same : alike)++;
    status_->setText(groups_.empty() ? tr("No duplicates found.")
                                     : tr("%1 groups of the same picture, %2 of look-alikes.")
                                           .arg(same)
                                           .arg(alike));
    trash_->setEnabled(!groups_.empty());
    ready_ = true;
    emit Shown(int(groups_.size()));
}

QWidget* CDuplicatesDialog::MakeGroup(int index, const store::DuplicateGroup& group,
                                      const std::vector<QImage>& thumbs) {
    auto* box = new QGroupBox(Text(store::GroupTitle(group)));
    box->setObjectName(QStringLiteral("duplicateGroup%1").arg(index));
    box->setAccessibleName(Text(store::GroupTitle(group)));
    auto* layout = new QVBoxLayout(box);
    if (!thumbs.empty()) {
        // Look-alikes are judged by eye: their pictures side by side.
        auto* row = new QHBoxLayout;
        for (size_t m = 0; m < thumbs.size(); ++m) {
            auto* label = new QLabel(box);
            label->setObjectName(QStringLiteral("duplicateThumb%1_%2").arg(index).arg(m));
            label->setAccessibleName(QFileInfo(PathText(group.members[m].path)).fileName());
            label->setFixedSize(kThumbSide, kThumbSide);
            label->setAlignment(Qt::AlignCenter);
            if (!thumbs[m].isNull()) label->setPixmap(QPixmap::fromImage(thumbs[m]));
            row->addWidget(label);
        }
        row->addStretch(1);
        layout->addLayout(row);
    }
    auto* grid = new QGridLayout;
    auto* choice = new QButtonGroup(box);
    for (size_t m = 0; m < group.members.size(); ++m) {
        const store::IndexedPicture& p = group.members[m];
        const QFileInfo info(PathText(p.path));
        auto* keep = new QRadioButton(info.fileName(), box);
        keep->setObjectName(QStringLiteral("keep%1_%2").arg(index).arg(m));
        keep->setAccessibleName(tr("Keep %1").arg(info.fileName()));
        keep->setChecked(m == 0);
        choice->addButton(keep, int(m));
        const int r = int(m);
        grid->addWidget(keep, r, 0);
        auto* folder = new QLabel(info.absolutePath() + '/', box);
        folder->setObjectName(QStringLiteral("folder%1_%2").arg(index).arg(m));
        grid->addWidget(folder, r, 1);
        auto* size = new QLabel(CFileRecord::ListSizeText(p.size), box);
        size->setObjectName(QStringLiteral("size%1_%2").arg(index).arg(m));
        grid->addWidget(size, r, 2);
        auto* dims = new QLabel(Text(store::DimensionsText(p.width, p.height)), box);
        dims->setObjectName(QStringLiteral("dimensions%1_%2").arg(index).arg(m));
        grid->addWidget(dims, r, 3);
    }
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    choices_.append(choice);
    return box;
}

std::vector<size_t> CDuplicatesDialog::Kept() const {
    std::vector<size_t> kept;
    for (QButtonGroup* g : choices_) kept.push_back(size_t(std::max(0, g->checkedId())));
    return kept;
}

void CDuplicatesDialog::Keep(int group, int member) {
    if (group < 0 || group >= choices_.size()) return;
    if (QAbstractButton* b = choices_[group]->button(member)) b->setChecked(true);
}

bool CDuplicatesDialog::TrashOthers() {
    if (!ready_ || groups_.empty()) return true;
    QStringList files;
    for (const std::string& p : store::OthersOf(groups_, Kept())) files.append(PathText(p));
    if (files.isEmpty()) return true;
    bool ok = true;
    QStringList gone;
    if (list_) {
        ok = list_->DeleteFiles(files, &gone);
    } else {
        const auto result = CFileOperations::Delete(files, [this](const QString& path) {
            return QMessageBox::question(
                       this, tr("Pelquinar"),
                       tr("%1 cannot be moved to the trash. Delete it for good?").arg(path),
                       QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
        });
        gone = result.handled;
        indexer_.Removed(gone);
        if (!result.failedFile.isEmpty()) {
            ok = false;
            const QString text =
                tr("%1 could not be deleted: %2").arg(result.failedFile, result.reason);
            if (report)
                report(text);
            else
                QMessageBox::warning(this, tr("Pelquinar"), text);
        }
    }
    if (!gone.isEmpty()) emit Trashed(gone);
    // What is left is found afresh: a group that lost all but one goes.
    Find();
    return ok;
}

}  // namespace pq
