// ITK's own reader, through its VTK image IO, opens the tool's volume of a region of an input
// with a spacing and an origin of its own: size, spacing, origin and every voxel as asked (dark
// pixels 0, bright ones 255, every layer the slice).

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "TestFiles.h"
#include "TestImages.h"
#include "ToolRun.h"
#include "itkImageFileReader.h"
#include "itkVTKImageIO.h"

namespace {

// Two grey levels, so any threshold between them gives this slice.
bool IsBright(unsigned x, unsigned y) { return (x * y + x) % 3 == 0; }

TEST(ItkReader, OpensTheToolsVolumes) {
  TempFolder folder;
  WriteTestImage<std::uint8_t>(folder.Path("levels.mha"), 20, 15,
                               [](unsigned x, unsigned y) { return IsBright(x, y) ? 200 : 30; },
                               {nullptr, false, {0.5, 2.0}, {10.0, -4.0}});
  ASSERT_EQ(RunTool({"--input2d", folder.Path("levels.mha"), "--output", folder.Path("out.vtk"),
                     "-r", "3 4 11 7", "-d", "2"})
                .status,
            0);
  using Volume = itk::Image<std::uint8_t, 3>;
  auto reader = itk::ImageFileReader<Volume>::New();
  reader->SetImageIO(itk::VTKImageIO::New());
  reader->SetFileName(folder.Path("out.vtk"));
  reader->Update();
  const Volume* volume = reader->GetOutput();
  EXPECT_EQ(volume->GetLargestPossibleRegion().GetSize(), (Volume::SizeType{{11, 7, 2}}));
  const double spacing[] = {0.5, 2.0, 1.0}, origin[] = {10.0 + 0.5 * 3, -4.0 + 2.0 * 4, 0};
  for (unsigned axis = 0; axis < 3; ++axis) {
    EXPECT_EQ(volume->GetSpacing()[axis], spacing[axis]) << axis;
    EXPECT_EQ(volume->GetOrigin()[axis], origin[axis]) << axis;
  }
  const std::uint8_t* voxel = volume->GetBufferPointer();
  int wrongVoxels = 0;
  for (unsigned i = 0; i < 2 * 7 * 11; ++i, ++voxel) {
    wrongVoxels += *voxel != (IsBright(3 + i % 11, 4 + i / 11 % 7) ? 255 : 0);
  }
  EXPECT_EQ(wrongVoxels, 0);
}

}  // namespace
