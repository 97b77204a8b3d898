#ifndef SLICE2VOL_TESTS_TESTIMAGES_H
#define SLICE2VOL_TESTS_TESTIMAGES_H

#include <array>
#include <string>

#include "itkImage.h"
#include "itkImageFileWriter.h"
#include "itkImageRegionIteratorWithIndex.h"
#include "itkRGBAPixel.h"
#include "itkRGBPixel.h"

/// Writes the image to path through the given image IO, or the one ITK finds for its suffix
/// (binary for .vtk), compressed if asked and the format can.
template <typename Image>
void WriteThroughImageIO(const Image* image, const std::string& path,
                         itk::ImageIOBase* io = nullptr, bool compressed = false) {
  auto writer = itk::ImageFileWriter<Image>::New();
  writer->SetInput(image);
  // The image IO is released with the writer: the BMP writer closes its file only then.
  if (io != nullptr) writer->SetImageIO(io);
  writer->SetFileName(path);
  writer->SetUseCompression(compressed);
  writer->Update();
}

/// How a test image is written besides its pixels.
struct ImageOptions {
  itk::ImageIOBase* io = nullptr;  // the format's own when null
  bool compressed = false;
  std::array<double, 2> spacing = {1.0, 1.0};
  std::array<double, 2> origin = {0.0, 0.0};
};

/// Writes a width x height image whose pixel (x, y) is value(x, y).
template <typename Pixel, typename ValueOf>
void WriteTestImage(const std::string& path, unsigned width, unsigned height, ValueOf value,
                    const ImageOptions& options = {}) {
  using Image = itk::Image<Pixel, 2>;
  auto image = Image::New();
  image->SetRegions(typename Image::SizeType{{width, height}});
  image->Allocate();
  image->SetSpacing(options.spacing.data());
  image->SetOrigin(options.origin.data());
  for (itk::ImageRegionIteratorWithIndex<Image> it(image, image->GetBufferedRegion());
       !it.IsAtEnd(); ++it) {
    it.Set(value(it.GetIndex()[0], it.GetIndex()[1]));
  }
  WriteThroughImageIO(image.GetPointer(), path, options.io, options.compressed);
}

/// Writes an image of the given size, every pixel the same value, in any number of dimensions.
template <typename Pixel, unsigned Dimension>
void WriteUniformImage(const std::string& path, const itk::Size<Dimension>& size, Pixel value) {
  using Image = itk::Image<Pixel, Dimension>;
  auto image = Image::New();
  image->SetRegions(size);
  image->Allocate();
  image->FillBuffer(value);
  WriteThroughImageIO(image.GetPointer(), path);
}

#endif
