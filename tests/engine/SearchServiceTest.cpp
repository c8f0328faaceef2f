// The open search services: their answers read into pictures, credits and
// the next page, and keyword searches against local fakes of both APIs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/SearchService.h"
#include "store/Credits.h"
#include "store/ProjectFile.h"
#include "tests/engine/CrawlFixture.h"

namespace pq {
namespace {

namespace fs = std::filesystem;
using test::PictureBytes;

// A recorded answer of the service, cut down, with its host made local.
std::string Recorded(const std::string& file, const std::string& host) {
    std::ifstream in(std::string(PQ_TEST_DATA_DIR) + file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t at = text.find("HOST"); at != std::string::npos; at = text.find("HOST", at))
        text.replace(at, 4, host);
    return text;
}

TEST(Services, NamesWordsAndFirstPages) {
    for (SearchService s :
         {SearchService::kHtml, SearchService::kOpenverse, SearchService::kCommons}) {
        EXPECT_EQ(ServiceFromName(ServiceTitle(s)), s);
        EXPECT_EQ(ServiceFromName(ServiceRecordName(s)), s);
        SearchService back = SearchService::kHtml;
        EXPECT_TRUE(ServiceFromWord(ServiceWord(s), back));
        EXPECT_EQ(back, s);
    }
    SearchService none;
    EXPECT_FALSE(ServiceFromWord("bing", none));
    EXPECT_EQ(ServiceFromName("google Image Search"), SearchService::kHtml);
    EXPECT_EQ(DefaultServiceBase(SearchService::kOpenverse), "https://api.openverse.org");
    EXPECT_EQ(DefaultServiceBase(SearchService::kCommons), "https://commons.wikimedia.org");

    PictureTypes types;
    EXPECT_EQ(FirstResultPage(SearchService::kOpenverse, "http://h:1/", "red cat", types),
              "http://h:1/v1/images/?q=red%20cat&extension=jpg%2Cgif&page=1&page_size=20");
    types.png = true;
    EXPECT_NE(FirstResultPage(SearchService::kOpenverse, "http://h", "x", types)
                  .find("extension=jpg%2Cgif%2Cpng&"),
              std::string::npos);
    const std::string commons = FirstResultPage(SearchService::kCommons, "http://h", "a&b", types);
    for (const char* part :
         {"http://h/w/api.php?action=query&format=json&formatversion=2", "generator=search",
          "gsrnamespace=6", "gsrsearch=a%26b%20filetype%3Abitmap", "gsrlimit=20", "gsroffset=0",
          "prop=imageinfo", "iiprop=url%7Csize%7Cmime%7Cextmetadata", "iiurlwidth=180"})
        EXPECT_NE(commons.find(part), std::string::npos) << part;
    EXPECT_NE(ServiceUserAgent("me@example.org").find("me@example.org"), std::string::npos);
}

TEST(Services, AnOpenversePageGivesPicturesCreditsAndTheNextPage) {
    const std::string address = "http://h/v1/images/?q=cat&page=1&page_size=20";
    ServicePage page = ParseResultPage(SearchService::kOpenverse, address,
                                       Recorded("openverse-page1.json", "h"), PictureTypes{}, 3);
    ASSERT_TRUE(page.ok) << page.problem;
    ASSERT_EQ(page.results.size(), 2u);
    EXPECT_EQ(page.skipped, 1) << "the entry without any address";
    const ServiceResult& r = page.results[0];
    EXPECT_EQ(r.full, "http://h/pics/red-cat.jpg");
    EXPECT_EQ(r.thumbnail, "http://h/v1/images/4bc43a04-ef46-4544-a0c1-63c63f56e276/thumb/");
    EXPECT_EQ(r.fileName, "red-cat.jpg");
    EXPECT_EQ(r.credit.title, "Red cat on a wall");
    EXPECT_EQ(r.credit.creator, "Jane Doe");
    EXPECT_EQ(r.credit.LicenseText(), "CC BY-SA 2.0");
    EXPECT_EQ(r.credit.licenseUrl, "https://creativecommons.org/licenses/by-sa/2.0/");
    EXPECT_EQ(r.credit.landingPage, "https://www.flickr.com/photos/someone/1234");
    EXPECT_EQ(page.results[1].credit.creator, "") << "a null creator is no creator";
    EXPECT_EQ(page.results[1].credit.LicenseText(), "CC0 1.0");
    EXPECT_EQ(page.next, "http://h/v1/images/?q=cat&page=2&page_size=20");

    // The last page the walk wants, or the service has, names no next page.
    EXPECT_EQ(ParseResultPage(SearchService::kOpenverse, address,
                              Recorded("openverse-page1.json", "h"), PictureTypes{}, 1)
                  .next,
              "");
    EXPECT_EQ(
        ParseResultPage(SearchService::kOpenverse, "http://h/v1/images/?q=cat&page=2&page_size=20",
                        Recorded("openverse-page1.json", "h"), PictureTypes{}, 5)
            .next,
        "");
    // GIF not kept: the kitten is left out.
    PictureTypes noGif;
    noGif.gif = false;
    EXPECT_EQ(ParseResultPage(SearchService::kOpenverse, address,
                              Recorded("openverse-page1.json", "h"), noGif, 3)
                  .results.size(),
              1u);
}

TEST(Services, ACommonsPageGivesPicturesInRankOrderWithPlainCredits) {
    const std::string address =
        FirstResultPage(SearchService::kCommons, "http://h", "cat", PictureTypes{});
    ServicePage page = ParseResultPage(SearchService::kCommons, address,
                                       Recorded("commons-page1.json", "h"), PictureTypes{}, 2);
    ASSERT_TRUE(page.ok) << page.problem;
    ASSERT_EQ(page.results.size(), 2u) << "the drawing and the entry without imageinfo are left";
    EXPECT_EQ(page.skipped, 2);
    const ServiceResult& r = page.results[0];
    EXPECT_EQ(r.fileName, "Tabby cat in snow.jpg");
    EXPECT_EQ(r.full, "http://h/upload/Tabby_cat_in_snow.jpg");
    EXPECT_EQ(r.thumbnail, "http://h/thumb/Tabby_cat_in_snow.jpg/180px-Tabby_cat_in_snow.jpg");
    EXPECT_EQ(r.credit.title, "Tabby cat in snow");
    EXPECT_EQ(r.credit.creator, "Example & Co") << "the markup goes, the reference is read";
    EXPECT_EQ(r.credit.LicenseText(), "CC BY-SA 4.0");
    EXPECT_EQ(r.credit.landingPage,
              "https://commons.wikimedia.org/wiki/File:Tabby_cat_in_snow.jpg");
    // An entry without a thumbnail keeps its picture; its credits are what
    // is there.
    EXPECT_EQ(page.results[1].fileName, "Old cat.gif");
    EXPECT_EQ(page.results[1].thumbnail, "");
    EXPECT_EQ(page.results[1].credit.title, "Old cat");
    EXPECT_NE(page.next.find("gsroffset=20"), std::string::npos) << page.next;
    EXPECT_EQ(ParseResultPage(SearchService::kCommons, page.next,
                              Recorded("commons-page1.json", "h"), PictureTypes{}, 2)
                  .next,
              "")
        << "two pages wanted, two read";
}

TEST(Services, NamesMadeOfIdsAndTitlesAreOnePlainFile) {
    const std::string openverse =
        R"({"page_count":1,"results":[{"id":"a/b\u0000c","url":"http://h/x.gif","filetype":"jpg"}]})";
    const std::string commons =
        R"({"query":{"pages":[{"title":"File:Map of A/B.jpg","imageinfo":[{"url":"http://h/m.jpg","mime":"image/jpeg"}]}]}})";
    const struct {
        SearchService service;
        std::string body;
        std::string name;
    } cases[] = {{SearchService::kOpenverse, openverse, "a_b_c.jpg"},
                 {SearchService::kCommons, commons, "Map of A_B.jpg"}};
    for (const auto& c : cases) {
        ServicePage p = ParseResultPage(c.service, "http://h/x?page=1", c.body, PictureTypes{}, 5);
        ASSERT_EQ(p.results.size(), 1u) << c.body;
        EXPECT_EQ(p.results[0].fileName, c.name);
    }
}

TEST(Services, EmptyBrokenAndErrorAnswersSayWhyAndNeverCrash) {
    struct Case {
        SearchService service;
        std::string body;
        bool ok;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {SearchService::kOpenverse, R"({"result_count":0,"page_count":0,"results":[]})", true, ""},
        {SearchService::kCommons, R"({"batchcomplete":true})", true, ""},
        {SearchService::kOpenverse, "<html><title>Too many requests</title></html>", false,
         "the service's answer is not JSON"},
        {SearchService::kCommons, "", false, "the service's answer is not JSON"},
        {SearchService::kOpenverse, R"({"detail":"Request was throttled."})", false,
         "the service said: Request was throttled."},
        {SearchService::kCommons, R"({"error":{"code":"maxlag","info":"Waiting for a database"}})",
         false, "the service said: Waiting for a database"},
        {SearchService::kOpenverse, R"([1,2,3])", false, "the service's answer has no results"},
        {SearchService::kOpenverse, R"({"results":{"a":1}})", false,
         "the service's answer has no results"},
        {SearchService::kOpenverse, R"({"results":[null,1,"x",{"url":7,"thumbnail":[]}]})", true,
         ""},
        {SearchService::kCommons, R"({"query":{"pages":[null,{"imageinfo":[null]},{"title":3}]}})",
         true, ""},
    };
    for (const auto& c : cases) {
        ServicePage p = ParseResultPage(c.service, "http://h/x?page=1", c.body, PictureTypes{}, 5);
        EXPECT_EQ(p.ok, c.ok) << c.body;
        EXPECT_EQ(p.problem, c.problem) << c.body;
        EXPECT_TRUE(p.results.empty()) << c.body;
        EXPECT_TRUE(p.next.empty()) << c.body;
    }
}

class ServiceSearch : public test::CrawlFixture {
protected:
    // The search a keyword command starts with the service.
    void RunService(SearchService service, const std::string& mode, int pages) {
        state.service = service;
        state.serviceBase = "http://" + server.HostPort();
        state.userAgent = ServiceUserAgent("tests@example.org");
        const std::string start = FirstResultPage(service, state.serviceBase, "cat", state.Types());
        state.filter.thumbnails = true;
        state.filter.big = mode == "advancedkey";
        Prepare(mode, start, pages);
        state.keywordFlag = true;
        doc.StartSearch(start, "cat");
        doc.WaitForCrawl();
        ASSERT_TRUE(doc.WaitForDownloads(60000));
    }
};

TEST_F(ServiceSearch, OpenverseThumbnailsAndBigPicturesWithTheirCredits) {
    const std::string host = server.HostPort();
    const std::string first = "/v1/images/?q=cat&extension=jpg%2Cgif&page=1&page_size=20";
    server.Page(first, Recorded("openverse-page1.json", host));
    server.Page("/v1/images/?q=cat&extension=jpg%2Cgif&page=2&page_size=20",
                R"({"result_count":3,"page_count":2,"page":2,"results":[]})");
    Serve("/pics/red-cat.jpg", PictureBytes(5000, 'R'));
    Serve("/v1/images/4bc43a04-ef46-4544-a0c1-63c63f56e276/thumb/", PictureBytes(700, 'r'));
    Serve("/pics/kitten.gif", PictureBytes(4000, 'K'));
    Serve("/v1/images/9f0e1d2c-0000-4000-8000-000000000002/thumb/", PictureBytes(600, 'k'));
    state.pageIntervalMs = 50;
    RunService(SearchService::kOpenverse, "advancedkey", 2);

    EXPECT_EQ(dir.ReadFile("red-cat.jpg"), PictureBytes(700, 'r')) << "the thumbnail";
    EXPECT_EQ(dir.ReadFile("red-catbig.jpg"), PictureBytes(5000, 'R')) << "the big picture";
    EXPECT_EQ(dir.ReadFile("kitten.gif"), PictureBytes(600, 'k'));
    EXPECT_EQ(dir.ReadFile("kittenbig.gif"), PictureBytes(4000, 'K'));
    EXPECT_EQ(server.Count("/v1/images/?q=cat&extension=jpg%2Cgif&page=2&page_size=20"), 1);
    for (const auto& r : server.Requests())
        EXPECT_EQ(r.userAgent, ServiceUserAgent("tests@example.org")) << r.target;

    const auto credits = store::ReadCredits(dir.Path());
    ASSERT_EQ(credits.size(), 4u);
    EXPECT_EQ(credits.at("red-catbig.jpg").creator, "Jane Doe");
    EXPECT_EQ(credits.at("kitten.gif").LicenseText(), "CC0 1.0");
    const std::string contents = dir.ReadFile("HalvCon1.htm");
    EXPECT_NE(contents.find("<a href=\"red-cat.jpg\">red-cat.jpg</a> &ldquo;Red cat on a "
                            "wall&rdquo; by Jane Doe, <a "
                            "href=\"https://creativecommons.org/licenses/by-sa/2.0/\">CC BY-SA "
                            "2.0</a>"),
              std::string::npos)
        << contents;
    EXPECT_NE(contents.find("Sleeping &lt;b&gt;kitten&lt;/b&gt;"), std::string::npos)
        << "titles are text, never markup";
    const auto p = store::ReadProjectForBrowsing(dir.Path());
    EXPECT_EQ(p.pictures.size(), 4u);
    ASSERT_GE(p.pages.size(), 2u);
    EXPECT_EQ(p.pages[0].localName, "results1.json");
}

TEST_F(ServiceSearch, CommonsThumbnailsOnlyAndAPictureWithoutOne) {
    const std::string host = server.HostPort();
    const std::string first =
        FirstResultPage(SearchService::kCommons, "http://" + host, "cat", PictureTypes{});
    server.Page(first.substr(first.find("/w/")), Recorded("commons-page1.json", host));
    Serve("/thumb/Tabby_cat_in_snow.jpg/180px-Tabby_cat_in_snow.jpg", PictureBytes(900, 't'));
    Serve("/upload/Tabby_cat_in_snow.jpg", PictureBytes(9000, 'T'));
    Serve("/upload/Old_cat.gif", PictureBytes(3000, 'o'));
    RunService(SearchService::kCommons, "key", 1);
    EXPECT_EQ(dir.ReadFile("Tabby cat in snow.jpg"), PictureBytes(900, 't'));
    EXPECT_EQ(dir.ReadFile("Old cat.gif"), PictureBytes(3000, 'o')) << "its picture stands in";
    EXPECT_FALSE(fs::exists(dir.Path() + "Tabby cat in snowbig.jpg"));
    EXPECT_EQ(server.Count("/upload/Tabby_cat_in_snow.jpg"), 0);
    EXPECT_EQ(store::ReadCredits(dir.Path()).at("Tabby cat in snow.jpg").creator, "Example & Co");
}

TEST_F(ServiceSearch, TitlesHoldingANulOrASlashGiveReadableNamesAndTheSearchEnds) {
    // A NUL in a title once cut every path made from the name short: the
    // rename could never succeed and the search never ended.
    const std::string host = server.HostPort();
    const std::string first =
        FirstResultPage(SearchService::kCommons, "http://" + host, "cat", PictureTypes{});
    auto entry = [&](int index, const std::string& title, const std::string& file) {
        return "{\"title\":\"" + title + "\",\"index\":" + std::to_string(index) +
               ",\"imageinfo\":[{\"url\":\"http://" + host + "/upload/" + file +
               "\",\"mime\":\"image/jpeg\"}]}";
    };
    server.Page(first.substr(first.find("/w/")),
                "{\"query\":{\"pages\":[" + entry(1, "File:x\\u0000y.jpg", "a.jpg") + "," +
                    entry(2, "File:Map of A/B region.jpg", "b.jpg") + "," +
                    entry(3, "File:tab\\there.jpg", "c.jpg") + "]}}");
    Serve("/upload/a.jpg", PictureBytes(900, 'a'));
    Serve("/upload/b.jpg", PictureBytes(900, 'b'));
    Serve("/upload/c.jpg", PictureBytes(900, 'c'));
    RunService(SearchService::kCommons, "key", 1);
    EXPECT_EQ(dir.ReadFile("x_y.jpg"), PictureBytes(900, 'a'));
    EXPECT_EQ(dir.ReadFile("Map of A_B region.jpg"), PictureBytes(900, 'b'));
    EXPECT_EQ(dir.ReadFile("tab_here.jpg"), PictureBytes(900, 'c'));
    EXPECT_FALSE(fs::exists(dir.Path() + "x")) << "no file cut short at the NUL";
    EXPECT_EQ(state.DownloadedCount(), 3);
}

TEST_F(ServiceSearch, AnAnswerThatIsNotJsonFailsTheStartPageWithItsReason) {
    const std::string first = "/v1/images/?q=cat&extension=jpg%2Cgif&page=1&page_size=20";
    server.Page(first, "<html><title>Maintenance</title></html>");
    RunService(SearchService::kOpenverse, "key", 1);
    EXPECT_TRUE(doc.StartPageFailed());
    EXPECT_EQ(doc.StartPageError(), "the service's answer is not JSON");
}

}  // namespace
}  // namespace pq
