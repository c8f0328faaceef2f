// The picture index: one SQLite database (the user's data folder,
// "pelquinar/pictures.sqlite") holding, for every picture of the projects
// and categories, its path, size, modification time, pixel dimensions, a
// content hash (XXH3, 64 bits) and, once the window has decoded it, a
// difference hash of a small grey copy. Searches enter what they save, the
// browsing list what it shows; files that go leave. It also remembers the
// pictures the user sent to the trash from a project, by address and
// content hash. A missing, damaged or older index is made afresh and says
// so (NeedsRebuild), and the caller enters the folders again.
//
// Any thread: one connection, guarded by a mutex of the object's own.
// No Qt: the download workers use it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace pq::store {

struct IndexedPicture {
    std::string path;
    int64_t size = 0;
    int64_t mtimeNs = 0;
    int width = 0, height = 0;  // 0 while unknown
    uint64_t hash = 0;          // XXH3-64 of the file's bytes
    std::optional<uint64_t> dhash;
};

// XXH3-64 of a file's bytes; nullopt when it cannot be read. size gets its
// length.
std::optional<uint64_t> HashFile(const std::string& path, int64_t* size = nullptr);
// Whether two files hold the same bytes (what a hash match must pass
// before anything is called equal).
bool SameBytes(const std::string& a, const std::string& b);
// The folder part of a path, with its "/".
std::string FolderOf(const std::string& path);

class PictureIndex {
public:
    static constexpr int kSchemaVersion = 1;

    PictureIndex() = default;
    ~PictureIndex();
    PictureIndex(const PictureIndex&) = delete;
    PictureIndex& operator=(const PictureIndex&) = delete;

    // $XDG_DATA_HOME (else ~/.local/share) + "/pelquinar/pictures.sqlite".
    static std::string DefaultPath();

    // Opens the index at path, making its folder and the database when
    // missing. A file that is no database of this schema (damaged, or of
    // another version) is set aside as path + ".damaged" and made afresh.
    bool Open(const std::string& path, std::string* error = nullptr);
    bool IsOpen() const;
    const std::string& Path() const { return path_; }
    // Made afresh by Open: the folders are to be entered again.
    bool NeedsRebuild() const { return rebuild_; }
    void RebuildDone() { rebuild_ = false; }

    // Enters or replaces a picture.
    bool Put(const IndexedPicture& p);
    // Hashes the file at path and enters it, keeping what was known of it
    // (dimensions, difference hash) when its size and time are unchanged.
    // False when it cannot be read.
    bool Enter(const std::string& path, int width = 0, int height = 0);
    // Whether path is in the index with this size and modification time.
    bool IsCurrent(const std::string& path, int64_t size, int64_t mtimeNs);
    bool SetDifferenceHash(const std::string& path, uint64_t dhash, int width, int height);
    std::optional<IndexedPicture> Get(const std::string& path);
    void Remove(const std::string& path);
    // Every picture of the folder and the folders below it.
    void RemoveUnder(const std::string& folder);
    void Move(const std::string& from, const std::string& to);

    // Pictures with this hash and size (their bytes not yet compared).
    std::vector<IndexedPicture> WithContent(uint64_t hash, int64_t size);
    // The pictures of folder and its subfolders (folder ends in "/"), or
    // of everything for "".
    std::vector<IndexedPicture> Under(const std::string& folder);
    // The pictures of folder itself.
    std::vector<IndexedPicture> In(const std::string& folder);
    int Count();

    // A picture of the collection holding the same bytes as file (hash and
    // size matched, bytes compared), other than file itself; "" when none.
    // Entries whose files went are dropped on the way.
    std::string FindCopy(const std::string& file, uint64_t hash, int64_t size);

    // The user sent a picture of a project to the trash.
    bool RememberDeleted(const std::string& address, uint64_t hash);
    bool WasDeletedAddress(const std::string& address);
    bool WasDeletedContent(uint64_t hash);
    void ForgetDeleted();

    // Many changes in one transaction (one sync instead of one each).
    class Batch {
    public:
        explicit Batch(PictureIndex& index);
        ~Batch();

    private:
        PictureIndex& index_;
    };

private:
    bool MakeSchema(std::string* error);
    bool Exec(const char* sql);
    std::vector<IndexedPicture> Select(const char* sql, const std::string& arg);

    std::recursive_mutex mutex_;
    sqlite3* db_ = nullptr;
    std::string path_;
    bool rebuild_ = false;
};

}  // namespace pq::store
