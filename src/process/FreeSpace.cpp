#include "FreeSpace.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "PathParts.h"
#include "SaturatingArithmetic.h"

std::optional<std::uint64_t> FreeSpaceFor(const char* path) {
  std::string onFileSystem = path;
  struct stat status {};
  if (stat(path, &status) == 0) {
    if (!S_ISREG(status.st_mode)) return std::nullopt;
  } else if (errno == ENOENT) {
    onFileSystem = FolderOf(path);
    if (onFileSystem.empty()) onFileSystem = ".";
  } else {
    return std::nullopt;
  }
  struct statvfs fileSystem {};
  // A file system without a size (/proc, some FUSE ones) or read-only one: writing there fails,
  // or not, for its own reason.
  if (statvfs(onFileSystem.c_str(), &fileSystem) != 0 || fileSystem.f_blocks == 0 ||
      (fileSystem.f_flag & ST_RDONLY) != 0) {
    return std::nullopt;
  }
  const std::uint64_t blocks = geteuid() == 0 ? fileSystem.f_bfree : fileSystem.f_bavail;
  return SaturatingProduct(blocks, fileSystem.f_frsize);
}
