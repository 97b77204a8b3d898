#ifndef SLICE2VOL_INPUT_HELDFILE_H
#define SLICE2VOL_INPUT_HELDFILE_H

#include <signal.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdint>
#include <optional>
#include <string>

#include "CompressedStream.h"

/// A file the input side reads: checked to be a readable regular file without opening anything
/// else (a FIFO would block a reader forever, a device gives endless bytes), opened once and
/// held open until the image is read, so that every check reads from the file that was checked
/// and a file replaced meanwhile is noticed.
class HeldFile {
 public:
  /// The input image at path; throws a ReadFailure naming it when it cannot be read.
  static HeldFile Image(const std::string& path);
  /// A data file that the header of the image at imagePath names; throws a ReadFailure naming
  /// the image and the data file when it cannot be read.
  static HeldFile DataFile(const std::string& imagePath, const std::string& path);

  HeldFile(HeldFile&& other) noexcept;
  HeldFile& operator=(HeldFile&&) = delete;
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  ~HeldFile();

  const std::string& Path() const { return path_; }
  int Descriptor() const { return fd_; }
  std::uint64_t Size() const { return static_cast<std::uint64_t>(status_.st_size); }

  /// True when it starts as a gzip file does.
  bool Gzipped() const { return gzipped_; }
  /// The length a reader gets from it: its size, or for a gzip file what it inflates to,
  /// checked to its end; nothing when that stream is cut short or corrupt.
  std::optional<std::uint64_t> ContentLength() const;
  /// Its first bytes as a reader gets them (inflated, for a gzip file), as many as a header can
  /// take, read once.
  const std::string& Header() const;
  /// Up to length bytes from offset; fewer at the end of the file.
  std::string Bytes(std::uint64_t offset, std::size_t length) const;
  /// True when its path still names this file, with the size and time it had when opened.
  bool Unchanged() const;

 private:
  HeldFile(std::string path, int fd, const struct stat& status);
  // Opens path for the image at imagePath; named is how a message names a data file, empty for
  // the image itself.
  static HeldFile Hold(const std::string& path, const std::string& imagePath,
                       const std::string& named);

  std::string path_;
  int fd_;
  struct stat status_;
  bool gzipped_;
  // A gzip file is inflated once, the first time its length or header is asked for.
  const std::optional<Inflated>& Inflate() const;
  mutable std::optional<std::optional<Inflated>> inflated_;
  mutable std::optional<std::string> header_;
};

/// While it lives, the thread that made it is interrupted every few milliseconds, so that a
/// reader blocked opening a FIFO swapped in for a held file fails instead of waiting for ever;
/// reads of regular files cannot be interrupted. A swapped file is then seen by Unchanged.
class BlockedOpenBreaker {
 public:
  BlockedOpenBreaker();
  ~BlockedOpenBreaker();
  BlockedOpenBreaker(const BlockedOpenBreaker&) = delete;
  BlockedOpenBreaker& operator=(const BlockedOpenBreaker&) = delete;

 private:
  struct sigaction previous_ {};
  timer_t timer_{};
  bool ticking_ = false;
};

#endif
