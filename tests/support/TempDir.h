// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes. Path() ends with "/".
#pragma once

#include <string>

namespace pq::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string ReadFile(const std::string& name) const;
    bool Exists(const std::string& name) const;

private:
    std::string path_;
};

}  // namespace pq::test
