#pragma once
// Small file services shared by the IDE and the tools: atomic writes, sizes, whole-file reads.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace krvs::platform {

// Empty on success, else a human-readable reason.
using Error = std::string;

// How far a write must have reached before writeFileAtomic returns.
enum class Durability {
  // On the disk (fsync before the rename): the user's sources and settings, which nothing can remake.
  Synced,
  // In the page cache only: build outputs (.OBJ, .LST, .MAP, .EXE) that the next build writes again.
  // Readers still see the old file or the whole new one, never a part; only a power cut may lose it.
  Regenerable,
};

// Writes `bytes` to a temporary file beside `path` and renames it over `path`, so a crash or a full
// disk never leaves a half-written file in place. The file being replaced keeps its permissions.
Error writeFileAtomic(const std::string& path, std::string_view bytes,
                      Durability durability = Durability::Synced);

// The same for a file written in parts (a tool's large output, never held whole): the bytes go to a
// temporary file beside `path`, created at the first write, and commit() renames it over `path`. Gone
// without a commit, or after any error, it removes the temporary file and leaves `path` as it was.
class AtomicFile {
 public:
  explicit AtomicFile(std::string path, Durability durability = Durability::Synced);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // After an error every later write and the commit fail with it.
  Error write(std::string_view bytes);
  Error commit();

 private:
  Error open();
  void discard();
  std::string m_path, m_temp;
  Durability m_durability;
  int m_fd = -1;
  Error m_error;
  bool m_committed = false;
};

std::optional<std::string> readFile(const std::string& path);
std::optional<std::uint64_t> fileSize(const std::string& path);
bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
bool isWritableDirectory(const std::string& path);
// True when `a` and `b` name one file: the same file when both exist (through links too), else the
// same resolved path (an output not written yet).
bool sameFile(const std::string& a, const std::string& b);

// Creates `path` and its missing parents (mode 0755).
Error makeDirectories(const std::string& path);

// The value of an environment variable, empty when unset.
std::string envVar(const char* name);

// $HOME, falling back to the password database.
std::string homeDirectory();

// Joins with exactly one '/' between the parts.
std::string joinPath(const std::string& dir, const std::string& name);
std::string directoryOf(const std::string& path);
std::string fileNameOf(const std::string& path);

}  // namespace krvs::platform
