#include "FaithfulRead.h"

#include <malloc.h>

namespace {

// Sets the C library's fill byte for allocations while it lives, then turns it off: it costs a
// memset on every allocation and release.
class MemoryFill {
 public:
  explicit MemoryFill(int pattern) { mallopt(M_PERTURB, pattern); }
  ~MemoryFill() { mallopt(M_PERTURB, 0); }
  MemoryFill(const MemoryFill&) = delete;
  MemoryFill& operator=(const MemoryFill&) = delete;
};

// A new image IO for each read: some keep the file open at where an earlier read ended.
ReadImage ReadWithFill(const itk::ImageIOBase& probe, unsigned char pattern) {
  ReadImage image;
  image.io = dynamic_cast<itk::ImageIOBase*>(probe.CreateAnother().GetPointer());
  itk::ImageIOBase& io = *image.io;
  io.SetFileName(probe.GetFileName());
  const MemoryFill fill(pattern);
  io.ReadImageInformation();
  if (!(io.GetNumberOfDimensions() == probe.GetNumberOfDimensions() &&
        io.GetImageSizeInBytes() == probe.GetImageSizeInBytes())) {
    return image;
  }
  itk::ImageIORegion whole(io.GetNumberOfDimensions());
  for (unsigned i = 0; i < io.GetNumberOfDimensions(); ++i) whole.SetSize(i, io.GetDimensions(i));
  io.SetIORegion(whole);
  image.pixels.assign(io.GetImageSizeInBytes(), static_cast<char>(pattern));
  io.Read(image.pixels.data());
  return image;
}

// The C library fills fresh memory with the complement of the byte it fills freed memory with;
// the two reads use both bytes, the other way round.
constexpr unsigned char kFirstFill = 0x5A;
constexpr unsigned char kSecondFill = 0xA5;
constexpr std::size_t kSuspectRun = 64;

bool IsFillByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value == kFirstFill || value == kSecondFill;
}

// A run of bytes as they would be where the reader left the buffer as it was filled, or copied
// memory it never filled. Unwritten rows and blocks give long ones; a real image rarely holds
// one, and when it does, the second read only confirms it. A run of kSuspectRun bytes holds a
// whole aligned block of half that length, so only blocks that start with such a byte are
// looked at further.
bool HasFillRun(const std::vector<char>& pixels) {
  constexpr std::size_t kBlock = kSuspectRun / 2;
  const std::size_t size = pixels.size();
  for (std::size_t block = 0; block + kBlock <= size; block += kBlock) {
    if (!IsFillByte(pixels[block])) continue;
    std::size_t begin = block;
    while (begin > 0 && IsFillByte(pixels[begin - 1])) --begin;
    std::size_t end = block;
    while (end < size && IsFillByte(pixels[end])) ++end;
    if (end - begin >= kSuspectRun) return true;
  }
  return false;
}

// What the reader takes from the image IO to place and convert the pixels.
bool SameInformation(const itk::ImageIOBase& a, const itk::ImageIOBase& b) {
  if (a.GetNumberOfDimensions() != b.GetNumberOfDimensions() ||
      a.GetComponentType() != b.GetComponentType() || a.GetPixelType() != b.GetPixelType() ||
      a.GetNumberOfComponents() != b.GetNumberOfComponents()) {
    return false;
  }
  for (unsigned i = 0; i < a.GetNumberOfDimensions(); ++i) {
    if (a.GetDimensions(i) != b.GetDimensions(i) || a.GetSpacing(i) != b.GetSpacing(i) ||
        a.GetOrigin(i) != b.GetOrigin(i) || a.GetDirection(i) != b.GetDirection(i)) {
      return false;
    }
  }
  return true;
}

}  // namespace

ReadImage ReadImageFaithfully(const itk::ImageIOBase& probe) {
  ReadImage first = ReadWithFill(probe, kFirstFill);
  if (first.pixels.empty() || !SameInformation(*first.io, probe)) {
    first.pixels.clear();
  } else if (HasFillRun(first.pixels)) {
    const ReadImage second = ReadWithFill(probe, kSecondFill);
    if (first.pixels != second.pixels || !SameInformation(*second.io, probe)) first.pixels.clear();
  }
  return first;
}
