#include "store/ProjectFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// Reads a text file line by line; a line keeps no "\n" and no final "\r".
// A last line without its line end (a writer still at work) is kept as read.
class LineReader {
public:
    explicit LineReader(const std::string& path) : in_(path, std::ios::binary) {}
    bool IsOpen() const { return in_.is_open(); }
    bool Next(std::string& line) {
        if (!std::getline(in_, line)) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }

private:
    std::ifstream in_;
};

}  // namespace

std::string FormatHeader(const ProjectHeader& h) {
    return h.statusText + std::string(12, ' ') + "\r\n" + h.versionLine + "\r\n" +
           "FILTER=" + h.filterValue + "\r\n" + h.keywordsLine + "\r\n" + h.engineLine + "\r\n" +
           h.urlLine + "\r\n" + std::string(13, ' ') + "\r\n";
}

std::string FormatItemLine(const std::string& status, const std::string& localName,
                           const std::string& sizeText, const std::string& address) {
    return status + " " + localName + " " + sizeText + " " + address;
}

bool CreateProjectFile(const std::string& folder, const ProjectHeader& header) {
    std::lock_guard<std::mutex> lock(WriteMutex());
    // O_EXCL makes the existence test and the creation one step.
    int fd =
        ::open((folder + kProjectFileName).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, FormatHeader(header));
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
    int fd = ::open((folder + kProjectFileName).c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::pwrite(fd, statusText.data(), statusText.size(), 0) == ssize_t(statusText.size());
    ok = ::lseek(fd, 0, SEEK_END) >= 0 && ok;
    ok = ok && WriteAll(fd, line);
    ok = (::close(fd) == 0) && ok;
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
        } else {
            // status, name, size, address: cut at single spaces.
            size_t s1 = line.find(' ');
            if (s1 == std::string::npos) continue;
            size_t s2 = line.find(' ', s1 + 1);
            std::string name =
                line.substr(s1 + 1, s2 == std::string::npos ? std::string::npos : s2 - s1 - 1);
            std::string ext = LowerExtension(name);
            if (ext == ".html" || ext == ".htm") continue;
            if (line.compare(0, s1, "**") == 0) continue;
            if (name.empty() || !FileExists(folder + name)) continue;
            BrowsedPicture pic;
            pic.localName = name;
            if (ext == ".jpeg" || ext == ".jpg")
                pic.typeText = "JPEG Image";
            else if (ext == ".gif")
                pic.typeText = "GIF Image";
            else if (ext == ".bmp")
                pic.typeText = "BMP Image";
            size_t s3 = s2 == std::string::npos ? std::string::npos : line.find(' ', s2 + 1);
            if (s3 != std::string::npos) pic.address = line.substr(s3 + 1);
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
