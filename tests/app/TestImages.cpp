#include "TestImages.h"

#include <cstdint>

#include "itkImage.h"
#include "itkImageFileWriter.h"
#include "itkImageRegionIteratorWithIndex.h"

template <typename Pixel>
void WriteTestImage(const std::string& path, unsigned width, unsigned height,
                    const std::function<Pixel(unsigned, unsigned)>& value, itk::ImageIOBase* io) {
  using Image = itk::Image<Pixel, 2>;
  auto image = Image::New();
  typename Image::RegionType region;
  region.SetSize({{width, height}});
  image->SetRegions(region);
  image->Allocate();
  for (itk::ImageRegionIteratorWithIndex<Image> it(image, region); !it.IsAtEnd(); ++it) {
    it.Set(value(it.GetIndex()[0], it.GetIndex()[1]));
  }
  auto writer = itk::ImageFileWriter<Image>::New();
  writer->SetInput(image);
  writer->SetImageIO(io);
  writer->SetFileName(path);
  writer->Update();
}

template void WriteTestImage<std::uint8_t>(const std::string&, unsigned, unsigned,
                                           const std::function<std::uint8_t(unsigned, unsigned)>&,
                                           itk::ImageIOBase*);
template void WriteTestImage<std::uint16_t>(
    const std::string&, unsigned, unsigned,
    const std::function<std::uint16_t(unsigned, unsigned)>&, itk::ImageIOBase*);
template void WriteTestImage<std::int16_t>(const std::string&, unsigned, unsigned,
                                           const std::function<std::int16_t(unsigned, unsigned)>&,
                                           itk::ImageIOBase*);
template void WriteTestImage<RgbPixel>(const std::string&, unsigned, unsigned,
                                       const std::function<RgbPixel(unsigned, unsigned)>&,
                                       itk::ImageIOBase*);
