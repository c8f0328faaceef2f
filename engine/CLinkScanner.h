// Picks the links and picture references out of a page: the tag rules of the
// crawl on top of CTagParser. Link tags (a, frame, area) give pages to follow
// or pictures; embedding tags (img, body, bgsound, embed, applet, meta) give
// pictures; the first title tag gives the page title.
// One scanner is used by one thread at a time.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CTagParser.h"

namespace pq {

class CUrl;

class CLinkScanner : public CTagParser {
public:
    static constexpr int kMaxAddressChars = 1000;
    static constexpr int kMaxReferenceChars = 4 * kMaxAddressChars;

    CLinkScanner();
    ~CLinkScanner() override;

    // Empties both lists, sets the title to "Untitled", collect pictures off.
    void Reset();
    void SetBaseAddress(const std::string& address);
    void SetCollectPictures(bool on) { collectPictures_ = on; }
    // The scan ends at the next tag once *stop is set (another thread may
    // set it). Reset forgets the flag.
    void SetStopFlag(const std::atomic<bool>* stop) { stop_ = stop; }

    const std::string& Title() const { return title_; }
    const std::vector<std::string>& Links() const { return links_; }
    const std::vector<std::string>& Pictures() const { return pictures_; }

    // The extension rules, public for the admission rules and the tests.
    // The extension is the last '.' of the last path component and all that
    // follows it, query included, lower-cased and cut at its first '#'.
    static std::string ExtensionOf(const std::string& address);
    static bool IsKnownExtension(const std::string& ext);
    // PNG and WebP references count as known when the search keeps them.
    void SetExtraPictureTypes(bool png, bool webp) {
        png_ = png;
        webp_ = webp;
    }
    bool Knows(const std::string& ext) const {
        return IsKnownExtension(ext) || (png_ && ext == ".png") || (webp_ && ext == ".webp");
    }
    static bool IsPageExtension(const std::string& ext);

    // The reference resolved against the page; false when it cannot be.
    bool Resolve(const std::string& reference, std::string& resolved);
    // The same result for the common plain reference ("pics/a.jpg",
    // "/b/page.html"), made by joining it to the base's folder or origin
    // rather than by libcurl; false, leaving the work to Resolve's general
    // path, for anything else.
    bool ResolvePlain(std::string_view reference, std::string& resolved) const;

protected:
    bool HandleTag(const std::string& tagName, int closePos,
                   const std::vector<TagAttribute>& attributes) override;
    bool WantsAttributes(const std::string& tagName) override;

private:
    std::unique_ptr<CUrl> base_;  // the rebuilt base, or null when it has none
    // Parsed once per page: the base as libcurl spells it, its origin
    // ("http://host:port") and its folder (up to the path's last "/").
    std::string baseUrl_;
    std::string baseOrigin_;
    std::string baseFolder_;
    std::string title_;
    std::vector<std::string> links_;
    std::vector<std::string> pictures_;
    bool collectPictures_ = false;
    bool png_ = false;
    bool webp_ = false;
    const std::atomic<bool>* stop_ = nullptr;
};

}  // namespace pq
