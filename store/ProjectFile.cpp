#include "store/ProjectFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>

namespace pq::store {

namespace {

// One writer at a time in this process: the crawl thread and the download
// workers all append to the same file.
std::mutex& WriteMutex() {
    static std::mutex m;
    return m;
}

bool WriteAll(int fd, const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= size_t(n);
    }
    return true;
}

std::string RightTrimmed(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' ||
                          s.back() == '\n' || s.back() == '\v' || s.back() == '\f'))
        s.pop_back();
    return s;
}

std::string LowerExtension(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return ext;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A name an item line may hold: one plain file of the project folder (a
// page's "#fragment" aside), never a path.
bool IsOwnFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c == '/' || c == '\\' || c < 0x20 || c == 0x7f) return false;
    return true;
}

// A page's name without its fragment: the file it was saved as.
std::string FileOf(const std::string& name) { return name.substr(0, name.find('#')); }

// Whether folder + name is a regular file that stays inside the folder: the
// program never makes links, so a link there leads out only when its target
// lies elsewhere.
bool IsInFolder(const std::string& folder, const std::string& name) {
    const std::string path = folder + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return false;
    if (S_ISREG(st.st_mode)) return true;
    if (!S_ISLNK(st.st_mode) || !FileExists(path)) return false;
    char* real = ::realpath(path.c_str(), nullptr);
    char* base = ::realpath(folder.c_str(), nullptr);
    bool inside = false;
    if (real && base) {
        const std::string r(real), b = std::string(base) + "/";
        inside = r.compare(0, b.size(), b) == 0 && r.find('/', b.size()) == std::string::npos;
    }
    std::free(real);
    std::free(base);
    return inside;
}

// Reads a text file line by line; a line keeps no "\n" and no final "\r".
// A last line without its line end (a writer still at work) is kept as read.
// A line longer than kMaxLine is cut there and the rest of it skipped, so a
// damaged or foreign file (binary, one endless line) costs no more memory
// than that.
class LineReader {
public:
    static constexpr size_t kMaxLine = 64 * 1024;
    explicit LineReader(const std::string& path) : in_(path, std::ios::binary) {}
    bool IsOpen() const { return in_.is_open(); }
    bool Next(std::string& line) {
        line.clear();
        std::streambuf* buf = in_.rdbuf();
        if (!in_.good() || !buf) return false;
        bool any = false;
        for (;;) {
            const int c = buf->sbumpc();
            if (c == std::char_traits<char>::eof()) {
                in_.setstate(std::ios::eofbit);
                break;
            }
            any = true;
            if (c == '\n') break;
            if (line.size() < kMaxLine) line += char(c);
        }
        if (!any) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }

private:
    std::ifstream in_;
};

constexpr char kHex[] = "0123456789ABCDEF";

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

// The bytes for which encode says so, percent-encoded; the rest as they are.
template <class Pred>
std::string PercentEncode(std::string_view text, Pred encode) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (encode(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

int HexValue(char h) {
    if (h >= '0' && h <= '9') return h - '0';
    if (h >= 'a' && h <= 'f') return h - 'a' + 10;
    if (h >= 'A' && h <= 'F') return h - 'A' + 10;
    return -1;
}

// Length of line 1 without its line end, read from the file's start; -1
// when it cannot be read or has no line end within the first bytes.
ssize_t FirstLineLength(int fd) {
    char head[128];
    ssize_t n = ::pread(fd, head, sizeof head, 0);
    for (ssize_t i = 0; i < n; ++i)
        if (head[i] == '\r' || head[i] == '\n') return i;
    return -1;
}

// What goes over line 1 of lineLength bytes for a status: the status filled
// with spaces to the whole line, so a shorter status leaves no tail of the
// longer one before it ("1**00:00:00" over "37**01:02:03"). Empty when it
// does not fit: a longer text (a damaged or foreign line 1) would run into
// line 2.
std::string StatusOverLine1(const std::string& statusText, long lineLength) {
    std::string status = EncodeControls(statusText);
    if (lineLength < 0 || long(status.size()) > lineLength) return {};
    status.resize(size_t(lineLength), ' ');
    return status;
}

}  // namespace

std::string EncodeControls(std::string_view text) { return PercentEncode(text, IsControl); }

std::string EncodeField(std::string_view text) {
    // "%" itself too: a name or address holding "%20" of its own must not
    // read back as a space.
    return PercentEncode(text,
                         [](unsigned char c) { return c == ' ' || c == '%' || IsControl(c); });
}

std::string DecodeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                unsigned char c = static_cast<unsigned char>(hi * 16 + lo);
                if (c == ' ' || c == '%' || IsControl(c)) {
                    out += char(c);
                    i += 2;
                    continue;
                }
            }
        }
        out += text[i];
    }
    return out;
}

