// Inputs the tool must refuse with status 2 and one "Error: " line naming the file, writing
// nothing: files that are not images, damaged images (some crash the image libraries, some are
// padded or left half unwritten by their readers), data files that are not regular files, files
// that hold more than one slice, headers that claim more pixels than memory holds, and samples
// no pixel type holds. Inputs next to those limits must still work, at their true values.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "PlainPipeline.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "ToolRun.h"
#include "itkBMPImageIO.h"
#include "itkGDCMImageIO.h"
#include "itkGiplImageIO.h"
#include "itkJPEGImageIO.h"
#include "itkMetaImageIO.h"
#include "itkNiftiImageIO.h"
#include "itkPNGImageIO.h"
#include "itkRGBAPixel.h"
#include "itkRGBPixel.h"
#include "itkTIFFImageIO.h"
#include "itkVTKImageIO.h"

namespace {

const std::string kUndecodable =
    "the file is damaged or uses a variant of its format that cannot be decoded";
const std::string kUnknownFormat = "no supported image format recognises it";
const std::string kEndsEarly = "the file ends before the ";  // then the size
const std::string kPixelsGiven = " pixels its header gives";

// A one-slice NIfTI file of 8-bit samples whose header scales them: value = slope x sample +
// intercept.
std::string ScaledNifti(float slope, float intercept, const std::string& samples, unsigned width) {
  std::string header(352, '\0');
  auto put = [&](std::size_t at, auto value) { std::memcpy(&header[at], &value, sizeof value); };
  put(0, std::int32_t{348});
  const std::int16_t dims[8] = {2,
                                static_cast<std::int16_t>(width),
                                static_cast<std::int16_t>(samples.size() / width),
                                1,
                                1,
                                1,
                                1,
                                1};
  std::memcpy(&header[40], dims, sizeof dims);
  put(70, std::int16_t{2});  // unsigned 8-bit
  put(72, std::int16_t{8});
  for (int i = 0; i < 8; ++i) put(76 + 4 * i, 1.0F);
  put(108, 352.0F);
  put(112, slope);
  put(116, intercept);
  header.replace(344, 4, std::string("n+1\0", 4));
  return header + samples;
}

std::string ReadError(const std::string& path, const std::string& cause) {
  return "Error: cannot read image '" + path + "': " + cause + "\n";
}

void ExpectRefused(const std::string& input, const std::string& outputPath,
                   const std::string& cause) {
  ExpectRun({"--input2d", input, "--output", outputPath}, 2, kNoRegion + kDefaultDepth,
            ReadError(input, cause));
}

class BadInput : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    images = new TempFolder;
    auto pattern = [](unsigned x, unsigned y) { return (x * 37 + y * 11) % 200; };
    WriteTestImage<std::uint8_t>(Image("good.png"), 40, 30, pattern, itk::PNGImageIO::New());
    WriteTestImage<std::uint8_t>(Image("good.jpg"), 40, 30, pattern, itk::JPEGImageIO::New());
    WriteTestImage<std::uint8_t>(Image("good.tif"), 40, 30, pattern, itk::TIFFImageIO::New());
    WriteTestImage<std::int16_t>(Image("good.dcm"), 40, 30, pattern, itk::GDCMImageIO::New());
    // Each image IO is released after its image is written: the BMP writer closes its file
    // only then.
    auto rawFormatIO = [](const std::string& suffix) -> itk::ImageIOBase::Pointer {
      if (suffix == "bmp") return itk::BMPImageIO::New().GetPointer();
      if (suffix == "mha") return itk::MetaImageIO::New().GetPointer();
      if (suffix == "nii") return itk::NiftiImageIO::New().GetPointer();
      if (suffix == "gipl") return itk::GiplImageIO::New().GetPointer();
      auto vtk = itk::VTKImageIO::New();
      vtk->SetFileTypeToBinary();
      return vtk.GetPointer();
    };
    auto dicomJpegIO = itk::GDCMImageIO::New();
    dicomJpegIO->SetCompressionType(itk::GDCMImageIO::JPEG);
    WriteTestImage<std::uint8_t>(Image("jpeg.dcm"), 40, 30, pattern, dicomJpegIO, true);
    auto textVtk = itk::VTKImageIO::New();
    textVtk->SetFileTypeToASCII();
    WriteTestImage<std::uint8_t>(Image("text.vtk"), 40, 30, pattern, textVtk);
    WriteTestImage<std::uint8_t>(Image("zlib.mha"), 40, 30, pattern, itk::MetaImageIO::New(), true);
    WriteTestImage<std::uint8_t>(Image("good.nii.gz"), 40, 30, pattern, itk::NiftiImageIO::New(),
                                 true);
    for (const std::string suffix : {"bmp", "mha", "nii", "gipl", "vtk"}) {
      WriteTestImage<std::uint8_t>(Image("good." + suffix), 40, 30, pattern, rawFormatIO(suffix));
      const std::string whole = ReadFile(Image("good." + suffix));
      WriteFile(Image("cut." + suffix), whole.substr(0, whole.size() - 1));
    }
    // A MetaImage header with its pixels in a separate raw file, cut short.
    WriteTestImage<std::uint8_t>(Image("pair.mhd"), 40, 30, pattern, itk::MetaImageIO::New());
    const std::string raw = ReadFile(Image("pair.raw"));
    WriteFile(Image("cut-pair.raw"), raw.substr(0, raw.size() - 1));
    std::string header = ReadFile(Image("pair.mhd"));
    header.replace(header.find("pair.raw"), 8, "cut-pair.raw");
    WriteFile(Image("cut-pair.mhd"), header);

