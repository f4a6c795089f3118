#pragma once
// Drive C: of the emulated DOS, mapped onto one host directory. DOS names match host names without regard
// to letter case, and no DOS path can lead outside the directory: ".." stops at its root, host paths are
// just DOS paths that do not exist there, and links are refused.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace krvs::pc {

namespace doserr {
constexpr std::uint16_t kInvalidFunction = 1, kFileNotFound = 2, kPathNotFound = 3, kTooManyFiles = 4,
                        kAccessDenied = 5, kInvalidHandle = 6, kMcbDestroyed = 7, kNoMemory = 8,
                        kInvalidBlock = 9, kBadEnvironment = 10, kBadFormat = 11, kInvalidAccess = 12, kInvalidDrive = 15, kNoMoreFiles = 18,
                        kFileExists = 80;
}

struct HostPath {
    std::filesystem::path path;
    std::uint16_t error = 0;  // a DOS error code when the name cannot be mapped
    bool exists = false;
    bool isDirectory = false;
};

class Drive {
public:
    explicit Drive(std::filesystem::path root);

    const std::filesystem::path& root() const { return m_root; }
    // Maps a DOS name (with or without "C:", "\" or "/" separators) relative to the current directory.
    HostPath resolve(const std::string& dosName) const;
    std::uint16_t changeDirectory(const std::string& dosName);
    // "C:\DIR\NAME.EXT" for a host path inside the drive.
    std::string dosPathOf(const std::filesystem::path& host) const;
    // The current directory as DOS shows it, without drive and leading backslash ("" at the root).
    std::string currentDirectory() const;

    struct Entry {
        std::string name;  // upper case 8.3
        std::uint8_t attributes;
        std::uint32_t size;
        std::uint16_t time, date;
    };
    // Directory entries matching a DOS wildcard pattern ("*.ASM", "A?.TXT"), or an error.
    std::uint16_t find(const std::string& pattern, std::uint8_t attributes, std::vector<Entry>& out) const;

private:
    std::uint16_t walk(const std::string& dosName, std::vector<std::string>& comps, std::string& last) const;
    std::filesystem::path hostOf(const std::vector<std::string>& comps) const;
    std::filesystem::path m_root;
    std::vector<std::string> m_cwd;  // host spellings of the directories below the root
};

bool matchesDosPattern(const std::string& name, const std::string& pattern);
void dosDateTime(std::time_t t, std::uint16_t& date, std::uint16_t& time);

}  // namespace krvs::pc