std::string FormatHeader(const ProjectHeader& h) {
    return EncodeControls(h.statusText) + std::string(12, ' ') + "\r\n" +
           EncodeControls(h.versionLine) + "\r\n" + "FILTER=" + EncodeControls(h.filterValue) +
           "\r\n" + EncodeControls(h.keywordsLine) + "\r\n" + EncodeControls(h.engineLine) +
           "\r\n" + EncodeControls(h.urlLine) + "\r\n" + std::string(13, ' ') + "\r\n";
}

std::string FormatItemLine(const std::string& status, const std::string& localName,
                           const std::string& sizeText, const std::string& address) {
    return EncodeControls(status) + " " + EncodeField(localName) + " " + EncodeField(sizeText) +
           " " + EncodeField(address);
}

bool CreateProjectFile(const std::string& folder, const ProjectHeader& header) {
    std::lock_guard<std::mutex> lock(WriteMutex());
    // The header is written under a temporary name and linked into place:
    // a run killed meanwhile leaves no project.inf cut short (which would
    // read as a project without an address), only a ".down" file the next
    // search in the folder removes. link() never replaces a file, so an
    // existing record is left as it is.
    const std::string target = folder + kProjectFileName;
    const std::string temp = target + ".down";
    const std::string text = FormatHeader(header);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
        bool ok = WriteAll(fd, text);
        ok = (::close(fd) == 0) && ok;
        if (ok && ::link(temp.c_str(), target.c_str()) == 0) {
            ::unlink(temp.c_str());
            return true;
        }
        int error = errno;
        if (ok && error != EEXIST) {
            if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) ==
                0)
                return true;
            error = errno;
        }
        ::unlink(temp.c_str());
        if (!ok || error == EEXIST) return false;
    }
    // A file system without links or a no-replace rename (FAT on a memory
    // stick): the exclusive create, as the only way left.
    fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, text);
    ok = (::close(fd) == 0) && ok;
    return ok;
}

bool AppendItemLine(const std::string& folder, const std::string& status,
                    const std::string& localName, const std::string& sizeText,
                    const std::string& address) {
    std::string line = FormatItemLine(status, localName, sizeText, address) + "\r\n";
    std::lock_guard<std::mutex> lock(WriteMutex());
    int fd = ::open((folder + kProjectFileName).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, line);
    ok = (::close(fd) == 0) && ok;
    return ok;
}

