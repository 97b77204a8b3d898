#include <gtest/gtest.h>

#include <random>
#include <string>

#include "AsciiVolumeImageIO.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "itkImage.h"
#include "itkImageFileWriter.h"
#include "itkVTKImageIO.h"

namespace {

using Volume = itk::Image<unsigned char, 3>;

// Any byte values, or mostly the 0 and 255 the tool writes with a few others among them.
Volume::Pointer MakeVolume(unsigned long w, unsigned long h, unsigned long d, unsigned seed,
                           bool mostlyBinary) {
  auto volume = Volume::New();
  Volume::RegionType region;
  region.SetSize({{w, h, d}});
  volume->SetRegions(region);
  volume->Allocate();
  std::mt19937 random(seed);
  unsigned char* voxels = volume->GetBufferPointer();
  for (size_t i = 0; i < region.GetNumberOfPixels(); ++i) {
    const unsigned draw = random() % 256;
    voxels[i] = !mostlyBinary || draw < 8 ? draw : (draw % 2 == 0 ? 0 : 255);
  }
  return volume;
}

TEST(AsciiVolumeImageIO, SameBytesAsStockWriter) {
  struct Size {
    unsigned long w, h, d;
  };
  // Lines of six values, last lines of one to five, and a body of several write blocks.
  const Size sizes[] = {{1, 1, 1}, {2, 1, 1},  {3, 1, 1},     {4, 1, 1},  {5, 1, 1},
                        {6, 1, 1}, {7, 1, 1},  {8, 1, 1},     {10, 1, 1}, {12, 1, 1},
                        {7, 3, 2}, {1, 1, 13}, {301, 211, 17}};
  TempFolder folder;
  unsigned seed = 1;
  for (const bool mostlyBinary : {false, true}) {
    for (const Size& s : sizes) {
      const Volume::Pointer volume = MakeVolume(s.w, s.h, s.d, seed++, mostlyBinary);
      auto stockIO = itk::VTKImageIO::New();
      auto ourIO = AsciiVolumeImageIO::New();
      stockIO->SetFileTypeToASCII();
      ourIO->SetFileTypeToASCII();
      WriteThroughImageIO(volume.GetPointer(), folder.Path("stock.vtk"), stockIO.GetPointer());
      WriteThroughImageIO(volume.GetPointer(), folder.Path("ours.vtk"), ourIO.GetPointer());
      const std::string stock = ReadFile(folder.Path("stock.vtk"));
      ASSERT_FALSE(stock.empty());
      EXPECT_TRUE(stock == ReadFile(folder.Path("ours.vtk")))
          << s.w << " x " << s.h << " x " << s.d << (mostlyBinary ? " mostly 0 and 255" : "");
    }
  }
}

}  // namespace
