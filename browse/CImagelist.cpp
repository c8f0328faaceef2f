#include "browse/CImagelist.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

#include "browse/CPictureIndexer.h"
#include "engine/CBallThread.h"
#include "engine/CThreadException.h"

namespace pq {

CImagelist::CImagelist(std::string& modeSetting, QWidget* parent)
    : CPictureListView(modeSetting, parent) {
    setObjectName("imageList");
    setAccessibleName(tr("Pictures of the folder"));
    connect(&bigUi_, &CFrameSearchUi::Saved, this, &CImagelist::OnBigSaved, Qt::QueuedConnection);
    connect(&bigUi_, &CFrameSearchUi::DownloadsDone, this, &CImagelist::StopJobs,
            Qt::QueuedConnection);
}

CImagelist::~CImagelist() { StopJobs(); }

QStringList CImagelist::SelectedPaths(QList<int>& rows) const {
    rows = SelectedRows();
    QStringList paths;
    for (int r : rows) paths.append(list_->Model().PathOf(r));
    return paths;
}

// The progress of a file operation: a dialog once the work has gone on for
// half a second. While a question waits for the user it is held back (it
// would come up over the question and take its clicks), and after the
// answer its half second starts afresh.
class CFileProgress {
public:
    static constexpr int kDelayMs = 500;

    CFileProgress(QWidget* parent, const QString& title, int total)
        : parent_(parent), title_(title), total_(total) {
        since_.start();
    }

