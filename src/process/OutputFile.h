#ifndef SLICE2VOL_PROCESS_OUTPUTFILE_H
#define SLICE2VOL_PROCESS_OUTPUTFILE_H

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

/// The output path, looked at once when the object is made, and then the output itself, which
/// appears at its path only when complete. A regular file (or a path where nothing exists yet)
/// is written to an unnamed file in the same folder (O_TMPFILE), which Commit links under a
/// temporary name and renames onto the path. Where the file system has no
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
  /// Resolves path to the file a rename would replace, without creating anything. Only an
  /// empty path is refused here; why another cannot be written is kept for Open, so that the
  /// run's other checks come first.
  explicit OutputFile(const char* path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& Path() const { return path_; }
  /// True when the path names the file at other (the same path, a link to it or a hard link).
  bool Replaces(const std::string& other) const;
  /// True when the path names the file open as standard output, unless that is the null device,
  /// which keeps nothing that two writers could mix.
  bool IsStandardOutput() const;
  /// The bytes free for the new file on the file system that will hold it, as the system reports
  /// them for this process (the blocks kept for the superuser count only for the superuser).
  /// Nothing for an output written in place (a device, a FIFO), on a file system that is
  /// read-only or gives no size, or when the system cannot tell: writing then finds out.
  std::optional<std::uint64_t> FreeBytes() const;

  /// Creates the temporary file, or opens the output written in place; throws WriteFailure
  /// naming the path when it cannot.
  void Open();
  void Write(const char* data, std::size_t size);
  /// Appends a copy of size bytes the file already holds from offset, copied by the kernel
  /// without passing through the process. Returns false, having appended nothing, where the
  /// output cannot be read back (a device, a FIFO) or its file system cannot copy.
  bool AppendCopy(std::uint64_t offset, std::uint64_t size);
  void Commit();

 private:
  [[noreturn]] void Fail(int errorNumber) const;  // throws WriteFailure naming the path
  int Resolve();
  int FollowLinks();
  bool WrittenInPlace() const;

  std::string path_;
  int error_;              // why the path cannot be written, found while resolving it
  bool exists_ = false;    // status_ is that of the file at the path
  struct stat status_ {};  // followed through links
  int fd_ = -1;
  int folder_;             // the folder of the file to replace
  std::string name_;       // its name there
  std::string temporary_;  // the temporary file's name there, once it has one
  bool unnamed_ = false;   // the file is O_TMPFILE's, not yet linked
};

#endif
