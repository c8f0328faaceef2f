#include "store/Categories.h"

#include <filesystem>

namespace pq::store {

namespace fs = std::filesystem;

bool EnsureSkeleton(const std::string& startIn, std::string& dirCreate) {
    std::string start = startIn;
    if (start.empty() || start.back() != '/') start += '/';
    std::error_code ec;
    bool ok = true;
    for (const std::string& f : {start + kMySearch + "/Websearch", start + kMySearch + "/Keysearch",
                                 start + kMyPictures}) {
        fs::create_directories(f, ec);
        ok = ok && fs::is_directory(f, ec);
    }
    if (dirCreate == "-1") {
        for (const char* c : {"Scenic", "Portrait", "Cartoon", "Sport", "Art"})
            fs::create_directories(start + kMyPictures + "/" + c, ec);
        dirCreate = "1";
    }
    return ok;
}

std::string CategoryNameProblem(const std::string& name) {
    if (name.empty()) return "A category needs a name.";
    if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos)
        return "A category name cannot hold \"/\".";
    if (name == "." || name == "..") return "\"" + name + "\" cannot be a category name.";
    if (name[0] == '.') return "A category name cannot begin with a dot.";
    if (name.size() > 255) return "The category name is too long.";
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f) return "A category name cannot hold control characters.";
    return {};
}

bool MakeCategory(const std::string& parentIn, const std::string& name, std::string& reason) {
    reason = CategoryNameProblem(name);
    if (!reason.empty()) return false;
    std::string parent = parentIn;
    if (parent.empty() || parent.back() != '/') parent += '/';
    // Every call takes an error code: a parent that cannot be read makes
    // the check fail as the making did, and the user is told why.
    std::error_code made, checked;
    fs::create_directory(parent + name, made);
    if (!fs::is_directory(parent + name, checked)) {
        const std::error_code& ec = made ? made : checked;
        reason = ec ? ec.message() : "The folder could not be made.";
        return false;
    }
    return true;
}

}  // namespace pq::store