    bool Step(int done) {
        if (held_) return true;
        if (!dialog_ && since_.elapsed() >= kDelayMs) {
            dialog_ = std::make_unique<QProgressDialog>(title_, QObject::tr("Cancel"), 0, total_,
                                                        parent_);
            dialog_->setObjectName("fileProgress");
            dialog_->setWindowModality(Qt::WindowModal);
            dialog_->setMinimumDuration(0);
        }
        if (!dialog_) return true;
        if (dialog_->isHidden() && since_.elapsed() >= kDelayMs) dialog_->show();
        dialog_->setValue(done);
        return !dialog_->wasCanceled();
    }
    void Hold() {
        held_ = true;
        if (dialog_) dialog_->hide();
    }
    void Resume() {
        held_ = false;
        since_.restart();
    }

private:
    QWidget* parent_;
    QString title_;
    int total_;
    bool held_ = false;
    QElapsedTimer since_;
    std::unique_ptr<QProgressDialog> dialog_;
};

bool CImagelist::CopySelection(const QString& destination, bool move) {
    QList<int> rows;
    const QStringList files = SelectedPaths(rows);
    if (CFileOperations::SameFolder(destination, list_->Folder())) return true;
    return CopyFiles(files, destination, move);
}

bool CImagelist::CopyFiles(const QStringList& files, const QString& destination, bool move) {
    if (files.isEmpty() || destination.isEmpty()) return true;
    auto ask = askCollision ? askCollision : [this](const QString& name) {
        QMessageBox box(QMessageBox::Question, tr("Pelquinar"),
                        tr("%1 is already in the destination folder.").arg(name),
                        QMessageBox::NoButton, this);
        box.setObjectName("collisionQuestion");
        QPushButton* replace = box.addButton(tr("Replace"), QMessageBox::AcceptRole);
        QPushButton* skip = box.addButton(tr("Skip"), QMessageBox::RejectRole);
        QPushButton* both = box.addButton(tr("Keep Both"), QMessageBox::ActionRole);
        replace->setObjectName("replaceButton");
        skip->setObjectName("skipButton");
        both->setObjectName("keepBothButton");
        box.addButton(QMessageBox::Cancel);
        auto* all = new QCheckBox(tr("Do this for all"), &box);
        box.setCheckBox(all);
        box.exec();
        CFileOperations::CollisionAnswer a;
        a.forAll = all->isChecked();
        a.choice = box.clickedButton() == replace ? CFileOperations::Collision::kReplace
                   : box.clickedButton() == skip  ? CFileOperations::Collision::kSkip
                   : box.clickedButton() == both  ? CFileOperations::Collision::kKeepBoth
                                                  : CFileOperations::Collision::kCancel;
        return a;
    };
    CFileProgress progress(this, move ? tr("Moving pictures...") : tr("Copying pictures..."),
                           int(files.size()));
    const auto result = CFileOperations::Copy(
        files, destination, move,
        [&](const QString& name) {
            progress.Hold();
            const auto answer = ask(name);
            progress.Resume();
            return answer;
        },
        [&](int done, int) { return progress.Step(done); });
    // The rows of the files that went leave together.
    if (move) list_->Model().RemoveRows(list_->Model().RowsOfPaths(result.handled));
    if (indexer_ && move)
        indexer_->Moved(result.handled, result.targets);
    else if (indexer_)
        indexer_->EnterFiles(result.targets);
    for (const QString& same : result.sameFile)
        Report(tr("%1 was left alone: the file it would replace in the destination is the "
                  "picture itself.")
                   .arg(same));
    if (result.failedFile.isEmpty()) return true;
    Report(tr("%1 could not be %2: %3")
               .arg(result.failedFile, move ? tr("moved") : tr("copied"), result.reason));
    return false;
}

void CImagelist::Report(const QString& text) {
    if (report)
        report(text);
    else
        QMessageBox::warning(this, tr("Pelquinar"), text);
}

bool CImagelist::DeleteSelection() {
    QList<int> rows;
    return DeleteFiles(SelectedPaths(rows));
}

bool CImagelist::DeleteFiles(const QStringList& files, QStringList* handled) {
    if (files.isEmpty()) return true;
    auto ask = askDeleteForGood ? askDeleteForGood : [this](const QString& path) {
        return QMessageBox::question(
                   this, tr("Pelquinar"),
                   tr("%1 cannot be moved to the trash. Delete it for good?").arg(path),
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    CFileProgress progress(this, tr("Deleting pictures..."), int(files.size()));
    const auto result = CFileOperations::Delete(
        files,
        [&](const QString& path) {
            progress.Hold();
            const bool answer = ask(path);
            progress.Resume();
            return answer;
        },
        [&](int done, int) { return progress.Step(done); });
    QStringList gone;
    for (const QString& f : files)
        if (!QFileInfo::exists(f)) gone.append(f);
    list_->Model().RemoveRows(list_->Model().RowsOfPaths(gone));
    if (indexer_) indexer_->Removed(gone);
    if (handled) *handled = result.handled;
    if (result.failedFile.isEmpty()) return true;
    Report(tr("%1 could not be deleted: %2").arg(result.failedFile, result.reason));
    return false;
}

void CImagelist::ShowFolder(const QString& folder) {
    QString f = folder;
    if (!f.endsWith('/')) f += '/';
    list_->ShowFolder(f, QFileInfo::exists(f + "project.inf"), false);
    if (indexer_) indexer_->EnterFolder(f);
}

bool CImagelist::GetBigPictures() {
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty() || list_->Folder().isEmpty()) return false;
    StopJobs();
    bigState_.queue.Reset();
    bigState_.ResetDownloads();
    bigShown_ = 0;
    bigState_.mode = "web";
    bigState_.writesStatusLine = false;
    bigState_.userAgent = userAgent_;
    bigState_.SetProjectFolder(list_->Folder().toStdString());
    for (const BigPicture& b : BigPicturesOf(list_->Model(), rows)) {
        bigState_.queue.MakeRoom();
        bigState_.queue.Append(b.localName, b.address);
    }
    // The crawl has nothing to do here: the first job to find the queue
    // drained reports the end.
    bigState_.idleFlag = true;
    const int jobs = bigState_.queue.Queued() < 21 ? 1 : 6;
    for (int i = 0; i < jobs; ++i) {
        auto job = std::make_unique<CBallThread>(bigState_, bigUi_, "new");
        try {
            job->Start();
        } catch (const CThreadException&) {
            break;
        }
        job->SetPriority(-15);
        jobs_.push_back(std::move(job));
    }
    return true;
}

void CImagelist::OnBigSaved() {
    DownloadedPicture p;
    while (bigState_.DownloadedAt(bigShown_, p)) {
        ++bigShown_;
        QString folder = QString::fromStdString(bigState_.ProjectFolder());
        if (!folder.endsWith('/')) folder += '/';
        list_->Model().AddOne(folder, QString::fromStdString(p.localName),
                              QString::fromStdString(p.address));
        if (indexer_) indexer_->EnterFiles({folder + QString::fromStdString(p.localName)});
    }
}

void CImagelist::StopJobs() {
    StopWorkers(jobs_);
    OnBigSaved();
}

}  // namespace pq
