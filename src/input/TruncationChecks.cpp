#include "TruncationChecks.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "HeaderNamedFiles.h"
#include "SaturatingArithmetic.h"
#include "gdcmTrace.h"
#include "itkVTKImageIO.h"

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kStartOfScan = 0xDA;
constexpr std::uint64_t kBioRadHeaderBytes = 76;
constexpr std::size_t kChunkBytes = 64 * 1024;

bool IsStandaloneMarker(unsigned char code) {
  return code == 0x01 || (code >= 0xD0 && code <= 0xD7);
}

std::uint64_t Little(const std::string& bytes, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width && at + i < bytes.size(); ++i) {
    value |= std::uint64_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  }
  return value;
}

std::uint64_t Big(const std::string& bytes, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width && at + i < bytes.size(); ++i) {
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

bool EndsWithNoCase(const std::string& text, const std::string& end) {
  if (text.size() < end.size()) return false;
  for (std::size_t i = 0; i < end.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[text.size() - end.size() + i]);
    if (std::tolower(c) != end[i]) return false;
  }
  return true;
}

std::uint64_t FileSize(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

// A NIfTI-1 or Analyze header, in either byte order: where the pixels start (vox_offset) and
// how many bits each takes (bitpix), which with a scaling differ from what ITK reports.
bool ReadAnalyzeLayout(const std::string& header, std::uint64_t& offset,
                       std::uint64_t& bitsPerPixel) {
  const bool little = Little(header, 0, 4) == 348;
  if (!little && Big(header, 0, 4) != 348) return false;
  auto field = [&](std::size_t at, std::size_t width) {
    return little ? Little(header, at, width) : Big(header, at, width);
  };
  float voxOffset = 0;
  const auto raw = static_cast<std::uint32_t>(field(108, 4));
  std::memcpy(&voxOffset, &raw, sizeof voxOffset);
  if (!(voxOffset >= 0 && voxOffset < 1e15F)) return false;
  offset = static_cast<std::uint64_t>(voxOffset);
  bitsPerPixel = field(72, 2);
  return bitsPerPixel != 0;
}

// Which file holds the pixels, where they start in it and how many bytes they take, for the
// formats that store them raw; false for anything else (compressed data, a list of files,
// other formats).
bool FindRawPixelData(const itk::ImageIOBase& io, const std::vector<std::string>& files,
                      const std::string& header, std::string& dataFile, std::uint64_t& offset,
                      std::uint64_t& bytes) {
  const std::string& path = files.front();
  const std::string format = io.GetNameOfClass();
  dataFile = path;
  std::uint64_t pixels = 1;
  for (unsigned i = 0; i < io.GetNumberOfDimensions(); ++i) {
    pixels = SaturatingProduct(pixels, io.GetDimensions(i));
  }
  bytes = SaturatingProduct(pixels, io.GetComponentSize() * io.GetNumberOfComponents());
  if (format == "MetaImageIO") {
    // ElementDataFile is the header's last field: LOCAL data follows it at once; otherwise it
    // names the data file, beside the header unless the name is absolute.
    const std::size_t field = header.find("ElementDataFile");
    const std::size_t lineEnd = header.find('\n', field);
    if (field == std::string::npos || lineEnd == std::string::npos) return false;
    if (HeaderField(header, "CompressedData", '=', field) == "True") return false;
    const std::string data = HeaderField(header, "ElementDataFile", '=', lineEnd);
    if (data == "LOCAL") {
      offset = lineEnd + 1;
      return true;
    }
    if (files.size() != 2 || data.find_first_of(" \t%") != std::string::npos) return false;
    dataFile = files[1];
    const std::string skipped = HeaderField(header, "HeaderSize", '=', field);
    offset = skipped.empty() || skipped[0] == '-' ? 0 : std::strtoull(skipped.c_str(), nullptr, 10);
    return true;
  }
  if (format == "NiftiImageIO") {
    std::uint64_t bitsPerPixel = 0;
    if (!ReadAnalyzeLayout(header, offset, bitsPerPixel)) return false;
    bytes = SaturatingProduct(pixels, bitsPerPixel) / 8;
    if (EndsWithNoCase(path, ".nii")) return offset >= 348;
    if (files.size() != 2 || EndsWithNoCase(files[1], ".gz")) return false;
    if (EndsWithNoCase(path, ".hdr")) dataFile = files[1];
    return true;
  }
  if (format == "GiplImageIO") {
    if (EndsWithNoCase(path, ".gz")) return false;
    offset = 256;
    return true;
  }
  if (format == "VTKImageIO") {
    const auto& vtk = dynamic_cast<const itk::VTKImageIO&>(io);
    if (vtk.GetFileType() == itk::IOFileEnum::ASCII) return false;
    offset = vtk.GetHeaderSize();
    return true;
  }
  if (format == "BMPImageIO") {
    // Uncompressed rows of bitsPerPixel each, padded to four bytes.
    if (Little(header, 30, 4) != 0) return false;
    offset = Little(header, 10, 4);
    const std::uint64_t width = Little(header, 18, 4);
    const auto height = static_cast<std::int32_t>(Little(header, 22, 4));
    const std::uint64_t rowBytes = (SaturatingProduct(width, Little(header, 28, 2)) + 31) / 32 * 4;
    bytes = SaturatingProduct(rowBytes, height < 0 ? -std::int64_t{height} : height);
    return true;
  }
  return false;
}

}  // namespace

