#include "StandardStreams.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>

#include "Failures.h"

void OpenMissingStandardStreams() {
  const int modes[] = {O_WRONLY, O_RDONLY, O_WRONLY};
  for (int fd = 0; fd <= 2; ++fd) {
    // open takes the lowest free descriptor: fd itself, since those below it are open now.
    if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) open("/dev/null", modes[fd]);
  }
}

void FlushStandardOutput() {
  if (std::cout.good()) {
    errno = 0;
    std::cout.flush();
    if (std::cout.good()) return;
  }
  // A stream that failed earlier (a line ended by std::endl) makes no further system call, so
  // errno still holds the reason of its failed write.
  const int error = errno != 0 ? errno : EIO;
  throw StandardOutputFailure(error);
}

void EndProcess(int status) {
  // std::cerr writes each insertion at once; std::cout writes through the C library's stdout.
  std::cout.flush();
  _exit(status);
}

// A descriptor that cannot be had stays -1, and what needs it is skipped: then the libraries
// speak, but the run itself is not at stake.
LibraryOutputCapture::LibraryOutputCapture()
    : capture_(memfd_create("library-output", MFD_CLOEXEC)),
      savedOutput_(fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0)),
      savedError_(fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0)) {
  if (capture_ < 0) capture_ = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (capture_ >= 0 && savedOutput_ >= 0 && savedError_ >= 0) {
    dup2(capture_, STDOUT_FILENO);
    dup2(capture_, STDERR_FILENO);
  }
}

LibraryOutputCapture::~LibraryOutputCapture() {
  std::fflush(stdout);  // what a library left in the C library's buffer is captured too
  if (savedOutput_ >= 0 && savedError_ >= 0) {
    dup2(savedOutput_, STDOUT_FILENO);
    dup2(savedError_, STDERR_FILENO);
  }
  for (const int fd : {capture_, savedOutput_, savedError_}) {
    if (fd >= 0) close(fd);
  }
}

std::string LibraryOutputCapture::Text() const {
  std::fflush(stdout);
  struct stat status {};
  if (capture_ < 0 || fstat(capture_, &status) != 0 || status.st_size <= 0) return "";
  std::string text(std::min(static_cast<std::size_t>(status.st_size), kMostKept), '\0');
  const ssize_t read = pread(capture_, &text[0], text.size(), 0);
  text.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
  return text;
}

int LibraryOutputCapture::StandardError() const {
  return savedError_ >= 0 ? savedError_ : STDERR_FILENO;
}
