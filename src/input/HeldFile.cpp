#include "HeldFile.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "Failures.h"
#include "PathText.h"

namespace {

constexpr std::size_t kHeaderBytes = 64 * 1024;

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

HeldFile::HeldFile(std::string path, int fd, const struct stat& status)
    : path_(std::move(path)), fd_(fd), status_(status), gzipped_(Bytes(0, 2) == "\x1F\x8B") {}

HeldFile::HeldFile(HeldFile&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      status_(other.status_),
      gzipped_(other.gzipped_),
      inflated_(std::move(other.inflated_)),
      header_(std::move(other.header_)) {}

HeldFile::~HeldFile() {
  if (fd_ >= 0) close(fd_);
}

HeldFile HeldFile::Image(const std::string& path) {
  HeldFile file = Hold(path, path, "");
  if (file.Size() == 0) throw ReadFailure(path, "the file is empty");
  return file;
}

HeldFile HeldFile::DataFile(const std::string& imagePath, const std::string& path) {
  return Hold(path, imagePath, "its data file " + QuotedName(path));
}

// It is looked at before it is opened, and opened without blocking, so that neither a FIFO nor
// a device is ever read; what was looked at must be what was opened.
HeldFile HeldFile::Hold(const std::string& path, const std::string& imagePath,
                        const std::string& named) {
  const std::string subject = named.empty() ? "it" : named;
  const std::string systemCause = named.empty() ? "" : named + ": ";
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT && !named.empty()) throw ReadFailure(imagePath, named + " is missing");
    throw ReadFailure(imagePath, systemCause + SystemErrorText(errno));
  }
  if (S_ISDIR(status.st_mode) && named.empty()) {
    throw ReadFailure(path, "it is a folder, not an image file");
  }
  if (!S_ISREG(status.st_mode)) throw ReadFailure(imagePath, subject + " is not a regular file");
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw ReadFailure(imagePath, systemCause + SystemErrorText(errno));
  struct stat opened {};
  if (fstat(fd, &opened) != 0 || !SameFile(opened, status)) {
    close(fd);
    throw ReadFailure(imagePath, subject + " is not a regular file");
  }
  return HeldFile(path, fd, status);
}

const std::optional<Inflated>& HeldFile::Inflate() const {
  if (!inflated_) inflated_ = InflateToEnd(*this, 0);
  return *inflated_;
}

std::optional<std::uint64_t> HeldFile::ContentLength() const {
  if (!gzipped_) return Size();
  if (!Inflate()) return std::nullopt;
  return Inflate()->length;
}

const std::string& HeldFile::Header() const {
  if (!header_) header_ = gzipped_ ? (Inflate() ? Inflate()->head : "") : Bytes(0, kHeaderBytes);
  return *header_;
}

std::string HeldFile::Bytes(std::uint64_t offset, std::size_t length) const {
  std::string bytes(length, '\0');
  std::size_t done = 0;
  while (done < length) {
    const ssize_t read = pread(fd_, &bytes[done], length - done, static_cast<off_t>(offset + done));
    if (read <= 0) break;
    done += static_cast<std::size_t>(read);
  }
  bytes.resize(done);
  return bytes;
}

bool HeldFile::Unchanged() const {
  struct stat now {};
  struct stat held {};
  return stat(path_.c_str(), &now) == 0 && fstat(fd_, &held) == 0 && SameFile(now, status_) &&
         SameFile(held, status_);
}

// Sent only to interrupt a blocking system call: its default action is to do nothing, so one
// still pending once the handler is gone is dropped.
constexpr int kInterrupt = SIGURG;

BlockedOpenBreaker::BlockedOpenBreaker() {
  // Zeroed: nothing masked, and no SA_RESTART, so that the interrupted call fails with EINTR.
  struct sigaction interrupt {};
  interrupt.sa_handler = [](int) {};
  sigaction(kInterrupt, &interrupt, &previous_);
  struct sigevent event {};
  event.sigev_notify = SIGEV_THREAD_ID;
  event.sigev_signo = kInterrupt;
  event._sigev_un._tid = gettid();  // sigev_notify_thread_id, which glibc names only from 2.38
  constexpr struct timespec kEvery = {0, 5'000'000};
  const struct itimerspec ticks = {kEvery, kEvery};
  ticking_ = timer_create(CLOCK_MONOTONIC, &event, &timer_) == 0;
  if (ticking_) timer_settime(timer_, 0, &ticks, nullptr);
}

BlockedOpenBreaker::~BlockedOpenBreaker() {
  if (ticking_) timer_delete(timer_);
  sigaction(kInterrupt, &previous_, nullptr);
}
