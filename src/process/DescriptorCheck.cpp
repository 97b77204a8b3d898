#include "DescriptorCheck.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

int FindDescriptorShortage() {
  int opened[kDescriptorsNeeded];
  int count = 0;
  int error = 0;
  for (; count < kDescriptorsNeeded; ++count) {
    opened[count] = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (opened[count] < 0) {
      error = errno;
      break;
    }
  }
  while (count > 0) close(opened[--count]);
  return error;
}
