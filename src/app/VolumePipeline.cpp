#include "VolumePipeline.h"

#include <sys/stat.h>
#include <unistd.h>

#include <iostream>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "AsciiVolumeImageIO.h"
#include "CrashGuard.h"
#include "DescriptorCheck.h"
#include "ImageThreads.h"
#include "InputCheck.h"
#include "LayerTileImageFilter.h"
#include "MemoryBudget.h"
#include "OutputFile.h"
#include "QuotedName.h"
#include "StandardStreams.h"
#include "SystemErrorText.h"
#include "itkHistogramThresholdImageFilter.h"
#include "itkImage.h"
#include "itkImageFileReader.h"
#include "itkImageFileWriter.h"
#include "itkOtsuThresholdImageFilter.h"
#include "itkRegionOfInterestImageFilter.h"

namespace {

using SliceImage = itk::Image<unsigned char, 2>;
using VolumeImage = itk::Image<unsigned char, 3>;

using RegionFilter = itk::RegionOfInterestImageFilter<SliceImage, SliceImage>;
using TileFilter = LayerTileImageFilter;
using Writer = itk::ImageFileWriter<VolumeImage>;

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

// Reads the checked input at the pixel type given (64-bit integers or double) and binarises it.
// The input image and the threshold filter are released before the volume is made; only the
// binary slice is kept.
template <typename Pixel>
SliceImage::Pointer ThresholdInput(const char* inputPath, PixelBufferImageIO* input) {
  using InputImage = itk::Image<Pixel, 2>;
  using Reader = itk::ImageFileReader<InputImage>;
  using ThresholdFilter = itk::HistogramThresholdImageFilter<InputImage, SliceImage, SliceImage>;
  using OtsuFilter = itk::OtsuThresholdImageFilter<InputImage, SliceImage, SliceImage>;

  typename Reader::Pointer reader = Reader::New();
  reader->SetFileName(inputPath);
  reader->SetImageIO(input);

  std::map<std::string, typename ThresholdFilter::Pointer> thresholdFilters;
  {
    typename OtsuFilter::Pointer otsu = OtsuFilter::New();
    // ITK 5 returns the upper edge of the threshold's histogram bin where ITK 4 returned its
    // midpoint; the midpoint keeps the tool's volumes those of the release it was built for.
    otsu->SetReturnBinMidpoint(true);
    thresholdFilters["Otsu"] = otsu;
  }
  typename ThresholdFilter::Pointer threshold = thresholdFilters.at("Otsu");
  threshold->SetInsideValue(0);
  threshold->SetOutsideValue(255);
  threshold->SetInput(reader->GetOutput());
  threshold->SetNumberOfHistogramBins(100);
  threshold->Update();
  SliceImage::Pointer slice = threshold->GetOutput();
  slice->DisconnectPipeline();
  return slice;
}

// The output must not replace a file the image was read from (the same path, a link to it or
// a hard link all name the same inode), nor mix the volume into the stream that carries the
// tool's messages.
void CheckOutputDestination(const char* outputPath, const std::vector<std::string>& inputFiles) {
  struct stat output {};
  if (stat(outputPath, &output) != 0) return;
  for (const std::string& file : inputFiles) {
    struct stat input {};
    if (stat(file.c_str(), &input) == 0 && input.st_dev == output.st_dev &&
        input.st_ino == output.st_ino) {
      throw PipelineFailure("cannot write volume " + QuotedName(outputPath) +
                            ": it would replace the input file " + QuotedName(file));
    }
  }
  if (NamesOpenFile(outputPath, STDOUT_FILENO)) {
    throw PipelineFailure("cannot write volume " + QuotedName(outputPath) +
                          ": it is the tool's standard output, which carries its messages");
  }
}

}  // namespace

void RunVolumePipeline(const char* inputPath, const char* outputPath, bool regionGiven,
                       const std::int64_t regionIndex[2], const std::uint64_t regionSize[2],
                       std::uint64_t tileDepth) {
  std::vector<std::string> inputFiles;
  SliceImage::Pointer binary;
  // Everything printed so far must be out before the guard may end the process.
  FlushStandardOutput();
  if (const int error = FindDescriptorShortage()) {
    throw PipelineFailure("cannot read image " + QuotedName(inputPath) + ": " +
                          SystemErrorText(error));
  }
  StartImageThreads();
  {
    QuietLibraryOutput quiet;
    const std::string undecodable =
        "cannot read image " + QuotedName(inputPath) + ": " + kUndecodableImage;
    CrashGuard guard("Error: " + undecodable + "\n", quiet.StandardError());
    try {
      CheckedInput input = ReadCheckedInput(inputPath);
      inputFiles = std::move(input.files);
      binary = HasRealSamples(*input.image) ? ThresholdInput<double>(inputPath, input.image)
                                            : ThresholdInput<std::int64_t>(inputPath, input.image);
    } catch (const PipelineFailure&) {
      throw;
    } catch (const std::exception& error) {
      if (IsMemoryFailure(error)) {
        throw PipelineFailure("not enough memory to read image " + QuotedName(inputPath));
      }
      throw PipelineFailure(undecodable);
    } catch (...) {  // the image libraries under ITK throw types of their own
      throw PipelineFailure(undecodable);
    }
  }

  const SliceImage::SizeType imageSize = binary->GetLargestPossibleRegion().GetSize();
  std::cout << "[" << imageSize[0] << ", " << imageSize[1] << "]\n";
  FlushStandardOutput();

  SliceImage* slice = binary;
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
    regionFilter->SetInput(binary);
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
  CheckOutputDestination(outputPath, inputFiles);
  try {
    writer->Update();
  } catch (const OutputFileError& error) {
    throw PipelineFailure("cannot write volume " + QuotedName(outputPath) + ": " + error.what());
  } catch (const std::exception& error) {
    if (IsMemoryFailure(error)) {
      throw PipelineFailure("not enough memory for a volume of " +
                            DescribeVolume(sliceSize, tileDepth) + " voxels");
    }
    if (tileDepth == 0) {
      throw PipelineFailure("cannot make a volume of tile depth 0: the depth must be at least 1");
    }
    throw PipelineFailure("cannot write volume " + QuotedName(outputPath));
  }
}
