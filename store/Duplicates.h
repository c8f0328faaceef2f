// Finding the same picture twice among the pictures of the index: groups of
// files holding the same bytes (hash and size equal, then the bytes
// compared, so a hash collision never calls two pictures equal), then
// groups of look-alikes, whose difference hashes differ in few bits (a
// picture and its copy at another size, or saved again at another quality).
// No Qt, any thread: it reads files, so the window calls it off its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "store/PictureIndex.h"

namespace pq::store {

// Two difference hashes at most this many bits apart (of 64) are called
// look-alikes: a picture and its half-size copy differ in a few bits, two
// unrelated pictures in about half of them.
constexpr int kLookAlikeBits = 10;

int HammingDistance(uint64_t a, uint64_t b);

struct DuplicateGroup {
    enum class Kind { kSameBytes, kLookAlike };
    Kind kind = Kind::kSameBytes;
    std::vector<IndexedPicture> members;  // two or more, in path order
};

// Whether two files hold the same bytes; SameBytes unless a test gives
// its own.
using SameBytesTest = std::function<bool(const std::string& a, const std::string& b)>;

// The groups among pictures: those of the same bytes first, then the
// look-alikes (difference hashes within maxBits of another member, taken
// transitively), each kind in the order of its first member's path. A
// picture of a same-bytes group takes part in the look-alikes once, as the
// first of its group; a picture without a difference hash is in none.
std::vector<DuplicateGroup> FindDuplicates(std::vector<IndexedPicture> pictures,
                                           int maxBits = kLookAlikeBits,
                                           const SameBytesTest& same = SameBytes);

// What goes when the user keeps, of each group, the member kept[i] (the
// first when kept has no valid choice for it): every other member, but
// never a picture kept in another group. Among the look-alikes the first of
// a set of copies stands for the set: keeping it there keeps the copy
// chosen in the set's own group. Each path once, in the order of the
// groups.
std::vector<std::string> OthersOf(const std::vector<DuplicateGroup>& groups,
                                  const std::vector<size_t>& kept);

// What a row and a group of the list say: "640 × 480" ("" while not
// known), "The same picture, 3 files" or "Look-alikes, 2 pictures".
std::string DimensionsText(int width, int height);
std::string GroupTitle(const DuplicateGroup& group);
// What a search of the list found: "No duplicates found.", or
// "1 group of the same picture, 2 groups of look-alikes." (a kind found
// none of is left out).
std::string FoundText(const std::vector<DuplicateGroup>& groups);

}  // namespace pq::store
