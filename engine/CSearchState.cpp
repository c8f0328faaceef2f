#include "engine/CSearchState.h"

#include "engine/CUrl.h"

namespace pq {

CSearchState::CSearchState() { SetSearchHost("images.google.com"); }

void CSearchState::SetSearchHost(const std::string& host) {
    resultPagePrefix_ = "http://" + host + "/images?q=";
    resultPicturePrefix_ = "http://" + host + "/images?";
}

void CSearchState::SetProjectFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    projectFolder_ = folder;
}

std::string CSearchState::ProjectFolder() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return projectFolder_;
}

void CSearchState::SetElapsedText(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    elapsedText_ = text;
}

std::string CSearchState::ElapsedText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return elapsedText_;
}

void CSearchState::SetStatusText(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    statusText_ = text;
}

std::string CSearchState::StatusText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return statusText_;
}

void CSearchState::AddDownloaded(const DownloadedPicture& picture) {
    std::lock_guard<std::mutex> lock(mutex_);
    downloaded_.push_back(picture);
    downloadedAddresses_.insert(EncodeForRequest(picture.address));
    downloadedNames_.insert(picture.localName);
    downloadedCount_.fetch_add(1);
}

bool CSearchState::IsDownloadedName(const std::string& localName) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return downloadedNames_.count(localName) != 0;
}

bool CSearchState::IsDownloadedAddress(const std::string& address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return downloadedAddresses_.count(EncodeForRequest(address)) != 0;
}

bool CSearchState::DownloadedAt(int i, DownloadedPicture& picture) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (i < 0 || i >= int(downloaded_.size())) return false;
    picture = downloaded_[size_t(i)];
    return true;
}

std::vector<DownloadedPicture> CSearchState::Downloaded() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return downloaded_;
}

void CSearchState::SetCredit(const std::string& address, const store::Credit& credit) {
    std::lock_guard<std::mutex> lock(mutex_);
    credits_[EncodeForRequest(address)] = credit;
}

bool CSearchState::CreditFor(const std::string& address, store::Credit& credit) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = credits_.find(EncodeForRequest(address));
    if (it == credits_.end()) return false;
    credit = it->second;
    return true;
}

void CSearchState::ResetDownloads() {
    std::lock_guard<std::mutex> lock(mutex_);
    credits_.clear();
    downloaded_.clear();
    downloadedAddresses_.clear();
    downloadedNames_.clear();
    downloadedCount_ = 0;
}

}  // namespace pq
