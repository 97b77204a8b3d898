// A library that leaves a marker file, named by AUTOLOAD_PROBE_MARKER, as soon as it is loaded.

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace {

__attribute__((constructor)) void LeaveMarker() {
  if (const char* marker = std::getenv("AUTOLOAD_PROBE_MARKER")) {
    const int fd = open(marker, O_WRONLY | O_CREAT, 0600);
    if (fd >= 0) close(fd);
  }
}

}  // namespace
