#include "AsciiVolumeImageIO.h"

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "OutputFile.h"

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;
constexpr std::size_t kValuesPerLine = 6;
constexpr std::size_t kLineRoom = 64;  // more than a line end and three 8-byte stores

// The text of two consecutive values, each followed by its blank, for all 65536 pairs: at most
// "255 255 ", which fills one 8-byte word, so a line of six values takes three lookups and
// three word stores. It is correct for any values, not only the 0 and 255 the tool writes.
struct PairTexts {
  std::vector<std::uint64_t> word = std::vector<std::uint64_t>(65536);
  std::vector<std::uint8_t> length = std::vector<std::uint8_t>(65536);
};

const PairTexts& PairTextTable() {
  static const PairTexts table = [] {
    PairTexts texts;
    for (unsigned first = 0; first < 256; ++first) {
      for (unsigned second = 0; second < 256; ++second) {
        const std::string text = std::to_string(first) + ' ' + std::to_string(second) + ' ';
        const unsigned index = first * 256 + second;
        std::memcpy(&texts.word[index], text.data(), text.size());
        texts.length[index] = static_cast<std::uint8_t>(text.size());
      }
    }
    return texts;
  }();
  return table;
}

// The tool's volumes hold only 0 and 255: for a line of six such values, the whole line's text
// (its line end first) comes from one of 64 entries, found from the six values' top bits.
struct BinaryLineTexts {
  char text[64][32];
  std::uint8_t length[64];
};

const BinaryLineTexts& BinaryLineTable() {
  static const BinaryLineTexts table = [] {
    BinaryLineTexts lines{};
    for (unsigned key = 0; key < 64; ++key) {
      std::string text = "\n";
      for (unsigned i = 0; i < kValuesPerLine; ++i) text += (key >> i & 1) != 0 ? "255 " : "0 ";
      std::memcpy(lines.text[key], text.data(), text.size());
      lines.length[key] = static_cast<std::uint8_t>(text.size());
    }
    return lines;
  }();
  return table;
}

// The key of a line of six values that are all 0 or 255, or -1 for any other line. The eight
// bytes from the line's start must be readable; the last two are not part of it.
int BinaryLineKey(const unsigned char* line) {
  std::uint64_t values = 0;
  std::memcpy(&values, line, sizeof values);
  values &= 0xFFFFFFFFFFFFu;
  const std::uint64_t topBits = values & 0x808080808080u;
  if (values != (topBits >> 7) * 0xFF) return -1;
  // Gathers the six top bits, one per byte, into the key's low six bits.
  return static_cast<int>(((topBits >> 7) * 0x810204081u) >> 35 & 0x3F);
}

// Stores a whole word; only the pair's own bytes count, the rest is overwritten next.
char* PutPair(const PairTexts& texts, char* cursor, unsigned char first, unsigned char second) {
  const unsigned index = first * 256u + second;
  std::memcpy(cursor, &texts.word[index], sizeof(std::uint64_t));
  return cursor + texts.length[index];
}

// ITK's layout: each value followed by one blank, a line end before every sixth value after
// the first, none after the last.
void WriteBody(OutputFile& output, const unsigned char* voxels, std::size_t count) {
  const PairTexts& texts = PairTextTable();
  const BinaryLineTexts& lines = BinaryLineTable();
  std::vector<char> block(kBlockSize);
  char* const begin = block.data();
  char* const flushMark = begin + kBlockSize - kLineRoom;
  char* cursor = begin;
  const std::size_t fullLines = count / kValuesPerLine;
  const unsigned char* value = voxels;
  auto putLineOfPairs = [&] {
    cursor = PutPair(texts, cursor, value[0], value[1]);
    cursor = PutPair(texts, cursor, value[2], value[3]);
    cursor = PutPair(texts, cursor, value[4], value[5]);
  };
  if (fullLines > 0) {  // the first line has no line end before it
    putLineOfPairs();
    value += kValuesPerLine;
  }
  for (std::size_t line = 1; line < fullLines; ++line, value += kValuesPerLine) {
    const int key = value + sizeof(std::uint64_t) <= voxels + count ? BinaryLineKey(value) : -1;
    if (key >= 0) {
      std::memcpy(cursor, lines.text[key], sizeof lines.text[key]);
      cursor += lines.length[key];
    } else {
      *cursor++ = '\n';
      putLineOfPairs();
    }
    if (cursor >= flushMark) {
      output.Write(begin, static_cast<std::size_t>(cursor - begin));
      cursor = begin;
    }
  }
  std::size_t left = count - fullLines * kValuesPerLine;
  if (left > 0 && fullLines > 0) *cursor++ = '\n';
  for (; left >= 2; left -= 2, value += 2) cursor = PutPair(texts, cursor, value[0], value[1]);
  if (left == 1) {
    // A lone last value: its pair with 0 less the two bytes of "0 ".
    cursor = PutPair(texts, cursor, value[0], 0) - 2;
  }
  output.Write(begin, static_cast<std::size_t>(cursor - begin));
}

}  // namespace

// The same text, number formatting included, that ITK's WriteImageInformation writes for one
// unsigned 8-bit component; ITK's own can only write to a file it opens itself.
std::string AsciiVolumeImageIO::FormatHeader() const {
  const unsigned dimensions = GetNumberOfDimensions();
  if (dimensions < 1 || dimensions > 3) {
    itkExceptionMacro("VTK Writer can only write 1, 2 or 3-dimensional images");
  }
  auto size = [&](unsigned i) { return i < dimensions ? GetDimensions(i) : 1; };
  auto spacing = [&](unsigned i) { return i < dimensions ? GetSpacing(i) : 1.0; };
  auto origin = [&](unsigned i) { return i < dimensions ? GetOrigin(i) : 0.0; };

  std::ostringstream header;
  header << "# vtk DataFile Version 3.0\n"
         << "VTK File Generated by Insight Segmentation and Registration Toolkit (ITK)\n"
         << "ASCII\n";
  header.setf(std::ios::scientific, std::ios::floatfield);
  header.precision(16);
  header << "DATASET STRUCTURED_POINTS\n"
         << "DIMENSIONS " << size(0) << ' ' << size(1) << ' ' << size(2) << ' ' << '\n'
         << "SPACING " << spacing(0) << ' ' << spacing(1) << ' ' << spacing(2) << ' ' << '\n'
         << "ORIGIN " << origin(0) << ' ' << origin(1) << ' ' << origin(2) << ' ' << '\n'
         << "POINT_DATA " << GetImageSizeInPixels() << '\n'
         << "SCALARS scalars unsigned_char 1\n"
         << "LOOKUP_TABLE default\n";
  return header.str();
}

void AsciiVolumeImageIO::Write(const void* buffer) {
  if (GetFileType() != itk::IOFileEnum::ASCII ||
      GetComponentType() != itk::IOComponentEnum::UCHAR || GetNumberOfComponents() != 1 ||
      GetPixelType() != itk::IOPixelEnum::SCALAR || RequestedToStream()) {
    Superclass::Write(buffer);
    return;
  }
  const std::string header = FormatHeader();
  OutputFile output(GetFileName());
  output.Write(header.data(), header.size());
  WriteBody(output, static_cast<const unsigned char*>(buffer), GetImageSizeInComponents());
  output.Commit();
}