bool UpdateStatusAndAppend(const std::string& folder, const std::string& statusText,
                           const std::string& localName, const std::string& sizeText,
                           const std::string& address) {
    std::string line = FormatItemLine("OK", localName, sizeText, address) + "\r\n";
    std::lock_guard<std::mutex> lock(WriteMutex());
    int fd = ::open((folder + kProjectFileName).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    // The status goes over the start of line 1 only when it fits there: a
    // longer text (a damaged or foreign line 1) would run into line 2. Such
    // a status is skipped; the item line is still appended.
    const std::string status = StatusOverLine1(statusText, FirstLineLength(fd));
    bool ok = true;
    if (!status.empty())
        ok = ::pwrite(fd, status.data(), status.size(), 0) == ssize_t(status.size());
    ok = ::lseek(fd, 0, SEEK_END) >= 0 && ok;
    ok = ok && WriteAll(fd, line);
    ok = (::close(fd) == 0) && ok;
    return ok;
}

ProjectRecord::~ProjectRecord() { Close(); }

bool ProjectRecord::Open(const std::string& folder) {
    Close();
    const std::string path = folder + kProjectFileName;
    int appendFd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    int statusFd = appendFd >= 0 ? ::open(path.c_str(), O_RDWR | O_CLOEXEC) : -1;
    if (statusFd < 0) {
        if (appendFd >= 0) ::close(appendFd);
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    folder_ = folder;
    appendFd_ = appendFd;
    statusFd_ = statusFd;
    firstLineLength_ = long(FirstLineLength(statusFd));
    return true;
}

void ProjectRecord::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (appendFd_ >= 0) ::close(appendFd_);
    if (statusFd_ >= 0) ::close(statusFd_);
    appendFd_ = statusFd_ = -1;
    folder_.clear();
}

bool ProjectRecord::IsOpenFor(const std::string& folder) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return appendFd_ >= 0 && folder_ == folder;
}

bool ProjectRecord::AppendItemLine(const std::string& folder, const std::string& status,
                                   const std::string& localName, const std::string& sizeText,
                                   const std::string& address) {
    const std::string line = FormatItemLine(status, localName, sizeText, address) + "\r\n";
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (appendFd_ >= 0 && folder_ == folder) return WriteAll(appendFd_, line);
    }
    return store::AppendItemLine(folder, status, localName, sizeText, address);
}

bool ProjectRecord::UpdateStatusAndAppend(const std::string& folder, const std::string& statusText,
                                          const std::string& localName, const std::string& sizeText,
                                          const std::string& address) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (appendFd_ >= 0 && folder_ == folder) {
            const std::string line = FormatItemLine("OK", localName, sizeText, address) + "\r\n";
            const std::string status = StatusOverLine1(statusText, firstLineLength_);
            bool ok = true;
            if (!status.empty())
                ok = ::pwrite(statusFd_, status.data(), status.size(), 0) == ssize_t(status.size());
            return WriteAll(appendFd_, line) && ok;
        }
    }
    return store::UpdateStatusAndAppend(folder, statusText, localName, sizeText, address);
}

