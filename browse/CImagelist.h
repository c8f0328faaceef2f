// The browsing view: one folder at a time (a project, a category, a day of
// the history), with the commands on its selection. Get Big Pictures runs
// download jobs of its own, apart from any search.
// User-interface thread only.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "browse/CFileOperations.h"
#include "browse/CFrameSearchUi.h"
#include "browse/CPictureListView.h"
#include "engine/CSearchState.h"

namespace pq {

class CBallThread;
class CPictureIndexer;

class CImagelist : public CPictureListView {
    Q_OBJECT
public:
    CImagelist(std::string& modeSetting, QWidget* parent = nullptr);
    ~CImagelist() override;

    // A project folder is read from its project.inf (with the addresses);
    // any other folder is listed.
    void ShowFolder(const QString& folder);
    // Queues the big pictures of the selected rows into the folder shown
    // and starts one download job (six for more than 20); false when no
    // row is selected.
    bool GetBigPictures();
    // Copies or moves the selected files into destination (nothing when it
    // is the folder shown); a move takes their rows away. False when
    // something went wrong (the user was told).
    bool CopySelection(const QString& destination, bool move);
    // The same for any files (dropped on a category): the rows of files
    // that left the folder shown go.
    bool CopyFiles(const QStringList& files, const QString& destination, bool move);
    // Moves the selected files to the trash; rows whose files are gone go.
    bool DeleteSelection();
    // Moves files to the trash (asking before deleting one for good as
    // DeleteSelection does); the rows of those gone from the folder shown
    // go. handled gets the files that went.
    bool DeleteFiles(const QStringList& files, QStringList* handled = nullptr);

    // The picture index this list keeps in step with what it shows, moves
    // and deletes; none by default.
    void SetIndexer(CPictureIndexer* indexer) { indexer_ = indexer; }
    CPictureIndexer* Indexer() const { return indexer_; }

    // The questions and messages of the file operations; message boxes
    // unless replaced (tests answer them).
    std::function<CFileOperations::CollisionAnswer(const QString&)> askCollision;
    std::function<bool(const QString&)> askDeleteForGood;
    std::function<void(const QString&)> report;

    // The User-Agent of Get Big Pictures' requests ("": the plain agent
    // name); the window gives the one the open services' rules ask for.
    void SetUserAgent(const std::string& agent) { userAgent_ = agent; }

    int JobCount() const { return int(jobs_.size()); }
    bool JobsRunning() const { return !jobs_.empty(); }
    void StopJobs();

private:
    void OnBigSaved();
    QStringList SelectedPaths(QList<int>& rows) const;
    void Report(const QString& text);

    CSearchState bigState_;
    CFrameSearchUi bigUi_;
    std::vector<std::unique_ptr<CBallThread>> jobs_;
    std::string userAgent_;
    int bigShown_ = 0;
    CPictureIndexer* indexer_ = nullptr;
};

}  // namespace pq
