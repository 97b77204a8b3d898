// Runs the built executable on images the tests write, and checks its exit status, its exact
// standard output and error, and the volume file byte for byte.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "PlainPipeline.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "ToolRun.h"

namespace {

class EndToEnd : public ToolTest {
 protected:
  static void SetUpTestSuite() {
    images = std::make_unique<TempFolder>();
    using U8 = std::uint8_t;
    auto mixed = [](unsigned x, unsigned y) { return (x * 7 + y * 13) % 256; };
    WriteTestImage<U8>(Image("gray8.png"), 37, 23, mixed);
    WriteTestImage<U8>(Image("square100.png"), 100, 100,
                       [](unsigned x, unsigned y) { return (x * x + 3 * y) % 251; });
    WriteTestImage<std::uint16_t>(Image("gray16.png"), 40, 30, [](unsigned x, unsigned y) {
      return (x * 613 + y * 97) % 30001;
    });
    WriteTestImage<itk::RGBPixel<U8>>(Image("rgb.png"), 33, 17, [](unsigned x, unsigned y) {
      itk::RGBPixel<U8> p;
      p.Set(U8(x * 7), U8(y * 15), U8(x * y));
      return p;
    });
    WriteTestImage<U8>(Image("gray8.tif"), 29, 31, mixed);
    WriteTestImage<U8>(Image("gray8.jpg"), 32, 24, mixed);
    WriteTestImage<U8>(Image("gray8.bmp"), 21, 13, mixed);
    auto signedRamp = [](int x, int y) { return x * 40 - y * 90 - 1000; };
    WriteTestImage<std::int16_t>(Image("ct.dcm"), 30, 20, signedRamp);
    WriteTestImage<std::int16_t>(Image("signed.mha"), 25, 20, signedRamp);
    WriteTestImage<U8>(Image("spaced.mha"), 20, 15, mixed, {nullptr, false, {0.5, 2.0}, {10, -4}});
    std::string flipped = ReadFile(Image("spaced.mha"));  // x runs backwards in space
    WriteFile(Image("spaced.mha"), flipped.replace(flipped.find("= 1 0 0 1"), 9, "= -1 0 0 1"));
    // Every value from 0 to 999 once: half a histogram bin moves the threshold by five values,
    // so the volume shows whether the threshold is its bin's midpoint or its upper edge.
    WriteTestImage<std::uint16_t>(Image("ramp.png"), 100, 10,
                                  [](unsigned x, unsigned y) { return x + 100 * y; });
    // An ancillary chunk with a wrong checksum: libpng warns about it and reads the image.
    std::string warns = ReadFile(Image("gray8.png"));
    const std::string comment = std::string("\0\0\0\x05tEXtA\0bcd\xde\xad\xbe\xef", 17);
    WriteFile(Image("warns.png"), warns.insert(33, comment));  // after the signature and IHDR
    // Stray bytes before the end marker: the JPEG library warns, on standard output in newer
    // ITK, and decodes the image.
    std::string strayBytes = ReadFile(Image("gray8.jpg"));
    WriteFile(Image("warns.jpg"), strayBytes.insert(strayBytes.size() - 2, "stray bytes"));
  }
};

TEST_F(EndToEnd, UsageTextForNoArgumentOrHelp) {
  const std::string usage =
      "\nUsage: slice2vol options\n\n"
      " -h  --help  \t\tPrints this help \n"
      " -r  --region  \tROI as \"x y sx sy\" \n"
      " -d  --depth  \tnumber of slices to replicate in 2D \n"
      "     --input2d  \tsingle input file \n"
      "     --input3d  \ttext file with the list of 2D slices \n\n\n";
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {}, {"-h"}, {"--region", "bad", "-h"}, {"-h", "--depth", "abc"}}) {
    ExpectRun(arguments, 0, usage);
  }
}

TEST_F(EndToEnd, CommandLineErrors) {
  const std::string inputRequired = "option --input2d is required\n";
  const std::string defaults = kNoRegion + kDefaultDepth;
  const std::string invalid = "invalid region argument '";
  const std::string fourNumbers = "', must be a string of four numbers\n";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"foo"}, defaults + inputRequired},
      {{"-r", "1 2 3"}, invalid + "1 2 3" + fourNumbers},
      {{"-r", "1 2 3 4 5"}, invalid + "1 2 3 4 5" + fourNumbers},
      {{"-r", "1,2,3,4"}, invalid + "1,2,3,4" + fourNumbers},
      {{"-r", ""}, invalid + fourNumbers},
      {{"-r", "1\t2 3 4"}, invalid + "1\t2 3 4" + fourNumbers},
      {{"-r", "1 2 -3 4"}, "Invalid positive argument: -3\n"},
      {{"-r", "a 2 3 4"}, "Invalid positive argument: a\n"},
      {{"-r", "1 2 3 4x", "-d", "x"}, "Invalid positive argument: 4x\n"},
      {{"-r", "  1 2  3 4 "},
       "argument --region accepted = '  1 2  3 4 '\n" + kDefaultDepth + inputRequired},
      {{"-r", "1 2 3 4", "-d", "-1"},
       "argument --region accepted = '1 2 3 4'\nInvalid positive argument: -1\n"},
      {{"-d", "3000000000"},
       kNoRegion + "using provided tile depth = 2147483647\n" + inputRequired},
      {{"-d", ""}, kNoRegion + "using provided tile depth = 0\n" + inputRequired},
      {{"--input2d", "in.png"}, defaults + "option --output is required\n"},
  };
  for (const auto& [arguments, out] : cases) ExpectRun(arguments, 1, out);
}

