#include "TruncationChecks.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "MemoryBudget.h"
#include "gdcmTrace.h"
#include "itkVTKImageIO.h"

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kStartOfScan = 0xDA;

bool IsStandaloneMarker(unsigned char code) {
  return code == 0x01 || (code >= 0xD0 && code <= 0xD7);
}

constexpr std::size_t kHeaderBytesRead = 64 * 1024;

std::uint64_t Little(const std::string& bytes, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width && at + i < bytes.size(); ++i) {
    value |= std::uint64_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  }
  return value;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The folder part of path with its final slash, or an empty text for a bare file name.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The value of a MetaImage header field, or an empty text when the header before limit lacks it.
std::string MetaField(const std::string& header, const std::string& name, std::size_t limit) {
  for (std::size_t at = header.find(name); at < limit; at = header.find(name, at + 1)) {
    if (at != 0 && header[at - 1] != '\n') continue;
    const std::size_t equals = header.find('=', at);
    const std::size_t lineEnd = header.find('\n', at);
    if (equals < lineEnd && Trimmed(header.substr(at, equals - at)) == name) {
      return Trimmed(header.substr(equals + 1, lineEnd - equals - 1));
    }
  }
  return "";
}

// Which file holds the pixels, where they start in it and how many bytes they take, for the
// formats that store them raw; false for anything else (compressed data, a list of files,
// other formats).
bool FindRawPixelData(const itk::ImageIOBase& io, const std::string& path,
                      const std::string& header, std::string& dataFile, std::uint64_t& offset,
                      std::uint64_t& bytes) {
  const std::string format = io.GetNameOfClass();
  dataFile = path;
  bytes = io.GetComponentSize() * io.GetNumberOfComponents();
  for (unsigned i = 0; i < io.GetNumberOfDimensions(); ++i) {
    bytes = SaturatingProduct(bytes, io.GetDimensions(i));
  }
  if (format == "MetaImageIO") {
    // ElementDataFile is the header's last field: LOCAL data follows it at once; otherwise it
    // names the data file, beside the header unless the name is absolute.
    const std::size_t field = header.find("ElementDataFile");
    const std::size_t lineEnd = header.find('\n', field);
    if (field == std::string::npos || lineEnd == std::string::npos) return false;
    if (MetaField(header, "CompressedData", field) == "True") return false;
    const std::string data = MetaField(header, "ElementDataFile", lineEnd);
    if (data == "LOCAL") {
      offset = lineEnd + 1;
      return true;
    }
    if (data.empty() || data == "LIST" || data.find_first_of(" \t%") != std::string::npos) {
      return false;
    }
    dataFile = data[0] == '/' ? data : FolderOf(path) + data;
    const std::string skipped = MetaField(header, "HeaderSize", field);
    offset = skipped.empty() || skipped[0] == '-' ? 0 : std::strtoull(skipped.c_str(), nullptr, 10);
    return true;
  }
  if (format == "NiftiImageIO") {
    // A single .nii file: sizeof_hdr is 348 and vox_offset, a float, says where data starts.
    if (!EndsWith(path, ".nii") || Little(header, 0, 4) != 348) return false;
    float voxOffset = 0;
    const auto raw = static_cast<std::uint32_t>(Little(header, 108, 4));
    std::memcpy(&voxOffset, &raw, sizeof voxOffset);
    if (!(voxOffset >= 348)) return false;
    offset = static_cast<std::uint64_t>(voxOffset);
    return true;
  }
  if (format == "GiplImageIO") {
    if (EndsWith(path, ".gz")) return false;
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

std::string FindShortRawPixelData(const itk::ImageIOBase& io, const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::string header(kHeaderBytesRead, '\0');
  file.read(&header[0], static_cast<std::streamsize>(header.size()));
  header.resize(static_cast<std::size_t>(file.gcount()));
  std::string dataFile;
  std::uint64_t offset = 0;
  std::uint64_t bytes = 0;
  if (!FindRawPixelData(io, path, header, dataFile, offset, bytes)) return "";
  struct stat status {};
  // A data file that is missing is the reader's to report.
  const bool isShort = stat(dataFile.c_str(), &status) == 0 &&
                       static_cast<std::uint64_t>(status.st_size) < SaturatingSum(offset, bytes);
  return isShort ? dataFile : "";
}

// Walks the marker segments, stepping over each by its length and over entropy-coded data to
// the next marker (inside it, 0xFF is followed only by a stuffed 0x00 or a restart marker),
// until the end-of-image marker or the end of the file.
bool JpegEndIsMissing(const char* path) {
  std::ifstream file(path, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data[i]); };
  const std::size_t size = data.size();
  if (size < 2 || byte(0) != kMarker || byte(1) != kStartOfImage) return false;

  std::size_t i = 2;
  while (i + 1 < size) {
    if (byte(i) != kMarker) {  // stray bytes, which the decoder skips as well
      ++i;
      continue;
    }
    while (i + 1 < size && byte(i + 1) == kMarker) ++i;  // fill bytes
    if (i + 1 >= size) break;
    const unsigned char code = byte(i + 1);
    i += 2;
    if (code == kEndOfImage) return false;
    if (IsStandaloneMarker(code)) continue;
    if (i + 1 >= size) break;
    i += (std::size_t{byte(i)} << 8) | byte(i + 1);
    if (code == kStartOfScan) {
      while (i + 1 < size &&
             !(byte(i) == kMarker && byte(i + 1) != 0 && !IsStandaloneMarker(byte(i + 1)))) {
        ++i;
      }
    }
  }
  return true;
}

DicomWarningCapture::DicomWarningCapture()
    : warnings_(std::make_unique<std::ostringstream>()),
      previous_(&gdcm::Trace::GetWarningStream()) {
  gdcm::Trace::SetWarningStream(*warnings_);
}

DicomWarningCapture::~DicomWarningCapture() { gdcm::Trace::SetWarningStream(*previous_); }

bool DicomWarningCapture::SawIncompletePixelData() const {
  return warnings_->str().find("Incomplete Pixel Data") != std::string::npos;
}
