#include "HeaderNamedFiles.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "PathParts.h"

namespace {

constexpr std::size_t kHeaderBytesRead = 64 * 1024;

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Without opening it: opening a FIFO blocks.
bool Exists(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0;
}

// One printf conversion of a whole number, as in "slice%03d.raw", and nothing printf could
// misread as a pointer or a text.
bool IsNumberPattern(const std::string& format) {
  int conversions = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (i + 1 < format.size() && format[i + 1] == '%') {
      ++i;
      continue;
    }
    std::size_t end = format.find_first_not_of("0123456789-+ #", i + 1);
    if (end == std::string::npos || (format[end] != 'd' && format[end] != 'i')) return false;
    if (end - i > 6) return false;
    ++conversions;
    i = end;
  }
  return conversions == 1;
}

std::string BesideHeader(const std::string& path, const std::string& name) {
  return name.empty() || name[0] == '/' ? name : FolderOf(path) + name;
}

// A numbered pattern "format first last [step]": the names printf gives for each number.
std::vector<std::string> PatternFiles(const std::string& path, const std::string& value) {
  std::istringstream fields(value);
  std::string format;
  int first = 0;
  int last = 0;
  int step = 1;
  fields >> format >> first >> last;
  if (!IsNumberPattern(format)) return {BesideHeader(path, format)};
  if (!(fields >> step) || step == 0) step = 1;
  std::vector<std::string> names;
  for (long i = first; (step > 0 ? i <= last : i >= last) && names.size() < 100000; i += step) {
    char name[4096];
    std::snprintf(name, sizeof name, format.c_str(), static_cast<int>(i));
    names.push_back(BesideHeader(path, name));
  }
  return names;
}

// The names on the lines after the one at lineEnd, for the LIST forms.
std::vector<std::string> ListedFiles(const std::string& path, const std::string& header,
                                     std::size_t lineEnd) {
  std::vector<std::string> names;
  std::istringstream lines(lineEnd == std::string::npos ? "" : header.substr(lineEnd + 1));
  for (std::string line; std::getline(lines, line);) {
    if (!Trimmed(line).empty()) names.push_back(BesideHeader(path, Trimmed(line)));
  }
  return names;
}

std::vector<std::string> NamedDataFiles(const std::string& path, const std::string& header,
                                        const std::string& value, std::size_t valueLineEnd) {
  if (value.compare(0, 4, "LIST") == 0) return ListedFiles(path, header, valueLineEnd);
  if (value.find('%') != std::string::npos) return PatternFiles(path, value);
  return {BesideHeader(path, value)};
}

std::vector<std::string> MetaImageFiles(const std::string& path) {
  const std::string header = ReadHeaderBytes(path);
  const std::string value = HeaderField(header, "ElementDataFile", '=');
  if (value.empty() || value == "LOCAL") return {};
  return NamedDataFiles(path, header, value, header.find('\n', header.find("ElementDataFile")));
}

std::vector<std::string> NrrdFiles(const std::string& path) {
  const std::string header = ReadHeaderBytes(path);
  for (const char* name : {"data file", "datafile"}) {
    const std::string value = HeaderField(header, name, ':');
    if (!value.empty()) {
      return NamedDataFiles(path, header, value, header.find('\n', header.find(name)));
    }
  }
  return {};
}

// ITK reads a pair given either name: the header x.hdr and the pixels x.img (or x.img.gz).
std::vector<std::string> AnalyzePairFiles(const std::string& path) {
  std::string stem = path;
  std::string suffix;
  for (const char* end : {".hdr", ".img", ".hdr.gz", ".img.gz"}) {
    const std::size_t length = std::char_traits<char>::length(end);
    if (stem.size() > length && Lowered(stem.substr(stem.size() - length)) == end) {
      suffix = stem.substr(stem.size() - length);
      stem.erase(stem.size() - length);
      break;
    }
  }
  if (suffix.empty()) return {};
  const bool upper = suffix[1] == 'H' || suffix[1] == 'I';
  const std::string header = stem + (upper ? ".HDR" : ".hdr");
  const std::string image = stem + (upper ? ".IMG" : ".img");
  const std::string other = Lowered(suffix).compare(0, 4, ".hdr") == 0 ? image : header;
  return {Exists(other) || !Exists(other + ".gz") ? other : other + ".gz"};
}

std::vector<std::string> StimulateFiles(const std::string& path) {
  const std::string header = ReadHeaderBytes(path);
  const std::size_t at = header.find("stimFileName:");
  if (at != std::string::npos) {
    const std::size_t lineEnd = header.find('\n', at);
    const std::string name = Trimmed(header.substr(at + 13, lineEnd - at - 13));
    return {BesideHeader(path, name)};
  }
  // Without the field, ITK tries x.spr.sdt, then x.sdt.
  const std::string appended = path + ".sdt";
  if (Exists(appended)) return {appended};
  return {path.substr(0, path.size() < 3 ? 0 : path.size() - 3) + "sdt"};
}

}  // namespace

std::string HeaderField(const std::string& header, const std::string& name, char separator,
                        std::size_t limit) {
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

std::string ReadHeaderBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string header(kHeaderBytesRead, '\0');
  file.read(&header[0], static_cast<std::streamsize>(header.size()));
  header.resize(static_cast<std::size_t>(file.gcount()));
  return header;
}

std::vector<std::string> FilesNamedByHeader(const std::string& format, const std::string& path) {
  if (format == "MetaImageIO") return MetaImageFiles(path);
  if (format == "NrrdImageIO") return NrrdFiles(path);
  if (format == "NiftiImageIO") return AnalyzePairFiles(path);
  if (format == "StimulateImageIO") return StimulateFiles(path);
  return {};
}

std::vector<CompressedStream> FindCompressedStreams(const std::string& format,
                                                    const std::vector<std::string>& files) {
  std::vector<CompressedStream> streams;
  for (const std::string& file : files) {
    char magic[2] = {};
    std::ifstream(file, std::ios::binary).read(magic, sizeof magic);
    if (magic[0] == '\x1F' && magic[1] == '\x8B') streams.push_back({file, 0});
  }
  const std::string& path = files.front();
  const std::string header = ReadHeaderBytes(path);
  if (format == "MetaImageIO" && Lowered(HeaderField(header, "CompressedData", '=')) == "true") {
    const std::size_t field = header.find("ElementDataFile");
    const std::size_t lineEnd = header.find('\n', field);
    if (HeaderField(header, "ElementDataFile", '=') == "LOCAL" && lineEnd != std::string::npos) {
      streams.push_back({path, lineEnd + 1});
    } else if (files.size() == 2 && streams.empty()) {
      streams.push_back({files[1], 0});
    }
  }
  const std::string encoding = HeaderField(header, "encoding", ':');
  if (format == "NrrdImageIO" && files.size() == 1 && (encoding == "gzip" || encoding == "gz")) {
    const std::size_t blank = header.find("\n\n");
    if (blank != std::string::npos) streams.push_back({path, blank + 2});
  }
  return streams;
}