    const std::string png = ReadFile(Image("good.png"));
    const std::string jpeg = ReadFile(Image("good.jpg"));
    const std::string tiff = ReadFile(Image("good.tif"));
    const std::string dicom = ReadFile(Image("good.dcm"));
    WriteFile(Image("soi-only.jpg"), "\xFF\xD8");
    WriteFile(Image("cut-header.jpg"), jpeg.substr(0, 40));
    WriteFile(Image("cut-header"), jpeg.substr(0, 40));  // no name the JPEG reader takes
    WriteFile(Image("garbled-meta.dcm"), dicom.substr(0, 132) + "This is not a data element.");
    WriteFile(Image("cut-data.jpg"), jpeg.substr(0, jpeg.size() / 2));
    WriteFile(Image("cut-signature.png"), png.substr(0, 12));
    WriteFile(Image("cut-ihdr.png"), png.substr(0, 20));
    WriteFile(Image("cut-data.png"), png.substr(0, png.size() / 2));
    std::string badCrc = png;
    badCrc[30] = static_cast<char>(badCrc[30] ^ 0x5A);  // inside the IHDR chunk's CRC
    WriteFile(Image("bad-crc.png"), badCrc);
    WriteFile(Image("cut-header.tif"), tiff.substr(0, 100));
    WriteFile(Image("cut-data.tif"), tiff.substr(0, tiff.size() / 2));
    WriteFile(Image("cut-tags.tif"), tiff.substr(0, tiff.size() - 16));
    WriteFile(Image("cut-meta.dcm"), dicom.substr(0, 150));
    WriteFile(Image("cut-data.dcm"), dicom.substr(0, dicom.size() - 500));
    WriteFile(Image("text.png"), "This is not an image.\n");
    WriteFile(Image("empty.png"), "");
    WriteFile(Image("huge.mha"),
              "ObjectType = Image\nNDims = 2\nDimSize = 1000000 1000000\n"
              "ElementType = MET_UCHAR\nElementDataFile = LOCAL\n0123456789");
    WriteFile(Image("claims-more.mha"),
              "ObjectType = Image\nNDims = 2\nDimSize = 30000 30000\n"
              "ElementType = MET_UCHAR\nElementDataFile = LOCAL\n0123456789");
    WriteFile(Image("huge.nrrd"),
              "NRRD0004\ntype: uchar\ndimension: 2\nsizes: 1000000 1000000\nencoding: raw\n\n"
              "0123456789");
    // One of each damage that only a mechanism of its own catches.
    const std::string mha = ReadFile(Image("zlib.mha"));
    WriteFile(Image("cut-zlib.mha"), mha.substr(0, mha.size() - 1));
    const std::string niiGz = ReadFile(Image("good.nii.gz"));
    WriteFile(Image("cut.nii.gz"), niiGz.substr(0, niiGz.size() * 6 / 10));
    const std::string vtkText = ReadFile(Image("text.vtk"));
    WriteFile(Image("cut-text.vtk"), vtkText.substr(0, vtkText.size() / 2));
    WriteFile(Image("CUT.NII"), ReadFile(Image("cut.nii")));
    const std::string bmpHeader = ReadFile(Image("good.bmp")).substr(0, 1078);
    std::string rle = bmpHeader;
    rle[30] = 1;  // RLE8; the bitmap ends after one run of 40 pixels
    WriteFile(Image("early-end-rle.bmp"), rle + std::string("\x28\x05\x00\x00\x00\x01", 6));
    std::string bioRad(60, '\0');
    bioRad[0] = 40, bioRad[2] = 30, bioRad[4] = 1, bioRad[10] = 1, bioRad[14] = 1;
    bioRad[54] = '\x39', bioRad[55] = '\x30';  // its magic number, 12345
    WriteFile(Image("notes.pic"), bioRad);
    WriteFile(Image("no-dimensions.spr"),
              "numDim: two\ndim: 40 30\ndataType: BYTE\n"
              "stimFileName: pair.raw\n");
    const std::string dicomJpeg = ReadFile(Image("jpeg.dcm"));
    WriteFile(Image("cut-jpeg.dcm"), dicomJpeg.substr(0, dicomJpeg.size() - 300));
    const std::string nrrd =
        "NRRD0004\ntype: uchar\ndimension: 2\nsizes: 40 30\nencoding: raw\ndata file: ";
    WriteFile(Image("fifo.nhdr"), nrrd + "fifo.png\n\n");
    WriteFile(Image("urandom.nhdr"), nrrd + "/dev/urandom\n\n");
    WriteFile(Image("missing.nhdr"), nrrd + "slice%02d.raw 1 2 1\n\n");
    header = ReadFile(Image("pair.mhd"));
    WriteFile(Image("folder.mhd"), header.replace(header.find("pair.raw"), 8, "."));
    std::mt19937 random(7);
    std::string noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    for (const char* suffix : {"png", "jpg", "tif", "dcm", "nii", "mha", "nrrd", "bmp", "vtk"}) {
      WriteFile(Image(std::string("noise.") + suffix), noise);
    }
    mkfifo(Image("fifo.png").c_str(), 0600);
  }
  static void TearDownTestSuite() { delete images; }

  static std::string Image(const std::string& name) { return images->Path(name); }

  static TempFolder* images;
  TempFolder output;
};

