#include "store/Duplicates.h"

#include <algorithm>
#include <bit>
#include <map>
#include <numeric>
#include <set>
#include <utility>

namespace pq::store {

namespace {

bool ByPath(const IndexedPicture& a, const IndexedPicture& b) { return a.path < b.path; }

// The pictures of one hash and size split into the sets that really hold
// the same bytes: each picture is compared with the first of every set so
// far.
std::vector<std::vector<IndexedPicture>> SplitByBytes(std::vector<IndexedPicture> candidates,
                                                      const SameBytesTest& same) {
    std::vector<std::vector<IndexedPicture>> sets;
    for (IndexedPicture& p : candidates) {
        auto it = std::find_if(sets.begin(), sets.end(), [&](const auto& set) {
            return same(set.front().path, p.path);
        });
        if (it == sets.end())
            sets.push_back({std::move(p)});
        else
            it->push_back(std::move(p));
    }
    return sets;
}

class UnionFind {
public:
    explicit UnionFind(size_t n) : parent_(n) { std::iota(parent_.begin(), parent_.end(), 0); }
    size_t Root(size_t i) {
        while (parent_[i] != i) {
            parent_[i] = parent_[parent_[i]];
            i = parent_[i];
        }
        return i;
    }
    void Join(size_t a, size_t b) {
        a = Root(a);
        b = Root(b);
        if (a != b) parent_[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<size_t> parent_;
};

}  // namespace

int HammingDistance(uint64_t a, uint64_t b) { return std::popcount(a ^ b); }

std::vector<DuplicateGroup> FindDuplicates(std::vector<IndexedPicture> pictures, int maxBits,
                                           const SameBytesTest& same) {
    std::sort(pictures.begin(), pictures.end(), ByPath);
    pictures.erase(std::unique(pictures.begin(), pictures.end(),
                               [](const auto& a, const auto& b) { return a.path == b.path; }),
                   pictures.end());

    // Same bytes: only pictures of one hash and size can be; their bytes
    // decide.
    std::map<std::pair<uint64_t, int64_t>, std::vector<IndexedPicture>> byContent;
    for (IndexedPicture& p : pictures) byContent[{p.hash, p.size}].push_back(std::move(p));
    std::vector<DuplicateGroup> sameBytes;
    // What takes part in the look-alikes: a picture alone, or the first of
    // a same-bytes set standing for it.
    std::vector<IndexedPicture> units;
    for (auto& [content, candidates] : byContent) {
        if (candidates.size() == 1) {
            units.push_back(std::move(candidates.front()));
            continue;
        }
        for (auto& set : SplitByBytes(std::move(candidates), same)) {
            std::sort(set.begin(), set.end(), ByPath);
            units.push_back(set.front());
            if (set.size() > 1)
                sameBytes.push_back({DuplicateGroup::Kind::kSameBytes, std::move(set)});
        }
    }
    auto byFirst = [](const DuplicateGroup& a, const DuplicateGroup& b) {
        return a.members.front().path < b.members.front().path;
    };
    std::sort(sameBytes.begin(), sameBytes.end(), byFirst);

    // Look-alikes: every pair of difference hashes compared (a popcount
    // each: 50 million for 10,000 pictures is a few tens of milliseconds),
    // pairs within reach joined into sets.
    units.erase(std::remove_if(units.begin(), units.end(),
                               [](const IndexedPicture& p) { return !p.dhash; }),
                units.end());
    std::sort(units.begin(), units.end(), ByPath);
    std::vector<uint64_t> hashes(units.size());
    for (size_t i = 0; i < units.size(); ++i) hashes[i] = *units[i].dhash;
    UnionFind sets(units.size());
    for (size_t i = 0; i < hashes.size(); ++i)
        for (size_t j = i + 1; j < hashes.size(); ++j)
            if (std::popcount(hashes[i] ^ hashes[j]) <= maxBits) sets.Join(i, j);
    std::map<size_t, std::vector<IndexedPicture>> joined;
    for (size_t i = 0; i < units.size(); ++i) joined[sets.Root(i)].push_back(units[i]);
    std::vector<DuplicateGroup> lookAlike;
    for (auto& [root, members] : joined)
        if (members.size() > 1)
            lookAlike.push_back({DuplicateGroup::Kind::kLookAlike, std::move(members)});
    std::sort(lookAlike.begin(), lookAlike.end(), byFirst);

    std::vector<DuplicateGroup> out = std::move(sameBytes);
    for (DuplicateGroup& g : lookAlike) out.push_back(std::move(g));
    return out;
}

std::vector<std::string> OthersOf(const std::vector<DuplicateGroup>& groups,
                                  const std::vector<size_t>& kept) {
    auto keptOf = [&](size_t g) {
        // A choice out of range keeps the first: a group never loses all.
        const size_t n = groups[g].members.size();
        return g < kept.size() && kept[g] < n ? kept[g] : size_t(0);
    };
    // Among the look-alikes, the first of a set of copies stands for the
    // set: keeping it there keeps the copy chosen in the set's own group.
    std::map<std::string, std::string> keptCopy;
    for (size_t g = 0; g < groups.size(); ++g)
        if (groups[g].kind == DuplicateGroup::Kind::kSameBytes && !groups[g].members.empty())
            for (const IndexedPicture& p : groups[g].members)
                keptCopy[p.path] = groups[g].members[keptOf(g)].path;
    std::set<std::string> keep;
    for (size_t g = 0; g < groups.size(); ++g) {
        if (groups[g].members.empty()) continue;
        const std::string& chosen = groups[g].members[keptOf(g)].path;
        const auto copy = keptCopy.find(chosen);
        keep.insert(copy != keptCopy.end() ? copy->second : chosen);
    }
    std::vector<std::string> out;
    std::set<std::string> listed;
    for (const DuplicateGroup& group : groups)
        for (const IndexedPicture& p : group.members)
            if (!keep.count(p.path) && listed.insert(p.path).second) out.push_back(p.path);
    return out;
}

std::string DimensionsText(int width, int height) {
    if (width <= 0 || height <= 0) return {};
    return std::to_string(width) + " \u00d7 " + std::to_string(height);
}

std::string GroupTitle(const DuplicateGroup& group) {
    const std::string n = std::to_string(group.members.size());
    return group.kind == DuplicateGroup::Kind::kSameBytes ? "The same picture, " + n + " files"
                                                          : "Look-alikes, " + n + " pictures";
}

std::string FoundText(const std::vector<DuplicateGroup>& groups) {
    int same = 0, alike = 0;
    for (const DuplicateGroup& g : groups)
        ++(g.kind == DuplicateGroup::Kind::kSameBytes ? same : alike);
    if (same == 0 && alike == 0) return "No duplicates found.";
    auto count = [](int n, const char* what) {
        return std::to_string(n) + (n == 1 ? " group of " : " groups of ") + what;
    };
    std::string text;
    if (same > 0) text = count(same, "the same picture");
    if (alike > 0) text += (text.empty() ? "" : ", ") + count(alike, "look-alikes");
    return text + ".";
}

}  // namespace pq::store