// The volume is the plain ITK pipeline's, byte for byte; a request that makes no volume ends
// with status 2 and writes nothing.
TEST_F(EndToEnd, VolumesMatchPlainItkPipeline) {
  struct Case {
    const char* image;
    std::string region;  // x y sx sy, or empty for none
    std::string depth;   // empty for the default
    const char* sizeLine;
    std::string err;  // empty for a volume
  };
  const std::string notInside = "is not inside the image of size [100, 100]";
  const std::string empty = "is empty: its width and height must be at least 1";
  const Case cases[] = {
      {"gray8.png", "", "", "[37, 23]", ""},
      {"gray8.png", "", "1", "[37, 23]", ""},
      {"warns.png", "", "1", "[37, 23]", ""},  // and stderr stays empty
      {"square100.png", "10 20 30 40", "", "[100, 100]", ""},
      {"square100.png", "0 99 100 1", "3", "[100, 100]", ""},
      {"gray16.png", "", "", "[40, 30]", ""},
      {"ramp.png", "", "1", "[100, 10]", ""},
      {"rgb.png", "", "2", "[33, 17]", ""},
      {"gray8.tif", "", "", "[29, 31]", ""},
      {"gray8.jpg", "", "2", "[32, 24]", ""},
      {"warns.jpg", "", "1", "[32, 24]", ""},  // and stdout holds only the tool's lines
      {"gray8.bmp", "", "2", "[21, 13]", ""},
      {"ct.dcm", "", "1", "[30, 20]", ""},
      {"signed.mha", "3 4 5 6", "", "[25, 20]", ""},
      {"spaced.mha", "3 4 11 7", "2", "[20, 15]", ""},  // the region's origin in space
      {"square100.png", "90 90 20 20", "", "[100, 100]", notInside},
      {"square100.png", "100 0 1 1", "", "[100, 100]", notInside},
      {"square100.png", "99 0 1 101", "", "[100, 100]", notInside},
      {"square100.png", "2147483647 0 2147483647 1", "", "[100, 100]", notInside},
      {"square100.png", "0 0 0 5", "", "[100, 100]", empty},
      {"square100.png", "3 3 5 0", "", "[100, 100]", empty},
      {"gray8.png", "", "0", "[37, 23]",
       "cannot make a volume of tile depth 0: the depth must be at least 1"},
  };
  // The volume is written as VTK whatever the output's name says.
  const char* outputNames[] = {"out.vtk", "out.png", "volume", "out.nii"};
  for (const Case& c : cases) {
    const TempFolder folder;
    const std::string volume = folder.Path(outputNames[(&c - cases) % 4]);
    std::vector<std::string> arguments = {"--input2d", Image(c.image), "--output", volume};
    PlainRequest reference{Image(c.image), folder.Path("reference")};
    std::string out = kNoRegion;
    if (!c.region.empty()) {
      arguments.insert(arguments.end(), {"-r", c.region});
      out = "argument --region accepted = '" + c.region + "'\n";
      reference.regionGiven = true;
      std::istringstream(c.region) >> reference.index[0] >> reference.index[1] >>
          reference.size[0] >> reference.size[1];
    }
    out += c.depth.empty() ? kDefaultDepth : "using provided tile depth = " + c.depth + "\n";
    if (!c.depth.empty()) arguments.insert(arguments.end(), {"-d", c.depth});
    if (!c.err.empty()) {
      const std::string region = c.region.empty() ? "" : "region '" + c.region + "' ";
      ExpectRun(arguments, 2, out + c.sizeLine + "\n", "Error: " + region + c.err + "\n");
      EXPECT_TRUE(folder.IsEmpty()) << testing::PrintToString(arguments);
      continue;
    }
    ExpectRun(arguments, 0, out + c.sizeLine + "\n");
    reference.depth = c.depth.empty() ? 10 : std::stoi(c.depth);
    WritePlainVolume(reference);
    const std::string expected = ReadFile(reference.output);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(ReadFile(volume) == expected) << testing::PrintToString(arguments);
    if (c.image == std::string("ramp.png")) {
      // ITK 5's own Otsu filter returns its bin's upper edge; the tool keeps ITK 4's midpoint.
      reference.binMidpoint = false;
      WritePlainVolume(reference);
      EXPECT_FALSE(ReadFile(volume) == ReadFile(reference.output));
    }
  }
}

}  // namespace