TempFolder* BadInput::images = nullptr;

TEST_F(BadInput, FilesThatAreNotImagesOrAreDamaged) {
  struct Case {
    std::string name;
    std::string cause;
  };
  const Case cases[] = {
      {"missing.png", "no such file or directory"},
      {"", "it is a folder, not an image file"},
      {"fifo.png", "it is not a regular file"},
      {"empty.png", "the file is empty"},
      {"text.png", kUnknownFormat},
      // The JPEG, PNG and DICOM libraries crash on several of these instead of reporting them.
      {"soi-only.jpg", kUndecodable},
      {"cut-header.jpg", kUndecodable},
      {"cut-header", kUndecodable},
      {"cut-data.jpg", kUndecodable},
      {"cut-signature.png", kUndecodable},
      {"cut-ihdr.png", kUndecodable},
      {"bad-crc.png", kUndecodable},
      {"cut-data.png", kUndecodable},
      // ITK's TIFF writer puts the directory last, so a cut file has none to recognise.
      {"cut-header.tif", kUnknownFormat},
      {"cut-data.tif", kUnknownFormat},
      // libtiff would drop the tags whose values are cut off, the resolution among them.
      {"cut-tags.tif", kUndecodable},
      {"cut-meta.dcm", kUndecodable},
      {"cut-data.dcm", kUndecodable},
      {"garbled-meta.dcm", kUndecodable},
      // Their readers would pad the missing pixels.
      {"cut.bmp", kEndsEarly + "40 x 30" + kPixelsGiven},
      {"cut.mha", kEndsEarly + "40 x 30" + kPixelsGiven},
      {"cut.nii", kEndsEarly + "40 x 30" + kPixelsGiven},
      {"cut.gipl", kEndsEarly + "40 x 30 x 1" + kPixelsGiven},
      {"cut.vtk", kEndsEarly + "40 x 30" + kPixelsGiven},
      {"claims-more.mha", kEndsEarly + "30000 x 30000" + kPixelsGiven},
      {"cut-pair.mhd",
       "its data file '" + Image("cut-pair.raw") + "' ends before the 40 x 30" + kPixelsGiven},
      {"CUT.NII", kEndsEarly + "40 x 30" + kPixelsGiven},
      // Its reader leaves the pixels after the early end unwritten: read twice, they differ.
      {"early-end-rle.bmp", kUndecodable},
      // Compressed data checked to its end: the readers pad what a cut stream lacks.
      {"cut-zlib.mha", kUndecodable},
      {"cut.nii.gz", kUndecodable},
      {"cut-text.vtk", kUndecodable},
      {"cut-jpeg.dcm", kUndecodable},
      // ITK's reader would look for its notes forever.
      {"notes.pic", kUndecodable},
      // ITK's reader would take the number of dimensions from memory it never set.
      {"no-dimensions.spr", kUndecodable},
      // A reader would block on a FIFO, or read whatever a device gives, forever.
      {"fifo.nhdr", "its data file '" + Image("fifo.png") + "' is not a regular file"},
      {"urandom.nhdr", "its data file '/dev/urandom' is not a regular file"},
      {"folder.mhd", "its data file '" + Image(".") + "' is not a regular file"},
      {"missing.nhdr", "its data file '" + Image("slice01.raw") + "' is missing"},
  };
  for (const Case& c : cases) {
    ExpectRefused(Image(c.name), output.Path("out.vtk"), c.cause);
    EXPECT_TRUE(output.IsEmpty()) << c.name;
  }
  ExpectRun({"--input2d", "/dev/zero", "--output", output.Path("out.vtk")}, 2,
            kNoRegion + kDefaultDepth, ReadError("/dev/zero", "it is not a regular file"));
  // A name's control characters are escaped, so that the message stays one line.
  ExpectRun({"--input2d", Image("a\nb.png"), "--output", output.Path("out.vtk")}, 2,
            kNoRegion + kDefaultDepth,
            ReadError(Image("a'$'\\n''b.png"), "no such file or directory"));
}

