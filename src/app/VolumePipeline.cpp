#include "VolumePipeline.h"

#include <iostream>
#include <map>
#include <new>
#include <sstream>
#include <string>

#include "AsciiVolumeImageIO.h"
#include "CrashGuard.h"
#include "InputCheck.h"
#include "LayerTileImageFilter.h"
#include "MemoryBudget.h"
#include "OutputFile.h"
#include "itkHistogramThresholdImageFilter.h"
#include "itkImage.h"
#include "itkImageFileReader.h"
#include "itkImageFileWriter.h"
#include "itkOtsuThresholdImageFilter.h"
#include "itkRegionOfInterestImageFilter.h"

namespace {

using InputImage = itk::Image<short, 2>;
using SliceImage = itk::Image<unsigned char, 2>;
using VolumeImage = itk::Image<unsigned char, 3>;

using Reader = itk::ImageFileReader<InputImage>;
using ThresholdFilter = itk::HistogramThresholdImageFilter<InputImage, SliceImage, SliceImage>;
using OtsuFilter = itk::OtsuThresholdImageFilter<InputImage, SliceImage, SliceImage>;
using RegionFilter = itk::RegionOfInterestImageFilter<SliceImage, SliceImage>;
using TileFilter = LayerTileImageFilter;
using Writer = itk::ImageFileWriter<VolumeImage>;

std::string Quoted(const char* text) { return std::string("'") + text + "'"; }

std::string DescribeRegion(const std::int64_t index[2], const std::uint64_t size[2]) {
  std::ostringstream text;
  text << "region '" << index[0] << ' ' << index[1] << ' ' << size[0] << ' ' << size[1] << "'";
  return text.str();
}

std::string DescribeVolume(const SliceImage::SizeType& slice, std::uint64_t depth) {
  std::ostringstream text;
  text << slice[0] << " x " << slice[1] << " x " << depth;
  return text.str();
}

// What ITK 5.2 keeps for each input of the tile filter, its entries in the input map and the
// indexed-input list (measured: 1.6 million layers of a 10 x 10 slice take 268 bytes each).
constexpr std::uint64_t kTileBytesPerLayer = 168;

// Checked before the tile filter gets its inputs: with overcommitted memory, a volume that
// cannot fit would otherwise only fail when the system kills the process, and setting the
// inputs of a huge depth alone takes minutes.
void CheckVolumeFits(const SliceImage::SizeType& slice, std::uint64_t depth) {
  const std::uint64_t voxels = SaturatingProduct(SaturatingProduct(slice[0], slice[1]), depth);
  const std::uint64_t needed = SaturatingSum(voxels, SaturatingProduct(kTileBytesPerLayer, depth));
  const std::string shortfall = DescribeMemoryShortfall(needed);
  if (!shortfall.empty()) {
    throw PipelineFailure("not enough memory for a volume of " + DescribeVolume(slice, depth) +
                          " voxels: it needs " + shortfall);
  }
}

bool IsMemoryFailure(const std::exception& error) {
  return dynamic_cast<const std::bad_alloc*>(&error) != nullptr ||
         dynamic_cast<const itk::MemoryAllocationError*>(&error) != nullptr;
}

}  // namespace