std::string FindShortRawPixelData(const itk::ImageIOBase& io,
                                  const std::vector<std::string>& files) {
  const std::string header = ReadHeaderBytes(files.front());
  std::string dataFile;
  std::uint64_t offset = 0;
  std::uint64_t bytes = 0;
  if (!FindRawPixelData(io, files, header, dataFile, offset, bytes)) return "";
  return FileSize(dataFile) < SaturatingSum(offset, bytes) ? dataFile : "";
}

// Reads whole-number fields of a classic TIFF file in its byte order, past the end as 0.
class TiffFields {
 public:
  explicit TiffFields(const std::string& path) : file_(path, std::ios::binary) {
    char order[2] = {};
    file_.read(order, 2);
    little_ = order[0] == 'I';
  }

  std::uint64_t At(std::uint64_t offset, std::size_t width) {
    unsigned char bytes[4] = {};
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(offset));
    file_.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(width));
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      value |= std::uint64_t{bytes[little_ ? i : width - 1 - i]} << (8 * i);
    }
    return value;
  }

 private:
  std::ifstream file_;
  bool little_ = true;
};

bool BioRadHeaderIsCut(const std::string& path) { return FileSize(path) < kBioRadHeaderBytes; }

// ITK's reader takes these fields with sscanf and keeps whatever its variables held when a
// number is missing; the lines are matched as it matches them.
bool StimulateHeaderIsDamaged(const std::string& path) {
  std::istringstream lines(ReadHeaderBytes(path));
  unsigned dimensions = 4;
  for (std::string line; std::getline(lines, line);) {
    unsigned values[4] = {};
    if (line.find("numDim") != std::string::npos) {
      if (std::sscanf(line.c_str(), "%*s %u", values) != 1 || values[0] < 1 || values[0] > 4) {
        return true;
      }
      dimensions = values[0];
    } else if (line.find("dim") != std::string::npos) {
      const int found =
          std::sscanf(line.c_str(), "%*s %u %u %u %u", values, values + 1, values + 2, values + 3);
      if (found < static_cast<int>(dimensions)) return true;
    }
  }
  return false;
}

bool TiffDataIsCut(const std::string& path) {
  constexpr std::uint64_t kTypeBytes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  constexpr unsigned kStripOffsets = 273, kStripByteCounts = 279;
  constexpr unsigned kTileOffsets = 324, kTileByteCounts = 325;
  const std::uint64_t size = FileSize(path);
  TiffFields tiff(path);
  if (tiff.At(2, 2) != 42) return false;  // BigTIFF is left to libtiff
  const std::uint64_t directory = tiff.At(4, 4);
  const std::uint64_t entries = tiff.At(directory, 2);
  if (directory + 2 + entries * 12 > size) return true;

  // Where each entry's values lie, and the data blocks the offset and count arrays give.
  std::uint64_t offsets[2] = {};  // value positions of the strip or tile offsets and counts
  std::uint64_t blocks = 0;
  std::uint64_t arrayWidth[2] = {};
  for (std::uint64_t i = 0; i < entries; ++i) {
    const std::uint64_t entry = directory + 2 + i * 12;
    const auto tag = static_cast<unsigned>(tiff.At(entry, 2));
    const std::uint64_t type = tiff.At(entry + 2, 2);
    const std::uint64_t count = tiff.At(entry + 4, 4);
    const std::uint64_t bytes = SaturatingProduct(type < 14 ? kTypeBytes[type] : 0, count);
    const std::uint64_t values = bytes <= 4 ? entry + 8 : tiff.At(entry + 8, 4);
    if (SaturatingSum(values, bytes) > size) return true;
    const int which = tag == kStripOffsets || tag == kTileOffsets         ? 0
                      : tag == kStripByteCounts || tag == kTileByteCounts ? 1
                                                                          : -1;
    if (which >= 0 && (type == 3 || type == 4)) {
      offsets[which] = values;
      arrayWidth[which] = kTypeBytes[type];
      blocks = count;
    }
  }
  if (arrayWidth[0] == 0 || arrayWidth[1] == 0) return false;
  for (std::uint64_t i = 0; i < blocks && i < 1000000; ++i) {
    const std::uint64_t start = tiff.At(offsets[0] + i * arrayWidth[0], arrayWidth[0]);
    const std::uint64_t length = tiff.At(offsets[1] + i * arrayWidth[1], arrayWidth[1]);
    if (SaturatingSum(start, length) > size) return true;
  }
  return false;
}