TEST_F(BadInput, RandomBytesUnderImageSuffixes) {
  for (const char* suffix : {"png", "jpg", "tif", "dcm", "nii", "mha", "nrrd", "bmp", "vtk"}) {
    const std::string input = Image(std::string("noise.") + suffix);
    const ToolResult result = RunTool({"--input2d", input, "--output", output.Path("out.vtk")});
    EXPECT_EQ(result.status, 2) << suffix;
    EXPECT_EQ(result.out, kNoRegion + kDefaultDepth) << suffix;
    EXPECT_TRUE(result.err == ReadError(input, kUnknownFormat) ||
                result.err == ReadError(input, kUndecodable))
        << result.err;
    EXPECT_TRUE(output.IsEmpty()) << suffix;
  }
}

TEST_F(BadInput, HeaderClaimingMorePixelsThanMemoryFailsAtOnce) {
  for (const char* name : {"huge.mha", "huge.nrrd"}) {
    const ToolResult result =
        RunTool({"--input2d", Image(name), "--output", output.Path("out.vtk")});
    EXPECT_EQ(result.status, 2) << name;
    EXPECT_EQ(result.out, kNoRegion + kDefaultDepth) << name;
    const std::string start = ReadError(Image(name),
                                        "its header gives a size of 1000000 x 1000000 pixels, "
                                        "which needs 11000000000000 bytes, more than the ");
    EXPECT_EQ(result.err.substr(0, start.size() - 1), start.substr(0, start.size() - 1));
    EXPECT_EQ(result.err.substr(result.err.size() - 17), " bytes available\n");
    EXPECT_TRUE(output.IsEmpty()) << name;
  }
}

