#ifndef SLICE2VOL_PROCESS_OUTPUTFILE_H
#define SLICE2VOL_PROCESS_OUTPUTFILE_H

#include <cstddef>
#include <cstdint>
#include <string>

/// An output that appears at its path only when complete. A regular file (or a path where
/// nothing exists yet) is written to an unnamed file in the same folder (O_TMPFILE), which
/// Commit links under a temporary name and renames onto the path. Where the file system has no
/// unnamed files, a named temporary file takes its place from the start. A failure, an
/// exception or a signal removes the temporary file and leaves the path as it was; SIGKILL,
/// which cannot be caught, leaves at most the complete volume under its temporary name, if it
/// comes between the link and the rename.
///
/// A symbolic link is followed: the file it points to is replaced and the link stays. Paths are
/// resolved from the folder's descriptor, so any path the system accepts can be written, up to
/// PATH_MAX itself. A new file gets mode 0666 less the umask; a replaced one keeps its mode.
/// There is no fsync: this protects against the process failing, not against the machine
/// losing power.
///
/// Anything else that exists at the path (a device, a FIFO, a pipe) is opened once and written
/// in place, front to back, never seeked.
class OutputFile {
 public:
  explicit OutputFile(const char* path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(const char* data, std::size_t size);
  /// Appends a copy of size bytes the file already holds from offset, copied by the kernel
  /// without passing through the process. Returns false, having appended nothing, where the
  /// output cannot be read back (a device, a FIFO) or its file system cannot copy.
  bool AppendCopy(std::uint64_t offset, std::uint64_t size);
  void Commit();

 private:
  [[noreturn]] void Fail(int errorNumber) const;  // throws WriteFailure naming the path
  void FindTarget(const char* path);
  void CreateTemporary(unsigned mode);

  std::string path_;
  int fd_ = -1;
  int folder_ = -1;        // the folder of the file to replace
  std::string name_;       // its name there
  std::string temporary_;  // the temporary file's name there, once it has one
  bool unnamed_ = false;   // the file is O_TMPFILE's, not yet linked
};

#endif
