// "HalvCon1.htm": the contents page of a project, one entry for every page a
// crawl fetched and registered, written as the crawl goes. Crawl thread only.
#pragma once

#include <cstdio>
#include <string>

#include "store/Credits.h"

namespace pq {

class CContentsPage {
public:
    static constexpr const char* kFileName = "HalvCon1.htm";
    static constexpr const char* kRegistryKey = "halvcon1.htm";

    ~CContentsPage();

    // Creates (or truncates) the file in folder and writes the head. When the
    // file cannot be created the crawl goes on without contents entries.
    bool Open(const std::string& folder);
    void AddEntry(const std::string& localName, const std::string& title,
                  const std::string& address);
    // A picture of an open search service, with its credits: its file, its
    // title, creator and licence (a link), and its landing page.
    void AddCreditEntry(const std::string& localName, const store::Credit& credit);
    // Writes the foot and closes; nothing when not open.
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    static std::string Head();
    static std::string Entry(const std::string& localName, const std::string& title,
                             const std::string& address);
    static std::string CreditEntry(const std::string& localName, const store::Credit& credit);
    static std::string Foot();

private:
    std::FILE* file_ = nullptr;
};

}  // namespace pq
