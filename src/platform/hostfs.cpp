#include "platform/hostfs.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace krvs::platform {

namespace {

FsError fromErrno(int err) {
  switch (err) {
    case 0: return FsError::None;
    case ENOENT: return FsError::NotFound;
    case ENOTDIR: return FsError::NotDirectory;
    case EMFILE:
    case ENFILE: return FsError::TooManyOpen;
    case EEXIST: return FsError::Exists;
    case EACCES:
    case EPERM:
    case EROFS:
    case ELOOP:
    case EISDIR:
    case ETXTBSY:
    case ENOTEMPTY: return FsError::Denied;
    default: return FsError::Failed;
  }
}

FsError result(int rc) { return rc == 0 ? FsError::None : fromErrno(errno); }

EntryInfo infoOf(const struct stat& st) {
  EntryInfo info;
  if (S_ISREG(st.st_mode)) info.type = EntryType::Regular;
  else if (S_ISDIR(st.st_mode)) info.type = EntryType::Directory;
  else if (S_ISLNK(st.st_mode)) info.type = EntryType::Link;
  else info.type = EntryType::Other;
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.modified = st.st_mtime;
  info.ownerWritable = (st.st_mode & S_IWUSR) != 0;
  return info;
}

int openFlags(const OpenRequest& r) {
  int flags = r.access == Access::Read ? O_RDONLY : r.access == Access::Write ? O_WRONLY : O_RDWR;
  if (r.create) flags |= O_CREAT;
  if (r.create && r.exclusive) flags |= O_EXCL;
  if (r.truncate) flags |= O_TRUNC;
  if (r.append) flags |= O_APPEND;
  if (!r.followLink) flags |= O_NOFOLLOW;
  if (r.nonBlocking) flags |= O_NONBLOCK;
  return flags | O_CLOEXEC;
}

}  // namespace

EntryInfo inspect(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return {};
  return infoOf(st);
}

bool isExecutable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

std::optional<std::vector<std::string>> listDirectory(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return std::nullopt;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  ::closedir(d);
  return names;
}

FsError removeFile(const std::string& path) { return result(::unlink(path.c_str())); }

FsError renamePath(const std::string& from, const std::string& to) {
  return result(::rename(from.c_str(), to.c_str()));
}

FsError makeDirectory(const std::string& path) { return result(::mkdir(path.c_str(), 0755)); }

FsError removeDirectory(const std::string& path) { return result(::rmdir(path.c_str())); }

FsError setOwnerWritable(const std::string& path, bool writable) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return fromErrno(errno);
  mode_t mode = writable ? (st.st_mode | S_IWUSR) : (st.st_mode & ~mode_t{0222});
  return result(::chmod(path.c_str(), mode & 07777));
}

File::~File() { close(); }

File::File(File&& other) noexcept : m_fd(other.m_fd), m_owned(other.m_owned) { other.m_fd = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    m_fd = other.m_fd;
    m_owned = other.m_owned;
    other.m_fd = -1;
  }
  return *this;
}

FsError File::open(const std::string& path, const OpenRequest& request, File& out) {
  int fd = ::open(path.c_str(), openFlags(request), 0644);
  if (fd < 0) return fromErrno(errno);
  out = File();
  out.m_fd = fd;
  out.m_owned = true;
  return FsError::None;
}

File File::borrow(int fd) {
  File f;
  f.m_fd = fd;
  return f;
}

int File::release() {
  int fd = m_fd;
  m_fd = -1;
  return fd;
}

void File::close() {
  if (m_fd >= 0 && m_owned) ::close(m_fd);
  m_fd = -1;
}

std::optional<std::size_t> File::read(void* buffer, std::size_t size) {
  IoResult r = readSome(m_fd, buffer, size);
  if (r.status == IoStatus::Failed || r.status == IoStatus::WouldBlock) return std::nullopt;
  return r.count;
}

std::optional<std::size_t> File::write(const void* data, std::size_t size) {
  IoResult r = writeAll(m_fd, data, size);
  if (r.status != IoStatus::Ok && r.count == 0 && size != 0) return std::nullopt;
  return r.count;
}

std::optional<std::size_t> File::readAt(void* buffer, std::size_t size, std::uint64_t position) {
  for (;;) {
    ssize_t n = ::pread(m_fd, buffer, size, static_cast<off_t>(position));
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return std::nullopt;
  }
}

std::optional<std::size_t> File::writeAt(const void* data, std::size_t size, std::uint64_t position) {
  std::size_t done = 0;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (done < size) {
    ssize_t n = ::pwrite(m_fd, bytes + done, size - done, static_cast<off_t>(position + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done == 0 && size != 0) return std::nullopt;
  return done;
}

std::optional<std::uint64_t> File::seek(std::int64_t offset, Whence whence) {
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  off_t pos = ::lseek(m_fd, static_cast<off_t>(offset), kWhence[static_cast<int>(whence)]);
  if (pos < 0) return std::nullopt;
  return static_cast<std::uint64_t>(pos);
}

bool File::truncate(std::uint64_t size) { return ::ftruncate(m_fd, static_cast<off_t>(size)) == 0; }

bool File::sync() { return ::fsync(m_fd) == 0; }

EntryInfo File::info() const {
  struct stat st {};
  if (::fstat(m_fd, &st) != 0) return {};
  return infoOf(st);
}

bool File::setModified(std::time_t when) {
  timeval tv[2] = {{when, 0}, {when, 0}};
  return ::futimes(m_fd, tv) == 0;
}

IoStatus waitReadable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  int r = ::poll(&p, 1, timeoutMs);
  if (r < 0) return errno == EINTR ? IoStatus::WouldBlock : IoStatus::Failed;
  return r == 0 ? IoStatus::WouldBlock : IoStatus::Ok;
}

IoResult readSome(int fd, void* buffer, std::size_t size) {
  for (;;) {
    ssize_t n = ::read(fd, buffer, size);
    if (n > 0) return {IoStatus::Ok, static_cast<std::size_t>(n)};
    if (n == 0) return {size == 0 ? IoStatus::Ok : IoStatus::End, 0};
    if (errno == EINTR) continue;
    return {errno == EAGAIN || errno == EWOULDBLOCK ? IoStatus::WouldBlock : IoStatus::Failed, 0};
  }
}

IoResult writeAll(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {IoStatus::Failed, done};
    done += static_cast<std::size_t>(n);
  }
  return {IoStatus::Ok, done};
}

}  // namespace krvs::platform
