#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "InterruptCleanup.h"
#include "SystemErrorText.h"

namespace {

constexpr int kMostLinksFollowed = 40;
constexpr int kMostTemporaryNamesTried = 100;

[[noreturn]] void Fail(int errorNumber) { throw OutputFileError(SystemErrorText(errorNumber)); }

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The path the rename must replace: a symbolic link is followed to the file it names, even
// when that file does not exist yet, so that the link itself stays.
std::string FollowLinks(std::string path) {
  for (int followed = 0; followed < kMostLinksFollowed; ++followed) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    // Not st_size: the kernel's own links under /proc, such as /dev/stdout's, report 0 or 64.
    std::vector<char> target(PATH_MAX);
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length < 0) Fail(errno);
    if (static_cast<std::size_t>(length) == target.size()) Fail(ENAMETOOLONG);
    const std::string linked(target.data(), static_cast<std::size_t>(length));
    path = linked[0] == '/' ? linked : FolderOf(path) + "/" + linked;
  }
  Fail(ELOOP);
}

unsigned ModeForNewFile() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

OutputFile::OutputFile(const char* path) {
  struct stat status {};
  if (stat(path, &status) == 0) {
    if (S_ISDIR(status.st_mode)) Fail(EISDIR);
    if (!S_ISREG(status.st_mode)) {
      fd_ = open(path, O_WRONLY | O_CLOEXEC);
      if (fd_ < 0) Fail(errno);
      return;
    }
    CreateTemporary(FollowLinks(path), status.st_mode & 07777);
  } else if (errno == ENOENT) {
    CreateTemporary(FollowLinks(path), ModeForNewFile());
  } else {
    Fail(errno);
  }
}

void OutputFile::CreateTemporary(const std::string& target, unsigned mode) {
  const std::string folder = FolderOf(target);
  const std::string stem = folder + "/.slice2vol-" + std::to_string(getpid()) + "-";
  std::string name;
  for (int attempt = 0;; ++attempt) {
    name = stem + std::to_string(attempt);
    RemoveOnInterrupt(name.c_str());
    fd_ = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ >= 0) break;
    const int error = errno;
    ForgetRemoveOnInterrupt();
    if (error == EEXIST && attempt < kMostTemporaryNamesTried) continue;  // left by a killed run
    struct stat status {};
    if (error == EEXIST || stat(folder.c_str(), &status) != 0) Fail(error);
    throw OutputFileError("cannot create a temporary file in its folder: " +
                          SystemErrorText(error));
  }
  temporary_ = name;
  target_ = target;
  if (fchmod(fd_, mode) != 0) Fail(errno);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) close(fd_);
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    ForgetRemoveOnInterrupt();
  }
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

void OutputFile::Commit() {
  // A close can report a write that failed after it was accepted (a full disk on some file
  // systems), so its result counts like that of any write.
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) Fail(errno);
  if (temporary_.empty()) return;
  if (rename(temporary_.c_str(), target_.c_str()) != 0) Fail(errno);
  ForgetRemoveOnInterrupt();
  temporary_.clear();
}
