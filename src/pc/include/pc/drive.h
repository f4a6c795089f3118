#pragma once
// Drive C: of the emulated DOS. Everything that reaches a program's files goes through this one interface:
// INT 21h's handle and FCB functions, EXEC, krvscmd's redirections in a batch file and DEBUG's N, L and W.
// HostDrive maps it onto one host directory: DOS names match host names without regard to letter case, only
// host names that are DOS 8.3 names exist, and no DOS path can lead outside the directory (".." stops at its
// root, host paths are just DOS paths that do not exist there, and links are refused).

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace krvs::pc {

namespace doserr {
constexpr std::uint16_t kInvalidFunction = 1, kFileNotFound = 2, kPathNotFound = 3, kTooManyFiles = 4,
                        kAccessDenied = 5, kInvalidHandle = 6, kMcbDestroyed = 7, kNoMemory = 8,
                        kInvalidBlock = 9, kBadEnvironment = 10, kBadFormat = 11, kInvalidAccess = 12, kInvalidDrive = 15, kNoMoreFiles = 18,
                        kWriteFault = 29, kFileExists = 80;
}

// The DOS attribute bits a drive shows.
namespace attr {
constexpr std::uint8_t kReadOnly = 0x01, kDirectory = 0x10, kArchive = 0x20;
}

// DOS access codes (the low bits of function 3Dh's AL).
enum class OpenMode : std::uint8_t { Read = 0, Write = 1, ReadWrite = 2 };
enum class SeekFrom : std::uint8_t { Start, Current, End };

// An open file. Reads and writes at the file position, or at a given one for the record-based FCB calls.
// nullopt reports a host failure, which callers show as a DOS error.
class DriveFile {
public:
    virtual ~DriveFile() = default;
    virtual std::optional<std::size_t> read(std::uint8_t* buffer, std::size_t size) = 0;
    virtual std::optional<std::size_t> write(const std::uint8_t* data, std::size_t size) = 0;
    virtual std::optional<std::size_t> readAt(std::uint8_t* buffer, std::size_t size, std::uint64_t position) = 0;
    virtual std::optional<std::size_t> writeAt(const std::uint8_t* data, std::size_t size, std::uint64_t position) = 0;
    virtual std::optional<std::uint64_t> seek(std::int64_t offset, SeekFrom from) = 0;
    virtual bool truncate(std::uint64_t size) = 0;
    virtual bool commit() = 0;
    virtual std::uint64_t size() const = 0;
    virtual std::time_t modified() const = 0;
    virtual bool setModified(std::time_t when) = 0;
};

// A host descriptor someone else owns (a redirected standard input or output); it stays open.
std::unique_ptr<DriveFile> borrowHostFile(int fd);

class Drive {
public:
    struct Entry {
        std::string name;  // upper case 8.3
        std::uint8_t attributes;
        std::uint32_t size;
        std::uint16_t time, date;
    };

    virtual ~Drive() = default;

    // Names are DOS names, with or without "C:", "\" or "/" separators, relative to the current directory.
    // Every call returns 0 or a DOS error code.
    virtual std::uint16_t changeDirectory(const std::string& dosName) = 0;
    // The current directory as DOS shows it, without drive and leading backslash ("" at the root).
    virtual std::string currentDirectory() const = 0;
    // "C:\DIR\NAME.EXT" for a name whose directory exists, upper case.
    virtual std::uint16_t fullName(const std::string& dosName, std::string& out) const = 0;

    // The file or directory a name gives: kFileNotFound when there is none.
    virtual std::uint16_t lookup(const std::string& dosName, Entry& out) const = 0;
    // Entries matching a DOS wildcard pattern ("*.ASM", "SUB\A?.TXT") in name order; directories only when
    // `attributes` has kDirectory; kNoMoreFiles when none matches.
    virtual std::uint16_t find(const std::string& pattern, std::uint8_t attributes, std::vector<Entry>& out) const = 0;

    // An existing file. A read-only file opens for reading only.
    virtual std::uint16_t open(const std::string& dosName, OpenMode mode, std::unique_ptr<DriveFile>& out) = 0;
    // A new empty file for reading and writing, or an existing one cut to nothing (never a read-only one);
    // with `exclusive`, an existing file is kFileExists.
    virtual std::uint16_t create(const std::string& dosName, bool exclusive, std::unique_ptr<DriveFile>& out) = 0;
    // Puts `data` in place of the file's contents (creating it) at once: a failure leaves the old file as it
    // was. For DEBUG's W. kWriteFault when the data could not be written.
    virtual std::uint16_t replace(const std::string& dosName, const std::vector<std::uint8_t>& data) = 0;
    virtual std::uint16_t remove(const std::string& dosName) = 0;
    // Renames or moves a file within the drive; the new name must not exist.
    virtual std::uint16_t rename(const std::string& from, const std::string& to) = 0;
    virtual std::uint16_t makeDirectory(const std::string& dosName) = 0;
    virtual std::uint16_t removeDirectory(const std::string& dosName) = 0;
    // Only the read-only bit of a file can change; a directory's attributes cannot.
    virtual std::uint16_t setAttributes(const std::string& dosName, std::uint8_t attributes) = 0;
};

// Where a DOS name lands in the host directory.
struct HostPath {
    std::filesystem::path path;
    std::uint16_t error = 0;  // a DOS error code when the name cannot be mapped
    bool exists = false;
    bool isDirectory = false;
};

class HostDrive : public Drive {
public:
    explicit HostDrive(std::filesystem::path root);

    const std::filesystem::path& root() const { return m_root; }
    // The host path a DOS name maps to, for a caller that hands it to a host program (krvscmd's
    // redirections in a batch file).
    HostPath resolve(const std::string& dosName) const;

    std::uint16_t changeDirectory(const std::string& dosName) override;
    std::string currentDirectory() const override;
    std::uint16_t fullName(const std::string& dosName, std::string& out) const override;
    std::uint16_t lookup(const std::string& dosName, Entry& out) const override;
    std::uint16_t find(const std::string& pattern, std::uint8_t attributes, std::vector<Entry>& out) const override;
    std::uint16_t open(const std::string& dosName, OpenMode mode, std::unique_ptr<DriveFile>& out) override;
    std::uint16_t create(const std::string& dosName, bool exclusive, std::unique_ptr<DriveFile>& out) override;
    std::uint16_t replace(const std::string& dosName, const std::vector<std::uint8_t>& data) override;
    std::uint16_t remove(const std::string& dosName) override;
    std::uint16_t rename(const std::string& from, const std::string& to) override;
    std::uint16_t makeDirectory(const std::string& dosName) override;
    std::uint16_t removeDirectory(const std::string& dosName) override;
    std::uint16_t setAttributes(const std::string& dosName, std::uint8_t attributes) override;

private:
    std::uint16_t walk(const std::string& dosName, std::vector<std::string>& comps, std::string& last) const;
    std::filesystem::path hostOf(const std::vector<std::string>& comps) const;
    std::string dosPathOf(const std::filesystem::path& host) const;
    std::filesystem::path m_root;
    std::vector<std::string> m_cwd;  // host spellings of the directories below the root
};

bool matchesDosPattern(const std::string& name, const std::string& pattern);
void dosDateTime(std::time_t t, std::uint16_t& date, std::uint16_t& time);

}  // namespace krvs::pc
