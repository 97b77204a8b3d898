#include "PlainPipeline.h"

#include <chrono>

#include "itkImage.h"
#include "itkImageFileReader.h"
#include "itkImageFileWriter.h"
#include "itkImageIOFactory.h"
#include "itkOtsuThresholdImageFilter.h"
#include "itkRegionOfInterestImageFilter.h"
#include "itkTileImageFilter.h"
#include "itkVTKImageIO.h"

namespace {

template <typename Pixel>
double WriteVolumeReadAs(const PlainRequest& request) {
  using Input = itk::Image<Pixel, 2>;
  using Slice = itk::Image<unsigned char, 2>;
  using Volume = itk::Image<unsigned char, 3>;

  auto reader = itk::ImageFileReader<Input>::New();
  reader->SetFileName(request.input);
  auto otsu = itk::OtsuThresholdImageFilter<Input, Slice, Slice>::New();
  otsu->SetReturnBinMidpoint(request.binMidpoint);
  otsu->SetInsideValue(0);
  otsu->SetOutsideValue(255);
  otsu->SetInput(reader->GetOutput());
  otsu->SetNumberOfHistogramBins(100);
  otsu->Update();

  Slice::Pointer slice = otsu->GetOutput();
  auto crop = itk::RegionOfInterestImageFilter<Slice, Slice>::New();
  if (request.regionGiven) {
    Slice::RegionType region;
    region.SetIndex({{request.index[0], request.index[1]}});
    region.SetSize({{request.size[0], request.size[1]}});
    crop->SetRegionOfInterest(region);
    crop->SetInput(slice);
    crop->Update();
    slice = crop->GetOutput();
  }

  auto tile = itk::TileImageFilter<Slice, Volume>::New();
  itk::FixedArray<unsigned int, 3> layout;
  layout[0] = 1;
  layout[1] = 1;
  layout[2] = 0;
  tile->SetLayout(layout);
  for (unsigned layer = 0; layer < request.depth; ++layer) tile->SetInput(layer, slice);
  tile->Update();

  auto io = itk::VTKImageIO::New();
  io->SetFileTypeToASCII();
  auto writer = itk::ImageFileWriter<Volume>::New();
  writer->SetInput(tile->GetOutput());
  writer->SetImageIO(io);
  writer->SetFileName(request.output);
  const auto writeStart = std::chrono::steady_clock::now();
  writer->Update();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - writeStart).count();
}

}  // namespace

double WritePlainVolume(const PlainRequest& request) {
  auto io = itk::ImageIOFactory::CreateImageIO(request.input.c_str(),
                                               itk::ImageIOFactory::IOFileModeEnum::ReadMode);
  io->SetFileName(request.input);
  io->ReadImageInformation();
  const auto type = io->GetComponentType();
  const bool real = type == itk::IOComponentEnum::FLOAT || type == itk::IOComponentEnum::DOUBLE;
  return real ? WriteVolumeReadAs<double>(request) : WriteVolumeReadAs<std::int64_t>(request);
}
