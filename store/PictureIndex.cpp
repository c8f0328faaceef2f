#include "store/PictureIndex.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <xxhash.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace pq::store {

namespace fs = std::filesystem;

namespace {

// SQLite keeps 64-bit integers signed: a hash goes in with its bits as
// they are.
int64_t AsStored(uint64_t v) {
    int64_t s;
    std::memcpy(&s, &v, sizeof s);
    return s;
}
uint64_t FromStored(int64_t s) {
    uint64_t v;
    std::memcpy(&v, &s, sizeof v);
    return v;
}

// One prepared statement, finalized when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (db) sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return stmt_ != nullptr; }
    Statement& Bind(int i, const std::string& s) {
        sqlite3_bind_text(stmt_, i, s.data(), int(s.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int i, int64_t v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& BindNull(int i) {
        sqlite3_bind_null(stmt_, i);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE; }
    std::string Text(int i) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
        return t ? std::string(t, size_t(sqlite3_column_bytes(stmt_, i))) : std::string();
    }
    int64_t Int(int i) const { return sqlite3_column_int64(stmt_, i); }
    bool IsNull(int i) const { return sqlite3_column_type(stmt_, i) == SQLITE_NULL; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

constexpr const char* kColumns = "path, size, mtime, width, height, hash, dhash";

IndexedPicture Row(const Statement& s) {
    IndexedPicture p;
    p.path = s.Text(0);
    p.size = s.Int(1);
    p.mtimeNs = s.Int(2);
    p.width = int(s.Int(3));
    p.height = int(s.Int(4));
    p.hash = FromStored(s.Int(5));
    if (!s.IsNull(6)) p.dhash = FromStored(s.Int(6));
    return p;
}

// The upper end of the paths below folder, for a range scan: "/" is
// followed by "0" in byte order.
std::string PastFolder(const std::string& folder) {
    std::string end = folder;
    if (!end.empty() && end.back() == '/') end.back() = '0';
    return end;
}

bool StatOf(const std::string& path, int64_t& size, int64_t& mtimeNs) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = int64_t(st.st_size);
    mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

}  // namespace

std::optional<uint64_t> HashFile(const std::string& path, int64_t* size) {
    FILE* f = std::fopen(path.c_str(), "rbe");
    if (!f) return std::nullopt;
    XXH3_state_t* state = XXH3_createState();
    XXH3_64bits_reset(state);
    static thread_local std::unique_ptr<char[]> buffer(new char[1 << 16]);
    int64_t total = 0;
    bool ok = true;
    for (;;) {
        const size_t n = std::fread(buffer.get(), 1, 1 << 16, f);
        if (n > 0) {
            XXH3_64bits_update(state, buffer.get(), n);
            total += int64_t(n);
        }
        if (n < (1 << 16)) {
            ok = !std::ferror(f);
            break;
        }
    }
    const uint64_t h = XXH3_64bits_digest(state);
    XXH3_freeState(state);
    std::fclose(f);
    if (!ok) return std::nullopt;
    if (size) *size = total;
    return h;
}

bool SameBytes(const std::string& a, const std::string& b) {
    FILE* fa = std::fopen(a.c_str(), "rbe");
    FILE* fb = fa ? std::fopen(b.c_str(), "rbe") : nullptr;
    bool same = fa && fb;
    static thread_local std::unique_ptr<char[]> ba(new char[1 << 16]), bb(new char[1 << 16]);
    while (same) {
        const size_t na = std::fread(ba.get(), 1, 1 << 16, fa);
        const size_t nb = std::fread(bb.get(), 1, 1 << 16, fb);
        same = na == nb && std::memcmp(ba.get(), bb.get(), na) == 0;
        if (na < (1 << 16)) break;
    }
    if (same) same = std::feof(fa) && std::feof(fb) && !std::ferror(fa) && !std::ferror(fb);
    if (fa) std::fclose(fa);
    if (fb) std::fclose(fb);
    return same;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

PictureIndex::~PictureIndex() {
    if (db_) sqlite3_close(db_);
}

std::string PictureIndex::DefaultPath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && home[0] ? home : "/tmp") + "/.local/share";
    }
    return base + "/pelquinar/pictures.sqlite";
}

bool PictureIndex::IsOpen() const { return db_ != nullptr; }

bool PictureIndex::Exec(const char* sql) {
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool PictureIndex::MakeSchema(std::string* error) {
    const char* schema =
        "CREATE TABLE IF NOT EXISTS pictures("
        " path TEXT PRIMARY KEY NOT NULL,"
        " size INTEGER NOT NULL,"
        " mtime INTEGER NOT NULL,"
        " width INTEGER NOT NULL DEFAULT 0,"
        " height INTEGER NOT NULL DEFAULT 0,"
        " hash INTEGER NOT NULL,"
        " dhash INTEGER);"
        "CREATE INDEX IF NOT EXISTS pictures_by_content ON pictures(hash, size);"
        "CREATE TABLE IF NOT EXISTS deleted("
        " address TEXT NOT NULL,"
        " hash INTEGER NOT NULL,"
        " PRIMARY KEY(address, hash));"
        "CREATE INDEX IF NOT EXISTS deleted_by_content ON deleted(hash);";
    char* message = nullptr;
    if (sqlite3_exec(db_, schema, nullptr, nullptr, &message) != SQLITE_OK) {
        if (error) *error = message ? message : "The picture index cannot be made.";
        sqlite3_free(message);
        return false;
    }
    const std::string version = "PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";";
    return Exec(version.c_str());
}

bool PictureIndex::Open(const std::string& path, std::string* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
    path_ = path;
    rebuild_ = false;
    std::error_code ec;
    fs::create_directories(FolderOf(path), ec);
    const bool existed = fs::exists(path, ec);
    auto open = [&] {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(path.c_str(), &db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                            nullptr) != SQLITE_OK) {
            if (error) *error = db ? sqlite3_errmsg(db) : "The picture index cannot be opened.";
            sqlite3_close(db);
            return false;
        }
        db_ = db;
        // Searches and the window may use the index at once: a writer waits
        // for the other rather than failing.
        sqlite3_busy_timeout(db_, 5000);
        return true;
    };
    if (!open()) return false;
    // What is there must be this schema's database and whole.
    int version = -1;
    bool whole = false;
    {
        Statement v(db_, "PRAGMA user_version;");
        if (v && v.Step() == SQLITE_ROW) version = int(v.Int(0));
        Statement check(db_, "PRAGMA quick_check;");
        whole = check && check.Step() == SQLITE_ROW && check.Text(0) == "ok";
    }
    if (existed && (!whole || version != kSchemaVersion)) {
        // Damaged, another program's, or an older schema: set aside (never
        // deleted) and made afresh from the folders.
        sqlite3_close(db_);
        db_ = nullptr;
        fs::rename(path, path + ".damaged", ec);
        fs::remove(path + "-wal", ec);
        fs::remove(path + "-shm", ec);
        if (!open()) return false;
        rebuild_ = true;
    }
    if (!existed) rebuild_ = true;
    Exec("PRAGMA journal_mode = WAL;");
    Exec("PRAGMA synchronous = NORMAL;");
    if (!MakeSchema(error)) {
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

bool PictureIndex::Put(const IndexedPicture& p) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Statement s(db_,
                "INSERT OR REPLACE INTO pictures(path, size, mtime, width, height, hash, dhash) "
                "VALUES(?, ?, ?, ?, ?, ?, ?);");
    if (!s) return false;
    s.Bind(1, p.path).Bind(2, p.size).Bind(3, p.mtimeNs).Bind(4, int64_t(p.width));
    s.Bind(5, int64_t(p.height)).Bind(6, AsStored(p.hash));
    if (p.dhash)
        s.Bind(7, AsStored(*p.dhash));
    else
        s.BindNull(7);
    return s.Step() == SQLITE_DONE;
}

bool PictureIndex::Enter(const std::string& path, int width, int height) {
    int64_t size = 0, mtime = 0;
    if (!StatOf(path, size, mtime)) {
        Remove(path);
        return false;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::optional<IndexedPicture> known = Get(path);
    if (known && known->size == size && known->mtimeNs == mtime) {
        if ((width > 0 && known->width != width) || (height > 0 && known->height != height)) {
            IndexedPicture p = *known;
            p.width = width;
            p.height = height;
            return Put(p);
        }
        return true;
    }
    int64_t hashed = 0;
    const std::optional<uint64_t> hash = HashFile(path, &hashed);
    if (!hash) {
        Remove(path);
        return false;
    }
    IndexedPicture p;
    p.path = path;
    p.size = hashed;
    p.mtimeNs = mtime;
    p.width = width;
    p.height = height;
    p.hash = *hash;
    return Put(p);
}

bool PictureIndex::IsCurrent(const std::string& path, int64_t size, int64_t mtimeNs) {
    const std::optional<IndexedPicture> p = Get(path);
    return p && p->size == size && p->mtimeNs == mtimeNs;
}

bool PictureIndex::SetDifferenceHash(const std::string& path, uint64_t dhash, int width,
                                     int height) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Statement s(db_, "UPDATE pictures SET dhash = ?, width = ?, height = ? WHERE path = ?;");
    if (!s) return false;
    s.Bind(1, AsStored(dhash)).Bind(2, int64_t(width)).Bind(3, int64_t(height)).Bind(4, path);
    return s.Step() == SQLITE_DONE && sqlite3_changes(db_) > 0;
}

std::optional<IndexedPicture> PictureIndex::Get(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<IndexedPicture> rows = Select(
        "SELECT path, size, mtime, width, height, hash, dhash FROM pictures WHERE path = ?;", path);
    if (rows.empty()) return std::nullopt;
    return rows.front();
}

std::vector<IndexedPicture> PictureIndex::Select(const char* sql, const std::string& arg) {
    std::vector<IndexedPicture> out;
    Statement s(db_, sql);
    if (!s) return out;
    s.Bind(1, arg);
    while (s.Step() == SQLITE_ROW) out.push_back(Row(s));
    return out;
}

void PictureIndex::Remove(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Statement s(db_, "DELETE FROM pictures WHERE path = ?;");
    if (s) s.Bind(1, path).Step();
}

void PictureIndex::RemoveUnder(const std::string& folder) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Statement s(db_, "DELETE FROM pictures WHERE path >= ? AND path < ?;");
    if (s) s.Bind(1, folder).Bind(2, PastFolder(folder)).Step();
}

void PictureIndex::Move(const std::string& from, const std::string& to) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Remove(to);
    Statement s(db_, "UPDATE pictures SET path = ? WHERE path = ?;");
    if (s) s.Bind(1, to).Bind(2, from).Step();
}

