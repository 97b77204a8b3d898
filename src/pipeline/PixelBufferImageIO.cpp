#include "PixelBufferImageIO.h"

#include <algorithm>
#include <cstring>

void PixelBufferImageIO::Hold(const itk::ImageIOBase& source, std::vector<char> pixels) {
  SetNumberOfDimensions(source.GetNumberOfDimensions());
  for (unsigned i = 0; i < source.GetNumberOfDimensions(); ++i) {
    SetDimensions(i, source.GetDimensions(i));
    SetSpacing(i, source.GetSpacing(i));
    SetOrigin(i, source.GetOrigin(i));
    SetDirection(i, source.GetDirection(i));
  }
  SetPixelType(source.GetPixelType());
  SetComponentType(source.GetComponentType());
  SetNumberOfComponents(source.GetNumberOfComponents());
  pixels_ = std::move(pixels);
}

// The reader asks for the whole image, since this IO cannot stream: what pixels_ holds.
void PixelBufferImageIO::Read(void* buffer) {
  std::memcpy(buffer, pixels_.data(),
              std::min(pixels_.size(), static_cast<std::size_t>(GetImageSizeInBytes())));
  std::vector<char>().swap(pixels_);  // the reader now has them
}
