#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "engine/CLinkScanner.h"
#include "engine/CUrl.h"

namespace pq {
namespace {

using List = std::vector<std::string>;

struct ScanResult {
    List links;
    List pictures;
    std::string title;
};

ScanResult ScanPage(const std::string& html, const std::string& base = "http://host/dir/index.html",
                    bool collect = true) {
    CLinkScanner s;
    s.Reset();
    s.SetBaseAddress(base);
    s.SetCollectPictures(collect);
    s.Scan(html.data(), int(html.size()));
    return {s.Links(), s.Pictures(), s.Title()};
}

struct TagCase {
    const char* name;
    const char* html;
    List links;
    List pictures;
};

void PrintTo(const TagCase& c, std::ostream* os) { *os << c.name; }

class TagRules : public ::testing::TestWithParam<TagCase> {};

TEST_P(TagRules, GiveTheExpectedLists) {
    const TagCase& c = GetParam();
    ScanResult r = ScanPage(c.html);
    EXPECT_EQ(r.links, c.links);
    EXPECT_EQ(r.pictures, c.pictures);
}

const TagCase kTagCases[] = {
    {"UpperCaseNamesValueKeepsCase", "<A HREF=Page2.HTM>x</A>", {"http://host/dir/Page2.HTM"}, {}},
    {"ImgSource", "<img src=pics/cat.jpg>", {}, {"http://host/dir/pics/cat.jpg"}},
    {"LinkToPictureGoesToPictures", "<a href=photo.jpg>", {}, {"http://host/dir/photo.jpg"}},
    {"BareSlashIsAPage", "<a href=/>", {"http://host/"}, {}},
    {"HostWithoutPathIsAPage", "<a href=http://intranet>", {"http://intranet/"}, {}},
    {"HostWithOtherEndingIsUnknown", "<a href=http://other.example>", {}, {}},
    {"DotComHostIsAPage", "<a href=\"http://shop.com\">", {"http://shop.com/"}, {}},
    {"SingleQuotesYieldNothing", "<a href='x.html'>", {}, {}},
    {"DoubleQuotes", "<a href=\"sub/x.html\" target=_top>", {"http://host/dir/sub/x.html"}, {}},
    {"SpacesAroundEquals", "<a href = \"y.htm\">", {"http://host/dir/y.htm"}, {}},
    {"MailtoDotComIsLowerCasedIntoPictures",
     "<a href=MAILTO:Me@Site.COM>",
     {},
     {"mailto:me@site.com"}},
    {"MailtoOtherDomainYieldsNothing", "<a href=mailto:me@site.org>", {}, {}},
    {"NameBeforeHref", "<a name=top href=x.htm>", {"http://host/dir/x.htm"}, {}},
    {"OnlyTheFirstHrefCounts", "<a href=x.zip href=y.html>", {}, {}},
    {"SrcBeforeHrefOnLinkTag", "<frame src=f.html href=g.html>", {"http://host/dir/f.html"}, {}},
    {"AreaTag", "<area href=\"map.shtml\">", {"http://host/dir/map.shtml"}, {}},
    {"CommentedLinkStillCounts", "<!-- <a href=old.html> -->", {"http://host/dir/old.html"}, {}},
    {"BodyBackground", "<body background=bg.gif>", {}, {"http://host/dir/bg.gif"}},
    {"TdBackgroundIgnored", "<td background=bg.gif>", {}, {}},
    {"TabAfterTagNameYieldsNothing", "<a\thref=x.html>", {}, {}},
    {"NewlineEndsTagName", "<a\nhref=x.html>", {"http://host/dir/x.html"}, {}},
    {"QueryAfterPageNameYieldsNothing", "<a href=page.asp?id=3>", {}, {}},
    {"QueryWithPictureName", "<a href=view?img=a.jpg>", {}, {"http://host/dir/view?img=a.jpg"}},
    {"AspIsAPage", "<a href=list.asp>", {"http://host/dir/list.asp"}, {}},
    {"FragmentCutForExtension", "<a href=x.HTML#part>", {"http://host/dir/x.HTML#part"}, {}},
    {"UnknownExtensionOnImg", "<img src=pic.png>", {}, {}},
    {"EmbedPageExtensionIgnored", "<img src=frame.html>", {}, {}},
    {"MetaWithoutSource", "<meta name=x content=y.gif>", {}, {}},
    {"BgsoundAndApplet",
     "<bgsound src=m.mid><applet code=App.class>",
     {},
     {"http://host/dir/m.mid", "http://host/dir/App.class"}},
    {"RootRelative", "<img src=/top.gif>", {}, {"http://host/top.gif"}},
    {"DotDotResolves", "<img src=../up.gif>", {}, {"http://host/up.gif"}},
    {"ProtocolRelative", "<img src=//cdn.example/p.jpg>", {}, {"http://cdn.example/p.jpg"}},
    {"EmptyTagAndDeclarationSkipped",
     "<><!DOCTYPE html><a href=z.htm>",
     {"http://host/dir/z.htm"},
     {}},
    {"SpaceAfterLessThanIsNoTag", "< a href=n.htm>", {}, {}},
    {"UnclosedQuoteStaysInsideTheTag", "<a href=\"q.html>text", {"http://host/dir/q.html"}, {}},
    {"NoEqualsNoAttributes", "<a href>", {}, {}},
    {"EmptyValueResolvesToThePage", "<a href=\"\">", {"http://host/dir/index.html"}, {}},
    {"FragmentOnlyIsThePage", "<a href=#sec2>", {"http://host/dir/index.html#sec2"}, {}},
    {"SpacesAndHighBytesStayAsWritten",
     "<img src=\"my pics/a b\xe9.gif\"><a href=\"/find?q=a b&x=1\">",
     {"http://host/find?q=a b&x=1"},
     {"http://host/dir/my pics/a b\xe9.gif"}},
    {"DuplicatesKept",
     "<img src=a.gif><img src=a.gif>",
     {},
     {"http://host/dir/a.gif", "http://host/dir/a.gif"}},
};

INSTANTIATE_TEST_SUITE_P(Scanner, TagRules, ::testing::ValuesIn(kTagCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Scanner, CollectPicturesOffIgnoresPictureReferences) {
    ScanResult r = ScanPage("<a href=p.jpg><img src=q.gif><a href=r.html><a href=mailto:a@b.com>",
                            "http://host/", false);
    EXPECT_EQ(r.links, List{"http://host/r.html"});
    EXPECT_EQ(r.pictures, List{"mailto:a@b.com"}) << "mailto is listed whatever the flag";
}

TEST(Scanner, BaseKeepsPortAndHttpsAndDropsCredentials) {
    EXPECT_EQ(ScanPage("<a href=b.html>", "http://127.0.0.1:8080/x/a.html").links,
              List{"http://127.0.0.1:8080/x/b.html"});
    EXPECT_EQ(ScanPage("<img src=p.gif>", "https://secure.example/x/").pictures,
              List{"https://secure.example/x/p.gif"});
    EXPECT_EQ(ScanPage("<img src=p.gif>", "http://user:pw@h/x/").pictures,
              List{"http://h/x/p.gif"});
    // The query stays with the base path.
    // (Its extension is then ".asp?page=2", no page extension.)
    EXPECT_EQ(ScanPage("<a href=?page=2>", "http://h/list.asp?page=1").pictures,
              List{"http://h/list.asp?page=2"});
    // A page address given without scheme is read as http.
    EXPECT_EQ(ScanPage("<a href=b.html>", "h/x/a.html").links, List{"http://h/x/b.html"});
}

TEST(Scanner, TitleRules) {
    EXPECT_EQ(ScanPage("<html><head><TITLE>My  Cats &amp; Dogs</title>").title,
              "My  Cats &amp; Dogs");
    EXPECT_EQ(ScanPage("<title>First</title><title>Second</title>").title, "First");
    EXPECT_EQ(ScanPage("<html><body>no title</body>").title, "Untitled");
    EXPECT_EQ(ScanPage("<title>runs to the end").title, "runs to the end");
    std::string withZero("<title>ab\0cd</title>", 20);
    EXPECT_EQ(ScanPage(withZero).title, "ab");
    EXPECT_EQ(ScanPage("<title>").title, "");
}

TEST(Scanner, AttributePositionsAndCleaning) {
    struct Probe : CTagParser {
        std::vector<TagAttribute> seen;
        std::string tag;
        bool HandleTag(const std::string& t, int, const std::vector<TagAttribute>& a) override {
            tag = t;
            seen = a;
            return false;
        }
    } p;
    std::string html = "<Img  SRC=\"a.gif\" ALT = Big\"Cat>";
    p.Scan(html.data(), int(html.size()));
    EXPECT_EQ(p.tag, "img");
    ASSERT_EQ(p.seen.size(), 2u);
    EXPECT_EQ(p.seen[0].name, "src");
    EXPECT_EQ(p.seen[0].value, "a.gif");
    EXPECT_EQ(p.seen[0].position, int(html.find('=')) + 1);
    EXPECT_EQ(p.seen[1].name, "alt");
    EXPECT_EQ(p.seen[1].value, "Big Cat") << "an unclosed quote runs to the tag's end";
}

TEST(Scanner, HostileInputNeverBreaksTheScan) {
    std::vector<std::string> pages = {
        std::string(700000, '<'),
        std::string(700000, '>'),
        "<a href=\"",
        "<a href=",
        "<a",
        "<",
        "<title",
        std::string("<a h\0ref=x.html>\0<img src=\0>",
                    sizeof("<a h\0ref=x.html>\0<img src=\0>") - 1),
        "<a href=\"x.html\"\"\"\"= = = =>",
        "<a ===========>",
        "<img src=" + std::string(5000, 'x') + ".gif>",
        "<a href=http://[::1>",
        "<a href=http://%zz/x.html>",
        "<a href=\"\x01\x02\x7f\xff.html\">",
    };
    std::string allBytes;
    for (int i = 0; i < 4096; ++i) allBytes.push_back(char(i * 37 % 256));
    pages.push_back(allBytes);
    for (const auto& page : pages) {
        ScanResult r = ScanPage(page);
        for (const auto& l : r.links) EXPECT_LE(l.size(), 1000u);
        for (const auto& l : r.pictures) EXPECT_LE(l.size(), 1000u);
    }
    // A zero length and a negative length scan nothing.
    CLinkScanner s;
    s.SetBaseAddress("http://h/");
    s.Scan("<a href=x.html>", 0);
    s.Scan("<a href=x.html>", -5);
    EXPECT_TRUE(s.Links().empty());
}

TEST(Scanner, ResolvedAddressesLongerThanTheLimitAreDropped) {
    std::string longPath(990, 'p');
    EXPECT_TRUE(ScanPage("<a href=" + longPath + ".html>", "http://h/").links.empty());
    std::string okPath(900, 'p');
    EXPECT_EQ(ScanPage("<a href=" + okPath + ".html>", "http://h/").links.size(), 1u);
}

TEST(Scanner, PlainJoinsGiveWhatTheGeneralResolverGives) {
    // Every reference the joining shortcut takes must come out as libcurl's
    // resolution would have it; references drawn from an alphabet that
    // includes the awkward characters, against awkward bases.
    const std::vector<std::string> bases = {"http://host/dir/index.html",
                                            "https://Host.EXAMPLE:8443/a/b/",
                                            "http://host",
                                            "http://host/dir/page.asp?id=3&x=/y/z",
                                            "http://host/a%20b/c d/e.html",
                                            "http://host/dir/index.html#frag/x",
                                            "http://host:80/x/./y/../z.htm"};
    const std::string alphabet = "aZ9-._~/./..//?#%: +";
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    int joined = 0;
    for (const auto& base : bases) {
        CLinkScanner s;
        s.SetBaseAddress(base);
        for (int i = 0; i < 3000; ++i) {
            std::string ref;
            const int len = 1 + int(next() % 12);
            for (int k = 0; k < len; ++k) ref += alphabet[next() % alphabet.size()];
            std::string fast;
            if (!s.ResolvePlain(ref, fast)) continue;
            ++joined;
            // The page's base never keeps a fragment.
            CUrl general;
            ASSERT_TRUE(general.Set(base.substr(0, base.find('#'))));
            ASSERT_TRUE(general.Resolve(ref)) << base << " + " << ref;
            EXPECT_EQ(fast, general.Url()) << base << " + " << ref;
        }
        for (const char* common : {"pics/a.jpg", "/top.gif", "page2.html", "a/b/c.gif"}) {
            std::string fast;
            EXPECT_TRUE(s.ResolvePlain(common, fast)) << base << " + " << common;
        }
    }
    EXPECT_GT(joined, 1000) << "the shortcut was hardly tried";
}

TEST(Scanner, ExtensionTables) {
    EXPECT_EQ(CLinkScanner::ExtensionOf("http://h/a/B.JPG#x"), ".jpg");
    EXPECT_EQ(CLinkScanner::ExtensionOf("http://h/a.b/c"), "");
    EXPECT_EQ(CLinkScanner::ExtensionOf("http://shop.com"), ".com");
    EXPECT_EQ(CLinkScanner::ExtensionOf("page.asp?id=3"), ".asp?id=3");
    EXPECT_TRUE(CLinkScanner::IsKnownExtension(".midi"));
    EXPECT_FALSE(CLinkScanner::IsKnownExtension(".png"));
    EXPECT_TRUE(CLinkScanner::IsPageExtension(".com"));
    EXPECT_FALSE(CLinkScanner::IsPageExtension(".jpg"));
}

}  // namespace
}  // namespace pq
