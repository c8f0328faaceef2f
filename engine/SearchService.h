// The image search services a keyword search can ask: the HTML result pages
// of the classic service, and two open services with documented JSON APIs
// (Openverse and Wikimedia Commons) whose pictures carry open licences.
// An adapter turns one JSON result page into the crawl's terms: the pictures
// (thumbnail, full picture, a file name, the credits) and the next result
// page. No Qt.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/Credits.h"

namespace pq {

enum class SearchService { kHtml, kOpenverse, kCommons };

// The picture types a search may keep (beyond those every search keeps).
struct PictureTypes {
    bool jpg = true;
    bool gif = true;
    bool bmp = true;
    bool png = false;
    bool webp = false;
};

struct ServiceResult {
    std::string thumbnail;  // may be "" when the service gave none
    std::string full;       // may be "" when the service gave none
    std::string fileName;   // a name for the picture's file, with its extension
    store::Credit credit;
};

struct ServicePage {
    bool ok = false;
    std::string problem;  // why a page could not be read, for the user
    std::vector<ServiceResult> results;
    std::string next;  // the next result page, or ""
    int skipped = 0;   // entries left out (a missing address, a type not wanted)
};

// Results asked for per page: the most either service gives without a key.
inline constexpr int kServicePageSize = 20;
// Openverse serves no result page past the 20th without a key.
inline constexpr int kOpenverseMaxPages = 20;

// The name in the engine box ("Google Image Search", "Openverse",
// "Wikimedia Commons"); the name as project.inf's SEARCHENGINE line keeps
// it, without spaces; the command line's word (google, openverse, commons).
std::string ServiceTitle(SearchService service);
std::string ServiceRecordName(SearchService service);
std::string ServiceWord(SearchService service);
// The service an engine box text, a SEARCHENGINE value or a command-line
// word names; the HTML service for anything else.
SearchService ServiceFromName(std::string_view name);
bool ServiceFromWord(std::string_view word, SearchService& service);

// The public API address of an open service ("https://api.openverse.org").
std::string DefaultServiceBase(SearchService service);
// The least time between two result-page requests to the service, by its
// published rules for clients without a key.
int ServicePageIntervalMs(SearchService service);
// "Pelquinar/1.10 (contact: ...)": who asks, and how to reach them.
std::string ServiceUserAgent(const std::string& contact);

// The first result page for the keywords, base being the service's address
// ("https://api.openverse.org", or "http://127.0.0.1:8080" for a local one).
std::string FirstResultPage(SearchService service, const std::string& base,
                            const std::string& keywords, const PictureTypes& types);
// Reads one result page the service answered at pageAddress. pagesWanted
// bounds the walk: no next page is given past it.
ServicePage ParseResultPage(SearchService service, const std::string& pageAddress,
                            std::string_view body, const PictureTypes& types, int pagesWanted);

// The query's value percent-encoded for an address ("red cat" as "red%20cat").
std::string QueryEncode(std::string_view text);

}  // namespace pq
