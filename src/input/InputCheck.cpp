#include "InputCheck.h"

#include <cstdint>
#include <new>
#include <string>
#include <utility>

#include "Failures.h"
#include "FaithfulRead.h"
#include "FormatRules.h"
#include "HeldFile.h"
#include "PathText.h"
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
  // A reader that failed on a file swapped meanwhile reports the file as damaged; one that
  // read it is caught by the check after reading.
  const BlockedOpenBreaker breaker;
  const FormatRules* bySignature = RulesBySignature(files.front());
  if (bySignature != nullptr && bySignature->Damaged(files)) {
    throw ReadFailure(path, kUndecodableImage);
  }
  const itk::ImageIOBase::Pointer io =
      itk::ImageIOFactory::CreateImageIO(path, itk::ImageIOFactory::ReadMode);
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
  std::vector<char> pixels = ReadPixelsFaithfully(*io, rules.MayLeavePixelsUnwritten(*io, files));
  if (pixels.empty()) throw ReadFailure(path, kUndecodableImage);
  CheckUnchanged(path, files);

  CheckedInput input{io, std::move(pixels), {}};
  for (const HeldFile& file : files) input.files.push_back(file.Path());
  return input;
}
