#include <gtest/gtest.h>

#include "engine/AdmissionRules.h"
#include "engine/CPelquinarDoc.h"
#include "tests/support/RecordingUi.h"

namespace pq {
namespace {

using List = std::vector<std::string>;

class LinkRules : public ::testing::Test {
protected:
    void SetUp() override { state.SetSearchHost("images.example:8080"); }
    // Runs the link and picture-source rules of a page at depth 0.
    void Apply(const std::string& mode, const List& links, const List& pictures) {
        state.mode = mode;
        state.keywordFlag = mode == "key" || mode == "advancedkey";
        doc.SetCurrentDepthForTest(0);
        doc.ClearLevel(0);
        doc.AdmitScannedLinks(links, doc.Level(0));
        doc.AdmitScannedPictures(pictures, doc.Level(0));
    }
    test::RecordingUi ui;
    CSearchState state;
    CPelquinarDoc doc{state, ui};
};

TEST_F(LinkRules, WebModes) {
    for (const char* mode : {"web", "advancedweb"}) {
        Apply(mode,
              {"http://h/a.html", "http://h/B.HTML", "http://h/c.htm", "http://h/d.shtml",
               "http://h/help/x.html", "http://h/submit.htm", "http://h/chatroom/y.html",
               "http://h/pic.jpg", "http://h/pic.JPG", "http://h/pic.jpeg", "http://h/anim.gif",
               "http://h/raw.bmp", "http://h/view?fmt=bmp", "http://h/dir/", "http://h/list.asp"},
              {"http://h/img.bmp", "http://h/a/mailto:x@y.com", "http://h/p.gif"});
        EXPECT_EQ(doc.Level(0).links,
                  (List{"http://h/a.html", "http://h/c.htm", "http://h/d.shtml"}))
            << mode;
        EXPECT_EQ(doc.Level(0).pictures,
                  (List{"http://h/pic.jpg", "http://h/pic.jpeg", "http://h/anim.gif",
                        "http://h/img.bmp", "http://h/p.gif"}))
            << mode;
    }
}

TEST_F(LinkRules, KeywordModesFollowOnlyResultPagesAndKeepOnlyResultPictures) {
    const std::string pagePrefix = "http://images.example:8080/images?q=";
    for (const char* mode : {"key", "advancedkey"}) {
        Apply(mode,
              {pagePrefix + "cats&start=20", "http://images.example:8080/imgres?q=cats",
               "http://other/a.html", "http://h/pic.jpg"},
              {"http://images.example:8080/images?q=tbn:1:h/cat.jpg", "http://h/cat.jpg"});
        EXPECT_EQ(doc.Level(0).links, List{pagePrefix + "cats&start=20"}) << mode;
        EXPECT_EQ(doc.Level(0).pictures,
                  List{"http://images.example:8080/images?q=tbn:1:h/cat.jpg"})
            << mode;
    }
}

TEST_F(LinkRules, KnownPicturesAreNotListedAgainAndKeysIgnoreCaseAndFragment) {
    doc.RegisterPicture("http://h/Cat.jpg#one", "Cat.jpg");
    Apply("web", {"http://h/cat.JPG#two"}, {"http://h/CAT.JPG", "http://h/dog.gif"});
    EXPECT_EQ(doc.Level(0).pictures, List{"http://h/dog.gif"});
    EXPECT_FALSE(doc.IsNewPicture("HTTP://H/cat.jpg#x"));
}

TEST_F(LinkRules, AdmitLinkDropsNewLinksWaitingOnShallowerLevels) {
    doc.SetCurrentDepthForTest(2);
    doc.Level(0).AddLink("http://h/a.html");
    doc.Level(1).AddLink("http://h/b.html");
    doc.Level(2).AddLink("http://h/c.html");
    EXPECT_FALSE(doc.AdmitLink("http://h/a.html"));
    EXPECT_FALSE(doc.AdmitLink("http://h/b.html"));
    EXPECT_TRUE(doc.AdmitLink("http://h/c.html")) << "the current level is not searched";
    EXPECT_TRUE(doc.AdmitLink("http://h/A.html")) << "the comparison is exact";
    doc.RegisterPage("http://h/a.html", "a.html", 1);
    EXPECT_TRUE(doc.AdmitLink("http://h/a.html")) << "a registered page is admitted";
}

TEST_F(LinkRules, RegisterPageAddsDefaultDocumentsOfTheServerRootWithItsPort) {
    doc.RegisterPage("http://Host:8080/Some/Dir/", "index.htm", 1);
    for (const char* doc_ : {"index.htm", "index.html", "default.htm", "default.html"}) {
        ItemRecord* rec = nullptr;
        EXPECT_FALSE(doc.IsNewPage(std::string("http://host:8080/") + doc_, &rec)) << doc_;
        ASSERT_NE(rec, nullptr);
        EXPECT_EQ(rec->localName, "index.htm");
        EXPECT_EQ(rec->depth, 1);
    }
    EXPECT_TRUE(doc.IsNewPage("http://host/index.htm")) << "another port is another server";

    doc.ClearRegistries();
    doc.RegisterPage("http://h/x/", "index__1.htm", 0);
    doc.RegisterPage("http://h/y/index.htm", "index.htm", 0);
    EXPECT_TRUE(doc.IsNewPage("http://h/index.html"));
    EXPECT_EQ(doc.PageRegistry().Size(), 2u);
}

TEST(PictureFilter, TypesAndKeyword) {
    struct Case {
        bool gif, jpg, bmp;
        const char* keyword;
        const char* name;
        bool passes;
    };
    const std::vector<Case> cases = {
        {true, false, true, "", "photo.JPG", false},
        {true, false, true, "", "photo.jpeg", false},
        {false, true, true, "", "a.gif", false},
        {true, true, false, "", "a.BMP", false},
        {false, false, false, "", "a.png", true},
        {true, true, true, "cat", "blackcat.gif", true},
        {true, true, true, "cat", "Cat.gif", false},
        {true, true, true, "   cat", "blackcat.gif", true},
        {true, true, true, "   ", "any.gif", true},
    };
    for (const auto& c : cases) {
        PictureFilter f;
        f.gif = c.gif;
        f.jpg = c.jpg;
        f.bmp = c.bmp;
        f.keyword = c.keyword;
        EXPECT_EQ(PassesPictureFilter(c.name, f), c.passes) << c.name << " / '" << c.keyword << "'";
    }
    PictureFilter f;
    f.keyword = "  dog";
    PassesPictureFilter("x.gif", f);
    EXPECT_EQ(f.keyword, "dog") << "leading blanks are removed from the stored keyword";
}

TEST(BigPicture, AddressAndName) {
    struct Case {
        const char* thumb;
        const char* big;
    };
    const std::vector<Case> cases = {
        {"http://images.google.com/images?q=tbn:ABC:www.site.com/pics/a.jpg",
         "http://www.site.com/pics/a.jpg"},
        // The embedded address keeps its port.
        {"http://img.example/images?q=tbn:ABC:www.site.com:8080/a.jpg",
         "http://www.site.com:8080/a.jpg"},
        {"http://127.0.0.1:5000/images?q=tbn:x:127.0.0.1:5001/big/c.gif",
         "http://127.0.0.1:5001/big/c.gif"},
        {"nocolon", "http://nocolon"},
        {"http://h/x", "http:////h/x"},
    };
    for (const auto& c : cases) EXPECT_EQ(BigPictureAddress(c.thumb), c.big) << c.thumb;
    EXPECT_EQ(BigPictureName("photo.jpg"), "photobig.jpg");
    EXPECT_EQ(BigPictureName("a.b.gif"), "a.bbig.gif");
    EXPECT_EQ(BigPictureName("noext"), "noextbig");
}

TEST(LinkShapes, PictureAndPageLinks) {
    EXPECT_TRUE(IsPictureLink("x.jpg"));
    EXPECT_TRUE(IsPictureLink("view?img=gif"));
    EXPECT_FALSE(IsPictureLink("x.bmp"));
    EXPECT_FALSE(IsPictureLink("x.JPG"));
    EXPECT_TRUE(IsPageLink("http://h/x.shtml"));
    EXPECT_FALSE(IsPageLink("http://h/x.HTML"));
    EXPECT_TRUE(IsPageLink("http://h/Help/x.html")) << "help is matched case-sensitively";
    EXPECT_EQ(FileNameOfAddress("http://h/a/b.gif"), "b.gif");
    EXPECT_EQ(FileNameOfAddress("mailto:x"), "mailto:x");
}

}  // namespace
}  // namespace pq
