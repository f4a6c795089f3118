#include "pc/drive.h"

#include <algorithm>
#include <ctime>

#include "platform/dosnames.h"
#include "platform/files.h"
#include "platform/hostfs.h"

namespace krvs::pc {

namespace fs = std::filesystem;

namespace {

using platform::EntryType;
using platform::FsError;

std::vector<std::string> splitDos(const std::string& s) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == '\\' || c == '/') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    parts.push_back(cur);
    return parts;
}

// Only host names that are DOS names take part, so nothing else in the directory can be reached.
std::string findEntry(const fs::path& dir, const std::string& want) { return platform::findShortEntry(dir.string(), want); }

std::uint16_t dosError(FsError e) {
    switch (e) {
    case FsError::None: return 0;
    case FsError::NotFound: return doserr::kFileNotFound;
    case FsError::NotDirectory: return doserr::kPathNotFound;
    case FsError::TooManyOpen: return doserr::kTooManyFiles;
    case FsError::Exists: return doserr::kFileExists;
    default: return doserr::kAccessDenied;
    }
}

// A host file opened through the drive, or a descriptor borrowed from the caller.
class HostFile : public DriveFile {
public:
    explicit HostFile(platform::File file) : m_file(std::move(file)) {}
    std::optional<std::size_t> read(std::uint8_t* buffer, std::size_t size) override { return m_file.read(buffer, size); }
    std::optional<std::size_t> write(const std::uint8_t* data, std::size_t size) override { return m_file.write(data, size); }
    std::optional<std::size_t> readAt(std::uint8_t* buffer, std::size_t size, std::uint64_t position) override {
        return m_file.readAt(buffer, size, position);
    }
    std::optional<std::size_t> writeAt(const std::uint8_t* data, std::size_t size, std::uint64_t position) override {
        return m_file.writeAt(data, size, position);
    }
    std::optional<std::uint64_t> seek(std::int64_t offset, SeekFrom from) override {
        static constexpr platform::Whence kWhence[] = {platform::Whence::Start, platform::Whence::Current, platform::Whence::End};
        return m_file.seek(offset, kWhence[static_cast<int>(from)]);
    }
    bool truncate(std::uint64_t size) override { return m_file.truncate(size); }
    bool commit() override { return m_file.sync(); }
    std::uint64_t size() const override { return m_file.info().size; }
    std::time_t modified() const override { return m_file.info().modified; }
    bool setModified(std::time_t when) override { return m_file.setModified(when); }

private:
    platform::File m_file;
};

std::uint16_t openHost(const fs::path& path, const platform::OpenRequest& request, std::unique_ptr<DriveFile>& out) {
    platform::File file;
    if (FsError e = platform::File::open(path.string(), request, file); e != FsError::None) return dosError(e);
    out = std::make_unique<HostFile>(std::move(file));
    return 0;
}

// The read-only attribute is the owner's write permission. DOS refuses to change such a file, and the host
// would not when running as root, so the check is made here.
bool readOnly(const HostPath& p) {
    return p.exists && !p.isDirectory && !platform::inspect(p.path.string()).ownerWritable;
}

Drive::Entry entryOf(const std::string& name, const platform::EntryInfo& info) {
    Drive::Entry entry{platform::upperAscii(name), 0, 0, 0, 0};
    if (info.type == EntryType::Directory) {
        entry.attributes = attr::kDirectory;
    } else {
        entry.attributes = info.ownerWritable ? attr::kArchive : attr::kArchive | attr::kReadOnly;
        entry.size = static_cast<std::uint32_t>(std::min<std::uint64_t>(info.size, 0xFFFFFFFF));
    }
    dosDateTime(info.modified, entry.date, entry.time);
    return entry;
}

}  // namespace

HostDrive::HostDrive(fs::path root) {
    std::error_code ec;
    m_root = fs::weakly_canonical(root, ec);
    if (ec) m_root = root;
}

fs::path HostDrive::hostOf(const std::vector<std::string>& comps) const {
    fs::path p = m_root;
    for (const auto& c : comps) p /= c;
    return p;
}

// Walks all but the last component; `comps` ends as the host spelling of the directory that holds `last`.
std::uint16_t HostDrive::walk(const std::string& dosName, std::vector<std::string>& comps, std::string& last) const {
    std::string name = dosName;
    if (name.size() >= 2 && name[1] == ':') {
        if (name[0] != 'C' && name[0] != 'c') return doserr::kPathNotFound;
        name = name.substr(2);
    }
    if (name.empty()) return doserr::kPathNotFound;
    comps = (name[0] == '\\' || name[0] == '/') ? std::vector<std::string>{} : m_cwd;
    auto parts = splitDos(name);
    if (parts.front().empty()) parts.erase(parts.begin());
    last = parts.back();
    parts.pop_back();
    for (const auto& part : parts) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (comps.empty()) return doserr::kPathNotFound;
            comps.pop_back();
            continue;
        }
        std::string host = findEntry(hostOf(comps), platform::toShortName(part));
        if (host.empty()) return doserr::kPathNotFound;
        EntryType type = platform::inspect((hostOf(comps) / host).string()).type;
        if (type != EntryType::Directory) return type == EntryType::Link ? doserr::kAccessDenied : doserr::kPathNotFound;
        comps.push_back(host);
    }
    return 0;
}

