#include "InputCheck.h"

#include <cmath>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>

#include "Failures.h"
#include "FaithfulRead.h"
#include "FormatRules.h"
#include "HeldFile.h"
#include "QuotedName.h"
#include "SaturatingArithmetic.h"
#include "itkImageIOFactory.h"

namespace {

using Component = itk::IOComponentEnum;

// The pixels are read at the file's own type, at worst twice, and ITK's reader converts them,
// to 8-byte pixels at most, then the threshold filter makes one byte each.
void CheckMemory(const char* path, const itk::ImageIOBase& io, std::uint64_t pixels,
                 std::uint64_t availableMemory) {
  const std::uint64_t filePixelBytes = io.GetComponentSize() * io.GetNumberOfComponents();
  const std::uint64_t needed = SaturatingProduct(
      pixels, SaturatingSum(SaturatingProduct(filePixelBytes, 2), sizeof(double) + 1));
  if (needed > availableMemory) {
    throw ReadFailure(path, "its header gives a size of " + DescribeSize(io) +
                                " pixels, which needs " + MemoryShortfall(needed, availableMemory));
  }
}

// Empty when the reader can turn every sample into a pixel of its type; otherwise the range
// found and why it cannot. Integers must fit 64 bits; where ITK combines two components into
// one pixel by multiplying them (grey and alpha, or colour and alpha), each must fit 32 bits so
// that the product does. Real samples must be finite. Integers are printed whole.
template <typename T>
std::string FindUnreadableSamples(const std::vector<char>& buffer, unsigned components) {
  const T* samples = reinterpret_cast<const T*>(buffer.data());
  bool anyNumber = false;
  bool anyNaN = false;
  long double lowest = 0;
  long double highest = 0;
  for (std::size_t i = 0; i < buffer.size() / sizeof(T); ++i) {
    const T sample = samples[i];
    if (sample != sample) {
      anyNaN = true;
      continue;
    }
    if (!anyNumber || sample < lowest) lowest = sample;
    if (!anyNumber || sample > highest) highest = sample;
    anyNumber = true;
  }
  std::ostringstream text;
  text << std::setprecision(std::is_integral_v<T> ? 20 : 6);
  if (anyNumber) {
    text << "its samples range from " << lowest << " to " << highest;
  } else {
    text << "its samples are all NaN";
  }
  if constexpr (std::is_floating_point_v<T>) {
    if (!anyNaN && std::isfinite(lowest) && std::isfinite(highest)) return "";
    if (anyNaN && anyNumber) text << " and include NaN";
    text << ", and only finite samples can be thresholded";
  } else {
    const bool multiplied = components == 2 || components >= 4;
    const long double limit = multiplied ? std::numeric_limits<std::int32_t>::max()
                                         : std::numeric_limits<std::int64_t>::max();
    if (lowest >= -limit - 1 && highest <= limit) return "";
    text << ", which 64-bit integer pixels cannot hold";
    if (multiplied) text << " once its " << components << " components are combined";
  }
  return text.str();
}

void CheckSampleRange(const char* path, const itk::ImageIOBase& io,
                      const std::vector<char>& pixels) {
  using Finder = std::string (*)(const std::vector<char>&, unsigned);
  static const std::map<Component, Finder> kFinders = {
      // 8 and 16 bits always fit
      {Component::INT, FindUnreadableSamples<std::int32_t>},
      {Component::UINT, FindUnreadableSamples<std::uint32_t>},
      {Component::LONG, FindUnreadableSamples<long>},
      {Component::ULONG, FindUnreadableSamples<unsigned long>},
      {Component::LONGLONG, FindUnreadableSamples<long long>},
      {Component::ULONGLONG, FindUnreadableSamples<unsigned long long>},
      {Component::FLOAT, FindUnreadableSamples<float>},
      {Component::DOUBLE, FindUnreadableSamples<double>}};
  const auto finder = kFinders.find(io.GetComponentType());
  if (finder == kFinders.end()) return;
  const std::string unreadable = finder->second(pixels, io.GetNumberOfComponents());
  if (!unreadable.empty()) throw ReadFailure(path, unreadable);
}

// What the header says, against what the files hold and what the tool can make of it.
void CheckImageInformation(const char* path, const itk::ImageIOBase& io, const FormatRules& rules,
                           const std::vector<HeldFile>& files, std::uint64_t availableMemory) {
  if (io.GetComponentType() == Component::UNKNOWNCOMPONENTTYPE || io.GetNumberOfComponents() == 0) {
    throw ReadFailure(path, kUndecodableImage);
  }
  // ITK's 2D reader would quietly keep the first slice of a volume or a series; the user
  // would get a volume of a slice they never chose.
  std::uint64_t pixels = 1;
  for (unsigned i = 0; i < io.GetNumberOfDimensions(); ++i) {
    if (i >= 2 && io.GetDimensions(i) > 1) {
      throw ReadFailure(
          path, "it holds an image of " + DescribeSize(io) + " pixels, not a single 2D slice");
    }
    pixels = SaturatingProduct(pixels, io.GetDimensions(i));
  }
  if (pixels == 0) throw ReadFailure(path, kUndecodableImage);
  CheckMemory(path, io, pixels, availableMemory);
  const std::string missing = rules.MissingPixels(io, files);
  if (!missing.empty()) throw ReadFailure(path, missing);
}

// Each file is held open until the pixels are read; a file that changed meanwhile may have
// given the reader other bytes than the ones checked.
void CheckUnchanged(const char* path, const std::vector<HeldFile>& files) {
  for (const HeldFile& file : files) {
    if (file.Unchanged()) continue;
    throw ReadFailure(path, (&file == &files.front() ? std::string("the file")
                                                     : "its data file " + QuotedName(file.Path())) +
                                " changed while it was read");
  }
}

}  // namespace

