// Inputs the tool must refuse with status 2 and one "Error: " line naming the file, writing
// nothing: files that are not images, damaged images (some crash the image libraries, some are
// padded or left half unwritten by their readers), data files that are not regular files, files
// that hold more than one slice, headers that claim more pixels than memory holds, and samples
// no pixel type holds. Inputs next to those limits must still work, at their true values.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "PlainPipeline.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "ToolRun.h"
#include "itkGDCMImageIO.h"
#include "itkTIFFImageIO.h"
#include "itkVTKImageIO.h"

namespace {

const std::string kUndecodable =
    "the file is damaged or uses a variant of its format that cannot be decoded";
const std::string kUnknownFormat = "no supported image format recognises it";
const std::string kEndsEarly = "the file ends before the 40 x 30 pixels its header gives";
const std::string kFinite = ", and only finite samples can be thresholded";
const std::string kTooWide = ", which 64-bit integer pixels cannot hold";

// A one-slice NIfTI file of 8-bit samples whose header scales them: value = slope x sample +
// intercept.
std::string ScaledNifti(float slope, float intercept, const std::string& samples, unsigned width) {
  std::string header(352, '\0');
  auto put = [&](std::size_t at, auto value) { std::memcpy(&header[at], &value, sizeof value); };
  put(0, std::int32_t{348});
  const auto height = static_cast<std::int16_t>(samples.size() / width);
  const std::int16_t dims[8] = {2, static_cast<std::int16_t>(width), height, 1, 1, 1, 1, 1};
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

// A one-row MetaImage of the given element type and number of channels.
template <typename T>
std::string MetaImage(const char* type, unsigned channels, const std::vector<T>& samples) {
  return "ObjectType = Image\nNDims = 2\nDimSize = " + std::to_string(samples.size() / channels) +
         " 1\nElementNumberOfChannels = " + std::to_string(channels) + "\nElementType = " + type +
         "\nElementDataFile = LOCAL\n" +
         std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * sizeof(T));
}

// Where the value of a one-value entry of a little-endian TIFF file's first directory lies.
std::size_t TiffValueAt(const std::string& tiff, std::uint16_t tag) {
  auto read = [&](std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    std::memcpy(&value, &tiff[at], width);
    return value;
  };
  const std::uint32_t directory = read(4, 4);
  for (std::uint32_t entry = directory + 2; entry < directory + 2 + read(directory, 2) * 12;
       entry += 12) {
    if (read(entry, 2) == tag) return entry + 8;
  }
  return 0;
}

std::uint32_t TiffValue(const std::string& tiff, std::uint16_t tag) {
  std::uint32_t value = 0;
  std::memcpy(&value, &tiff[TiffValueAt(tiff, tag)], 4);
  return value;
}

// A 2 x 2 TIFF file of signed 32-bit samples, which ITK's writer does not write.
std::string TinyInt32Tiff() {
  const std::uint16_t entries[][2] = {{256, 2}, {257, 2}, {258, 32}, {259, 1},  {262, 1},
                                      {273, 8}, {277, 1}, {278, 2},  {279, 16}, {339, 2}};
  std::string tiff("II*\0\x18\0\0\0", 8);
  for (std::int32_t sample : {7, -9, 200000, 3}) tiff.append(reinterpret_cast<char*>(&sample), 4);
  tiff += std::string("\x0A\0", 2);
  for (const auto& [tag, value] : entries) {
    const std::uint16_t entry[6] = {tag, 3, 1, 0, value, 0};  // one SHORT value
    tiff.append(reinterpret_cast<const char*>(entry), sizeof entry);
  }
  return tiff + std::string(4, '\0');
}

std::string ReadError(const std::string& path, const std::string& cause) {
  return "Error: cannot read image '" + path + "': " + cause + "\n";
}

class BadInput : public ToolTest {
 protected:
  static void SetUpTestSuite() {
    images = std::make_unique<TempFolder>();
    auto pattern = [](unsigned x, unsigned y) { return (x * 37 + y * 11) % 200; };
    for (const char* name :
         {"good.png", "good.jpg", "good.tif", "good.bmp", "good.mha", "good.nii", "good.gipl",
          "good.vtk", "pair.mhd", "pair.hdr"}) {  // and pair.raw, pair.img
      WriteTestImage<std::uint8_t>(Image(name), 40, 30, pattern);
    }
    WriteTestImage<std::int16_t>(Image("good.dcm"), 40, 30, pattern);
    auto dicomJpeg = itk::GDCMImageIO::New();
    dicomJpeg->SetCompressionType(itk::GDCMImageIO::JPEG);
    WriteTestImage<std::uint8_t>(Image("jpeg.dcm"), 40, 30, pattern, {dicomJpeg, true});
    auto textVtk = itk::VTKImageIO::New();
    textVtk->SetFileTypeToASCII();
    WriteTestImage<std::uint8_t>(Image("text.vtk"), 40, 30, pattern, {textVtk});
    for (const char* name : {"zlib.mha", "zlib.nrrd", "zpair.mhd", "good.nii.gz"}) {
      WriteTestImage<std::uint8_t>(Image(name), 40, 30, pattern, {nullptr, true});
    }
    for (const auto& [name, compress] :
         {std::pair{"deflate.tif", &itk::TIFFImageIO::SetCompressionToDeflate},
          std::pair{"jpeg.tif", &itk::TIFFImageIO::SetCompressionToJPEG}}) {
      auto tiff = itk::TIFFImageIO::New();
      ((*tiff).*compress)();
      WriteTestImage<std::uint8_t>(Image(name), 40, 30, pattern, {tiff, true});
    }
    WriteFile(Image("cut-pair.raw"), Cut("pair.raw", -1));
    WriteFile(Image("cut-pair.img"), Cut("pair.img", -1));
    WriteFile(Image("cut-pair.hdr"), ReadFile(Image("pair.hdr")));
    WriteFile(Image("cut-zpair.zraw"), Cut("zpair.zraw", -1));
    // Pixels that do not compress: a cut deflated data set then loses some of them.
    WriteTestImage<std::int16_t>(Image("noise.dcm"), 256, 256,
                                 [random = std::mt19937(7)](int, int) mutable {
                                   return static_cast<std::int16_t>(random());
                                 });
    const std::string deflate =
        "gdcmconv --deflated " + Image("noise.dcm") + " " + Image("deflated.dcm");
    ASSERT_EQ(std::system(deflate.c_str()), 0);
    const std::string shortData = Cut("good.nii", -1);
    const gzFile gzip = gzopen(Image("short.nii.gz").c_str(), "wb");
    gzwrite(gzip, shortData.data(), static_cast<unsigned>(shortData.size()));
    gzclose(gzip);
    mkfifo(Image("fifo.png").c_str(), 0600);
    using Size3 = itk::Size<3>;
    WriteUniformImage<std::uint8_t, 3>(Image("volume.mha"), Size3{{6, 5, 3}}, 9);
    WriteUniformImage<std::uint8_t, 4>(Image("series.nii"), itk::Size<4>{{6, 5, 1, 2}}, 9);
    WriteUniformImage<std::uint8_t, 3>(Image("one-slice.mha"), Size3{{6, 5, 1}}, 9);
    // Samples at what 64-bit integer pixels hold; grey and alpha are multiplied into one pixel,
    // so each must fit 32 bits.
    WriteFile(Image("u64-top.mha"), MetaImage<std::uint64_t>("MET_ULONG_LONG", 1, {~0ULL >> 1, 9}));
    WriteFile(Image("i64-bottom.mha"), MetaImage<std::int64_t>("MET_LONG_LONG", 1, {kLowest, 9}));
    WriteFile(Image("u32x2-top.mha"), MetaImage<std::uint32_t>("MET_UINT", 2, {~0U >> 1, 1, 0, 1}));
    WriteFile(Image("i64x2-bottom.mha"),
              MetaImage<std::int64_t>("MET_LONG_LONG", 2, {-2147483648, 1, 0, 1}));
  }