std::vector<IndexedPicture> PictureIndex::WithContent(uint64_t hash, int64_t size) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<IndexedPicture> out;
    Statement s(db_,
                "SELECT path, size, mtime, width, height, hash, dhash FROM pictures "
                "WHERE hash = ? AND size = ?;");
    if (!s) return out;
    s.Bind(1, AsStored(hash)).Bind(2, size);
    while (s.Step() == SQLITE_ROW) out.push_back(Row(s));
    return out;
}

std::vector<IndexedPicture> PictureIndex::Under(const std::string& folder) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<IndexedPicture> out;
    Statement s(db_, folder.empty()
                         ? "SELECT path, size, mtime, width, height, hash, dhash FROM pictures "
                           "ORDER BY path;"
                         : "SELECT path, size, mtime, width, height, hash, dhash FROM pictures "
                           "WHERE path >= ? AND path < ? ORDER BY path;");
    if (!s) return out;
    if (!folder.empty()) s.Bind(1, folder).Bind(2, PastFolder(folder));
    while (s.Step() == SQLITE_ROW) out.push_back(Row(s));
    return out;
}

std::vector<IndexedPicture> PictureIndex::In(const std::string& folder) {
    std::vector<IndexedPicture> out;
    for (IndexedPicture& p : Under(folder))
        if (FolderOf(p.path) == folder) out.push_back(std::move(p));
    return out;
}

