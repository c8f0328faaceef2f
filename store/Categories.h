// The folders under the start directory: "My Search" with its two project
// roots, "My Pictures" with the categories (five made on the first run
// only), and the rules for a category's name.
// No Qt.
#pragma once

#include <string>

namespace pq::store {

inline constexpr const char* kMySearch = "My Search";
inline constexpr const char* kMyPictures = "My Pictures";

// Makes what is missing of the skeleton; the default categories only while
// dirCreate is "-1", which then becomes "1". False when a folder could not
// be made.
bool EnsureSkeleton(const std::string& startDirectory, std::string& dirCreate);

// Why name cannot be a category ("" when it can): empty, "/" or a NUL in it,
// "." or "..", a leading dot, longer than a file name may be.
std::string CategoryNameProblem(const std::string& name);
// Makes parent + name; false with a reason. An existing folder is fine.
bool MakeCategory(const std::string& parent, const std::string& name, std::string& reason);

}  // namespace pq::store
