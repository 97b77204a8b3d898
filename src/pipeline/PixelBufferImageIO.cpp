#include "PixelBufferImageIO.h"

#include <cstring>

#include "itkMacro.h"

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
  SetMetaDataDictionary(source.GetMetaDataDictionary());
  pixels_ = std::move(pixels);
}

// The reader asks for the whole image, which is what pixels_ holds.
void PixelBufferImageIO::Read(void* buffer) {
  if (static_cast<std::size_t>(GetImageSizeInBytes()) != pixels_.size()) {
    itkExceptionMacro("the reader asked for part of an image held whole");
  }
  std::memcpy(buffer, pixels_.data(), pixels_.size());
  std::vector<char>().swap(pixels_);  // the reader now has them
}