bool ProjectRecord::AppendPictureLines(const std::string& folder,
                                       const std::vector<PictureLine>& lines,
                                       const std::string& statusText) {
    std::string text;
    for (const PictureLine& l : lines)
        text += FormatItemLine("OK", l.localName, l.sizeText, l.address) + "\r\n";
    std::lock_guard<std::mutex> lock(mutex_);
    const bool open = appendFd_ >= 0 && folder_ == folder;
    int appendFd = appendFd_, statusFd = statusFd_;
    long firstLine = firstLineLength_;
    std::unique_lock<std::mutex> writeLock(WriteMutex(), std::defer_lock);
    if (!open) {
        writeLock.lock();
        appendFd = ::open((folder + kProjectFileName).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        statusFd =
            appendFd >= 0 ? ::open((folder + kProjectFileName).c_str(), O_RDWR | O_CLOEXEC) : -1;
        firstLine = statusFd >= 0 ? long(FirstLineLength(statusFd)) : -1;
    }
    // The lines first: a status never counts a picture whose line is not there.
    bool ok = appendFd >= 0 && WriteAll(appendFd, text);
    if (ok && !statusText.empty()) {
        const std::string status = StatusOverLine1(statusText, firstLine);
        if (!status.empty())
            ok = ::pwrite(statusFd, status.data(), status.size(), 0) == ssize_t(status.size());
    }
    if (!open) {
        if (appendFd >= 0) ok = ::close(appendFd) == 0 && ok;
        if (statusFd >= 0) ::close(statusFd);
    }
    return ok;
}

BrowsedProject ReadProjectForBrowsing(const std::string& folder) {
    BrowsedProject p;
    LineReader in(folder + kProjectFileName);
    if (!in.IsOpen()) return p;
    p.found = true;
    std::string line;
    if (!in.Next(line)) return p;
    size_t star = line.rfind('*');
    p.elapsed = RightTrimmed(star == std::string::npos ? line : line.substr(star + 1));
    while (in.Next(line)) {
        if (line.compare(0, 3, "URL") == 0) {
            p.url = line.size() > 4 ? line.substr(4) : "";
        } else if (line.compare(0, 8, "KEYWORDS") == 0) {
            p.keywords = line.size() > 9 ? line.substr(9) : "";
        } else if (line.compare(0, 12, "SEARCHENGINE") == 0) {
            p.engine = line.size() > 13 ? line.substr(13) : "";
        } else if (line.compare(0, 6, "FILTER") == 0) {
            p.filterValue = line.size() > 7 ? line.substr(7) : "";
        } else if (line.compare(0, 8, "Version=") == 0) {
            p.version = line.substr(8);
        } else {
            // status, name, size, address: cut at single spaces.
            size_t s1 = line.find(' ');
            if (s1 == std::string::npos) continue;
            size_t s2 = line.find(' ', s1 + 1);
            const std::string written =
                line.substr(s1 + 1, s2 == std::string::npos ? std::string::npos : s2 - s1 - 1);
            std::string name = DecodeField(written);
            size_t s3 = s2 == std::string::npos ? std::string::npos : line.find(' ', s2 + 1);
            const std::string address =
                s3 == std::string::npos ? std::string() : DecodeField(line.substr(s3 + 1));
            // A project's files are plain names in its own folder: a damaged
            // or foreign line naming anything else is no file of it.
            if (!IsOwnFileName(name) || !IsOwnFileName(written)) continue;
            // Lines of older versions hold names unencoded: a name with "%20"
            // of its own is found as written.
            const std::string file = FileOf(name);
            if (!FileExists(folder + file) && FileExists(folder + FileOf(written))) name = written;
            std::string ext = LowerExtension(name);
            // Pages, and the result pages of an open search service.
            if (ext == ".html" || ext == ".htm" || ext == ".json" ||
                ext.find('#') != std::string::npos) {
                if (line.compare(0, s1, "OK") == 0) p.pages.push_back(BrowsedPage{name, address});
                continue;
            }
            if (line.compare(0, s1, "**") == 0) continue;
            if (!IsInFolder(folder, name)) continue;
            BrowsedPicture pic;
            pic.localName = name;
            if (ext == ".jpeg" || ext == ".jpg")
                pic.typeText = "JPEG Image";
            else if (ext == ".gif")
                pic.typeText = "GIF Image";
            else if (ext == ".bmp")
                pic.typeText = "BMP Image";
            else if (ext == ".png")
                pic.typeText = "PNG Image";
            else if (ext == ".webp")
                pic.typeText = "WebP Image";
            pic.address = address;
            p.pictures.push_back(std::move(pic));
        }
    }
    return p;
}

ProjectSummary ReadProjectSummary(const std::string& folder, int maxLines) {
    ProjectSummary s;
    std::string path = folder + kProjectFileName;
    LineReader in(path);
    if (!in.IsOpen()) return s;
    s.found = true;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) s.modified = st.st_mtime;
    std::string line;
    for (int n = 0; n < maxLines && in.Next(line); ++n) {
        line = RightTrimmed(line);
        if (n == 0) s.pictures = line.substr(0, line.find('*'));
        if (line.compare(0, 3, "URL") == 0)
            s.url = line.size() > 4 ? line.substr(4) : "";
        else if (line.compare(0, 5, "IMAGE") == 0)
            s.image = line.size() > 6 ? line.substr(6) : "";
        else if (line.compare(0, 8, "KEYWORDS") == 0)
            s.keywords = line.size() > 9 ? line.substr(9) : "";
    }
    return s;
}

}  // namespace pq::store
