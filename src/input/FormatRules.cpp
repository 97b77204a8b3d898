#include "FormatRules.h"

#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "Failures.h"
#include "PathText.h"
#include "SaturatingArithmetic.h"
#include "itkVTKImageIO.h"
#include "nifti1_io.h"

namespace {

// ---- What several formats share: fields, names, sizes ----

constexpr std::size_t kMostDataFiles = 100000;

// A little-endian whole number of width bytes at at; bytes past the end count as 0.
std::uint64_t Number(const std::string& bytes, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = at + width; i-- > at;) {
    value = value << 8 | (i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0);
  }
  return value;
}

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool EndsWithNoCase(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && Lowered(text.substr(text.size() - end.size())) == end;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The value of a "Name = value" (MetaImage) or "name: value" (NRRD) field whose line starts
// before limit, trimmed; empty when there is none.
std::string HeaderField(const std::string& header, const std::string& name, char separator,
                        std::size_t limit = std::string::npos) {
  for (std::size_t at = header.find(name); at < limit; at = header.find(name, at + 1)) {
    if (at != 0 && header[at - 1] != '\n') continue;
    const std::size_t mark = header.find(separator, at);
    const std::size_t lineEnd = header.find('\n', at);
    if (mark < lineEnd && Trimmed(header.substr(at, mark - at)) == name) {
      return Trimmed(
          header.substr(mark + 1, lineEnd == std::string::npos ? lineEnd : lineEnd - mark - 1));
    }
  }
  return "";
}

std::string BesideHeader(const HeldFile& image, const std::string& name) {
  return name.empty() || name[0] == '/' ? name : FolderOf(image.Path()) + name;
}

// True when printf converts one whole number in format and nothing else, as in
// "slice%03d.raw", with a width that keeps the names shorter than a file name can be.
bool IsNumberPattern(const std::string& format) {
  int conversions = 0;
  for (std::size_t i = format.find('%'); i != std::string::npos; i = format.find('%', i + 1)) {
    if (format[i + 1] == '%') {
      ++i;
      continue;
    }
    const std::size_t width = format.find_first_not_of("-+ #0", i + 1);
    i = format.find_first_not_of("0123456789", width);
    if (i == std::string::npos || i - width > 2 || (format[i] != 'd' && format[i] != 'i')) {
      return false;
    }
    ++conversions;
  }
  return conversions == 1;
}

// The data files of a MetaImage or NRRD header's field value: LIST (the names on the lines
// after the field's), a numbered pattern "format first last [step]", or one name. A pattern's
// names are held one at a time, so that the first missing one ends the run at once.
void NameListedFiles(const HeldFile& image, const std::string& header, const std::string& value,
                     std::size_t valueLineEnd,
                     const std::function<void(const std::string&)>& hold) {
  if (value.compare(0, 4, "LIST") == 0) {
    std::istringstream lines(valueLineEnd == std::string::npos ? ""
                                                               : header.substr(valueLineEnd + 1));
    for (std::string line; std::getline(lines, line);) {
      if (!Trimmed(line).empty()) hold(BesideHeader(image, Trimmed(line)));
    }
    return;
  }
  std::istringstream fields(value);
  std::string format;
  long first = 0;
  long last = 0;
  long step;
  fields >> format >> first >> last;
  if (!IsNumberPattern(format)) {
    hold(BesideHeader(image, value.find('%') == std::string::npos ? value : format));
    return;
  }
  if (!(fields >> step) || step == 0) step = 1;
  std::size_t count = 0;
  for (long i = first; (step > 0 ? i <= last : i >= last) && count < kMostDataFiles; i += step) {
    char name[512];
    std::snprintf(name, sizeof name, format.c_str(), static_cast<int>(i));
    hold(BesideHeader(image, name));
    ++count;
  }
}

// The cause to give when file, holding the pixels raw from offset, ends before bytes of them.
std::string EndsBefore(const itk::ImageIOBase& io, const std::vector<HeldFile>& files,
                       const HeldFile& file, std::uint64_t offset, std::uint64_t bytes) {
  const std::optional<std::uint64_t> length = file.ContentLength();
  if (length && *length >= SaturatingSum(offset, bytes)) return "";
  const std::string which =
      &file == &files.front() ? "the file" : "its data file " + QuotedName(file.Path());
  return which + " ends before the " + DescribeSize(io) + " pixels its header gives";
}

// ---- MetaImage ----

// ElementDataFile is the header's last field: LOCAL data follows it at once; otherwise it names
// the data file(s), beside the header unless the name is absolute.
class MetaImageRules : public FormatRules {
 public:
  void NameDataFiles(const HeldFile& image,
                     const std::function<void(const std::string&)>& hold) const override {
    const Header header(image);
    if (header.local || header.data.empty()) return;
    // A LIST's names fill the rest of the header file.
    NameListedFiles(image, header.text, header.data, header.dataLineEnd, hold);
  }

  bool Damaged(const std::vector<HeldFile>& files) const override {
    const Header header(files.front());
    if (!header.compressed) return false;
    if (header.local) return !InflateToEnd(files.front(), header.dataLineEnd + 1);
    return files.size() == 2 && !files[1].Gzipped() && !InflateToEnd(files[1], 0);
  }

  std::string MissingPixels(const itk::ImageIOBase& io,
                            const std::vector<HeldFile>& files) const override {
    const Header header(files.front());
    if (header.compressed || header.dataLineEnd == std::string::npos) return "";
    if (header.local) {
      return EndsBefore(io, files, files.front(), header.dataLineEnd + 1, io.GetImageSizeInBytes());
    }
    if (files.size() != 2 || header.data.find_first_of(" \t%") != std::string::npos) return "";
    const std::string skipped = HeaderField(header.text, "HeaderSize", '=', header.dataLineEnd);
    const std::uint64_t offset =
        skipped.empty() || skipped[0] == '-' ? 0 : std::strtoull(skipped.c_str(), nullptr, 10);
    return EndsBefore(io, files, files[1], offset, io.GetImageSizeInBytes());
  }

 private:
  struct Header {
    explicit Header(const HeldFile& image) : text(image.Header()) {
      const std::size_t field = text.find("ElementDataFile");
      if (field == std::string::npos) return;
      dataLineEnd = text.find('\n', field);
      data = HeaderField(text, "ElementDataFile", '=');
      local = data == "LOCAL";
      compressed = Lowered(HeaderField(text, "CompressedData", '=', field)) == "true";
    }
    std::string text;
    std::string data;
    std::size_t dataLineEnd = std::string::npos;
    bool local = false;
    bool compressed = false;
  };
};

// ---- NRRD ----

class NrrdRules : public FormatRules {
 public:
  void NameDataFiles(const HeldFile& image,
                     const std::function<void(const std::string&)>& hold) const override {
    const std::string header = image.Header();
    for (const char* name : {"data file", "datafile"}) {
      const std::string value = HeaderField(header, name, ':');
      if (!value.empty()) {
        NameListedFiles(image, header, value, header.find('\n', header.find(name)), hold);
        return;
      }
    }
  }

  // Gzip data files are checked as every gzip file is; attached data follows the blank line.
  bool Damaged(const std::vector<HeldFile>& files) const override {
    const std::string header = files.front().Header();
    const std::string encoding = HeaderField(header, "encoding", ':');
    const std::size_t blank = header.find("\n\n");
    return files.size() == 1 && (encoding == "gzip" || encoding == "gz") &&
           blank != std::string::npos && !InflateToEnd(files.front(), blank + 2);
  }
};

// ---- NIfTI and Analyze ----

// A header x.hdr and its pixels x.img (or x.img.gz), given either name; a .nii file holds both.
class NiftiRules : public FormatRules {
 public:
  void NameDataFiles(const HeldFile& image,
                     const std::function<void(const std::string&)>& hold) const override {
    const std::string& path = image.Path();
    for (const char* end : {".hdr", ".img", ".hdr.gz", ".img.gz"}) {
      if (!EndsWithNoCase(path, end) || path.size() == std::strlen(end)) continue;
      const std::string stem = path.substr(0, path.size() - std::strlen(end));
      const bool upper = path[stem.size() + 1] == 'H' || path[stem.size() + 1] == 'I';
      const std::string other =
          stem + (end[1] == 'h' ? (upper ? ".IMG" : ".img") : (upper ? ".HDR" : ".hdr"));
      struct stat status {};
      const bool plain = stat(other.c_str(), &status) == 0;
      hold(plain || stat((other + ".gz").c_str(), &status) != 0 ? other : other + ".gz");
      return;
    }
  }

  // Where the pixels start (vox_offset) and how many bits each takes (bitpix), which with a
  // scaling differ from what ITK reports, in either byte order.
  std::string MissingPixels(const itk::ImageIOBase& io,
                            const std::vector<HeldFile>& files) const override {
    const bool pair = files.size() == 2;
    const HeldFile& header = pair && !EndsWithNoCase(files[0].Path(), ".hdr") &&
                                     !EndsWithNoCase(files[0].Path(), ".hdr.gz")
                                 ? files[1]
                                 : files[0];
    const HeldFile& data = pair && &header == &files[0] ? files[1] : files[0];
    nifti_1_header fields{};
    const std::string& bytes = header.Header();
    std::memcpy(&fields, bytes.data(), std::min(bytes.size(), sizeof fields));
    if (fields.sizeof_hdr != 348) swap_nifti_header(&fields, 1);
    if (fields.sizeof_hdr != 348 || !(fields.vox_offset >= 0 && fields.vox_offset < 1e15F) ||
        fields.bitpix <= 0) {
      return "";
    }
    // nifticlib reads a .nii file's pixels from no earlier than the end of its header.
    const float offset = pair ? fields.vox_offset : std::max(fields.vox_offset, 348.0F);
    return EndsBefore(io, files, data, static_cast<std::uint64_t>(offset),
                      SaturatingProduct(io.GetImageSizeInPixels(), fields.bitpix) / 8);
  }
};

// ---- Stimulate ----

class StimulateRules : public FormatRules {
 public:
  // Without a stimFileName field, ITK tries x.spr.sdt, then x.sdt.
  void NameDataFiles(const HeldFile& image,
                     const std::function<void(const std::string&)>& hold) const override {
    const std::string header = image.Header();
    const std::size_t at = header.find("stimFileName:");
    if (at != std::string::npos) {
      const std::size_t lineEnd = header.find('\n', at);
      hold(BesideHeader(image, Trimmed(header.substr(at + 13, lineEnd - at - 13))));
      return;
    }
    const std::string& path = image.Path();
    struct stat status {};
    const std::string appended = path + ".sdt";
    hold(stat(appended.c_str(), &status) == 0
             ? appended
             : path.substr(0, path.size() < 3 ? 0 : path.size() - 3) + "sdt");
  }

  // ITK's reader takes numDim and dim with sscanf and keeps whatever its variables held when a
  // number is missing: an arbitrary size or number of dimensions. The lines are matched as it
  // matches them.
  bool Damaged(const std::vector<HeldFile>& files) const override {
    std::istringstream lines(files.front().Header());
    unsigned dimensions = 4;
    for (std::string line; std::getline(lines, line);) {
      unsigned values[4] = {};
      if (line.find("numDim") != std::string::npos) {
        if (std::sscanf(line.c_str(), "%*s %u", values) != 1 || values[0] < 1 || values[0] > 4) {
          return true;
        }
        dimensions = values[0];
      } else if (line.find("dim") != std::string::npos) {
        const int found = std::sscanf(line.c_str(), "%*s %u %u %u %u", values, values + 1,
                                      values + 2, values + 3);
        if (found < static_cast<int>(dimensions)) return true;
      }
    }
    return false;
  }
};

// ---- Bio-Rad ----

// Cut inside its 76-byte header, ITK's reader would look for the notes after the pixels forever.
class BioRadRules : public FormatRules {
 public:
  bool Damaged(const std::vector<HeldFile>& files) const override {
    return files.front().Size() < 76;
  }
};

// ---- TIFF and LSM ----

// libtiff reads the held file through these, from where it last sought.
struct TiffCursor {
  const HeldFile& file;
  toff_t at = 0;
};

tmsize_t ReadTiff(thandle_t cursor, void* buffer, tmsize_t size) {
  auto& held = *static_cast<TiffCursor*>(cursor);
  const ssize_t read = pread(held.file.Descriptor(), buffer, static_cast<std::size_t>(size),
                             static_cast<off_t>(held.at));
  held.at += static_cast<toff_t>(std::max<ssize_t>(read, 0));
  return read;
}

toff_t SeekTiff(thandle_t cursor, toff_t offset, int whence) {
  auto& held = *static_cast<TiffCursor*>(cursor);
  const toff_t from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? held.at : held.file.Size();
  return held.at = from + offset;
}

toff_t TiffSize(thandle_t cursor) { return static_cast<TiffCursor*>(cursor)->file.Size(); }

// libtiff reads a directory cut short with a warning, dropping the tags it cannot read, and
// stops inflating a Deflate strip or tile once it has its pixels, before the stream's
// checksum: each one is inflated here to its end. The first directory is the one read.
class TiffRules : public FormatRules {
 public:
  bool Damaged(const std::vector<HeldFile>& files) const override {
    TiffCursor cursor{files.front()};
    const std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(
        TIFFClientOpen(
            files.front().Path().c_str(), "rm", &cursor, ReadTiff,
            [](thandle_t, void*, tmsize_t) -> tmsize_t { return -1; }, SeekTiff,
            [](thandle_t) { return 0; }, TiffSize, [](thandle_t, void**, toff_t*) { return 0; },
            [](thandle_t, void*, toff_t) {}),
        TIFFClose);
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint64_t* offsets = nullptr;
    std::uint64_t* lengths = nullptr;
    if (!tiff || !TIFFGetField(tiff.get(), TIFFTAG_COMPRESSION, &compression) ||
        (compression != COMPRESSION_ADOBE_DEFLATE && compression != COMPRESSION_DEFLATE) ||
        !TIFFGetField(tiff.get(), TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(tiff.get(), TIFFTAG_STRIPBYTECOUNTS, &lengths)) {
      return false;
    }
    const std::uint32_t blocks =
        TIFFIsTiled(tiff.get()) ? TIFFNumberOfTiles(tiff.get()) : TIFFNumberOfStrips(tiff.get());
    // Strips that share their data, as some writers make blank ones, are inflated once.
    std::set<std::uint64_t> inflated;
    for (std::uint32_t i = 0; i < blocks; ++i) {
      if (inflated.insert(offsets[i]).second &&
          !InflateToEnd(files.front(), offsets[i], DeflateWrapping::kZlibOrGzip, lengths[i])) {
        return true;
      }
    }
    return false;
  }

  // ITK's reader writes nothing for some 32-bit integer samples; only 8- and 16-bit ones are
  // known always to be written.
  bool MayLeavePixelsUnwritten(const itk::ImageIOBase& io,
                               const std::vector<HeldFile>&) const override {
    return io.GetComponentSize() > 2;
  }
};

// ---- JPEG ----

// The JPEG library fills the rows after an early end with grey. Entropy-coded data holds no
// marker but a restart (0xFF is followed there by a stuffed 0x00 or RST0 to RST7), so a file
// that is whole has an end-of-image marker after its last start-of-scan marker; one cut short
// has neither after its last scan's data. The file is searched from its end.
class JpegRules : public FormatRules {
 public:
  bool Damaged(const std::vector<HeldFile>& files) const override {
    constexpr char kEndOfImage = '\xD9';
    constexpr char kStartOfScan = '\xDA';
    constexpr std::uint64_t kChunk = 64 * 1024;
    const HeldFile& file = files.front();
    for (std::uint64_t end = file.Size(); end > 0;) {
      const std::uint64_t start = end - std::min(end, kChunk);
      const std::string chunk = file.Bytes(start, static_cast<std::size_t>(end - start + 1));
      for (std::size_t i = chunk.size() - 1; i-- > 0;) {
        if (chunk[i] == '\xFF' && (chunk[i + 1] == kEndOfImage || chunk[i + 1] == kStartOfScan)) {
          return chunk[i + 1] == kStartOfScan;
        }
      }
      end = start;
    }
    return true;
  }
};

// ---- DICOM ----

// The data set follows the file meta group, which is always explicit VR little endian, after a
// 128-byte preamble and "DICM"; its transfer syntax says how the rest is stored.
class DicomRules : public FormatRules {
 public:
  bool Damaged(const std::vector<HeldFile>& files) const override {
    const HeldFile& file = files.front();
    const std::string meta = file.Bytes(128, 16);
    if (meta.compare(0, 8, std::string("DICM\x02\0\0\0", 8)) != 0) return false;
    const std::uint64_t dataSet = 144 + Number(meta, 12, 4);
    const std::string group = file.Bytes(144, std::min<std::size_t>(dataSet - 144, 1 << 16));
    // A deflated data set cut short can keep GDCM inflating for ever.
    if (group.find("1.2.840.10008.1.2.1.99") != std::string::npos) {
      return !InflateToEnd(file, dataSet, DeflateWrapping::kBare);
    }
    if (group.find("1.2.840.10008.1.2.2") != std::string::npos) return false;  // big endian
    const bool implicitVr = group.find(std::string("1.2.840.10008.1.2\0", 18)) != std::string::npos;
    return LengthPassesEnd(file, dataSet, implicitVr);
  }

 private:
  // A value length past the end of the file makes GDCM allocate and read gigabytes for seconds
  // before it fails. The top-level elements are walked up to the first of undefined length.
  static bool LengthPassesEnd(const HeldFile& file, std::uint64_t at, bool implicitVr) {
    while (at + 8 <= file.Size()) {
      const std::string element = file.Bytes(at, 12);
      const std::string vr = element.substr(4, 2);
      const bool longForm = implicitVr || vr == "OB" || vr == "OD" || vr == "OF" || vr == "OL" ||
                            vr == "OV" || vr == "OW" || vr == "SQ" || vr == "UC" || vr == "UN" ||
                            vr == "UR" || vr == "UT";
      const std::uint64_t length = implicitVr ? Number(element, 4, 4)
                                   : longForm ? Number(element, 8, 4)
                                              : Number(element, 6, 2);
      if (length == 0xFFFFFFFF) return false;
      at += (longForm && !implicitVr ? 12 : 8) + length;
      if (at > file.Size()) return true;
    }
    return false;
  }
};

// ---- BMP ----

// Uncompressed rows of bitsPerPixel each, padded to four bytes; run-length encoded ones that end
// early leave the rest of ITK's buffer as it was.
class BmpRules : public FormatRules {
 public:
  std::string MissingPixels(const itk::ImageIOBase& io,
                            const std::vector<HeldFile>& files) const override {
    const std::string header = files.front().Bytes(0, 54);
    if (Number(header, 30, 4) != 0) return "";
    const std::uint64_t width = Number(header, 18, 4);
    const auto height = static_cast<std::int32_t>(Number(header, 22, 4));
    const std::uint64_t rowBytes = (SaturatingProduct(width, Number(header, 28, 2)) + 31) / 32 * 4;
    return EndsBefore(io, files, files.front(), Number(header, 10, 4),
                      SaturatingProduct(rowBytes, height < 0 ? -std::int64_t{height} : height));
  }
  bool MayLeavePixelsUnwritten(const itk::ImageIOBase&,
                               const std::vector<HeldFile>& files) const override {
    return Number(files.front().Bytes(30, 4), 0, 4) != 0;
  }
};

// ---- VTK ----

// Binary pixels follow the header. ITK's reader of ASCII ones repeats the last value it read
// for every number missing or that it cannot read, "nan" among them.
class VtkRules : public FormatRules {
 public:
  std::string MissingPixels(const itk::ImageIOBase& io,
                            const std::vector<HeldFile>& files) const override {
    const auto& vtk = dynamic_cast<const itk::VTKImageIO&>(io);
    if (vtk.GetFileType() != itk::IOFileEnum::ASCII) {
      return EndsBefore(io, files, files.front(), vtk.GetHeaderSize(), io.GetImageSizeInBytes());
    }
    const HeldFile& file = files.front();
    const std::uint64_t headerSize = vtk.GetHeaderSize();
    const std::string text = file.Bytes(
        headerSize, static_cast<std::size_t>(file.Size() - std::min(file.Size(), headerSize)));
    const char* at = text.c_str();
    for (auto samples = io.GetImageSizeInComponents(); samples > 0; --samples) {
      char* end = nullptr;
      const double value = std::strtod(at, &end);
      if (end == at || !std::isfinite(value) ||
          !(*end == '\0' || std::isspace(static_cast<unsigned char>(*end)))) {
        return kUndecodableImage;
      }
      at = end;
    }
    return "";
  }
};

// ---- GIPL ----

class GiplRules : public FormatRules {
 public:
  std::string MissingPixels(const itk::ImageIOBase& io,
                            const std::vector<HeldFile>& files) const override {
    return EndsBefore(io, files, files.front(), 256, io.GetImageSizeInBytes());
  }
};

}  // namespace

const FormatRules& RulesFor(const char* imageIOName) {
  static const FormatRules none;
  static const auto tiff = std::make_shared<TiffRules>();
  static const std::map<std::string, std::shared_ptr<const FormatRules>> rules = {
      {"MetaImageIO", std::make_shared<MetaImageRules>()},
      {"NrrdImageIO", std::make_shared<NrrdRules>()},
      {"NiftiImageIO", std::make_shared<NiftiRules>()},
      {"StimulateImageIO", std::make_shared<StimulateRules>()},
      {"BioRadImageIO", std::make_shared<BioRadRules>()},
      {"TIFFImageIO", tiff},
      {"LSMImageIO", tiff},
      {"JPEGImageIO", std::make_shared<JpegRules>()},
      {"GDCMImageIO", std::make_shared<DicomRules>()},
      {"BMPImageIO", std::make_shared<BmpRules>()},
      {"VTKImageIO", std::make_shared<VtkRules>()},
      {"GiplImageIO", std::make_shared<GiplRules>()}};
  const auto found = rules.find(imageIOName);
  return found == rules.end() ? none : *found->second;
}

std::string DescribeSize(const itk::ImageIOBase& io) {
  std::ostringstream text;
  for (unsigned i = 0; i < io.GetNumberOfDimensions(); ++i) {
    text << (i == 0 ? "" : " x ") << io.GetDimensions(i);
  }
  return text.str();
}

const FormatRules* RulesBySignature(const HeldFile& file) {
  const std::string start = file.Bytes(0, 132);
  if (start.compare(0, 2, "\xFF\xD8") == 0) return &RulesFor("JPEGImageIO");
  if (start.size() == 132 && start.compare(128, 4, "DICM") == 0) return &RulesFor("GDCMImageIO");
  return nullptr;
}