TEST_F(BadInput, MoreThanOneSliceIsRefusedButOneSliceOfAVolumeIsAnImage) {
  using Size3 = itk::Size<3>;
  WriteUniformImage<std::uint8_t, 3>(Image("volume.mha"), Size3{{6, 5, 3}}, 9,
                                     itk::MetaImageIO::New());
  WriteUniformImage<std::uint8_t, 3>(Image("pages.tif"), Size3{{6, 5, 3}}, 9,
                                     itk::TIFFImageIO::New());
  WriteUniformImage<std::uint8_t, 4>(Image("series.nii"), itk::Size<4>{{6, 5, 1, 2}}, 9,
                                     itk::NiftiImageIO::New());
  WriteUniformImage<std::uint8_t, 3>(Image("one-slice.mha"), Size3{{6, 5, 1}}, 9,
                                     itk::MetaImageIO::New());
  const std::pair<std::string, std::string> refused[] = {
      {"volume.mha", "6 x 5 x 3"},
      {"pages.tif", "6 x 5 x 3"},
      {"series.nii", "6 x 5 x 1 x 2"},
  };
  for (const auto& [name, size] : refused) {
    ExpectRun(
        {"--input2d", Image(name), "--output", output.Path("out.vtk")}, 2,
        kNoRegion + kDefaultDepth,
        ReadError(Image(name), "it holds an image of " + size + " pixels, not a single 2D slice"));
    EXPECT_TRUE(output.IsEmpty()) << name;
  }
  // ITK reports a single-frame DICOM file as three-dimensional, with one slice.
  const std::pair<std::string, std::string> accepted[] = {{"one-slice.mha", "[6, 5]\n"},
                                                          {"good.dcm", "[40, 30]\n"}};
  for (const auto& [name, sizeLine] : accepted) {
    ExpectRun({"--input2d", Image(name), "--output", output.Path(name), "-d", "1"}, 0,
              kNoRegion + "using provided tile depth = 1\n" + sizeLine);
  }
}

