#include "engine/CContentsPage.h"

namespace pq {

CContentsPage::~CContentsPage() { Close(); }

std::string CContentsPage::Head() {
    // The closing head tag lacks its '>': readers have always got it so.
    return "<HTML>\r\n<HEAD>\r\n<TITLE>Halvendrake Contents</TITLE>\r\n"
           "</HEAD\r\n<BODY>\r\n"
           "<H1><center>Halvendrake Table of Contents</center><br><br></H1>\r\n<UL>\r\n";
}

std::string CContentsPage::Entry(const std::string& localName, const std::string& title,
                                 const std::string& address) {
    return "<a href=" + localName + "><li> " + title + " (" +
           localName.substr(0, localName.find('#')) + " - " + address + ")<br>\r\n";
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

void CContentsPage::Close() {
    if (!file_) return;
    std::string foot = Foot();
    std::fwrite(foot.data(), 1, foot.size(), file_);
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace pq