// Walks the marker segments, stepping over each by its length and over entropy-coded data to
// the next marker (inside it, 0xFF is followed only by a stuffed 0x00 or a restart marker),
// until the end-of-image marker or the end of the file.
bool JpegEndIsMissing(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<char> chunk(kChunkBytes);
  std::size_t available = 0;
  std::size_t next = 0;
  // The next byte, or -1 at the end of the file.
  auto get = [&]() -> int {
    if (next == available) {
      file.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      available = static_cast<std::size_t>(file.gcount());
      next = 0;
      if (available == 0) return -1;
    }
    return static_cast<unsigned char>(chunk[next++]);
  };
  auto skip = [&](std::size_t count) {
    for (; count > 0; --count) {
      if (get() < 0) return false;
    }
    return true;
  };
  if (get() != kMarker || get() != kStartOfImage) return false;

  int byte = get();
  while (byte >= 0) {
    if (byte != kMarker) {  // stray bytes, and entropy-coded data, which the decoder skips
      byte = get();
      continue;
    }
    int code = get();
    while (code == kMarker) code = get();  // fill bytes
    if (code < 0) break;
    if (code == 0 || IsStandaloneMarker(static_cast<unsigned char>(code))) {
      byte = get();
      continue;
    }
    if (code == kEndOfImage) return false;
    const int high = get();
    const int low = get();
    if (low < 0) break;
    const std::size_t length = static_cast<std::size_t>(high) << 8 | static_cast<std::size_t>(low);
    if (length < 2 || !skip(length - 2)) break;
    byte = get();
  }
  return true;
}

bool HasJpegOrDicomSignature(const char* path) {
  constexpr std::size_t kDicomPreambleBytes = 128;
  std::ifstream file(path, std::ios::binary);
  char start[kDicomPreambleBytes + 4] = {};
  file.read(start, sizeof start);
  const auto read = static_cast<std::size_t>(file.gcount());
  const bool jpeg = read >= 2 && static_cast<unsigned char>(start[0]) == kMarker &&
                    static_cast<unsigned char>(start[1]) == kStartOfImage;
  const bool dicom =
      read == sizeof start && std::memcmp(start + kDicomPreambleBytes, "DICM", 4) == 0;
  return jpeg || dicom;
}

bool CompressedStreamIsDamaged(const std::string& path, std::uint64_t offset) {
  std::ifstream file(path, std::ios::binary);
  file.seekg(static_cast<std::streamoff>(offset));
  std::vector<unsigned char> input(kChunkBytes);
  std::vector<unsigned char> output(kChunkBytes);
  // Keeps at least two bytes in view when the file has them, to see whether another gzip
  // member follows one that ended.
  auto refill = [&](z_stream& stream) {
    std::memmove(input.data(), stream.next_in, stream.avail_in);
    file.read(reinterpret_cast<char*>(input.data()) + stream.avail_in,
              static_cast<std::streamsize>(input.size() - stream.avail_in));
    stream.next_in = input.data();
    stream.avail_in += static_cast<uInt>(file.gcount());
  };
  z_stream stream{};
  if (inflateInit2(&stream, 32 + MAX_WBITS) != Z_OK) return true;  // zlib or gzip, as found
  stream.next_in = input.data();
  bool damaged = true;
  while (true) {
    if (stream.avail_in < 2) refill(stream);
    if (stream.avail_in == 0) break;  // the stream ends before its checksum
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    const int result = inflate(&stream, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      // Readers go on into a following gzip member and ignore other bytes after one.
      if (stream.avail_in < 2) refill(stream);
      if (stream.avail_in < 2 || stream.next_in[0] != 0x1F || stream.next_in[1] != 0x8B) {
        damaged = false;
        break;
      }
      inflateReset(&stream);
    } else if (result != Z_OK && result != Z_BUF_ERROR) {
      break;
    } else if (result == Z_BUF_ERROR && file.eof() && stream.avail_in == 0) {
      break;
    }
  }
  inflateEnd(&stream);
  return damaged;
}

bool AsciiVtkDataIsShort(const itk::ImageIOBase& io, const char* path) {
  const auto* vtk = dynamic_cast<const itk::VTKImageIO*>(&io);
  if (vtk == nullptr || vtk->GetFileType() != itk::IOFileEnum::ASCII) return false;
  std::ifstream file(path);
  file.seekg(static_cast<std::streamoff>(vtk->GetHeaderSize()));
  const auto samples = static_cast<std::uint64_t>(io.GetImageSizeInComponents());
  std::string token;
  for (std::uint64_t i = 0; i < samples; ++i) {
    if (!(file >> token)) return true;
    char* end = nullptr;
    std::strtod(token.c_str(), &end);
    if (end == token.c_str() || *end != '\0') return true;
  }
  return false;
}

DicomWarningCapture::DicomWarningCapture()
    : warnings_(std::make_unique<std::ostringstream>()),
      previous_(&gdcm::Trace::GetWarningStream()) {
  gdcm::Trace::SetWarningStream(*warnings_);
}

DicomWarningCapture::~DicomWarningCapture() { gdcm::Trace::SetWarningStream(*previous_); }

bool DicomWarningCapture::SawIncompletePixelData() const {
  const std::string warnings = warnings_->str();
  for (const char* sign : {"Incomplete Pixel Data", "Fragment could not be read",
                           "Pixel Data Fragment could be corrupted"}) {
    if (warnings.find(sign) != std::string::npos) return true;
  }
  return false;
}