  // The file cut short: to its first keep bytes (keep >= 1), its share keep of the file
  // (0 < keep < 1), or all but its last -keep bytes (keep <= -1).
  static std::string Cut(const std::string& name, double keep) {
    const std::string whole = ReadFile(Image(name));
    const double size = static_cast<double>(whole.size());
    return whole.substr(0, static_cast<std::size_t>(keep >= 1  ? keep
                                                    : keep > 0 ? size * keep
                                                               : size + keep));
  }

  struct Refusal {
    std::string name;
    std::string cause;
    std::optional<std::string> contents = std::nullopt;  // written here when given
  };

  // Each file refused with its cause, writing nothing, within two seconds of processor time and
  // 200 MB of memory: a damaged file must never stall a run. The sanitizers take far more.
  void ExpectRefused(const std::vector<Refusal>& refusals) {
    ToolSetup bounded;
#ifndef SLICE2VOL_SANITIZED
    bounded.limits = {{RLIMIT_CPU, 2}};
#endif
    for (const Refusal& r : refusals) {
      if (r.contents) WriteFile(Image(r.name), *r.contents);
      const std::string input = r.name[0] == '/' ? r.name : Image(r.name);
      const ToolResult result =
          RunTool({"--input2d", input, "--output", output.Path("v")}, bounded);
      EXPECT_EQ(result.status, 2) << input;
      EXPECT_EQ(result.out, kNoRegion + kDefaultDepth) << input;
      EXPECT_PRED2(MatchesWithNumbers, result.err, ReadError(input, r.cause));
#ifndef SLICE2VOL_SANITIZED
      EXPECT_LT(result.peakKilobytes, 200 * 1024) << input;
#endif
      EXPECT_TRUE(output.IsEmpty()) << input;
    }
  }

