#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>

namespace velmora {
namespace {

// Closes a descriptor on every path out.
struct FdGuard {
  int fd = -1;
  ~FdGuard() {
    if (fd >= 0) ::close(fd);
  }
  int Release() {
    const int f = fd;
    fd = -1;
    return f;
  }
};

int WriteAll(int fd, std::string_view text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return 0;
}

// Writes go through symbolic links to the file they name, as an in-place write would.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      std::string resolved(real);
      std::free(real);
      return resolved;
    }
    // A link to a file that does not exist yet: the new file goes where it points.
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n > 0 && static_cast<size_t>(n) < link.size()) {
      link.resize(static_cast<size_t>(n));
      const size_t slash = path.rfind('/');
      if (link[0] != '/' && slash != std::string::npos) link = path.substr(0, slash + 1) + link;
      return link;
    }
  }
  return path;
}

// Creates a new file beside `target` with the permissions a new file would get; returns its
// descriptor or -1 with errno set.
int CreateTemporaryBeside(const std::string& target, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = dir + "." + base + "." + std::to_string(::getpid()) + "-" +
               std::to_string(counter.fetch_add(1)) + ".tmp";
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The temporary file of the write in progress, for a signal handler to remove: a path copied
// into a fixed buffer before it is published, since a handler may not allocate. One write at a
// time has its file listed; the program saves one file at a time.
char temporaryPath[PATH_MAX];
std::atomic<bool> temporaryListed{false};

struct TemporaryFileNotice {
  bool listed = false;
  explicit TemporaryFileNotice(const std::string& path) {
    if (path.size() >= sizeof temporaryPath || temporaryListed.load()) return;
    path.copy(temporaryPath, path.size());
    temporaryPath[path.size()] = '\0';
    temporaryListed.store(true);
    listed = true;
  }
  ~TemporaryFileNotice() {
    if (listed) temporaryListed.store(false);
  }
  TemporaryFileNotice(const TemporaryFileNotice&) = delete;
  TemporaryFileNotice& operator=(const TemporaryFileNotice&) = delete;
};

}  // namespace

void RemoveTemporaryFileNow() noexcept {
  if (temporaryListed.load()) ::unlink(temporaryPath);
}

int ReadWholeFile(const std::string& path, FileBytes& out, size_t maxSize) {
  // Without O_NONBLOCK the open of a FIFO would wait for a writer for ever.
  FdGuard file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (file.fd < 0) return errno;
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return kNotRegularFile;
  if (static_cast<uint64_t>(st.st_size) > maxSize) return kFileTooLarge;

  // One read for a file that keeps its size; one that grows meanwhile is read on, up to the
  // limit.
  size_t capacity = static_cast<size_t>(st.st_size) + 1;
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  size_t size = 0;
  for (;;) {
    if (size == capacity) {
      if (capacity > maxSize) return kFileTooLarge;
      // One byte past the limit is enough to tell that the file is too large.
      const size_t larger = std::min(capacity * 2, maxSize < SIZE_MAX ? maxSize + 1 : SIZE_MAX);
      auto bigger = std::make_unique_for_overwrite<char[]>(larger);
      std::copy_n(data.get(), size, bigger.get());
      data = std::move(bigger);
      capacity = larger;
    }
    const ssize_t n = ::read(file.fd, data.get() + size, capacity - size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    size += static_cast<size_t>(n);
  }
  if (size > maxSize) return kFileTooLarge;
  out.data = std::move(data);
  out.size = size;
  return 0;
}

std::string FileErrorText(int error) {
  switch (error) {
    case kNotRegularFile:
      return "Not a regular file";
    case kFileTooLarge:
      return "File too large";
    default:
      return std::system_category().message(error);
  }
}

int ReplaceWholeFile(const std::string& path, std::string_view text) {
  const std::string target = ResolveTarget(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists) {
    if (S_ISDIR(existing.st_mode)) return EISDIR;
    if (!S_ISREG(existing.st_mode)) return kNotRegularFile;
    // A file the user may not write stays as it is, although its folder would allow a rename.
    if (::access(target.c_str(), W_OK) != 0) return errno;
  }

  std::string tempPath;
  FdGuard temp{CreateTemporaryBeside(target, tempPath)};
  if (temp.fd < 0) return errno;
  const TemporaryFileNotice notice(tempPath);
  int error = WriteAll(temp.fd, text);
  if (!error && exists && ::fchmod(temp.fd, existing.st_mode & 07777) != 0) error = errno;
  if (!error && ::close(temp.Release()) != 0) error = errno;
  if (!error && ::rename(tempPath.c_str(), target.c_str()) != 0) error = errno;
  if (error) ::unlink(tempPath.c_str());
  return error;
}

}  // namespace velmora
