// A reader that leaves pixels unwritten is caught by the fill bytes it leaves behind, and an
// image that holds those bytes itself is read again and kept.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "FaithfulRead.h"

namespace {

// A 16 x 8 image of bytes whose reader writes the first `written` of them, each `value`.
class PartialImageIO : public itk::ImageIOBase {
 public:
  itkNewMacro(PartialImageIO);
  inline static std::size_t written = 0;
  inline static char value = 0;

  bool CanReadFile(const char*) override { return true; }
  void ReadImageInformation() override {
    SetNumberOfDimensions(2);
    SetDimensions(0, 16);
    SetDimensions(1, 8);
    SetComponentType(itk::IOComponentEnum::UCHAR);
  }
  void Read(void* buffer) override { std::memset(buffer, value, written); }
  bool CanWriteFile(const char*) override { return false; }
  void WriteImageInformation() override {}
  void Write(const void*) override {}

 protected:
  PartialImageIO() = default;
};

TEST(FaithfulRead, UnwrittenPixelsAreNeverKept) {
  const struct {
    std::size_t written;
    char value;
    bool readTwice;
    bool kept;
  } cases[] = {
      {128, 1, false, true},    {64, 1, false, false},     {127, 1, true, false},
      {128, 0x5A, false, true}, {128, '\xA5', true, true},
  };
  for (const auto& c : cases) {
    PartialImageIO::written = c.written;
    PartialImageIO::value = c.value;
    const auto io = PartialImageIO::New();
    io->ReadImageInformation();
    const std::vector<char> pixels = ReadPixelsFaithfully(*io, c.readTwice);
    EXPECT_EQ(pixels.empty(), !c.kept) << c.written << ' ' << int{c.value};
    if (c.kept) {
      EXPECT_EQ(pixels, std::vector<char>(128, c.value)) << c.written;
    }
  }
}

}  // namespace
