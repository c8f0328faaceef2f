#include "browse/CDuplicatesDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
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

// A path that takes the room it is given: cut in the middle with "…" when
// that is too little, the whole of it in the tool tip. text() stays the
// whole path (screen readers, tests); what is drawn may be a shorter form.
class CElidedLabel : public QLabel {
public:
    CElidedLabel(const QString& text, QWidget* parent, const QString& shown = QString())
        : QLabel(text, parent), shown_(shown.isEmpty() ? text : shown) {
        setToolTip(text);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("M…M")) * 4);
        setTextInteractionFlags(Qt::NoTextInteraction);
    }
    QSize sizeHint() const override {
        return {fontMetrics().horizontalAdvance(shown_) + 2, QLabel::sizeHint().height()};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect r = contentsRect();
        painter.drawText(r, int(alignment()),
                         fontMetrics().elidedText(shown_, Qt::ElideMiddle, r.width()));
    }

private:
    QString shown_;
};

// A folder as a row shows it: below the folder looked in, from there
// ("My Pictures/Art/"), or that folder's own name; the whole path is in the
// tool tip and the scope line.
QString FolderShown(const QString& folder, const QString& scope) {
    if (folder == scope) return QDir(scope).dirName() + '/';
    if (folder.startsWith(scope)) return folder.mid(scope.size());
    return folder;
}

// What the list's place says when it holds no groups.
QWidget* Placeholder(const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName("duplicatesEmpty");
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setEnabled(false);  // drawn as a hint, not as content
    return label;
}

}  // namespace

CDuplicatesDialog::CDuplicatesDialog(CPictureIndexer& indexer, const QString& folder, bool below,
                                     CImagelist* list, QWidget* parent)
    : QDialog(parent),
      indexer_(&indexer),
      folder_(folder.endsWith('/') ? folder : folder + '/'),
      below_(below),
      list_(list),
      sink_(std::make_shared<CResultSink<Found>>(this, "DrainResults")),
      progress_(std::make_shared<CResultSink<Progress>>(this, "DrainProgress")) {
    setObjectName("duplicatesDialog");
    setAccessibleName(tr("Duplicate pictures"));
    setWindowTitle(tr("Find Duplicates"));
    auto* layout = new QVBoxLayout(this);
    auto* where = new CElidedLabel(
        below_ ? tr("In %1 and the folders below it").arg(folder_) : tr("In %1").arg(folder_),
        this);
    where->setObjectName("duplicatesScope");
    where->setAccessibleName(tr("Where duplicates are looked for"));
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

void CDuplicatesDialog::LetGoOfIndexer() {
    indexer_ = nullptr;
    ++ticket_;  // what was asked before is not shown
    trash_->setEnabled(false);
}

CDuplicatesDialog::~CDuplicatesDialog() {
    sink_->Detach();
    progress_->Detach();
}

void CDuplicatesDialog::Find() {
    if (!indexer_) return;
    ready_ = false;
    trash_->setEnabled(false);
    status_->setText(tr("Looking for duplicates..."));
    // The groups shown before go: what is chosen in them means nothing now.
    groups_.clear();
    choices_.clear();
    scroll_->setWidget(Placeholder(tr("Looking through the pictures...")));
    groupsBox_ = nullptr;
    const quint64 ticket = ++ticket_;
    const std::string folder = QFile::encodeName(folder_).toStdString();
    std::weak_ptr<CResultSink<Found>> sink = sink_;
    std::weak_ptr<CResultSink<Progress>> progress = progress_;
    const bool below = below_;
    indexer_->Post([sink, progress, ticket, folder, below](store::PictureIndex& index,
                                                           const std::atomic<bool>& stop) {
        // The index follows what the program did; what was done to the
        // files meanwhile by others is caught up with first.
        const std::vector<std::string> folders =
            below ? CPictureIndexer::FoldersUnder(folder, stop) : std::vector<std::string>{folder};
        for (size_t i = 0; i < folders.size(); ++i) {
            if (stop) return;
            CPictureIndexer::UpdateFolder(index, folders[i], stop);
            if (auto p = progress.lock()) p->Push({ticket, int(i + 1), int(folders.size())});
        }
        Found found;
        found.ticket = ticket;
        found.groups = store::FindDuplicates(below ? index.Under(folder) : index.In(folder));
        for (const store::DuplicateGroup& g : found.groups) {
            std::vector<QImage> thumbs;
            if (g.kind == store::DuplicateGroup::Kind::kLookAlike)
                for (const store::IndexedPicture& p : g.members) {
                    if (stop) return;
                    thumbs.push_back(
                        picture::LoadThumbnail(PathText(p.path), QSize(kThumbSide, kThumbSide))
                            .image);
                }
            found.thumbs.push_back(std::move(thumbs));
        }
        if (auto s = sink.lock()) s->Push(std::move(found));
    });
}

void CDuplicatesDialog::DrainProgress() {
    const std::vector<Progress> steps = progress_->Take();
    if (ready_) return;
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        if (it->ticket != ticket_) continue;
        status_->setText(
            it->of > 1
                ? tr("Looking for duplicates: %1 of %2 folders...").arg(it->folders).arg(it->of)
                : tr("Looking for duplicates..."));
        return;
    }
}

