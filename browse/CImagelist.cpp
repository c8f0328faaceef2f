#include "browse/CImagelist.h"

#include <QFileInfo>

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

void CImagelist::ShowFolder(const QString& folder) {
    QString f = folder;
    if (!f.endsWith('/')) f += '/';
    list_->ShowFolder(f, QFileInfo::exists(f + "project.inf"), false);
}

bool CImagelist::GetBigPictures() {
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty() || list_->Folder().isEmpty()) return false;
    StopJobs();
    bigState_.queue.Reset();
    bigState_.ResetDownloads();
    bigShown_ = 0;
    bigState_.mode = "web";
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
        list_->Model().AddOne(QString::fromStdString(bigState_.ProjectFolder()),
                              QString::fromStdString(p.localName),
                              QString::fromStdString(p.address));
    }
}

void CImagelist::StopJobs() {
    for (auto& j : jobs_) j->Abort();
    for (auto& j : jobs_) {
        try {
            j->Kill(0, true);
        } catch (const CThreadException&) {
        }
    }
    jobs_.clear();
    OnBigSaved();
}

}  // namespace pq
