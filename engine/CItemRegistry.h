// A registry of pages or pictures known to the current search, keyed by the
// address in lower case cut before its first "#". It doubles as the name map
// of CPageFetcher::LocalName, which also needs to know whether a local name is
// taken; a second index answers that without a scan over all records.
// Used by the crawl thread only.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace pq {

struct ItemRecord {
    std::string localName;
    int depth = -1;  // pages: the depth they were found at; pictures: -1
};

class CItemRegistry {
public:
    explicit CItemRegistry(size_t buckets = 0);

    // The address in lower case, cut before its first "#".
    static std::string KeyOf(std::string_view address);

    // The record stored under key, or nullptr.
    const ItemRecord* Find(const std::string& key) const;
    ItemRecord* Find(const std::string& key);
    // Stores rec under key, replacing any record stored there.
    void Store(const std::string& key, ItemRecord rec);
    // Whether some record's local name names the same file as name (both
    // cut before "#"), ignoring case.
    bool HasLocalName(std::string_view name) const;
    void Clear();
    size_t Size() const { return records_.size(); }

private:
    std::unordered_map<std::string, ItemRecord> records_;
    std::unordered_map<std::string, int> nameUses_;  // lower-cased local name -> records using it
};

}  // namespace pq
