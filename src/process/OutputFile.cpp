#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "Failures.h"
#include "PathText.h"
#include "SaturatingArithmetic.h"
#include "SignalHandlers.h"

namespace {

constexpr int kMostLinksFollowed = 40;
constexpr int kMostTemporaryNamesTried = 100;

// The folder of path, relative to base unless path is absolute; -1 with errno set on failure.
int OpenFolderOf(int base, const std::string& path) {
  const std::string folder = FolderOf(path);
  return openat(base, folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

unsigned ModeForNewFile() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

std::string TemporaryName(int attempt) {
  return ".slice2vol-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
}

// The unnamed file is linked through its /proc entry, which needs no privilege.
std::string ProcEntry(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

bool SameFile(const struct stat& one, const struct stat& other) {
  return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

bool ProcEntryNames(int fd) {
  struct stat entry {};
  struct stat file {};
  return stat(ProcEntry(fd).c_str(), &entry) == 0 && fstat(fd, &file) == 0 && SameFile(entry, file);
}

// Gives the file a temporary name in the folder through create, which makes the name and
// returns false with errno set when it cannot; a name already taken (left by a killed run) is
// passed over. 0, or the error that stopped it.
template <typename Create>
int NameTemporary(int folder, std::string& temporary, Create create) {
  for (int attempt = 0;; ++attempt) {
    const std::string name = TemporaryName(attempt);
    RemoveOnSignal(folder, name.c_str());
    if (create(name.c_str())) {
      temporary = name;
      return 0;
    }
    const int error = errno;
    ForgetRemoveOnSignal();
    if (error != EEXIST || attempt == kMostTemporaryNamesTried) return error;
  }
}

bool IsNullDevice(const struct stat& status) {
  return S_ISCHR(status.st_mode) && status.st_rdev == makedev(1, 3);
}

}  // namespace

OutputFile::OutputFile(const char* path) : path_(path) {
  // ITK refuses an empty file name itself, without a reason to show.
  if (path_.empty()) Fail(ENOENT);
  error_ = Resolve();
}

// The path's name is looked at in its folder without following a link, which for a plain path
// is the one look. A link is followed by the kernel for what it names (its own links, such as
// /dev/stdout's, may name a pipe), and by hand to the file a rename must replace.
int OutputFile::Resolve() {
  folder_ = OpenFolderOf(AT_FDCWD, path_);
  if (folder_ < 0) return errno;
  name_ = NameOf(path_);
  if (name_.empty()) return EISDIR;
  if (fstatat(folder_, name_.c_str(), &status_, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? 0 : errno;
  }
  exists_ = true;
  if (S_ISLNK(status_.st_mode)) {
    if (stat(path_.c_str(), &status_) != 0) {
      if (errno != ENOENT) return errno;
      exists_ = false;
    }
    if (!WrittenInPlace() && !S_ISDIR(status_.st_mode)) return FollowLinks();
  }
  return S_ISDIR(status_.st_mode) ? EISDIR : 0;
}

// From the link at name_ to the file it leads to, even when that file does not exist yet, so
// that the link itself stays.
int OutputFile::FollowLinks() {
  for (int followed = 0;; ++followed) {
    if (followed == kMostLinksFollowed) return ELOOP;
    // Not st_size: the kernel's own links under /proc report 0 or 64.
    std::vector<char> target(PATH_MAX);
    const ssize_t length = readlinkat(folder_, name_.c_str(), target.data(), target.size());
    if (length < 0) return errno;
    if (static_cast<std::size_t>(length) == target.size()) return ENAMETOOLONG;
    const std::string linked(target.data(), static_cast<std::size_t>(length));
    const int next = OpenFolderOf(folder_, linked);
    if (next < 0) return errno;
    close(folder_);
    folder_ = next;
    name_ = NameOf(linked);
    if (name_.empty()) return EISDIR;  // "missing/", as open(2) says
    struct stat status {};
    if (fstatat(folder_, name_.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(status.st_mode)) {
      return 0;
    }
  }
}

bool OutputFile::WrittenInPlace() const { return exists_ && !S_ISREG(status_.st_mode); }

bool OutputFile::Replaces(const std::string& other) const {
  struct stat status {};
  return exists_ && stat(other.c_str(), &status) == 0 && SameFile(status, status_);
}

bool OutputFile::IsStandardOutput() const {
  struct stat output {};
  return exists_ && fstat(STDOUT_FILENO, &output) == 0 && SameFile(output, status_) &&
         !IsNullDevice(status_);
}

std::optional<std::uint64_t> OutputFile::FreeBytes() const {
  struct statvfs fileSystem {};
  // A file system without a size (/proc, some FUSE ones) or read-only one: writing there fails,
  // or not, for its own reason.
  if (error_ != 0 || WrittenInPlace() || fstatvfs(folder_, &fileSystem) != 0 ||
      fileSystem.f_blocks == 0 || (fileSystem.f_flag & ST_RDONLY) != 0) {
    return std::nullopt;
  }
  const std::uint64_t blocks = geteuid() == 0 ? fileSystem.f_bfree : fileSystem.f_bavail;
  return SaturatingProduct(blocks, fileSystem.f_frsize);
}

void OutputFile::Open() {
  if (error_ != 0) Fail(error_);
  if (WrittenInPlace()) {
    fd_ = open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) Fail(errno);
    return;
  }
  const unsigned mode = exists_ ? status_.st_mode & 07777 : ModeForNewFile();
  // Read and write: what is written may be copied again from the file itself.
  fd_ = openat(folder_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  int error = errno;
  if (fd_ >= 0 && ProcEntryNames(fd_)) {
    unnamed_ = true;
    error = 0;
  } else if (fd_ >= 0 || error == EOPNOTSUPP || error == EISDIR) {
    // No unnamed files on this file system (EISDIR: a kernel without them), or no /proc to link
    // one by: the file has its temporary name from the start.
    if (fd_ >= 0) close(fd_);
    error = NameTemporary(folder_, temporary_, [&](const char* name) {
      fd_ = openat(folder_, name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      return fd_ >= 0;
    });
  }
  if (error != 0) {
    throw WriteFailure(path_,
                       "cannot create a temporary file in its folder: " + SystemErrorText(error));
  }
  if (fchmod(fd_, mode) != 0) Fail(errno);  // the umask took its part at creation
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) close(fd_);
  if (!temporary_.empty()) {
    unlinkat(folder_, temporary_.c_str(), 0);
    ForgetRemoveOnSignal();
  }
  if (folder_ >= 0) close(folder_);
}

void OutputFile::Write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd_, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

bool OutputFile::AppendCopy(std::uint64_t offset, std::uint64_t size) {
  auto from = static_cast<off_t>(offset);
  for (std::uint64_t copied = 0; copied < size;) {
    const ssize_t count = copy_file_range(fd_, &from, fd_, nullptr, size - copied, 0);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && copied == 0 &&
        (errno == EBADF || errno == EINVAL || errno == EXDEV || errno == ENOSYS ||
         errno == EOPNOTSUPP)) {
      return false;
    }
    if (count < 0) Fail(errno);
    if (count == 0) Fail(EIO);  // the file holds less than it was given
    copied += static_cast<std::uint64_t>(count);
  }
  return true;
}

void OutputFile::Fail(int errorNumber) const {
  throw WriteFailure(path_, SystemErrorText(errorNumber));
}

void OutputFile::Commit() {
  if (unnamed_) {
    const std::string entry = ProcEntry(fd_);
    const int error = NameTemporary(folder_, temporary_, [&](const char* name) {
      return linkat(AT_FDCWD, entry.c_str(), folder_, name, AT_SYMLINK_FOLLOW) == 0;
    });
    if (error != 0) Fail(error);
  }
  // A close can report a write that failed after it was accepted (a full disk on some file
  // systems), so its result counts like that of any write.
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) Fail(errno);
  if (temporary_.empty()) return;  // written in place
  if (renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) Fail(errno);
  ForgetRemoveOnSignal();
  temporary_.clear();
}
