#include "engine/CItemRegistry.h"

#include "engine/TextUtil.h"

namespace pq {

CItemRegistry::CItemRegistry(size_t buckets) {
    if (buckets) {
        records_.reserve(buckets);
        nameUses_.reserve(buckets);
    }
}

std::string CItemRegistry::KeyOf(std::string_view address) {
    return ToLower(address.substr(0, address.find('#')));
}

const ItemRecord* CItemRegistry::Find(const std::string& key) const {
    auto it = records_.find(key);
    return it == records_.end() ? nullptr : &it->second;
}

ItemRecord* CItemRegistry::Find(const std::string& key) {
    auto it = records_.find(key);
    return it == records_.end() ? nullptr : &it->second;
}

void CItemRegistry::Store(const std::string& key, ItemRecord rec) {
    auto it = records_.find(key);
    if (it != records_.end()) {
        auto used = nameUses_.find(ToLower(FilePartOf(it->second.localName)));
        if (used != nameUses_.end() && --used->second == 0) nameUses_.erase(used);
    }
    ++nameUses_[ToLower(FilePartOf(rec.localName))];
    records_[key] = std::move(rec);
}

bool CItemRegistry::HasLocalName(std::string_view name) const {
    return nameUses_.count(ToLower(FilePartOf(name))) != 0;
}

void CItemRegistry::Clear() {
    records_.clear();
    nameUses_.clear();
}

}  // namespace pq