HostPath HostDrive::resolve(const std::string& dosName) const {
    HostPath out;
    std::vector<std::string> comps;
    std::string last;
    if ((out.error = walk(dosName, comps, last))) return out;
    if (last == "..") {
        if (comps.empty()) { out.error = doserr::kPathNotFound; return out; }
        comps.pop_back();
        last.clear();
    }
    if (last.empty() || last == ".") {
        out.path = hostOf(comps);
        out.exists = out.isDirectory = true;
        return out;
    }
    std::string name = platform::toShortName(last);
    if (name.empty()) { out.error = doserr::kFileNotFound; return out; }
    std::string host = findEntry(hostOf(comps), name);
    out.path = hostOf(comps) / (host.empty() ? name : host);
    if (host.empty()) return out;
    EntryType type = platform::inspect(out.path.string()).type;
    if (type == EntryType::Missing) return out;
    // Links, pipes and devices are no files a program may use.
    if (type != EntryType::Regular && type != EntryType::Directory) { out.error = doserr::kAccessDenied; return out; }
    out.exists = true;
    out.isDirectory = type == EntryType::Directory;
    return out;
}

std::uint16_t HostDrive::changeDirectory(const std::string& dosName) {
    std::vector<std::string> comps;
    std::string last;
    if (std::uint16_t e = walk(dosName + "\\.", comps, last)) return e;
    m_cwd = comps;
    return 0;
}

std::string HostDrive::currentDirectory() const {
    std::string s;
    for (const auto& c : m_cwd) {
        if (!s.empty()) s += '\\';
        s += platform::upperAscii(c);
    }
    return s;
}

std::string HostDrive::dosPathOf(const fs::path& host) const {
    std::string s = "C:";
    for (const auto& part : host.lexically_relative(m_root)) {
        if (part == ".") continue;
        s += '\\' + platform::upperAscii(part.string());
    }
    return s == "C:" ? "C:\\" : s;
}

bool matchesDosPattern(const std::string& name, const std::string& pattern) {
    auto split = [](const std::string& s, std::string& base, std::string& ext) {
        auto dot = s.rfind('.');
        base = platform::upperAscii(dot == std::string::npos ? s : s.substr(0, dot));
        ext = platform::upperAscii(dot == std::string::npos ? "" : s.substr(dot + 1));
    };
    auto field = [](const std::string& n, const std::string& p, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) {
            char pc = i < p.size() ? p[i] : ' ';
            if (pc == '*') return true;
            char nc = i < n.size() ? n[i] : ' ';
            if (pc != '?' && pc != nc) return false;
        }
        return true;
    };
    std::string nb, ne, pb, pe;
    split(name, nb, ne);
    split(pattern, pb, pe);
    if (pattern.find('.') == std::string::npos && pb.find('*') != std::string::npos) pe.assign(1, '*');
    return field(nb, pb, 8) && field(ne, pe, 3);
}

