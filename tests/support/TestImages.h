#ifndef SLICE2VOL_TESTS_TESTIMAGES_H
#define SLICE2VOL_TESTS_TESTIMAGES_H

#include <array>
#include <string>

#include "itkImage.h"
#include "itkImageFileWriter.h"
#include "itkImageRegionIteratorWithIndex.h"

/// Writes the image to path through the given image IO, compressed if asked and the format can.
template <typename Image>
void WriteThroughImageIO(const Image* image, itk::ImageIOBase* io, const std::string& path,
                         bool compressed = false) {
  auto writer = itk::ImageFileWriter<Image>::New();
  writer->SetInput(image);
  writer->SetImageIO(io);
  writer->SetFileName(path);
  writer->SetUseCompression(compressed);
  writer->Update();
}

/// Writes a width x height image whose pixel (x, y) is value(x, y), through the given image IO,
/// with the spacing and origin given.
template <typename Pixel, typename ValueOf>
void WriteTestImage(const std::string& path, unsigned width, unsigned height, ValueOf value,
                    itk::ImageIOBase* io, bool compressed = false,
                    std::array<double, 2> spacing = {1.0, 1.0},
                    std::array<double, 2> origin = {0.0, 0.0}) {
  using Image = itk::Image<Pixel, 2>;
  auto image = Image::New();
  const typename Image::SizeType size = {{width, height}};
  image->SetRegions(size);
  image->Allocate();
  image->SetSpacing(spacing.data());
  image->SetOrigin(origin.data());
  for (itk::ImageRegionIteratorWithIndex<Image> it(image, image->GetBufferedRegion());
       !it.IsAtEnd(); ++it) {
    it.Set(value(it.GetIndex()[0], it.GetIndex()[1]));
  }
  WriteThroughImageIO(image.GetPointer(), io, path, compressed);
}

/// Writes an image of the given size, every pixel the same value, in any number of dimensions.
template <typename Pixel, unsigned Dimension>
void WriteUniformImage(const std::string& path, const itk::Size<Dimension>& size, Pixel value,
                       itk::ImageIOBase* io) {
  using Image = itk::Image<Pixel, Dimension>;
  auto image = Image::New();
  image->SetRegions(size);
  image->Allocate();
  image->FillBuffer(value);
  WriteThroughImageIO(image.GetPointer(), io, path);
}

#endif