  static constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min();
};

// A reader would block on a FIFO, or read whatever a device gives, forever; a missing data file
// is named, the first of a pattern of two billion at once.
TEST_F(BadInput, FilesThatCannotBeReadAreNamed) {
  const std::string nrrd = "NRRD0004\ntype: uchar\ndimension: 2\nsizes: 40 30\nencoding: raw\n";
  const std::string meta =
      "NDims = 2\nDimSize = 40 30\nElementType = MET_UCHAR\nElementDataFile = ";
  std::string folderHeader = ReadFile(Image("pair.mhd"));
  folderHeader.replace(folderHeader.find("pair.raw"), 8, ".");
  ExpectRefused({
      {"missing.png", "no such file or directory"},
      {"", "it is a folder, not an image file"},
      {"fifo.png", "it is not a regular file"},
      {"/dev/zero", "it is not a regular file"},
      {"empty.png", "the file is empty", ""},
      {"text.png", kUnknownFormat, "This is not an image.\n"},
      {"fifo.nhdr", "its data file '" + Image("fifo.png") + "' is not a regular file",
       nrrd + "datafile: fifo.png\n\n"},
      {"folder.mhd", "its data file '" + Image(".") + "' is not a regular file", folderHeader},
      {"missing.nhdr", "its data file '" + Image("s%+000000001.raw") + "' is missing",
       nrrd + "data file: s%%%+010i.raw 1 2000000000 1\n\n"},
      {"down.mha", "its data file '" + Image("s3.raw") + "' is missing", meta + "s%d.raw 3 1 -1\n"},
      {"wide.nhdr", "its data file '" + Image("s%100d.raw") + "' is missing",
       nrrd + "data file: s%100d.raw 1 2\n\n"},
      {"list.mha", "its data file '" + Image("slice.raw") + "' is missing",
       meta + "LIST\nslice.raw\n"},
      {"alone.hdr", "its data file '" + Image("alone.img") + "' is missing", Cut("pair.hdr", 1e9)},
      {"ALONE.HDR", "its data file '" + Image("ALONE.IMG") + "' is missing", Cut("pair.hdr", 1e9)},
      {"alone.spr", "its data file '" + Image("alone.sdt") + "' is missing",
       "numDim: 2\ndim: 40 30\ndataType: BYTE\n"},
  });
  // A name's control characters are escaped, so that the message stays one line.
  ExpectRun({"--input2d", Image("a\nb.png"), "--output", output.Path("v")}, 2,
            kNoRegion + kDefaultDepth,
            ReadError(Image("a'$'\\n''b.png"), "no such file or directory"));
}

// Damage found before anything is decoded, in headers the image libraries would crash on, read
// from memory they never set, or loop over forever.
TEST_F(BadInput, DamagedHeadersAreRefusedBeforeDecoding) {
  // The pixel data's length past the end of the file: GDCM would take seconds and gigabytes.
  std::string longElement = ReadFile(Image("good.dcm"));
  longElement.replace(longElement.rfind(std::string("\xE0\x7F\x10\0", 4)) + 4, 4,
                      "\xF0\xFF\xFF\xFF");
  std::string bioRad(60, '\0');  // cut inside its 76-byte header
  bioRad[0] = 40, bioRad[2] = 30, bioRad[4] = 1, bioRad[10] = 1, bioRad[14] = 1;
  bioRad[54] = '\x39', bioRad[55] = '\x30';  // its magic number, 12345
  ExpectRefused({
      {"soi-only.jpg", kUndecodable, "\xFF\xD8"},
      {"cut-header.jpg", kUndecodable, Cut("good.jpg", 40)},
      {"cut-header", kUndecodable, Cut("good.jpg", 40)},  // no name the JPEG reader takes
      {"cut-data.jpg", kUndecodable, Cut("good.jpg", 0.5)},
      // ITK's TIFF writer puts the directory last, so a cut file has none to recognise.
      {"cut-header.tif", kUnknownFormat, Cut("good.tif", 100)},
      {"cut-data.tif", kUnknownFormat, Cut("good.tif", 0.5)},
      {"long-element.dcm", kUndecodable, longElement},
      {"garbled-meta.dcm", kUndecodable, Cut("good.dcm", 132) + "This is not a data element."},
      {"notes.pic", kUndecodable, bioRad},
      {"no-dimensions.spr", kUndecodable,
       "numDim: two\ndim: 40 30\ndataType: BYTE\nstimFileName: pair.raw\n"},
      {"one-dimension.spr", kUndecodable,
       "numDim: 2\ndim: 40\ndataType: BYTE\nstimFileName: pair.raw\n"},
  });
}

// Their readers would pad the missing pixels, or repeat the last number for each one missing.
TEST_F(BadInput, PixelsMissingFromTheFilesAreRefused) {
  std::string pairHeader = ReadFile(Image("pair.mhd"));
  std::string skipHeader = pairHeader;
  skipHeader.insert(skipHeader.find("ElementDataFile"), "HeaderSize = 10\n");
  pairHeader.replace(pairHeader.find("pair.raw"), 8, "cut-pair.raw");
  const std::string meta = "ObjectType = Image\nNDims = 2\nElementType = MET_UCHAR\nDimSize = ";
  ExpectRefused({
      {"cut.bmp", kEndsEarly, Cut("good.bmp", -1)},
      {"cut.mha", kEndsEarly, Cut("good.mha", -1)},
      {"cut.nii", kEndsEarly, Cut("good.nii", -1)},
      {"cut-pair.img", kEndsEarly},
      {"short.nii.gz", kEndsEarly},
      {"cut.gipl", "the file ends before the 40 x 30 x 1 pixels its header gives",
       Cut("good.gipl", -1)},
      {"cut.vtk", kEndsEarly, Cut("good.vtk", -1)},
      {"claims-more.mha", "the file ends before the 40 x 30000 pixels its header gives",
       meta + "40 30000\nElementDataFile = LOCAL\n0123456789"},
      {"cut-pair.mhd",
       "its data file '" + Image("cut-pair.raw") +
           "' ends before the 40 x 30 pixels its header gives",
       pairHeader},
      {"skip.mhd",
       "its data file '" + Image("pair.raw") + "' ends before the 40 x 30 pixels its header gives",
       skipHeader},
      {"cut-text.vtk", kUndecodable, Cut("text.vtk", 0.5)},
      {"nan.vtk", kUndecodable,
       "# vtk DataFile Version 3.0\nx\nASCII\nDATASET STRUCTURED_POINTS\nDIMENSIONS 2 2 1\n"
       "SPACING 1 1 1\nORIGIN 0 0 0\nPOINT_DATA 4\nSCALARS s float 1\nLOOKUP_TABLE default\n"
       "0 1 nan 3\n"},
  });
}

// Readers stop once they have the pixels they want and pad what a cut stream lacks.
TEST_F(BadInput, CompressedStreamsAreCheckedToTheirEnd) {
  std::string badCrc = ReadFile(Image("good.png"));
  badCrc[30] = static_cast<char>(badCrc[30] ^ 0x5A);     // inside the IHDR chunk's CRC
  std::string flipped = ReadFile(Image("deflate.tif"));  // a byte changed before the checksum
  flipped[TiffValue(flipped, 273) + TiffValue(flipped, 279) - 5] ^= 0x10;
  ExpectRefused({
      {"bad-crc.png", kUndecodable, badCrc},
      {"cut-data.png", kUndecodable, Cut("good.png", 0.5)},
      {"cut-zlib.mha", kUndecodable, Cut("zlib.mha", -1)},
      {"cut-zlib.nrrd", kUndecodable, Cut("zlib.nrrd", -1)},
      {"cut-zpair.mhd", kUndecodable,
       std::regex_replace(ReadFile(Image("zpair.mhd")), std::regex("zpair"), "cut-zpair")},
      {"cut.nii.gz", kUndecodable, Cut("good.nii.gz", 0.6)},
      {"flipped.tif", kUndecodable, flipped},
      {"cut-jpeg.dcm", kUndecodable, Cut("jpeg.dcm", -300)},
      {"cut-deflated.dcm", kUndecodable, Cut("deflated.dcm", -20)},
  });
}

// What the image libraries print while they read: libjpeg's premature end inside libtiff, the
// tags libtiff drops when their values are cut off, GDCM's incomplete pixel data; and readers
// that can leave pixels unwritten, whatever the bytes there, read twice.
TEST_F(BadInput, ReportedOrUnwrittenPixelsAreRefused) {
  std::string shortStrip = ReadFile(Image("jpeg.tif"));
  const std::uint32_t halfStrip = TiffValue(shortStrip, 279) / 2;
  std::memcpy(&shortStrip[TiffValueAt(shortStrip, 279)], &halfStrip, 4);
  // An RLE8 bitmap of runs of two pixels through a colour palette, cut before its end.
  std::string runs = ReadFile(Image("good.bmp")).substr(0, 1078);
  runs[30] = 1;
  for (int i = 0; i < 256; ++i) runs.replace(54 + 4 * i, 3, {char(i), char(255 - i), '\x33'});
  for (int row = 0; row < 30; ++row) {
    for (int x = 0; x < 40; x += 2) runs += {2, static_cast<char>((x * 37 + row * 11) % 200)};
    runs += std::string("\0\0", 2);
  }
  runs.resize(runs.size() - 20);
  const auto runBytes = static_cast<std::uint32_t>(runs.size() - 1078);
  std::memcpy(&runs[34], &runBytes, 4);  // the header gives the cut length
  ExpectRefused({
      {"short-strip.tif", kUndecodable, shortStrip},
      {"cut-tags.tif", kUndecodable, Cut("good.tif", -16)},
      {"cut-data.dcm", kUndecodable, Cut("good.dcm", -500)},
      {"cut-runs.bmp", kUndecodable, runs},
      {"tiny-i32.tif", kUndecodable, TinyInt32Tiff()},
  });
}

// Volumes and series, whose first slice ITK's 2D reader would quietly keep; more pixels than
// memory holds; samples just past what 64-bit integer and double pixels hold, or that Otsu's
// threshold cannot be computed for.
TEST_F(BadInput, ImagesThatCannotBeThresholdedAreRefused) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::string combined = " once its 2 components are combined";
  ExpectRefused({
      {"volume.mha", "it holds an image of 6 x 5 x 3 pixels, not a single 2D slice"},
      {"series.nii", "it holds an image of 6 x 5 x 1 x 2 pixels, not a single 2D slice"},
      {"huge.mha",
       "its header gives a size of 1000000 x 1000000 pixels, which needs 11000000000000 bytes, "
       "more than the " +
           kAnyNumber + " bytes available",
       "ObjectType = Image\nNDims = 2\nElementType = MET_UCHAR\nDimSize = 1000000 1000000\n"
       "ElementDataFile = LOCAL\n0123456789"},
      {"f32-nan.mha", "its samples range from 0 to 19 and include NaN" + kFinite,
       MetaImage<float>("MET_FLOAT", 1, {0, 19, nan})},
      {"f32-all-nan.mha", "its samples are all NaN" + kFinite,
       MetaImage<float>("MET_FLOAT", 1, {nan, nan})},
      {"f64-inf.mha", "its samples range from -inf to 3" + kFinite,
       MetaImage<double>("MET_DOUBLE", 1, {-inf, 3})},
      {"f64-far.mha", "its samples range from -1e+308 to 1e+308, too far apart to be thresholded",
       MetaImage<double>("MET_DOUBLE", 1, {-1e308, 1e308})},
      {"u64-over.mha", "its samples range from 0 to 9223372036854775808" + kTooWide,
       MetaImage<std::uint64_t>("MET_ULONG_LONG", 1, {1ULL << 63, 0})},
      {"u32x2-over.mha", "its samples range from 0 to 2147483648" + kTooWide + combined,
       MetaImage<std::uint32_t>("MET_UINT", 2, {2147483648, 1, 0, 1})},
      {"i64x2-under.mha", "its samples range from -2147483649 to 1" + kTooWide + combined,
       MetaImage<std::int64_t>("MET_LONG_LONG", 2, {-2147483649, 1, 0, 1})},
      {"u32x4-over.mha",
       "its samples range from 0 to 2147483648" + kTooWide + " once its 4 components are combined",
       MetaImage<std::uint32_t>("MET_UINT", 4, {2147483648, 1, 0, 1})},
  });
}

