#include "InputCheck.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "MemoryBudget.h"
#include "PipelineFailure.h"
#include "SystemErrorText.h"
#include "TruncationChecks.h"
#include "itkImageIOFactory.h"

namespace {

using Component = itk::IOComponentEnum;

[[noreturn]] void Refuse(const char* path, const std::string& cause) {
  throw PipelineFailure(std::string("cannot read image '") + path + "': " + cause);
}

void CheckFileKind(const char* path) {
  struct stat status {};
  if (stat(path, &status) != 0) Refuse(path, SystemErrorText(errno));
  if (S_ISDIR(status.st_mode)) Refuse(path, "it is a folder, not an image file");
  if (!S_ISREG(status.st_mode)) Refuse(path, "it is not a regular file");
  if (access(path, R_OK) != 0) Refuse(path, SystemErrorText(errno));
  if (status.st_size == 0) Refuse(path, "the file is empty");
}

std::string DescribeSize(const itk::ImageIOBase& io) {
  std::ostringstream text;
  for (unsigned i = 0; i < io.GetNumberOfDimensions(); ++i) {
    text << (i == 0 ? "" : " x ") << io.GetDimensions(i);
  }
  return text.str();
}

// The reader converts the file's samples into signed 16-bit pixels, and the threshold filter
// makes one byte per pixel.
void CheckMemory(const char* path, const itk::ImageIOBase& io, std::uint64_t pixels) {
  const std::uint64_t filePixelBytes = io.GetComponentSize() * io.GetNumberOfComponents();
  const std::uint64_t needed =
      SaturatingProduct(pixels, SaturatingSum(filePixelBytes, sizeof(std::int16_t) + 1));
  const std::string shortfall = DescribeMemoryShortfall(needed);
  if (!shortfall.empty()) {
    Refuse(path,
           "its header gives a size of " + DescribeSize(io) + " pixels, which needs " + shortfall);
  }
}

// Integers are printed as integers, whatever their width.
template <typename T>
auto Printable(T value) {
  if constexpr (std::is_integral_v<T>) {
    return static_cast<std::conditional_t<std::is_signed_v<T>, long long, unsigned long long>>(
        value);
  } else {
    return value;
  }
}

// Empty when every sample fits a signed 16-bit pixel; otherwise the range found. For floating
// samples the reader's cast keeps the integer part, so anything above -32769 and below 32768
// fits; NaN and the infinities never do.
template <typename T>
std::string FindSamplesBeyondShort(const std::vector<char>& buffer) {
  const T* samples = reinterpret_cast<const T*>(buffer.data());
  const std::size_t count = buffer.size() / sizeof(T);
  bool anyNumber = false;
  bool anyNaN = false;
  T lowest{};
  T highest{};
  for (std::size_t i = 0; i < count; ++i) {
    const T sample = samples[i];
    if constexpr (std::is_floating_point_v<T>) {
      if (std::isnan(sample)) {
        anyNaN = true;
        continue;
      }
    }
    if (!anyNumber || sample < lowest) lowest = sample;
    if (!anyNumber || sample > highest) highest = sample;
    anyNumber = true;
  }
  auto fits = [](T sample) {
    const auto value = static_cast<long double>(sample);
    return value > -32769.0L && value < 32768.0L;
  };
  if (!anyNaN && (!anyNumber || (fits(lowest) && fits(highest)))) return "";

  std::ostringstream text;
  if (!anyNumber) {
    text << "its samples are all NaN";
  } else {
    text << "its samples range from " << Printable(lowest) << " to " << Printable(highest);
    if (anyNaN) text << " and include NaN";
  }
  text << ", which signed 16-bit pixels (-32768 to 32767) cannot hold";
  return text.str();
}

// Only the wider and the unsigned 16-bit component types can hold what a signed 16-bit pixel
// cannot; those files are read once more at their own type to look at every sample.
void CheckSampleRange(const char* path, itk::ImageIOBase& io) {
  const Component type = io.GetComponentType();
  if (type == Component::UCHAR || type == Component::CHAR || type == Component::SHORT) return;

  itk::ImageIORegion region(io.GetNumberOfDimensions());
  for (unsigned i = 0; i < io.GetNumberOfDimensions(); ++i) region.SetSize(i, io.GetDimensions(i));
  io.SetIORegion(region);
  std::vector<char> buffer(io.GetImageSizeInBytes());
  try {
    io.Read(buffer.data());
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    Refuse(path, kUndecodableImage);
  }

  std::string beyond;
  switch (type) {
    case Component::USHORT:
      beyond = FindSamplesBeyondShort<std::uint16_t>(buffer);
      break;
    case Component::INT:
      beyond = FindSamplesBeyondShort<std::int32_t>(buffer);
      break;
    case Component::UINT:
      beyond = FindSamplesBeyondShort<std::uint32_t>(buffer);
      break;
    case Component::LONG:
      beyond = FindSamplesBeyondShort<long>(buffer);
      break;
    case Component::ULONG:
      beyond = FindSamplesBeyondShort<unsigned long>(buffer);
      break;
    case Component::LONGLONG:
      beyond = FindSamplesBeyondShort<long long>(buffer);
      break;
    case Component::ULONGLONG:
      beyond = FindSamplesBeyondShort<unsigned long long>(buffer);
      break;
    case Component::FLOAT:
      beyond = FindSamplesBeyondShort<float>(buffer);
      break;
    case Component::DOUBLE:
      beyond = FindSamplesBeyondShort<double>(buffer);
      break;
    default:
      Refuse(path, kUndecodableImage);
  }
  if (!beyond.empty()) Refuse(path, beyond);
}

}  // namespace

const char kUndecodableImage[] =
    "the file is damaged or uses a variant of its format that cannot be decoded";

void CheckInputImage(const char* path) {
  CheckFileKind(path);

  itk::ImageIOBase::Pointer io;
  {
    DicomWarningCapture dicomWarnings;
    io = itk::ImageIOFactory::CreateImageIO(path, itk::ImageIOFactory::ReadMode);
    if (io.IsNull()) Refuse(path, "no supported image format recognises it");
    io->SetFileName(path);
    try {
      io->ReadImageInformation();
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception&) {
      Refuse(path, kUndecodableImage);
    }
    if (dicomWarnings.SawIncompletePixelData()) Refuse(path, kUndecodableImage);
  }
  if (std::string(io->GetNameOfClass()) == "JPEGImageIO" && JpegEndIsMissing(path)) {
    Refuse(path, kUndecodableImage);
  }

  // ITK's 2D reader would quietly keep the first slice of a volume or a series; the user
  // would get a volume of a slice they never chose.
  std::uint64_t pixels = 1;
  for (unsigned i = 0; i < io->GetNumberOfDimensions(); ++i) {
    if (i >= 2 && io->GetDimensions(i) > 1) {
      Refuse(path, "it holds an image of " + DescribeSize(*io) + " pixels, not a single 2D slice");
    }
    pixels = SaturatingProduct(pixels, io->GetDimensions(i));
  }
  if (pixels == 0) Refuse(path, kUndecodableImage);
  CheckMemory(path, *io, pixels);
  const std::string shortData = FindShortRawPixelData(*io, path);
  if (!shortData.empty()) {
    const std::string whichFile =
        shortData == path ? "the file" : "its data file '" + shortData + "'";
    Refuse(path, whichFile + " ends before the " + DescribeSize(*io) + " pixels its header gives");
  }
  CheckSampleRange(path, *io);
}