// Samples are read at their true values: integers as 64-bit integers, real samples as double,
// each volume the plain pipeline's that reads the same way. Integer images that signed 16-bit
// pixels held keep the volumes they had then.
TEST_F(BadInput, SamplesAreReadAtTheirTrueValues) {
  using U16 = std::uint16_t;
  WriteTestImage<U16>(
      Image("u16.png"), 20, 10,
      [](unsigned x, unsigned y) { return x == 3 && y == 2 ? 65535 : x * 3000; },
      itk::PNGImageIO::New());
  WriteTestImage<U16>(
      Image("u16.tif"), 20, 10,
      [](unsigned x, unsigned y) { return x == 1 && y == 1 ? 65535 : x * 3001; },
      itk::TIFFImageIO::New());
  WriteTestImage<itk::RGBPixel<U16>>(
      Image("rgb16.png"), 20, 10,
      [](unsigned x, unsigned y) {
        itk::RGBPixel<U16> p;
        p.Set(U16(x * 3000), U16(y == 9 ? 50000 : y), U16(7));
        return p;
      },
      itk::PNGImageIO::New());
  WriteTestImage<float>(
      Image("unit.tif"), 20, 10,
      [](unsigned x, unsigned y) { return 0.05F + x * 0.04F + y * 0.01F; },
      itk::TIFFImageIO::New());
  WriteTestImage<std::int32_t>(
      Image("i32.mha"), 20, 10, [](int x, int y) { return x == 5 ? -40000 : y * 99999; },
      itk::MetaImageIO::New());
  WriteTestImage<itk::RGBAPixel<std::uint8_t>>(
      Image("cmyk.jpg"), 20, 10,
      [](unsigned x, unsigned y) {
        itk::RGBAPixel<std::uint8_t> p;
        p.Set(std::uint8_t(x * 12), std::uint8_t(y * 25), 30, std::uint8_t(255 - x));
        return p;
      },
      itk::JPEGImageIO::New());
  std::string ramp;
  for (int i = 0; i < 200; ++i) ramp += static_cast<char>(i);
  WriteFile(Image("slope.nii"), ScaledNifti(0.5F, 5.0F, ramp, 20));
  WriteFile(Image("trailing.jpg"), ReadFile(Image("good.jpg")) + std::string(4096, 'x'));
  WriteTestImage<U16>(
      Image("u16-fits.png"), 20, 10, [](unsigned x, unsigned y) { return x * 1600 + y; },
      itk::PNGImageIO::New());
  WriteTestImage<std::int32_t>(
      Image("i32-fits.mha"), 20, 10, [](int x, int y) { return x * 3000 - 32768 + y; },
      itk::MetaImageIO::New());

  // as16Bit: signed 16-bit pixels held every sample, and the volume is the one that reading gave;
  // otherwise that reading wrapped or truncated samples and gave another volume.
  const std::pair<const char*, bool> cases[] = {
      {"u16.png", false},     {"u16.tif", false},     {"rgb16.png", false}, {"unit.tif", false},
      {"i32.mha", false},     {"slope.nii", false},   {"cmyk.jpg", true},   {"trailing.jpg", true},
      {"u16-fits.png", true}, {"i32-fits.mha", true}, {"good.tif", true},   {"good.dcm", true},
  };
  for (const auto& [name, as16Bit] : cases) {
    const ToolResult result =
        RunTool({"--input2d", Image(name), "--output", output.Path("out.vtk"), "-d", "2"});
    EXPECT_EQ(result.status, 0) << name << result.err;
    const std::string volume = ReadFile(output.Path("out.vtk"));
    PlainRequest reference;
    reference.input = Image(name);
    reference.output = output.Path("reference.vtk");
    reference.depth = 2;
    WritePlainVolume(reference);
    EXPECT_TRUE(volume == ReadFile(reference.output)) << name;
    reference.signedShort = true;
    WritePlainVolume(reference);
    EXPECT_EQ(volume == ReadFile(reference.output), as16Bit) << name;
  }
}

