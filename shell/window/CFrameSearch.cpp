#include "shell/window/CFrameSearch.h"

#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>

#include "browse/CFrameSearchUi.h"
#include "browse/CImagelist.h"
#include "browse/CSearchimagelist.h"
#include "browse/Chistorylist.h"
#include "browse/FileRecord.h"
#include "engine/SearchService.h"
#include "shell/CPelquinarApp.h"
#include "shell/FrameRules.h"
#include "shell/window/CAdvancedSearchDialogs.h"
#include "shell/window/CFrameHistory.h"
#include "shell/window/CFrameLayout.h"
#include "shell/window/CFramePreview.h"
#include "shell/window/CSearchBar.h"
#include "shell/window/CStatusPanes.h"
#include "shell/window/CommandIds.h"

namespace pq {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CFrameSearch::CFrameSearch(FrameParts& parts, CFrameLayout& layout, CFramePreview& preview,
                           CFrameHistory& history, QObject* parent)
    : QObject(parent), p_(parts), layout_(layout), preview_(preview), history_(history) {
    clock_ = new QTimer(this);
    clock_->setInterval(kClockMs);
    connect(clock_, &QTimer::timeout, this, &CFrameSearch::OnClockTick);
    for (QTimer** t : {&endTimer38_, &endTimer48_}) {
        *t = new QTimer(this);
        (*t)->setSingleShot(true);
        connect(*t, &QTimer::timeout, this, &CFrameSearch::OnSearchEnded);
    }
    connect(p_.searchBar, &CSearchBar::HistoryRequested, this,
            [this](const QString& address) { history_.ShowAddress(address); });
}

bool CFrameSearch::Run(int id) {
    switch (id) {
        case cmd::kGo:
            Go();
            return true;
        case cmd::kKeywordsSearch:
            KeywordsSearch();
            return true;
        case cmd::kAdvancedSearch:
            AdvancedSearch();
            return true;
        case cmd::kStop:
            Stop();
            return true;
        case cmd::kContinue:
            ContinueProject();
            return true;
        case cmd::kKeywordsMode:
            SetSearchMode("searchkey");
            return true;
        case cmd::kWebMode:
            SetSearchMode("searchweb");
            return true;
        case cmd::kSwitch:
            SetSearchMode(p_.searchBar->KeywordMode() ? "searchweb" : "searchkey");
            return true;
        case cmd::kClearHistory:
            ClearHistoryAddress();
            return true;
        default:
            return false;
    }
}

void CFrameSearch::Connect(CFrameSearchUi& ui) {
    // Every engine call arrives here queued, on this thread.
    const auto q = Qt::QueuedConnection;
    connect(
        &ui, &CFrameSearchUi::PaneText, this,
        [this](int pane, const QString& text) { layout_.SetSearchPane(pane, text); }, q);
    connect(
        &ui, &CFrameSearchUi::TimerStart, this,
        [this](int id) {
            if (id == ISearchUi::kClockTimer)
                clock_->start();
            else
                p_.panes->StartTimer(id);
        },
        q);
    connect(
        &ui, &CFrameSearchUi::TimerStop, this,
        [this](int id) {
            if (id == ISearchUi::kClockTimer)
                clock_->stop();
            else
                p_.panes->StopTimer(id);
            p_.Update();
        },
        q);
    connect(&ui, &CFrameSearchUi::StatusMessage, this, &CFrameSearch::OnStatusMessage, q);
    connect(&ui, &CFrameSearchUi::Ended, this, &CFrameSearch::OnSearchEnded, q);
    connect(
        &ui, &CFrameSearchUi::HistoryEntry, this,
        [this](const QString& count) {
            RefreshHistoryLists();
            history_.AddEntry(current_, count, p_.state->keywordFlag.load());
        },
        q);
    connect(
        &ui, &CFrameSearchUi::Saved, this, [this](int) { p_.searchList->OnPicturesSaved(); }, q);
    connect(&ui, &CFrameSearchUi::DownloadsDone, this, &CFrameSearch::OnDownloadsEnded, q);
    connect(
        &ui, &CFrameSearchUi::Error, this, [this](const QString& m) { p_.Message(m); }, q);
    // What a search left out is no reason for a message box: it shows in the
    // status bar for a while (its whole text in the tool tip).
    connect(
        &ui, &CFrameSearchUi::LogLine, this,
        [this](const QString& line) { p_.window->statusBar()->showMessage(line, 10000); }, q);
}

void CFrameSearch::OnStatusMessage(const QString& text) {
    // The engine says "Ready" once its workers are started: while they
    // work, the pane keeps saying that the search runs.
    if (running_ && text == QLatin1String("Ready")) return;
    layout_.SetSearchPane(4, text);
}

void CFrameSearch::Go() {
    std::string address = CSearchCommands::TrimAddress(p_.searchBar->AddressText());
    p_.searchBar->SetAddressText(address);
    if (address.empty() || address == "http://") return;
    const std::string problem = CSearchCommands::AddressProblem(address);
    if (!problem.empty()) {
        p_.Message(Q(problem));
        return;
    }
    SearchBarText bar{address, p_.searchBar->KeywordText(), p_.searchBar->EngineText()};
    SearchStart s = p_.commands->WebSearch(bar);
    if (!s.message.empty()) p_.Message(Q(s.message));
    Started(s);
}

void CFrameSearch::KeywordsSearch() {
    if (!p_.searchBar->KeywordMode()) {
        Go();
        return;
    }
    SearchBarText bar{p_.searchBar->AddressText(), p_.searchBar->KeywordText(),
                      p_.searchBar->EngineText()};
    if (CSearchCommands::TrimKeywords(bar.keywords).empty()) {
        p_.Message(QLatin1String(CSearchCommands::kNoKeywords));
        return;
    }
    SearchStart s = p_.commands->KeywordSearch(bar);
    if (!s.message.empty()) p_.Message(Q(s.message));
    Started(s);
}

void CFrameSearch::AdvancedSearch() {
    CPelquinarApp& app = *p_.app;
    CSearchBar* bar = p_.searchBar;
    if (bar->KeywordMode()) {
        CAdvancedKeyDialog dialog(Q(bar->KeywordText()), app.bThum, app.bBig, p_.window,
                                  Q(bar->EngineText()));
        if (dialog.exec() != QDialog::Accepted) return;
        bar->SetKeywordText(dialog.Keywords());
        SearchBarText text{bar->AddressText(), dialog.Keywords(), dialog.Engine()};
        SearchStart s =
            p_.commands->AdvancedKeywordSearch(text, dialog.Thumbnails(), dialog.Big());
        if (!s.message.empty()) p_.Message(Q(s.message));
        Started(s);
        return;
    }
    std::string address = CSearchCommands::TrimAddress(bar->AddressText());
    if (address == "http://") address.clear();
    AdvancedWebOptions initial;
    std::string message;
    SearchBarText text{address, "", ""};
    initial.projectName =
        p_.commands->MakeProjectName(text, p_.commands->WebBaseFolder(), message);
    initial.depth = std::clamp(app.maxLevels, 0, int(CPelquinarApp::kMaxDepth));
    initial.jpg = app.bJpg;
    initial.gif = app.bGif;
    initial.bmp = app.bBmp;
    initial.png = app.bPng;
    initial.webp = app.bWebp;
    initial.minKb = app.imageMinSize;
    initial.maxKb = app.imageMaxSize;
    initial.minWidth = app.imageMinWidth;
    initial.minHeight = app.imageMinHeight;
    if (!message.empty()) {
        p_.Message(Q(message));
        return;
    }
    const std::string problem = CSearchCommands::AddressProblem(address);
    if (!problem.empty()) {
        p_.Message(Q(problem));
        return;
    }
    CAdvancedWebDialog dialog(initial, p_.window);
    if (dialog.exec() != QDialog::Accepted) return;
    SearchStart s = p_.commands->AdvancedWebSearch(text, dialog.Options());
    // The dialog's types are the new defaults, the lists' types with them.
    CFileRecord::SetExtraTypes(app.bPng, app.bWebp);
    if (!s.message.empty()) p_.Message(Q(s.message));
    Started(s);
}

void CFrameSearch::ContinueProject() {
    const QStringList folders = p_.history->SelectedFolders();
    if (folders.size() != 1 || running_) return;
    SearchStart s = p_.commands->Continue(folders.first().toStdString());
    if (!s.message.empty()) p_.Message(Q(s.message));
    Started(s, true);
}

void CFrameSearch::Started(const SearchStart& s, bool continuing) {
    if (!s.started) {
        if (s.folderFailed)
            p_.Message(tr("The project folder %1 cannot be made.").arg(Q(s.projectFolder)));
        p_.Update();
        return;
    }
    running_ = true;
    current_ = s;
    elapsedSeconds_ = s.elapsedSeconds;
    CFrameLayout::Texts texts = CFrameLayout::FreshSearchTexts();
    texts[3] = Q(frame::ElapsedText(elapsedSeconds_));
    texts[4] = tr("Searching %1").arg(Q(s.startAddress));
    layout_.SetSearchTexts(texts);
    layout_.SetSearchLayout();
    p_.panes->SetBarsVisible(true);
    clock_->start();
    p_.searchList->StartSearch(Q(s.projectFolder), continuing);
    // Nothing of the list shown before stays in the preview.
    preview_.Clear();
    RefreshHistoryLists();
    p_.Update();
}

void CFrameSearch::Stop() {
    p_.doc->OnStop();
    running_ = false;
    clock_->stop();
    layout_.SetSearchPane(4, tr("Stopped"));
    p_.Update();
}

void CFrameSearch::OnClockTick() {
    ++elapsedSeconds_;
    const std::string text = frame::ElapsedText(elapsedSeconds_);
    p_.state->SetElapsedText(text);
    layout_.SetSearchPane(3, Q(text));
}

void CFrameSearch::StartEndTimer(int id) {
    if (id == 38) endTimer38_->start(0);
    if (id == 48) endTimer48_->start(0);
}

void CFrameSearch::OnSearchEnded() {
    // The crawl is over; Stop stays enabled while downloads go on.
    if (p_.doc->StartPageFailed())
        layout_.SetSearchPane(4, tr("The start page failed: %1").arg(Q(p_.doc->StartPageError())));
    layout_.SearchEnded();
    p_.Update();
}

void CFrameSearch::OnDownloadsEnded() {
    const bool wasRunning = running_;
    running_ = false;
    history_.DownloadsEnded(current_.projectFolder, p_.state->DownloadedCount());
    p_.searchList->OnPicturesSaved();
    // The browsing list shows the finished project.
    p_.imageList->List().ShowFolder(Q(p_.state->ProjectFolder()), true, true);
    for (int id : {ISearchUi::kPageTimer, ISearchUi::kFoundTimer, ISearchUi::kDownloadTimer})
        p_.panes->StopTimer(id);
    clock_->stop();
    // A failed start page keeps its message; a search that ran says so.
    if (wasRunning && !p_.doc->StartPageFailed())
        layout_.SetSearchPane(4, tr("Ready"));
    p_.Update();
}

void CFrameSearch::EndForClose() {
    if (p_.doc->IsCrawling() || running_) p_.doc->OnStop();
    running_ = false;
    p_.doc->EndSearch();
    clock_->stop();
}

void CFrameSearch::SetSearchMode(const std::string& mode) {
    p_.app->searchMode = mode;
    p_.searchBar->SetMode(mode);
}

void CFrameSearch::RefreshHistoryLists() {
    p_.searchBar->SetAddressHistory(p_.app->history);
    p_.searchBar->SetKeywordHistory(p_.app->keywords);
}

void CFrameSearch::ClearHistoryAddress() {
    p_.app->history.clear();
    p_.searchBar->SetAddressHistory(p_.app->history);
    p_.searchBar->SetAddressText("");
}

}  // namespace pq
