#include "InputDiagnosis.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "SystemErrorText.h"
#include "itkImageIOFactory.h"

std::string FindInputFileProblem(const char* path) {
  struct stat status {};
  if (stat(path, &status) != 0) return SystemErrorText(errno);
  if (S_ISDIR(status.st_mode)) return "it is a folder, not an image file";
  if (!S_ISREG(status.st_mode)) return "it is not a regular file";
  if (access(path, R_OK) != 0) return SystemErrorText(errno);
  if (status.st_size == 0) return "the file is empty";
  return "";
}

std::string DescribeUnreadableInput(const char* path) {
  if (itk::ImageIOFactory::CreateImageIO(path, itk::ImageIOFactory::ReadMode).IsNull()) {
    return "no supported image format recognises it";
  }
  return "the file is damaged or uses a variant of its format that cannot be decoded";
}
