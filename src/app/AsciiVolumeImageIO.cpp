#include "AsciiVolumeImageIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "SystemErrorText.h"

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;
constexpr std::size_t kValuesPerLine = 6;

[[noreturn]] void ThrowSystemError(int errorNumber) {
  throw OutputFileError(SystemErrorText(errorNumber));
}

class OutputDescriptor {
 public:
  explicit OutputDescriptor(const char* path)
      : fd_(open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {
    if (fd_ < 0) ThrowSystemError(errno);
  }
  ~OutputDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  OutputDescriptor(const OutputDescriptor&) = delete;
  OutputDescriptor& operator=(const OutputDescriptor&) = delete;

  int get() const { return fd_; }

  void WriteAll(const char* data, std::size_t size) {
    while (size > 0) {
      const ssize_t written = write(fd_, data, size);
      if (written < 0) {
        if (errno == EINTR) continue;
        ThrowSystemError(errno);
      }
      data += written;
      size -= static_cast<std::size_t>(written);
    }
  }

  // A close can report a write that failed after it was accepted (a full disk on some file
  // systems), so its result counts like that of any write.
  void Close() {
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) ThrowSystemError(errno);
  }

 private:
  int fd_;
};

struct DecimalText {
  std::array<char, 4> text;  // the digits followed by one blank
  std::size_t length;
};

std::array<DecimalText, 256> MakeDecimalTable() {
  std::array<DecimalText, 256> table{};
  for (int value = 0; value < 256; ++value) {
    const std::string digits = std::to_string(value) + ' ';
    std::memcpy(table[value].text.data(), digits.data(), digits.size());
    table[value].length = digits.size();
  }
  return table;
}

// ITK's layout: each value followed by one blank, a line end before every sixth value after
// the first, none after the last.
void WriteBody(OutputDescriptor& output, const unsigned char* voxels, std::size_t count) {
  static const std::array<DecimalText, 256> decimal = MakeDecimalTable();
  std::vector<char> block(kBlockSize);
  char* const begin = block.data();
  char* const flushMark = begin + kBlockSize - 8;
  char* cursor = begin;
  std::size_t onLine = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (onLine == kValuesPerLine) {
      *cursor++ = '\n';
      onLine = 0;
    }
    const DecimalText& entry = decimal[voxels[i]];
    std::memcpy(cursor, entry.text.data(), entry.text.size());
    cursor += entry.length;
    ++onLine;
    if (cursor >= flushMark) {
      output.WriteAll(begin, static_cast<std::size_t>(cursor - begin));
      cursor = begin;
    }
  }
  output.WriteAll(begin, static_cast<std::size_t>(cursor - begin));
}

}  // namespace

void AsciiVolumeImageIO::Write(const void* buffer) {
  if (GetFileType() != itk::IOFileEnum::ASCII ||
      GetComponentType() != itk::IOComponentEnum::UCHAR || GetNumberOfComponents() != 1 ||
      RequestedToStream()) {
    Superclass::Write(buffer);
    return;
  }
  // Opened before ITK writes the header, so that a file that cannot be created is reported
  // with the system's reason; ITK's header writer truncates and fills the same file.
  OutputDescriptor output(GetFileName());
  WriteImageInformation(buffer);
  const auto headerSize = static_cast<off_t>(GetHeaderSize());

  struct stat status {};
  if (fstat(output.get(), &status) != 0) ThrowSystemError(errno);
  if (S_ISREG(status.st_mode) && status.st_size != headerSize) {
    throw OutputFileError("the file header could not be written");
  }
  if (lseek(output.get(), headerSize, SEEK_SET) < 0) ThrowSystemError(errno);

  WriteBody(output, static_cast<const unsigned char*>(buffer), GetImageSizeInComponents());
  output.Close();
}