// Samples are read at their true values: integers as 64-bit integers, real samples as double,
// each volume the plain pipeline's that reads the same way.
TEST_F(BadInput, AcceptedAtTheirTrueValues) {
  using U16 = std::uint16_t;
  WriteTestImage<U16>(Image("u16.png"), 20, 10,
                      [](unsigned x, unsigned y) { return x == 3 && y == 2 ? 65535 : x * 3000; });
  WriteTestImage<U16>(Image("u16.tif"), 20, 10,
                      [](unsigned x, unsigned y) { return x == 1 && y == 1 ? 65535 : x * 3001; });
  WriteTestImage<itk::RGBPixel<U16>>(Image("rgb16.png"), 20, 10, [](unsigned x, unsigned y) {
    return itk::RGBPixel<U16>(U16(y == 9 ? 50000 : x * 3000));
  });
  WriteTestImage<float>(Image("unit.tif"), 20, 10,
                        [](unsigned x, unsigned y) { return 0.05F + x * 0.04F + y * 0.01F; });
  WriteTestImage<std::int32_t>(Image("i32.mha"), 20, 10,
                               [](int x, int y) { return x == 5 ? -40000 : y * 99999; });
  WriteTestImage<itk::RGBAPixel<std::uint8_t>>(Image("cmyk.jpg"), 20, 10, [](unsigned x, unsigned) {
    return itk::RGBAPixel<std::uint8_t>(std::uint8_t(255 - x * 12));
  });
  // Bytes a reader leaves where it writes nothing: read again, and the same.
  WriteTestImage<std::uint8_t>(Image("fill-bytes.png"), 20, 10,
                               [](unsigned x, unsigned) { return x < 10 ? 0x5A : 0xA5; });
  std::string ramp;
  for (int i = 0; i < 200; ++i) ramp += static_cast<char>(i);
  WriteFile(Image("slope.nii"), ScaledNifti(0.5F, 5.0F, ramp, 20));
  WriteFile(Image("trailing.jpg"), ReadFile(Image("good.jpg")) + std::string(4096, 'x'));
  std::vector<std::string> names = {
      "fill-bytes.png", "u16.png",        "u16.tif",       "rgb16.png",       "unit.tif",
      "i32.mha",        "cmyk.jpg",       "slope.nii",     "trailing.jpg",    "deflate.tif",
      "jpeg.tif",       "good.tif",       "good.dcm",      "deflated.dcm",    "one-slice.mha",
      "u64-top.mha",    "i64-bottom.mha", "u32x2-top.mha", "i64x2-bottom.mha"};
#if ITK_VERSION_MAJOR == 5 && ITK_VERSION_MINOR < 4
  // ITK warns, while it writes, that it cannot invert a spacing this small. ITK 5.4 reads it as
  // 0 and refuses the image.
  std::string subnormal = ReadFile(Image("good.mha"));
  subnormal.replace(subnormal.find("ElementSpacing = 1 1"), 20, "ElementSpacing = 1e-320 1");
  WriteFile(Image("subnormal.mha"), subnormal);
  names.push_back("subnormal.mha");
#endif
  for (const std::string& name : names) {
    const ToolResult result =
        RunTool({"--input2d", Image(name), "--output", output.Path("out.vtk"), "-d", "2"});
    EXPECT_EQ(result.status, 0) << name;
    EXPECT_EQ(result.err, "") << name;
    PlainRequest reference{Image(name), output.Path("reference.vtk")};
    reference.depth = 2;
    WritePlainVolume(reference);
    EXPECT_TRUE(ReadFile(output.Path("out.vtk")) == ReadFile(reference.output)) << name;
  }
}