TEST_F(BadInput, SamplesNoPixelTypeHoldsAreRefused) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  WriteTestImage<float>(
      Image("f32-nan.mha"), 20, 10,
      [nan](unsigned x, unsigned y) { return x == 4 && y == 4 ? nan : static_cast<float>(x); },
      itk::MetaImageIO::New());
  WriteTestImage<float>(
      Image("f32-all-nan.mha"), 3, 2, [nan](unsigned, unsigned) { return nan; },
      itk::MetaImageIO::New());
  WriteTestImage<double>(
      Image("f64-inf.mha"), 20, 10, [inf](unsigned x, unsigned) { return x == 0 ? -inf : 3.0; },
      itk::MetaImageIO::New());
  WriteTestImage<std::uint64_t>(
      Image("u64.mha"), 20, 10,
      [](unsigned x, unsigned) { return x == 2 ? std::uint64_t{1} << 63 : std::uint64_t{x}; },
      itk::MetaImageIO::New());
  const std::string finite = ", and only finite samples can be thresholded";
  const std::pair<std::string, std::string> refused[] = {
      {"f32-nan.mha", "its samples range from 0 to 19 and include NaN" + finite},
      {"f32-all-nan.mha", "its samples are all NaN" + finite},
      {"f64-inf.mha", "its samples range from -inf to 3" + finite},
      {"u64.mha",
       "its samples range from 0 to 9223372036854775808, which 64-bit integer pixels "
       "cannot hold"},
  };
  for (const auto& [name, cause] : refused) {
    ExpectRun({"--input2d", Image(name), "--output", output.Path("out.vtk")}, 2,
              kNoRegion + kDefaultDepth, ReadError(Image(name), cause));
    EXPECT_TRUE(output.IsEmpty()) << name;
  }
}

// The volume must never replace the image it is made from, by whatever name the output reaches
// it, nor the data file its header names.
TEST_F(BadInput, OutputThatIsTheInputIsRefused) {
  const std::string original = ReadFile(Image("good.png"));
  WriteFile(output.Path("in.png"), original);
  symlink(output.Path("in.png").c_str(), output.Path("link.vtk").c_str());
  link(output.Path("in.png").c_str(), output.Path("hard.vtk").c_str());
  const std::pair<std::string, std::string> cases[] = {
      {output.Path("in.png"), output.Path("in.png")},
      {output.Path("in.png"), output.Path("link.vtk")},
      {output.Path("in.png"), output.Path("hard.vtk")},
      {Image("pair.mhd"), Image("pair.raw")},
  };
  for (const auto& [input, volume] : cases) {
    const std::string replaced = input == Image("pair.mhd") ? Image("pair.raw") : input;
    const std::string before = ReadFile(replaced);
    ExpectRun({"--input2d", input, "--output", volume, "-d", "1"}, 2,
              kNoRegion + "using provided tile depth = 1\n[40, 30]\n",
              "Error: cannot write volume '" + volume + "': it would replace the input file '" +
                  replaced + "'\n");
    EXPECT_TRUE(ReadFile(replaced) == before) << volume;
  }
  EXPECT_EQ(output.Names(), (std::vector<std::string>{"hard.vtk", "in.png", "link.vtk"}));
}

// ITK loads every shared library in the folders ITK_AUTOLOAD_PATH names when the reader first
// asks its factories for an image IO. The probe library leaves a marker file when loaded.
TEST_F(BadInput, LibrariesFromItkAutoloadPathAreNeverLoaded) {
  const std::string marker = output.Path("probe-was-loaded");
  ToolSetup setup;
  setup.environment = {"ITK_AUTOLOAD_PATH=" AUTOLOAD_PROBE_DIR, "AUTOLOAD_PROBE_MARKER=" + marker};
  ExpectRun({"--input2d", Image("good.png"), "--output", output.Path("out.vtk"), "-d", "1"}, 0,
            kNoRegion + "using provided tile depth = 1\n[40, 30]\n", "", setup);
  EXPECT_NE(access(marker.c_str(), F_OK), 0);

  // The probe itself works: loaded by hand, it leaves its marker.
  setenv("AUTOLOAD_PROBE_MARKER", marker.c_str(), 1);
  void* probe = dlopen(AUTOLOAD_PROBE_DIR "/libautoload_probe.so", RTLD_NOW);
  ASSERT_NE(probe, nullptr) << dlerror();
  EXPECT_EQ(access(marker.c_str(), F_OK), 0);
  dlclose(probe);
  unsetenv("AUTOLOAD_PROBE_MARKER");
}

}  // namespace
