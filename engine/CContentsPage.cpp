#include "engine/CContentsPage.h"

#include "engine/TextUtil.h"
#include "store/ProjectFile.h"

namespace pq {

namespace {

// A link to a local file: the file part percent-encoded where a browser
// would read it otherwise ("?" as a query, "%" as an escape, a space or a
// quote as the end of the value); the fragment after "#" kept.
std::string HrefOf(const std::string& localName) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    const std::string_view file = FilePartOf(localName);
    for (unsigned char c : file) {
        bool plain = c > 0x20 && c < 0x7f && c != '?' && c != '%' && c != '"' && c != '\'' &&
                     c != '<' && c != '>' && c != '\\' && c != '#';
        if (plain) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    out.append(localName, file.size(), std::string::npos);
    return HtmlText(out);
}

// An address as text of the page: control bytes percent-encoded, markup
// escaped.
std::string AddressText(const std::string& address) {
    return HtmlText(store::EncodeControls(address));
}

}  // namespace

CContentsPage::~CContentsPage() { Close(); }

std::string CContentsPage::Head() {
    // The closing head tag lacks its '>': readers have always got it so.
    return "<HTML>\r\n<HEAD>\r\n<TITLE>Halvendrake Contents</TITLE>\r\n"
           "</HEAD\r\n<BODY>\r\n"
           "<H1><center>Halvendrake Table of Contents</center><br><br></H1>\r\n<UL>\r\n";
}

std::string CContentsPage::Entry(const std::string& localName, const std::string& title,
                                 const std::string& address) {
    // Everything that came from the web is escaped: a title or an address
    // holding markup must not become markup of this page. The title is
    // markup text already, so its character references stay.
    return "<a href=\"" + HrefOf(localName) + "\"><li> " + HtmlText(title, true) + " (" +
           AddressText(std::string(FilePartOf(localName))) + " - " + AddressText(address) +
           ")<br>\r\n";
}

std::string CContentsPage::CreditEntry(const std::string& localName, const store::Credit& c) {
    // Only http and https addresses become links; anything else stays text.
    auto link = [](const std::string& address, const std::string& text) {
        const std::string lower = address.substr(0, 8);
        const bool web = lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
        if (!web) return HtmlText(text);
        return "<a href=\"" + AddressText(address) + "\">" + HtmlText(text) + "</a>";
    };
    std::string e = "<li><a href=\"" + HrefOf(localName) + "\">" +
                    AddressText(std::string(FilePartOf(localName))) + "</a>";
    if (!c.title.empty()) e += " &ldquo;" + HtmlText(c.title) + "&rdquo;";
    if (!c.creator.empty()) e += " by " + HtmlText(c.creator);
    const std::string licence = c.LicenseText();
    if (!licence.empty()) e += ", " + link(c.licenseUrl, licence);
    if (!c.landingPage.empty()) e += " (" + link(c.landingPage, "source") + ")";
    return e + "<br>\r\n";
}

std::string CContentsPage::Foot() { return "</UL>\r\n</BODY>\r\n</HTML>\r\n"; }

bool CContentsPage::Open(const std::string& folder) {
    Close();
    file_ = std::fopen((folder + kFileName).c_str(), "wb");
    if (!file_) return false;
    std::string head = Head();
    std::fwrite(head.data(), 1, head.size(), file_);
    std::fflush(file_);
    return true;
}

void CContentsPage::AddEntry(const std::string& localName, const std::string& title,
                             const std::string& address) {
    if (!file_) return;
    std::string e = Entry(localName, title, address);
    std::fwrite(e.data(), 1, e.size(), file_);
    std::fflush(file_);
}

void CContentsPage::AddCreditEntry(const std::string& localName, const store::Credit& credit) {
    if (!file_) return;
    std::string e = CreditEntry(localName, credit);
    std::fwrite(e.data(), 1, e.size(), file_);
    std::fflush(file_);
}

void CContentsPage::Close() {
    if (!file_) return;
    std::string foot = Foot();
    std::fwrite(foot.data(), 1, foot.size(), file_);
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace pq
