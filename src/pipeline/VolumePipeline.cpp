#include "VolumePipeline.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iostream>
#include <map>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "AsciiVolumeImageIO.h"
#include "CountingOtsuThresholdImageFilter.h"
#include "Failures.h"
#include "InputCheck.h"
#include "LayerTileImageFilter.h"
#include "OutputFile.h"
#include "PathText.h"
#include "PipelineStages.h"
#include "PixelBufferImageIO.h"
#include "SampleRange.h"
#include "SaturatingArithmetic.h"
#include "SignalHandlers.h"
#include "StandardStreams.h"
#include "SystemLimits.h"
#include "itkConfigure.h"
#include "itkHistogramThresholdImageFilter.h"
#include "itkImage.h"
#include "itkImageFileReader.h"
#include "itkImageFileWriter.h"
#include "itkMinimumMaximumImageCalculator.h"
#include "itkMultiThreaderBase.h"
#include "itkOtsuThresholdImageFilter.h"
#include "itkRegionOfInterestImageFilter.h"

namespace {

using SliceImage = itk::Image<unsigned char, 2>;
using VolumeImage = itk::Image<unsigned char, 3>;

// What ITK 5.2 keeps for each input of the tile filter, its entries in the input map and the
// indexed-input list (measured: 1.6 million layers of a 10 x 10 slice take 268 bytes each).
constexpr std::uint64_t kTileBytesPerLayer = 168;
constexpr std::uint64_t kPieceBytes = std::uint64_t{4} << 20;
// ITK's pipeline walks every input of the tile filter for each piece it makes.
constexpr std::uint64_t kMostPieces = 128;

// The binary slice and the files it was read from, which the output must not replace.
struct BinarySlice {
  SliceImage::Pointer image;
  std::vector<std::string> inputFiles;
};

// The steps of a run, each with its own words for what the image libraries throw.
enum class Stage { kStarting, kReading, kCropping, kWriting };

// Reads the checked input at the pixel type given and binarises it. The input image and the
// threshold filter are released before the volume is made; only the binary slice is kept.
template <typename Pixel>
SliceImage::Pointer Threshold(const char* inputPath, PixelBufferImageIO* input) {
  using InputImage = itk::Image<Pixel, 2>;
  using Reader = itk::ImageFileReader<InputImage>;
  using ThresholdFilter = itk::HistogramThresholdImageFilter<InputImage, SliceImage, SliceImage>;
  using OtsuFilter = itk::OtsuThresholdImageFilter<InputImage, SliceImage, SliceImage>;

  // The pixels come from the buffer the input was read into. The reader still opens the file it
  // is given, to see that it can: not the input, which may have been swapped for a FIFO since.
  typename Reader::Pointer reader = Reader::New();
  reader->SetFileName("/dev/null");
  reader->SetImageIO(input);

  // The threshold filters by method name: the one place that names the method. The tool stores
  // one entry, Otsu, and takes its filter back by that name. Every step below uses only the
  // histogram threshold base, so another of ITK's histogram-based methods would be one more
  // entry here and nothing else.
  std::map<std::string, typename ThresholdFilter::Pointer> thresholdFilters;
  {
    // The counting filter gives ITK's threshold and image for integer samples; real ones are
    // left to ITK's own filter.
    typename OtsuFilter::Pointer otsu;
    if constexpr (std::is_integral_v<Pixel>) {
      otsu = CountingOtsuThresholdImageFilter<Pixel>::New();
    } else {
      otsu = OtsuFilter::New();
    }
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
  // Samples too far apart overflow Otsu's sums in double precision, and every pixel would be
  // above a threshold of NaN.
  if (std::isnan(static_cast<double>(threshold->GetThreshold()))) {
    using Range = itk::MinimumMaximumImageCalculator<InputImage>;
    typename Range::Pointer range = Range::New();
    range->SetImage(reader->GetOutput());
    range->Compute();
    throw SampleRangeFailure(inputPath, static_cast<double>(range->GetMinimum()),
                             static_cast<double>(range->GetMaximum()));
  }
  SliceImage::Pointer slice = threshold->GetOutput();
  slice->DisconnectPipeline();
  return slice;
}

// What the image libraries printed while they read the image, or worked on its pixels, refuses
// the file as damaged when a line of it reports damage: a premature end, a short read, corrupt
// or incomplete data, in the words of libjpeg (also inside libtiff), libtiff, libpng, GDCM and
// ITK's own readers. Their other warnings (an unknown tag, an ancillary chunk's checksum, the
// stray bytes between segments that the JPEG library skips) say nothing about the pixels and
// pass.
void CheckLibraryReports(const char* path, const std::string& printed) {
  static const char* const kDamageSigns[] = {
      "premature end",     "corrupt",        "incomplete", "not enough",
      "short read",        "read error",     "truncated",  "unexpected end",
      "could not be read", "decoding error", "io error"};
  std::istringstream lines(printed);
  for (std::string line; std::getline(lines, line);) {
    for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (line.find("extraneous bytes before marker") != std::string::npos) continue;
    for (const char* sign : kDamageSigns) {
      if (line.find(sign) != std::string::npos) throw ReadFailure(path, kUndecodableImage);
    }
  }
}

// The image libraries run under a crash guard, and what they print is weighed, not shown.
BinarySlice ReadBinarySlice(const char* inputPath, std::uint64_t availableMemory) {
  LibraryOutputCapture libraries;
  CrashGuard guard(ErrorLine(ReadFailure(inputPath, kUndecodableImage).what()),
                   libraries.StandardError());
  CheckedInput input = ReadCheckedInput(inputPath, availableMemory);
  BinarySlice binary{ThresholdSlice(inputPath, input), std::move(input.files)};
  CheckLibraryReports(inputPath, libraries.Text());
  return binary;
}

// ITK still speaks while it crops (about a spacing too small to invert, say); what it says is
// weighed as while it reads.
template <typename Stage>
auto HearingLibraries(const char* inputPath, Stage stage) {
  const LibraryOutputCapture libraries;
  auto result = stage();
  CheckLibraryReports(inputPath, libraries.Text());
  return result;
}

// Starts ITK's threads before any image is read, once the system is known to allow them.
void StartImageThreads() {
#ifndef ITK_USE_TBB
  if (itk::MultiThreaderBase::GetGlobalDefaultThreader() ==
      itk::MultiThreaderBase::ThreaderEnum::TBB) {
    throw MissingThreaderFailure();
  }
#endif
  const unsigned count = itk::MultiThreaderBase::GetGlobalDefaultNumberOfThreads();
  if (const int error = FindThreadShortage(count)) throw ThreadFailure(count, error);
  // The pool starts with the first multi-threader.
  itk::MultiThreaderBase::New();
}

// ITK would turn an empty region into a one-voxel-wide volume of arbitrary data, and refuses
// one that leaves the image without saying so; the depth must give at least one layer.
void CheckRequest(const SliceImage::SizeType& image, bool regionGiven,
                  const std::array<std::int64_t, 2>& regionIndex,
                  const std::array<std::uint64_t, 2>& regionSize, std::uint64_t tileDepth) {
  if (regionGiven) {
    if (regionSize[0] == 0 || regionSize[1] == 0) {
      throw RegionFailure(regionIndex, regionSize,
                          "is empty: its width and height must be at least 1");
    }
    for (unsigned i = 0; i < 2; ++i) {
      if (regionIndex[i] < 0 || static_cast<std::uint64_t>(regionIndex[i]) + regionSize[i] >
                                    static_cast<std::uint64_t>(image[i])) {
        throw RegionFailure(regionIndex, regionSize,
                            "is not inside the image of size [" + std::to_string(image[0]) + ", " +
                                std::to_string(image[1]) + "]");
      }
    }
  }
  if (tileDepth == 0) throw DepthFailure();
}

SliceImage::Pointer CropToRegion(SliceImage* binary, const std::array<std::int64_t, 2>& regionIndex,
                                 const std::array<std::uint64_t, 2>& regionSize) {
  using RegionFilter = itk::RegionOfInterestImageFilter<SliceImage, SliceImage>;
  RegionFilter::Pointer regionFilter = RegionFilter::New();
  SliceImage::RegionType region;
  region.SetIndex({{regionIndex[0], regionIndex[1]}});
  region.SetSize({{regionSize[0], regionSize[1]}});
  regionFilter->SetRegionOfInterest(region);
  regionFilter->SetInput(binary);
  regionFilter->Update();
  SliceImage::Pointer slice = regionFilter->GetOutput();
  slice->DisconnectPipeline();
  return slice;
}

// The layers of one piece of the volume: about kPieceBytes, at least one, and enough that there
// are at most kMostPieces pieces, so that the time stays linear in the depth.
std::uint64_t LayersPerPiece(const SliceImage::SizeType& slice, std::uint64_t depth) {
  const std::uint64_t bySize = kPieceBytes / SaturatingProduct(slice[0], slice[1]);
  const std::uint64_t byCount = depth / kMostPieces + (depth % kMostPieces != 0 ? 1 : 0);
  return std::max({std::uint64_t{1}, bySize, byCount});
}

// The volume itself is never held, only what writing it takes: a piece of layers, a copy of one
// layer, and the tile filter's record of each. Checked before the tile filter gets its inputs:
// with overcommitted memory, too much would otherwise only fail when the system kills the
// process, and setting the inputs of a huge depth alone takes minutes.
void CheckWritingFits(const SliceImage::SizeType& slice, std::uint64_t depth,
                      std::uint64_t availableMemory) {
  const std::uint64_t layerBytes = SaturatingProduct(slice[0], slice[1]);
  const std::uint64_t pieceBytes = SaturatingProduct(LayersPerPiece(slice, depth), layerBytes);
  const std::uint64_t needed = SaturatingSum(SaturatingSum(pieceBytes, layerBytes),
                                             SaturatingProduct(kTileBytesPerLayer, depth));
  if (needed > availableMemory) {
    throw VolumeMemoryFailure(slice[0], slice[1], depth, MemoryShortfall(needed, availableMemory));
  }
}

// A volume that cannot fit on its file system would otherwise fail only once the disk is full,
// after all the time it took to write that much.
void CheckOutputRoom(const OutputFile& output, const SliceImage& slice, std::uint64_t depth) {
  const std::optional<std::uint64_t> free = output.FreeBytes();
  if (!free) return;
  const std::uint64_t needed = AsciiVolumeImageIO::TextBytes(slice, depth);
  if (needed > *free) throw VolumeSpaceFailure(output.Path(), needed, *free);
}

// The output must not replace a file the image was read from, nor mix the volume into the
// stream that carries the tool's messages.
void CheckOutputDestination(const OutputFile& output, const std::vector<std::string>& inputFiles) {
  for (const std::string& file : inputFiles) {
    if (output.Replaces(file)) {
      throw WriteFailure(output.Path(), "it would replace the input file " + QuotedName(file));
    }
  }
  if (output.IsStandardOutput()) {
    throw WriteFailure(output.Path(),
                       "it is the tool's standard output, which carries its messages");
  }
}

bool IsMemoryFailure(const std::exception& error) {
  return dynamic_cast<const std::bad_alloc*>(&error) != nullptr ||
         dynamic_cast<const itk::MemoryAllocationError*>(&error) != nullptr;
}

// The one place where what a stage threw becomes the failure the user reads. The tool's own
// failures are worded already. Whatever else the image libraries throw while the image is read
// and thresholded is the file's fault, except memory really running out (a length read from a
// damaged header that no allocation can take is the file's too); while the volume is written, it
// is the output's.
PipelineFailure FailureDuring(Stage stage, const char* inputPath, const char* outputPath,
                              const SliceImage::SizeType& slice, std::uint64_t depth) {
  try {
    throw;
  } catch (const PipelineFailure& failure) {
    return failure;
  } catch (const std::bad_array_new_length&) {
  } catch (const std::exception& error) {
    if (IsMemoryFailure(error)) {
      if (stage == Stage::kReading) return ImageMemoryFailure(inputPath);
      if (stage == Stage::kWriting) return VolumeMemoryFailure(slice[0], slice[1], depth);
      return MemoryFailure();
    }
  } catch (...) {  // the image libraries under ITK throw types of their own
  }
  if (stage == Stage::kReading) return ReadFailure(inputPath, kUndecodableImage);
  if (stage == Stage::kWriting) return WriteFailure(outputPath);
  return UnexpectedFailure();
}

}  // namespace

// Every sample at its true value: real samples as double, single 8- and 16-bit samples at their
// own type, which takes a quarter or less of the memory and time of 64-bit integers and gives the
// same slice, the others (more bits, or components that ITK's reader combines into one value) as
// 64-bit integers. Samples that those cannot hold, or that are not finite, are refused first.
SliceImage::Pointer ThresholdSlice(const char* inputPath, CheckedInput& checked) {
  CheckSampleRange(inputPath, *checked.io, checked.pixels);
  const PixelBufferImageIO::Pointer input = PixelBufferImageIO::New();
  input->Hold(*checked.io, std::move(checked.pixels));
  const itk::IOComponentEnum component = input->GetComponentType();
  if (component == itk::IOComponentEnum::FLOAT || component == itk::IOComponentEnum::DOUBLE) {
    return Threshold<double>(inputPath, input);
  }
  if (input->GetNumberOfComponents() == 1 && input->GetPixelType() == itk::IOPixelEnum::SCALAR) {
    switch (component) {
      case itk::IOComponentEnum::CHAR:
        return Threshold<std::int8_t>(inputPath, input);
      case itk::IOComponentEnum::UCHAR:
        return Threshold<std::uint8_t>(inputPath, input);
      case itk::IOComponentEnum::SHORT:
        return Threshold<std::int16_t>(inputPath, input);
      case itk::IOComponentEnum::USHORT:
        return Threshold<std::uint16_t>(inputPath, input);
      default:
        break;
    }
  }
  return Threshold<std::int64_t>(inputPath, input);
}

// The output file throws its own WriteFailure through ITK's writer.
void WriteVolume(SliceImage* slice, std::uint64_t depth, OutputFile& output) {
  LayerTileImageFilter::Pointer tile = LayerTileImageFilter::New();
  for (std::uint64_t layer = 0; layer < depth; ++layer) {
    tile->SetInput(static_cast<unsigned int>(layer), slice);
  }

  using Writer = itk::ImageFileWriter<VolumeImage>;
  Writer::Pointer writer = Writer::New();
  writer->SetInput(tile->GetOutput());
  const std::uint64_t layersPerPiece =
      LayersPerPiece(slice->GetLargestPossibleRegion().GetSize(), depth);
  writer->SetNumberOfStreamDivisions(
      static_cast<unsigned>((depth + layersPerPiece - 1) / layersPerPiece));
  writer->SetFileName(output.Path());
  AsciiVolumeImageIO::Pointer imageIO = AsciiVolumeImageIO::New();
  imageIO->SetOutput(&output);
  writer->SetImageIO(imageIO);
  writer->Update();
}

void RunVolumePipeline(const char* inputPath, const char* outputPath, bool regionGiven,
                       const std::array<std::int64_t, 2>& regionIndex,
                       const std::array<std::uint64_t, 2>& regionSize, std::uint64_t tileDepth) {
  Stage stage = Stage::kStarting;
  SliceImage::SizeType sliceSize{};
  try {
    // Everything printed so far must be out before the crash guard may end the process.
    FlushStandardOutput();
    if (const int error = FindDescriptorShortage()) {
      throw ReadFailure(inputPath, SystemErrorText(error));
    }
    StartImageThreads();
    const std::uint64_t availableMemory = AvailableMemoryBytes();

    stage = Stage::kReading;
    const BinarySlice binary = ReadBinarySlice(inputPath, availableMemory);
    const SliceImage::SizeType imageSize = binary.image->GetLargestPossibleRegion().GetSize();
    std::cout << "[" << imageSize[0] << ", " << imageSize[1] << "]\n";
    FlushStandardOutput();

    stage = Stage::kCropping;
    CheckRequest(imageSize, regionGiven, regionIndex, regionSize, tileDepth);
    const SliceImage::Pointer slice =
        regionGiven
            ? HearingLibraries(inputPath,
                               [&] { return CropToRegion(binary.image, regionIndex, regionSize); })
            : binary.image;
    sliceSize = slice->GetLargestPossibleRegion().GetSize();
    OutputFile output(outputPath);
    CheckOutputDestination(output, binary.inputFiles);
    CheckOutputRoom(output, *slice, tileDepth);
    CheckWritingFits(sliceSize, tileDepth, availableMemory);

    stage = Stage::kWriting;
    // What ITK says while it writes is kept from the user too, but not weighed: the input was
    // weighed already, and the volume is committed by the time the writer returns.
    const LibraryOutputCapture writing;
    WriteVolume(slice, tileDepth, output);
  } catch (...) {
    throw FailureDuring(stage, inputPath, outputPath, sliceSize, tileDepth);
  }
}
