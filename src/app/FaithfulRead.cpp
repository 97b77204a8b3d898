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

std::vector<char> ReadWithFill(itk::ImageIOBase& io, unsigned char pattern) {
  itk::ImageIORegion whole(io.GetNumberOfDimensions());
  for (unsigned i = 0; i < io.GetNumberOfDimensions(); ++i) whole.SetSize(i, io.GetDimensions(i));
  io.SetIORegion(whole);
  std::vector<char> pixels(io.GetImageSizeInBytes(), static_cast<char>(pattern));
  const MemoryFill fill(pattern);
  io.Read(pixels.data());
  return pixels;
}

}  // namespace

std::vector<char> ReadPixelsFaithfully(itk::ImageIOBase& io) {
  std::vector<char> first = ReadWithFill(io, 0x5A);
  // A second image IO of the same format: some keep the file open at where the first read
  // ended.
  itk::ImageIOBase::Pointer again = dynamic_cast<itk::ImageIOBase*>(io.CreateAnother().GetPointer());
  again->SetFileName(io.GetFileName());
  again->ReadImageInformation();
  if (ReadWithFill(*again, 0xA5) != first) return {};
  return first;
}