void RunVolumePipeline(const char* inputPath, const char* outputPath, bool regionGiven,
                       const std::int64_t regionIndex[2], const std::uint64_t regionSize[2],
                       std::uint64_t tileDepth) {
  // The smart pointers are declared in the order the objects are made, so leaving this function
  // by any path releases them in the reverse order: image IO, writer, tile filter, region filter,
  // the threshold filter's two references, reader.
  Reader::Pointer reader = Reader::New();
  reader->SetFileName(inputPath);

  std::map<std::string, ThresholdFilter::Pointer> thresholdFilters;
  {
    OtsuFilter::Pointer otsu = OtsuFilter::New();
    // ITK 5 returns the upper edge of the threshold's histogram bin where ITK 4 returned its
    // midpoint; the midpoint keeps the tool's volumes those of the release it was built for.
    otsu->SetReturnBinMidpoint(true);
    thresholdFilters["Otsu"] = otsu;
  }
  ThresholdFilter::Pointer threshold = thresholdFilters.at("Otsu");
  threshold->SetInsideValue(0);
  threshold->SetOutsideValue(255);
  threshold->SetInput(reader->GetOutput());
  threshold->SetNumberOfHistogramBins(100);
  {
    // Everything printed so far must be out before the guard may end the process.
    std::cout.flush();
    CrashGuard guard("Error: cannot read image " + Quoted(inputPath) + ": " + kUndecodableImage +
                     "\n");
    CheckInputImage(inputPath);
    try {
      threshold->Update();
    } catch (const std::exception& error) {
      if (IsMemoryFailure(error)) {
        throw PipelineFailure("not enough memory to read image " + Quoted(inputPath));
      }
      throw PipelineFailure("cannot read image " + Quoted(inputPath) + ": " + kUndecodableImage);
    }
  }

  const SliceImage::SizeType imageSize =
      threshold->GetOutput()->GetLargestPossibleRegion().GetSize();
  std::cout << "[" << imageSize[0] << ", " << imageSize[1] << "]" << std::endl;

  SliceImage* slice = threshold->GetOutput();
  RegionFilter::Pointer regionFilter;
  if (regionGiven) {
    // ITK would turn an empty region into a one-voxel-wide volume of arbitrary data.
    if (regionSize[0] == 0 || regionSize[1] == 0) {
      throw PipelineFailure(DescribeRegion(regionIndex, regionSize) +
                            " is empty: its width and height must be at least 1");
    }
    regionFilter = RegionFilter::New();
    SliceImage::RegionType region;
    region.SetIndex({{regionIndex[0], regionIndex[1]}});
    region.SetSize({{regionSize[0], regionSize[1]}});
    regionFilter->SetRegionOfInterest(region);
    regionFilter->SetInput(threshold->GetOutput());
    try {
      regionFilter->Update();
    } catch (const std::exception&) {
      throw PipelineFailure(DescribeRegion(regionIndex, regionSize) +
                            " is not inside the image of size [" + std::to_string(imageSize[0]) +
                            ", " + std::to_string(imageSize[1]) + "]");
    }
    slice = regionFilter->GetOutput();
  }

  const SliceImage::SizeType sliceSize = slice->GetLargestPossibleRegion().GetSize();
  CheckVolumeFits(sliceSize, tileDepth);
  TileFilter::Pointer tile = TileFilter::New();
  TileFilter::LayoutArrayType layout;
  layout[0] = 1;
  layout[1] = 1;
  layout[2] = 0;  // as many layers as there are inputs
  tile->SetLayout(layout);
  for (std::uint64_t layer = 0; layer < tileDepth; ++layer) {
    tile->SetInput(static_cast<unsigned int>(layer), slice);
  }

  Writer::Pointer writer = Writer::New();
  writer->SetInput(tile->GetOutput());
  writer->SetFileName(outputPath);

  AsciiVolumeImageIO::Pointer imageIO = AsciiVolumeImageIO::New();
  imageIO->SetFileTypeToASCII();
  writer->SetImageIO(imageIO);
  // ITK refuses an empty file name itself, without a reason to show.
  if (outputPath[0] == '\0') {
    throw PipelineFailure("cannot write volume '': no such file or directory");
  }
  try {
    writer->Update();
  } catch (const OutputFileError& error) {
    throw PipelineFailure("cannot write volume " + Quoted(outputPath) + ": " + error.what());
  } catch (const std::exception& error) {
    if (IsMemoryFailure(error)) {
      throw PipelineFailure("not enough memory for a volume of " +
                            DescribeVolume(sliceSize, tileDepth) + " voxels");
    }
    if (tileDepth == 0) {
      throw PipelineFailure("cannot make a volume of tile depth 0: the depth must be at least 1");
    }
    throw PipelineFailure("cannot write volume " + Quoted(outputPath));
  }
}