void dosDateTime(std::time_t t, std::uint16_t& date, std::uint16_t& time) {
    std::tm tm{};
    ::localtime_r(&t, &tm);
    int year = std::clamp(tm.tm_year + 1900, 1980, 2107);
    date = static_cast<std::uint16_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    time = static_cast<std::uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

std::uint16_t HostDrive::find(const std::string& pattern, std::uint8_t attributes, std::vector<Entry>& out) const {
    std::vector<std::string> comps;
    std::string last;
    if (std::uint16_t e = walk(pattern, comps, last)) return e;
    if (last.empty()) last = "*.*";
    fs::path dir = hostOf(comps);
    auto names = platform::listDirectory(dir.string());
    if (!names) return doserr::kPathNotFound;
    // The root has no . and .. entries; a subdirectory shows them to a search for everything.
    if (!comps.empty() && (last == "*.*" || last == "*")) names->insert(names->end(), {".", ".."});
    for (const std::string& n : *names) {
        bool dots = n == "." || n == "..";
        if (!dots && (!platform::isShortName(n) || !matchesDosPattern(n, last))) continue;
        platform::EntryInfo info = platform::inspect((dir / n).string());
        if (info.type == EntryType::Directory) {
            if (!(attributes & attr::kDirectory)) continue;
        } else if (info.type != EntryType::Regular) {
            continue;  // links, pipes and devices are not listed
        }
        out.push_back(entryOf(n, info));
    }
    std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return out.empty() ? doserr::kNoMoreFiles : 0;
}

std::uint16_t HostDrive::fullName(const std::string& dosName, std::string& out) const {
    HostPath p = resolve(dosName);
    if (p.error) return p.error;
    out = dosPathOf(p.path);
    return 0;
}

std::uint16_t HostDrive::lookup(const std::string& dosName, Entry& out) const {
    HostPath p = resolve(dosName);
    if (p.error) return p.error;
    if (!p.exists) return doserr::kFileNotFound;
    platform::EntryInfo info = platform::inspect(p.path.string());
    if (info.type == EntryType::Missing) return doserr::kFileNotFound;
    out = entryOf(p.path.filename().string(), info);
    return 0;
}

std::uint16_t HostDrive::open(const std::string& dosName, OpenMode mode, std::unique_ptr<DriveFile>& out) {
    HostPath p = resolve(dosName);
    if (p.error) return p.error;
    if (p.isDirectory) return doserr::kAccessDenied;
    if (!p.exists) return doserr::kFileNotFound;
    if (mode != OpenMode::Read && readOnly(p)) return doserr::kAccessDenied;
    platform::OpenRequest request;
    request.access = mode == OpenMode::Read    ? platform::Access::Read
                     : mode == OpenMode::Write ? platform::Access::Write
                                               : platform::Access::ReadWrite;
    return openHost(p.path, request, out);
}

std::uint16_t HostDrive::create(const std::string& dosName, bool exclusive, std::unique_ptr<DriveFile>& out) {
    HostPath p = resolve(dosName);
    if (p.error) return p.error == doserr::kFileNotFound ? doserr::kPathNotFound : p.error;
    if (exclusive && p.exists) return doserr::kFileExists;
    if (p.isDirectory || readOnly(p)) return doserr::kAccessDenied;
    platform::OpenRequest request;
    request.access = platform::Access::ReadWrite;
    request.create = request.truncate = true;
    request.exclusive = exclusive;
    return openHost(p.path, request, out);
}

std::uint16_t HostDrive::replace(const std::string& dosName, const std::vector<std::uint8_t>& data) {
    HostPath p = resolve(dosName);
    if (p.error) return p.error == doserr::kFileNotFound ? doserr::kPathNotFound : p.error;
    if (p.isDirectory || readOnly(p)) return doserr::kAccessDenied;
    // The temporary file beside it has a name no DOS program can see (it is no 8.3 name).
    platform::Error e = platform::writeFileAtomic(
        p.path.string(), std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    return e.empty() ? 0 : doserr::kWriteFault;
}

std::uint16_t HostDrive::remove(const std::string& dosName) {
    HostPath p = resolve(dosName);
    if (p.error) return p.error;
    if (!p.exists) return doserr::kFileNotFound;
    if (p.isDirectory || readOnly(p)) return doserr::kAccessDenied;
    return dosError(platform::removeFile(p.path.string()));
}

std::uint16_t HostDrive::rename(const std::string& from, const std::string& to) {
    HostPath source = resolve(from);
    HostPath target = resolve(to);
    if (source.error) return source.error;
    if (!source.exists) return doserr::kFileNotFound;
    if (target.error) return target.error == doserr::kFileNotFound ? doserr::kPathNotFound : target.error;
    if (target.exists) return doserr::kAccessDenied;
    return dosError(platform::renamePath(source.path.string(), target.path.string()));
}

std::uint16_t HostDrive::makeDirectory(const std::string& dosName) {
    HostPath p = resolve(dosName);
    if (p.error) return p.error == doserr::kFileNotFound ? doserr::kPathNotFound : p.error;
    if (p.exists) return doserr::kAccessDenied;
    return dosError(platform::makeDirectory(p.path.string()));
}

std::uint16_t HostDrive::removeDirectory(const std::string& dosName) {
    HostPath p = resolve(dosName);
    if (p.error) return p.error;
    if (!p.exists || !p.isDirectory) return doserr::kPathNotFound;
    if (p.path == m_root) return doserr::kAccessDenied;
    return platform::removeDirectory(p.path.string()) == FsError::None ? 0 : doserr::kAccessDenied;
}

std::uint16_t HostDrive::setAttributes(const std::string& dosName, std::uint8_t attributes) {
    HostPath p = resolve(dosName);
    if (p.error) return p.error;
    if (!p.exists) return doserr::kFileNotFound;
    if (p.isDirectory) return doserr::kAccessDenied;
    return dosError(platform::setOwnerWritable(p.path.string(), !(attributes & attr::kReadOnly)));
}

std::unique_ptr<DriveFile> borrowHostFile(int fd) { return std::make_unique<HostFile>(platform::File::borrow(fd)); }

}  // namespace krvs::pc
