#ifndef SLICE2VOL_PIPELINE_VOLUMETEXT_H
#define SLICE2VOL_PIPELINE_VOLUMETEXT_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "OutputFile.h"

/// The text of an ASCII volume, written front to back into an OutputFile as the volume arrives
/// a layer at a time: each voxel's value followed by one blank, and a line end before every
/// sixth voxel of the whole volume after the first, none after the last (ITK's layout).
///
/// The text of a layer depends only on its voxels and on where the six-a-line count stands at
/// its start, so a volume of equal layers has at most six layer texts. A layer equal to the
/// first one, starting where an earlier one did, gets that text again instead of being
/// formatted: from memory when the text is small, otherwise copied by the kernel from what the
/// file already holds (where the output cannot be read back, it is formatted again).
class VolumeText {
 public:
  static constexpr std::size_t kValuesPerLine = 6;  // as ITK's writer puts them

  /// For a volume of voxels voxels in all, into output, which is open.
  VolumeText(OutputFile& output, std::uint64_t voxels);

  /// The size of the text of layers equal layers of count voxels, without the header.
  static std::uint64_t BodyBytes(const unsigned char* layer, std::size_t count,
                                 std::uint64_t layers);

  void Append(const std::string& text);
  void AppendLayer(const unsigned char* voxels, std::size_t count);
  /// Writes out what is held and puts the file in place; throws WriteFailure when it cannot.
  void Commit();

 private:
  struct LayerText {
    bool known = false;
    std::uint64_t offset;  // where the file holds it, without a line end before it
    std::uint64_t size;
    std::string held;  // the text itself, when small
  };

  void Format(const unsigned char* voxels, std::size_t count);
  bool Reuse(const LayerText& text);
  void Remember(LayerText& text, std::uint64_t start);
  void Flush();
  std::uint64_t Position() const { return flushed_ + used_; }

  OutputFile& output_;
  std::vector<char> block_;
  std::size_t used_ = 0;
  std::uint64_t flushed_ = 0;  // bytes already in the file
  std::uint64_t voxels_ = 0;   // voxels written so far
  std::uint64_t total_;
  std::vector<unsigned char> firstLayer_;
  std::array<LayerText, kValuesPerLine> texts_;  // by the voxel count at the layer's start
  bool fileCopies_ = true;
};

#endif
