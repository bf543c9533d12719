#include "platform/profile_file.h"

// The private-profile calls of the home platform (shared/reference/profile-files.md),
// on a file read afresh by every call.
//
// Writes are crash-safe and serialised:
//   1. take an exclusive flock on the file's folder (opened O_DIRECTORY). Not on
//      the file itself: the rename in step 4 puts a new inode under the name, so
//      a lock on the old inode would no longer exclude the next writer. The
//      folder keeps its inode, leaves nothing behind, and each call opens it
//      afresh, so the lock separates threads of one process as well as processes;
//   2. read the file again under that lock and change the one key in the text;
//   3. write the whole text to a temporary file in the same folder, fsync it;
//   4. rename it over the file and fsync the folder.
// A reader (who takes no lock) opens either the old or the new inode, both
// whole; a crash at any moment leaves the old or the new file, plus at worst a
// stale temporary, which the next writer replaces.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace platform {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kCrLf = "\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

// ---- the text model --------------------------------------------------------

struct Line {
    std::size_t begin;  // first byte of the content
    std::size_t end;    // one past the content: where the line end starts
    std::size_t next;   // one past the line end (== end on a last line without one)
};

// CRLF, LF and a lone CR all end a line.
std::vector<Line> SplitLines(std::string_view text, std::size_t start) {
    std::vector<Line> lines;
    std::size_t pos = start;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        std::size_t next = end;
        if (next < text.size()) {
            next +=
                (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
        }
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

enum class LineKind { Other, Section, Key };

struct LineInfo {
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name, trimmed, as spelt in the file
    std::string_view value;  // key value, trimmed, quotes still on
};

LineInfo Classify(std::string_view content) {
    LineInfo info;
    const std::string_view t = Trim(content);
    if (t.empty() || t.front() == ';') return info;  // blank line or comment; '#' is no comment
    if (t.front() == '[') {
        // The name ends at the first ']'; the rest of the line is ignored. A
        // '[' line without any ']' is no header: it is read like any line.
        const std::size_t close = t.find(']');
        if (close != std::string_view::npos) {
            info.kind = LineKind::Section;
            info.name = Trim(t.substr(1, close - 1));
            return info;
        }
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return info;  // a line without '=' is not a key
    info.kind = LineKind::Key;
    info.name = Trim(t.substr(0, eq));
    info.value = Trim(t.substr(eq + 1));
    return info;
}

struct Lookup {
    bool sectionFound = false;
    bool keyFound = false;
    std::size_t keyLine = 0;
    // Where a new key of the section goes after: its last key line, or its header.
    std::size_t lastKeyLine = 0;
    LineInfo key;
};

// Only the first section of the name is searched, and its first key of the name wins.
Lookup Find(std::string_view text, const std::vector<Line>& lines, std::string_view section,
            std::string_view key) {
    Lookup found;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineInfo info = Classify(text.substr(lines[i].begin, lines[i].end - lines[i].begin));
        if (info.kind == LineKind::Section) {
            if (found.sectionFound) break;  // the section ends at the next header
            if (SameName(info.name, section)) {
                found.sectionFound = true;
                found.lastKeyLine = i;
            }
        } else if (info.kind == LineKind::Key && found.sectionFound) {
            found.lastKeyLine = i;
            if (!found.keyFound && SameName(info.name, key)) {
                found.keyFound = true;
                found.keyLine = i;
                found.key = info;
            }
        }
    }
    return found;
}

// One matching outer pair of double or single quotes comes off; inner blanks stay.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::size_t BomLength(std::string_view text) {
    return text.substr(0, kUtf8Bom.size()) == kUtf8Bom ? kUtf8Bom.size() : 0;
}

// The line end for lines we add: the file's own (that of its first ended
// line), so that an LF-only file stays LF-only; CRLF for a new file.
std::string_view LineEndOf(std::string_view text, const std::vector<Line>& lines) {
    for (const Line& line : lines) {
        if (line.next > line.end) return text.substr(line.end, line.next - line.end);
    }
    return kCrLf;
}

// The file's text with one key set; the rest of the text is kept byte for byte.
std::string SetKey(const std::string& text, std::string_view section, std::string_view key,
                   std::string_view value) {
    const std::vector<Line> lines = SplitLines(text, BomLength(text));
    const std::string_view eol = LineEndOf(text, lines);
    const Lookup found = Find(text, lines, section, key);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);

    if (found.keyFound) {
        // In place, in the file's own spelling of the key and with that line's
        // own line end (and its indentation).
        const Line& line = lines[found.keyLine];
        const std::string_view content(text.data() + line.begin, line.end - line.begin);
        const std::size_t indent = content.size() - TrimLeft(content).size();
        out.append(text, 0, line.begin + indent);
        out.append(found.key.name);
        out.push_back('=');
        out.append(value);
        out.append(text, line.end, std::string::npos);
        return out;
    }
    if (found.sectionFound) {
        // Right after the section's last key line: comments and blank lines
        // below the keys stay below.
        const Line& after = lines[found.lastKeyLine];
        out.append(text, 0, after.next);
        if (after.next == after.end) out.append(eol);  // it was the last line, unended
        out.append(key);
        out.push_back('=');
        out.append(value);
        out.append(eol);
        out.append(text, after.next, std::string::npos);
        return out;
    }
    // A new section at the end, no blank line before it.
    out = text;
    if (!out.empty() && out.back() != '\n' && out.back() != '\r' && out.size() > BomLength(out)) {
        out.append(eol);
    }
    out.push_back('[');
    out.append(section);
    out.push_back(']');
    out.append(eol);
    out.append(key);
    out.push_back('=');
    out.append(value);
    out.append(eol);
    return out;
}