// A file swapped by another process while the tool reads it (a data file its header names, or
// the input itself) for a FIFO, which would block a reader for ever, or a link to /dev/zero,
// which gives other bytes, and back: every run ends at once, with the intact volume or refused.
TEST_F(BadInput, FileSwappedWhileReadIsNeverReadNorWaitedFor) {
  WriteFile(output.Path("swap.mhd"),
            "ObjectType = Image\nNDims = 2\nDimSize = 40 30\nElementType = MET_UCHAR\n"
            "ElementDataFile = pair.raw\n");
  WriteFile(output.Path("pair.raw"), ReadFile(Image("pair.raw")));
  WriteFile(output.Path("in.png"), ReadFile(Image("good.png")));
  for (const auto& [input, swapped] : {std::pair{"swap.mhd", "pair.raw"}, {"in.png", "in.png"}}) {
    const std::vector<std::string> arguments = {
        "--input2d", output.Path(input), "--output", output.Path("out.vtk"), "-d", "1"};
    ASSERT_EQ(RunTool(arguments).status, 0);
    const std::string intact = ReadFile(output.Path("out.vtk"));
    const std::string original = ReadFile(output.Path(swapped));
    std::atomic<bool> swapping{true};
    std::thread swapper([&, swapped = output.Path(swapped)] {
      const std::string other = output.Path("other");
      for (int round = 0; swapping; ++round) {
        if (round % 2 == 0) {
          mkfifo(other.c_str(), 0600);
        } else {
          symlink("/dev/zero", other.c_str());
        }
        rename(other.c_str(), swapped.c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        WriteFile(other, original);
        rename(other.c_str(), swapped.c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    for (int run = 0; run < 40; ++run) {
      const ToolResult result = ToolProcess(arguments).Wait(10);
      EXPECT_TRUE(result.status == 2 ||
                  (result.status == 0 && ReadFile(output.Path("out.vtk")) == intact))
          << input << ' ' << result.status << result.err;
    }
    swapping = false;
    swapper.join();
  }
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
}

}  // namespace
