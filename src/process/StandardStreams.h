#ifndef SLICE2VOL_PROCESS_STANDARDSTREAMS_H
#define SLICE2VOL_PROCESS_STANDARDSTREAMS_H

#include <cstddef>
#include <string>

/// Opens each of descriptors 0, 1 and 2 that the process started without on /dev/null, so that
/// no file the tool opens later takes its number and receives what is meant for the terminal.
/// Standard output is opened for reading only: writing the tool's report to it then fails and
/// is reported, instead of vanishing.
void OpenMissingStandardStreams();

/// Flushes std::cout; throws StandardOutputFailure when any of what the tool printed could not be
/// written (a full disk, a pipe nobody reads).
void FlushStandardOutput();

/// Flushes standard output and error and ends the process with status at once. The run's
/// files are committed or removed by then; what the libraries' destructors would still do
/// (releasing memory and their registries, for a process about to end) only costs time.
[[noreturn]] void EndProcess(int status);

/// While it lives, whatever the image libraries print on standard output or standard error
/// (warnings with source paths and addresses, messages about damaged files) is kept in memory
/// instead: the tool's own report is its only output, and Text() lets the caller weigh what
/// the libraries said. The tool's standard output must be flushed before.
class LibraryOutputCapture {
 public:
  LibraryOutputCapture();
  ~LibraryOutputCapture();
  LibraryOutputCapture(const LibraryOutputCapture&) = delete;
  LibraryOutputCapture& operator=(const LibraryOutputCapture&) = delete;

  /// What the libraries printed so far, up to its first kMostKept bytes.
  std::string Text() const;

  /// The process's own standard error, for a message that must reach the user meanwhile.
  int StandardError() const;

  static constexpr std::size_t kMostKept = 1 << 20;

 private:
  int capture_;
  int savedOutput_;
  int savedError_;
};

#endif