int PictureIndex::Count() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Statement s(db_, "SELECT COUNT(*) FROM pictures;");
    return s && s.Step() == SQLITE_ROW ? int(s.Int(0)) : 0;
}

std::string PictureIndex::FindCopy(const std::string& file, uint64_t hash, int64_t size) {
    for (const IndexedPicture& p : WithContent(hash, size)) {
        if (p.path == file) continue;
        int64_t nowSize = 0, nowTime = 0;
        if (!StatOf(p.path, nowSize, nowTime)) {
            Remove(p.path);  // its file went
            continue;
        }
        if (nowSize == size && SameBytes(p.path, file)) return p.path;
    }
    return {};
}

bool PictureIndex::RememberDeleted(const std::string& address, uint64_t hash) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Statement s(db_, "INSERT OR IGNORE INTO deleted(address, hash) VALUES(?, ?);");
    return s && s.Bind(1, address).Bind(2, AsStored(hash)).Step() == SQLITE_DONE;
}

bool PictureIndex::WasDeletedAddress(const std::string& address) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Statement s(db_, "SELECT 1 FROM deleted WHERE address = ? LIMIT 1;");
    return s && s.Bind(1, address).Step() == SQLITE_ROW;
}

bool PictureIndex::WasDeletedContent(uint64_t hash) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Statement s(db_, "SELECT 1 FROM deleted WHERE hash = ? LIMIT 1;");
    return s && s.Bind(1, AsStored(hash)).Step() == SQLITE_ROW;
}

void PictureIndex::ForgetDeleted() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Exec("DELETE FROM deleted;");
}

PictureIndex::Batch::Batch(PictureIndex& index) : index_(index) {
    index_.mutex_.lock();
    index_.Exec("BEGIN;");
}

PictureIndex::Batch::~Batch() {
    index_.Exec("COMMIT;");
    index_.mutex_.unlock();
}

}  // namespace pq::store
