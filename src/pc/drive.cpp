#include "pc/drive.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>

#include "platform/dosnames.h"

namespace krvs::pc {

namespace fs = std::filesystem;

namespace {

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

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

}  // namespace

Drive::Drive(fs::path root) {
    std::error_code ec;
    m_root = fs::weakly_canonical(root, ec);
    if (ec) m_root = root;
}

fs::path Drive::hostOf(const std::vector<std::string>& comps) const {
    fs::path p = m_root;
    for (const auto& c : comps) p /= c;
    return p;
}

// Walks all but the last component; `comps` ends as the host spelling of the directory that holds `last`.
std::uint16_t Drive::walk(const std::string& dosName, std::vector<std::string>& comps, std::string& last) const {
    std::string name = dosName;
    if (name.size() >= 2 && name[1] == ':') {
        if (std::toupper(static_cast<unsigned char>(name[0])) != 'C') return doserr::kPathNotFound;
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
        struct stat st;
        fs::path next = hostOf(comps) / host;
        if (::lstat(next.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            return S_ISLNK(st.st_mode) ? doserr::kAccessDenied : doserr::kPathNotFound;
        }
        comps.push_back(host);
    }
    return 0;
}

HostPath Drive::resolve(const std::string& dosName) const {
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
    struct stat st;
    if (::lstat(out.path.c_str(), &st) != 0) return out;
    // Links, pipes and devices are no files a program may use.
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) { out.error = doserr::kAccessDenied; return out; }
    out.exists = true;
    out.isDirectory = S_ISDIR(st.st_mode);
    return out;
}

std::uint16_t Drive::changeDirectory(const std::string& dosName) {
    std::vector<std::string> comps;
    std::string last;
    if (std::uint16_t e = walk(dosName + "\\.", comps, last)) return e;
    m_cwd = comps;
    return 0;
}

std::string Drive::currentDirectory() const {
    std::string s;
    for (const auto& c : m_cwd) {
        if (!s.empty()) s += '\\';
        s += upper(c);
    }
    return s;
}

std::string Drive::dosPathOf(const fs::path& host) const {
    std::string s = "C:";
    for (const auto& part : host.lexically_relative(m_root)) {
        if (part == ".") continue;
        s += '\\' + upper(part.string());
    }
    return s == "C:" ? "C:\\" : s;
}

bool matchesDosPattern(const std::string& name, const std::string& pattern) {
    auto split = [](const std::string& s, std::string& base, std::string& ext) {
        auto dot = s.rfind('.');
        base = upper(dot == std::string::npos ? s : s.substr(0, dot));
        ext = upper(dot == std::string::npos ? "" : s.substr(dot + 1));
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
    if (pattern.find('.') == std::string::npos && pb.find('*') != std::string::npos) pe = "*";
    return field(nb, pb, 8) && field(ne, pe, 3);
}

void dosDateTime(std::time_t t, std::uint16_t& date, std::uint16_t& time) {
    std::tm tm{};
    ::localtime_r(&t, &tm);
    int year = std::clamp(tm.tm_year + 1900, 1980, 2107);
    date = static_cast<std::uint16_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    time = static_cast<std::uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

std::uint16_t Drive::find(const std::string& pattern, std::uint8_t attributes, std::vector<Entry>& out) const {
    std::vector<std::string> comps;
    std::string last;
    if (std::uint16_t e = walk(pattern, comps, last)) return e;
    if (last.empty()) last = "*.*";
    fs::path dir = hostOf(comps);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return doserr::kPathNotFound;
    while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        bool dots = n == "." || n == "..";
        if (dots && comps.empty()) continue;  // the root has no . and ..
        if (!dots && !platform::isShortName(n)) continue;
        if (!dots && !matchesDosPattern(n, last)) continue;
        if (dots && last != "*.*" && last != "*") continue;
        struct stat st;
        if (::lstat((dir / n).c_str(), &st) != 0 || S_ISLNK(st.st_mode)) continue;
        Entry entry{upper(n), 0, 0, 0, 0};
        if (S_ISDIR(st.st_mode)) {
            if (!(attributes & 0x10)) continue;
            entry.attributes = 0x10;
        } else {
            if (!S_ISREG(st.st_mode)) continue;
            entry.attributes = (st.st_mode & S_IWUSR) ? 0x20 : 0x21;
            entry.size = static_cast<std::uint32_t>(std::min<off_t>(st.st_size, 0xFFFFFFFF));
        }
        dosDateTime(st.st_mtime, entry.date, entry.time);
        out.push_back(entry);
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return out.empty() ? doserr::kNoMoreFiles : 0;
}

}  // namespace krvs::pc