void CDuplicatesDialog::DrainResults() {
    for (Found& f : sink_->Take())
        if (f.ticket == ticket_) Show(std::move(f));
}

void CDuplicatesDialog::Show(Found found) {
    groups_ = std::move(found.groups);
    choices_.clear();
    if (groups_.empty()) {
        scroll_->setWidget(Placeholder(tr("Each picture here is kept only once.")));
        groupsBox_ = nullptr;
        status_->setText(Text(store::FoundText(groups_)));
        trash_->setEnabled(false);
        ready_ = true;
        emit Shown(0);
        return;
    }
    auto* box = new QWidget;
    box->setObjectName("duplicatesList");
    auto* layout = new QVBoxLayout(box);
    for (size_t i = 0; i < groups_.size(); ++i)
        layout->addWidget(MakeGroup(
            int(i), groups_[i], i < found.thumbs.size() ? found.thumbs[i] : std::vector<QImage>()));
    layout->addStretch(1);
    scroll_->setWidget(box);  // the one before goes
    groupsBox_ = box;
    status_->setText(Text(store::FoundText(groups_)));
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
        for (size_t m = 0; m < thumbs.size() && m < group.members.size(); ++m) {
            const QString name = QFileInfo(PathText(group.members[m].path)).fileName();
            auto* cell = new QVBoxLayout;
            auto* label = new QLabel(box);
            label->setObjectName(QStringLiteral("duplicateThumb%1_%2").arg(index).arg(m));
            label->setAccessibleName(name);
            label->setFixedSize(kThumbSide, kThumbSide);
            // Pictures of other sizes stand on one line, their names under them.
            label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            if (!thumbs[m].isNull())
                label->setPixmap(QPixmap::fromImage(thumbs[m]));
            else
                label->setText(tr("Cannot be shown"));
            cell->addWidget(label);
            // Which is which, under each picture.
            auto* caption = new CElidedLabel(name, box);
            caption->setObjectName(QStringLiteral("duplicateCaption%1_%2").arg(index).arg(m));
            caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
            caption->setFixedWidth(kThumbSide);
            cell->addWidget(caption);
            row->addLayout(cell);
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
        const QString where = info.absolutePath() + '/';
        auto* folder = new CElidedLabel(where, box, FolderShown(where, folder_));
        folder->setObjectName(QStringLiteral("folder%1_%2").arg(index).arg(m));
        folder->setAccessibleName(tr("Folder of %1").arg(info.fileName()));
        grid->addWidget(folder, r, 1);
        auto* size = new QLabel(CFileRecord::ListSizeText(p.size), box);
        size->setObjectName(QStringLiteral("size%1_%2").arg(index).arg(m));
        size->setAccessibleName(tr("Size of %1").arg(info.fileName()));
        size->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(size, r, 2);
        auto* dims = new QLabel(Text(store::DimensionsText(p.width, p.height)), box);
        dims->setObjectName(QStringLiteral("dimensions%1_%2").arg(index).arg(m));
        dims->setAccessibleName(tr("Dimensions of %1").arg(info.fileName()));
        dims->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
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
    if (!indexer_ || !ready_ || groups_.empty()) return true;
    QStringList files;
    for (const std::string& p : store::OthersOf(groups_, Kept())) files.append(PathText(p));
    if (files.isEmpty()) return true;
    if (aboutToTrash) aboutToTrash(files);
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
        if (indexer_) indexer_->Removed(gone);
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
