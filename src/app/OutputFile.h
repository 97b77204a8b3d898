#ifndef SLICE2VOL_APP_OUTPUTFILE_H
#define SLICE2VOL_APP_OUTPUTFILE_H

#include <cstddef>
#include <stdexcept>
#include <string>

/// Thrown when the output cannot be created, written or completed; what() gives the cause in
/// plain words.
class OutputFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// An output that appears at its path only when complete. A regular file (or a path where
/// nothing exists yet) is written to a temporary file in the same folder, which Commit renames
/// onto the path; a failure, an exception or an interruption (SIGINT, SIGTERM, SIGHUP) removes
/// the temporary file and leaves the path as it was. A symbolic link is followed: the file it
/// points to is replaced and the link stays. A new file gets mode 0666 less the umask; a
/// replaced one keeps its mode. There is no fsync: this protects against the process
/// failing, not against the machine losing power.
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
  void Commit();

 private:
  void CreateTemporary(const std::string& target, unsigned mode);

  int fd_ = -1;
  std::string target_;
  std::string temporary_;  // empty when writing in place or once committed
};

#endif
