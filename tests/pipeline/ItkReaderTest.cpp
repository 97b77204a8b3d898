// ITK's own reader, through its VTK image IO, opens the tool's volumes: size, spacing, origin
// and every voxel as asked (dark pixels 0, bright ones 255, every layer the slice), from an
// input with a spacing and an origin of its own.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "TestImages.h"
#include "ToolRun.h"
#include "itkImageFileReader.h"
#include "itkVTKImageIO.h"

namespace {

using Volume = itk::Image<std::uint8_t, 3>;

// Two grey levels, so any threshold between them gives this slice.
bool IsBright(itk::IndexValueType x, itk::IndexValueType y) { return (x * y + x) % 3 == 0; }

TEST(ItkReader, OpensTheToolsVolumes) {
  TempFolder folder;
  const std::string input = folder.Path("levels.mha");
  WriteTestImage<std::uint8_t>(input, 20, 15,
                               [](unsigned x, unsigned y) { return IsBright(x, y) ? 200 : 30; },
                               {nullptr, false, {0.5, 2.0}, {10.0, -4.0}});
  const std::pair<std::string, Volume::RegionType> cases[] = {
      {"0 0 20 15", {{0, 0, 0}, {20, 15, 1}}},
      {"3 4 11 7", {{3, 4, 0}, {11, 7, 2}}},
  };
  for (const auto& [region, expected] : cases) {
    const std::string depth = std::to_string(expected.GetSize(2));
    ASSERT_EQ(
        RunTool({"--input2d", input, "--output", folder.Path("out.vtk"), "-r", region, "-d", depth})
            .status,
        0);
    auto reader = itk::ImageFileReader<Volume>::New();
    reader->SetImageIO(itk::VTKImageIO::New());
    reader->SetFileName(folder.Path("out.vtk"));
    reader->Update();
    const Volume* volume = reader->GetOutput();
    EXPECT_EQ(volume->GetLargestPossibleRegion().GetSize(), expected.GetSize()) << region;
    const itk::IndexValueType x0 = expected.GetIndex(0), y0 = expected.GetIndex(1);
    const double spacing[] = {0.5, 2.0, 1.0}, origin[] = {10.0 + 0.5 * x0, -4.0 + 2.0 * y0, 0};
    for (unsigned axis = 0; axis < 3; ++axis) {
      EXPECT_EQ(volume->GetSpacing()[axis], spacing[axis]) << region << axis;
      EXPECT_EQ(volume->GetOrigin()[axis], origin[axis]) << region << axis;
    }
    const std::uint8_t* voxel = volume->GetBufferPointer();
    int wrongVoxels = 0;
    for (itk::SizeValueType z = 0; z < expected.GetSize(2); ++z) {
      for (itk::SizeValueType y = 0; y < expected.GetSize(1); ++y) {
        for (itk::SizeValueType x = 0; x < expected.GetSize(0); ++x) {
          wrongVoxels += *voxel++ != (IsBright(x0 + x, y0 + y) ? 255 : 0);
        }
      }
    }
    EXPECT_EQ(wrongVoxels, 0) << region;
  }
}

}  // namespace
