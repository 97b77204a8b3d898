#include "VolumeText.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "SaturatingArithmetic.h"

namespace {

constexpr std::size_t kValuesPerLine = VolumeText::kValuesPerLine;
constexpr std::size_t kBlockSize = std::size_t{1} << 20;
constexpr std::size_t kLineRoom = 64;  // more than a line end and a 32-byte line store
// Layers of up to this many voxels keep their text in memory: at most 4 bytes a voxel and a
// line end every six, so six texts stay within a block's size.
constexpr std::size_t kHeldLayerVoxels = 32768;

// The tool's volumes hold only 0 and 255: the text of a line of six such values comes from one
// of 64 entries, found from the six values' top bits.
struct BinaryLineTexts {
  char text[64][32];
  std::uint8_t length[64];
};

const BinaryLineTexts& BinaryLineTable() {
  static const BinaryLineTexts table = [] {
    BinaryLineTexts lines{};
    for (unsigned key = 0; key < 64; ++key) {
      std::string text;
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
  std::uint64_t values;
  std::memcpy(&values, line, sizeof values);
  values &= 0xFFFFFFFFFFFFu;
  const std::uint64_t topBits = values & 0x808080808080u;
  if (values != (topBits >> 7) * 0xFF) return -1;
  // Gathers the six top bits, one per byte, into the key's low six bits.
  return static_cast<int>(((topBits >> 7) * 0x810204081u) >> 35 & 0x3F);
}

}  // namespace

VolumeText::VolumeText(OutputFile& output, std::uint64_t voxels)
    : output_(output), block_(kBlockSize), total_(voxels) {}

std::uint64_t VolumeText::BodyBytes(const unsigned char* layer, std::size_t count,
                                    std::uint64_t layers) {
  // Two to four bytes a value with its blank; summed branch-free, a chunk at a time, so that the
  // compiler can use vector instructions.
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  std::uint64_t layerBytes = 0;
  for (std::size_t start = 0; start < count; start += kChunk) {
    std::uint32_t chunkBytes = 0;
    for (std::size_t i = start; i < std::min(count, start + kChunk); ++i) {
      chunkBytes += 2u + (layer[i] >= 10 ? 1u : 0u) + (layer[i] >= 100 ? 1u : 0u);
    }
    layerBytes += chunkBytes;
  }
  const std::uint64_t lineEnds = (SaturatingProduct(count, layers) - 1) / kValuesPerLine;
  return SaturatingSum(SaturatingProduct(layerBytes, layers), lineEnds);
}

void VolumeText::Append(const std::string& text) {
  if (used_ + text.size() > block_.size()) Flush();
  if (text.size() > block_.size()) {
    output_.Write(text.data(), text.size());
    flushed_ += text.size();
    return;
  }
  std::memcpy(block_.data() + used_, text.data(), text.size());
  used_ += text.size();
}

void VolumeText::AppendLayer(const unsigned char* voxels, std::size_t count) {
  if (voxels_ == 0 && count < total_) firstLayer_.assign(voxels, voxels + count);
  const bool likeFirst = voxels_ == 0 || (firstLayer_.size() == count &&
                                          std::memcmp(firstLayer_.data(), voxels, count) == 0);
  LayerText& text = texts_[voxels_ % kValuesPerLine];
  if (voxels_ > 0 && voxels_ % kValuesPerLine == 0) Append("\n");
  if (!(likeFirst && text.known && Reuse(text))) {
    // A small text is formatted whole into the block, where it can be kept.
    if (count <= kHeldLayerVoxels && used_ + 5 * count + kLineRoom > block_.size()) Flush();
    const std::uint64_t start = Position();
    Format(voxels, count);
    if (likeFirst && !text.known) Remember(text, start);
  }
  voxels_ += count;
}

// A line end before each voxel that starts a line, except the layer's first. Lines of six 0s
// and 255s come from the table, as many as the block has room for between checks; any other
// voxel is formatted on its own.
void VolumeText::Format(const unsigned char* voxels, std::size_t count) {
  const BinaryLineTexts& lines = BinaryLineTable();
  std::size_t i = 0;
  const auto formatOne = [&] {
    if (used_ + kLineRoom > block_.size()) Flush();
    char* cursor = block_.data() + used_;
    if (i > 0 && (voxels_ + i) % kValuesPerLine == 0) *cursor++ = '\n';
    cursor = std::to_chars(cursor, cursor + 3, voxels[i++]).ptr;
    *cursor++ = ' ';
    used_ = static_cast<std::size_t>(cursor - block_.data());
  };
  while (i < count && (voxels_ + i) % kValuesPerLine != 0) formatOne();
  // From here on i is at a line start; the line key reads eight bytes.
  while (count - i >= 8) {
    if (used_ + kLineRoom > block_.size()) Flush();
    const std::size_t room = (block_.size() - used_) / kLineRoom;
    const std::size_t last = i + std::min(room, (count - i - 2) / kValuesPerLine) * kValuesPerLine;
    char* cursor = block_.data() + used_;
    for (int key = 0; i < last && (key = BinaryLineKey(voxels + i)) >= 0; i += kValuesPerLine) {
      *cursor = '\n';
      cursor += i > 0 ? 1 : 0;
      std::memcpy(cursor, lines.text[key], sizeof lines.text[key]);
      cursor += lines.length[key];
    }
    used_ = static_cast<std::size_t>(cursor - block_.data());
    if (i < last) {  // a line with other values
      for (std::size_t k = 0; k < kValuesPerLine; ++k) formatOne();
    }
  }
  while (i < count) formatOne();
}

void VolumeText::Remember(LayerText& text, std::uint64_t start) {
  text.known = true;
  text.offset = start;
  text.size = Position() - start;
  if (start >= flushed_ && text.size <= kBlockSize / 6) {
    text.held.assign(block_.data() + (start - flushed_), text.size);
  }
}

bool VolumeText::Reuse(const LayerText& text) {
  if (!text.held.empty()) {
    Append(text.held);
    return true;
  }
  if (!fileCopies_) return false;
  Flush();
  fileCopies_ = output_.AppendCopy(text.offset, text.size);
  if (fileCopies_) flushed_ += text.size;
  return fileCopies_;
}

void VolumeText::Flush() {
  output_.Write(block_.data(), used_);
  flushed_ += used_;
  used_ = 0;
}

void VolumeText::Commit() {
  Flush();
  output_.Commit();
}