CheckedInput ReadCheckedInput(const char* path, std::uint64_t availableMemory) {
  std::vector<HeldFile> files;
  // A gzip file cut short may no longer show its format; it is damaged all the same.
  auto hold = [&](HeldFile file) {
    files.push_back(std::move(file));
    if (!files.back().ContentLength()) throw ReadFailure(path, kUndecodableImage);
  };
  hold(HeldFile::Image(path));
  itk::ImageIOBase::Pointer io;
  std::vector<char> pixels;
  try {
    const BlockedOpenBreaker breaker;
    const FormatRules* bySignature = RulesBySignature(files.front());
    if (bySignature != nullptr && bySignature->Damaged(files)) {
      throw ReadFailure(path, kUndecodableImage);
    }
    io = itk::ImageIOFactory::CreateImageIO(path, itk::ImageIOFactory::ReadMode);
    if (io.IsNull()) {
      throw ReadFailure(path, bySignature != nullptr ? kUndecodableImage
                                                     : "no supported image format recognises it");
    }
    const FormatRules& rules = RulesFor(io->GetNameOfClass());
    rules.NameDataFiles(files.front(),
                        [&](const std::string& name) { hold(HeldFile::DataFile(path, name)); });
    if (&rules != bySignature && rules.Damaged(files)) throw ReadFailure(path, kUndecodableImage);
    io->SetFileName(path);
    ReadInformationUnderFill(*io);
    CheckImageInformation(path, *io, rules, files, availableMemory);
    pixels = ReadPixelsFaithfully(*io, rules.MayLeavePixelsUnwritten(*io, files));
    if (pixels.empty()) throw ReadFailure(path, kUndecodableImage);
  } catch (...) {
    // A reader that failed on a file swapped for another failed because of the swap. Anything
    // else a reader throws is the file's fault, except memory really running out; a length
    // read from a damaged header can also make an allocation impossible, which is the file's.
    CheckUnchanged(path, files);
    try {
      throw;
    } catch (const PipelineFailure&) {
      throw;
    } catch (const std::bad_array_new_length&) {
      throw ReadFailure(path, kUndecodableImage);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (...) {
      throw ReadFailure(path, kUndecodableImage);
    }
  }
  CheckUnchanged(path, files);
  CheckSampleRange(path, *io, pixels);

  CheckedInput input{io, std::move(pixels), {}};
  for (const HeldFile& file : files) input.files.push_back(file.Path());
  return input;
}