// ---- files -----------------------------------------------------------------

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

enum class ReadStatus { Ok, Missing, Failed };

// The whole file through one descriptor: a rename by a writer meanwhile does
// not matter, the descriptor keeps the inode it opened.
ReadStatus ReadWholeFile(int dirFd, const char* name, std::string& text, struct stat* st) {
    Fd fd(::openat(dirFd, name, O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    if (::fstat(fd.get(), st) != 0 || !S_ISREG(st->st_mode)) return ReadStatus::Failed;
    text.clear();
    text.resize(static_cast<std::size_t>(st->st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == text.size()) text.resize(text.size() * 2 + 4096);  // it grew meanwhile
        const ssize_t n = ::read(fd.get(), text.data() + used, text.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ReadStatus::Failed;
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    text.resize(used);
    return ReadStatus::Ok;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

int FsyncRetry(int fd) {
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// A symbolic link to the file stays a link: the file it names is the one replaced.
std::string ResolveTarget(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string resolved(real);
            std::free(real);
            return resolved;
        }
    }
    return path;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

std::string TempName(const std::string& name, bool locked) {
    // Under the folder lock one fixed name is enough (no other writer can be
    // between steps 3 and 4); it also means a writer killed mid-way leaves at
    // most one stale temporary per file, replaced by the next write.
    std::string base = "." + (name.size() > 200 ? std::string("tarnwick-profile") : name) + ".tmp";
    if (!locked) {
        static std::atomic<unsigned> counter{0};
        base += "." + std::to_string(::getpid()) + "." + std::to_string(::gettid()) + "." +
                std::to_string(counter.fetch_add(1));
    }
    return base;
}

}  // namespace

int ParseProfileInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<int>(static_cast<std::int32_t>(value));
}

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& path,
                              std::size_t bufferSize) {
    std::string value;
    std::string text;
    struct stat st;
    bool found = false;
    if (ReadWholeFile(AT_FDCWD, path.c_str(), text, &st) == ReadStatus::Ok) {
        const std::vector<Line> lines = SplitLines(text, BomLength(text));
        const Lookup lookup = Find(text, lines, Trim(section), Trim(key));
        if (lookup.keyFound) {
            value = Unquote(lookup.key.value);
            found = true;
        }
    }
    if (!found) value = TrimRight(defaultValue);  // trailing blanks off, leading kept
    // The caller's buffer holds size - 1 characters and the terminator.
    const std::size_t room = bufferSize == 0 ? 0 : bufferSize - 1;
    if (value.size() > room) value.resize(room);
    return value;
}

int ReadProfileInt(const std::string& section, const std::string& key, int defaultValue,
                   const std::string& path) {
    // As the home platform: an empty value, like a missing key, gives the default.
    const std::string text = ReadProfileString(section, key, std::string(), path);
    if (text.empty()) return defaultValue;
    return ParseProfileInt(text);
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    if (path.empty()) return false;
    std::string folder;
    std::string name;
    SplitPath(ResolveTarget(path), folder, name);
    if (name.empty() || name == "." || name == "..") return false;

    // A missing folder is not created: the call fails here and touches nothing.
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) return false;
    int rc;
    do {
        rc = ::flock(dir.get(), LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    // A file system without flock on folders still gets crash-safe writes,
    // through a temporary of its own; only concurrent writers may then race.
    const bool locked = rc == 0;

    std::string text;
    struct stat st {};
    const ReadStatus status = ReadWholeFile(dir.get(), name.c_str(), text, &st);
    if (status == ReadStatus::Failed) return false;
    const bool exists = status == ReadStatus::Ok;
    // The rename would get round a read-only file; the home platform refuses it.
    if (exists && ::faccessat(dir.get(), name.c_str(), W_OK, AT_EACCESS) != 0) return false;

    const std::string updated = SetKey(text, Trim(section), Trim(key), value);
    if (exists && updated == text) return true;  // already so: nothing to replace

    const std::string temp = TempName(name, locked);
    if (::unlinkat(dir.get(), temp.c_str(), 0) != 0 && errno != ENOENT) return false;
    // 0666 less the umask for a new file; an existing file's owner and
    // permission bits are carried over below.
    Fd out(::openat(dir.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (out.get() < 0) return false;
    bool ok = true;
    if (exists) {
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            // Succeeds for root only; otherwise the file becomes ours, as any
            // rewrite by us would make it.
            const int ignored = ::fchown(out.get(), st.st_uid, st.st_gid);
            (void)ignored;
        }
        ok = ::fchmod(out.get(), st.st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(out.get(), updated) && FsyncRetry(out.get()) == 0;
    ok = ::close(out.release()) == 0 && ok;
    if (!ok || ::renameat(dir.get(), temp.c_str(), dir.get(), name.c_str()) != 0) {
        ::unlinkat(dir.get(), temp.c_str(), 0);
        return false;
    }
    // The rename itself must reach the disk, or a power cut could bring back
    // the old name (or none) even though we answered "written".
    FsyncRetry(dir.get());
    return true;
}

}  // namespace platform
