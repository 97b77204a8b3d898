#include "FaithfulRead.h"

#include <malloc.h>

#include <algorithm>

namespace {

// The C library fills fresh memory with the complement of the byte it fills freed memory with;
// the two reads use both bytes, the other way round.
constexpr unsigned char kFirstFill = 0x5A;
constexpr unsigned char kSecondFill = 0xA5;
constexpr std::size_t kSuspectRun = 64;

// Sets the C library's fill byte for allocations while it lives, then turns it off: it costs a
// memset on every allocation and release.
class MemoryFill {
 public:
  explicit MemoryFill(int pattern) { mallopt(M_PERTURB, pattern); }
  ~MemoryFill() { mallopt(M_PERTURB, 0); }
  MemoryFill(const MemoryFill&) = delete;
  MemoryFill& operator=(const MemoryFill&) = delete;
};

std::vector<char> ReadPixels(itk::ImageIOBase& io, unsigned char pattern) {
  const MemoryFill fill(pattern);
  itk::ImageIORegion whole(io.GetNumberOfDimensions());
  for (unsigned i = 0; i < io.GetNumberOfDimensions(); ++i) whole.SetSize(i, io.GetDimensions(i));
  io.SetIORegion(whole);
  std::vector<char> pixels(io.GetImageSizeInBytes(), static_cast<char>(pattern));
  io.Read(pixels.data());
  return pixels;
}

bool IsFillByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value == kFirstFill || value == kSecondFill;
}

// A run of bytes as they would be where the reader left the buffer as it was filled, or copied
// memory it never filled. Unwritten rows and blocks give long ones; a real image rarely holds
// one, and when it does, the second read only confirms it.
bool HasFillRun(const std::vector<char>& pixels) {
  return std::search_n(pixels.begin(), pixels.end(), kSuspectRun, 0,
                       [](char byte, int) { return IsFillByte(byte); }) != pixels.end();
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

void ReadInformationUnderFill(itk::ImageIOBase& io) {
  const MemoryFill fill(kFirstFill);
  io.ReadImageInformation();
}

std::vector<char> ReadPixelsFaithfully(itk::ImageIOBase& io, bool readTwice) {
  std::vector<char> pixels = ReadPixels(io, kFirstFill);
  if (!readTwice && !HasFillRun(pixels)) return pixels;
  // A new image IO: some keep the file open at where the first read ended.
  const itk::ImageIOBase::Pointer again =
      dynamic_cast<itk::ImageIOBase*>(io.CreateAnother().GetPointer());
  again->SetFileName(io.GetFileName());
  {
    const MemoryFill fill(kSecondFill);
    again->ReadImageInformation();
  }
  if (!SameInformation(io, *again) || ReadPixels(*again, kSecondFill) != pixels) pixels.clear();
  return pixels;
}
