#ifndef SLICE2VOL_INPUT_PIXELBUFFERIMAGEIO_H
#define SLICE2VOL_INPUT_PIXELBUFFERIMAGEIO_H

#include <vector>

#include "itkImageIOBase.h"

/// An image IO that hands ITK's reader pixels already read and checked, with the image
/// information of the image IO that read them. The reader then converts them and places the
/// image exactly as it would have read the file itself, without decoding it again.
class PixelBufferImageIO : public itk::ImageIOBase {
 public:
  using Self = PixelBufferImageIO;
  using Pointer = itk::SmartPointer<Self>;
  itkNewMacro(Self);

  /// Takes source's image information and the pixels it read, in the system's byte order.
  void Hold(const itk::ImageIOBase& source, std::vector<char> pixels);

  bool CanReadFile(const char*) override { return true; }
  void ReadImageInformation() override {}
  void Read(void* buffer) override;

  // Only ever handed to a reader.
  bool CanWriteFile(const char*) override { return false; }
  void WriteImageInformation() override {}
  void Write(const void*) override {}

 protected:
  PixelBufferImageIO() = default;
  ~PixelBufferImageIO() override = default;

 private:
  std::vector<char> pixels_;
};

#endif
