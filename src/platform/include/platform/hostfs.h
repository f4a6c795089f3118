#pragma once
// The host's directories and files as the emulated PC, the command interpreter and the tools use them:
// entries, open files, renames and deletions, the owner's write permission. Errors come back as a small
// set of kinds that callers turn into their own codes (DOS error numbers, messages).
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace krvs::platform {

enum class FsError : std::uint8_t { None, NotFound, NotDirectory, TooManyOpen, Denied, Exists, Failed };

enum class EntryType : std::uint8_t { Missing, Regular, Directory, Link, Other };

struct EntryInfo {
  EntryType type = EntryType::Missing;
  std::uint64_t size = 0;
  std::time_t modified = 0;
  bool ownerWritable = false;  // what DOS shows as the absence of the read-only attribute
};

// What `path` names, without following a link in its last component.
EntryInfo inspect(const std::string& path);

// True when the user may run `path` (following links).
bool isExecutable(const std::string& path);

// The names in `dir` without "." and "..", in the order the host lists them; nullopt when it cannot
// be read.
std::optional<std::vector<std::string>> listDirectory(const std::string& dir);

FsError removeFile(const std::string& path);
// Renames within one file system; an existing `to` is replaced, as the host does.
FsError renamePath(const std::string& from, const std::string& to);
FsError makeDirectory(const std::string& path);
FsError removeDirectory(const std::string& path);
// Gives or takes the write permission of everyone (taking) or of the owner (giving), following links.
FsError setOwnerWritable(const std::string& path, bool writable);

enum class Access : std::uint8_t { Read, Write, ReadWrite };

struct OpenRequest {
  Access access = Access::Read;
  bool create = false;      // a missing file is created (mode 0644 before the umask)
  bool exclusive = false;   // with create: an existing file is an error (FsError::Exists)
  bool truncate = false;
  bool append = false;
  bool followLink = false;  // a link in the last component is opened as what it points to
  bool nonBlocking = false; // a FIFO or terminal gives what it holds instead of waiting
};

enum class Whence : std::uint8_t { Start, Current, End };

// An open host file. It closes its descriptor when it goes, unless it was borrowed.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  static FsError open(const std::string& path, const OpenRequest& request, File& out);
  // A descriptor someone else owns (standard input, a redirection); it stays open after this object.
  static File borrow(int fd);

  bool isOpen() const { return m_fd >= 0; }
  int descriptor() const { return m_fd; }
  // Hands the descriptor to the caller, who closes it.
  int release();
  void close();

  // At the file position. nullopt on an error; 0 from read at the end.
  std::optional<std::size_t> read(void* buffer, std::size_t size);
  // Writes all of `data` unless an error stops it; returns how much was written, nullopt when nothing was.
  std::optional<std::size_t> write(const void* data, std::size_t size);
  std::optional<std::size_t> readAt(void* buffer, std::size_t size, std::uint64_t position);
  std::optional<std::size_t> writeAt(const void* data, std::size_t size, std::uint64_t position);
  std::optional<std::uint64_t> seek(std::int64_t offset, Whence whence);
  bool truncate(std::uint64_t size);
  bool sync();
  EntryInfo info() const;
  bool setModified(std::time_t when);

 private:
  int m_fd = -1;
  bool m_owned = false;
};

// Streams on descriptors (pipes, terminals): waiting for input, reading what is there, writing it all.
enum class IoStatus : std::uint8_t { Ok, End, WouldBlock, Failed };
struct IoResult {
  IoStatus status = IoStatus::Failed;
  std::size_t count = 0;
};
// Waits at most `timeoutMs` (0: just looks) for `fd` to have input or its end. Ok when there is some,
// WouldBlock on a timeout or an interrupted wait, Failed when the descriptor cannot be polled.
IoStatus waitReadable(int fd, int timeoutMs);
// One read of at most `size` bytes (interruptions retried).
IoResult readSome(int fd, void* buffer, std::size_t size);
// Writes all of `data` (interruptions retried); stops at the first error, with the count written so far.
IoResult writeAll(int fd, const void* data, std::size_t size);

}  // namespace krvs::platform
