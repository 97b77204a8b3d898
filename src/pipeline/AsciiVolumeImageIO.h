#ifndef SLICE2VOL_PIPELINE_ASCIIVOLUMEIMAGEIO_H
#define SLICE2VOL_PIPELINE_ASCIIVOLUMEIMAGEIO_H

#include <cstdint>
#include <memory>
#include <string>

#include "VolumeText.h"
#include "itkImage.h"
#include "itkVTKImageIO.h"

/// ITK's VTK image IO with its own writer for the tool's volumes, ASCII and of unsigned 8-bit
/// scalars, byte for byte what ITK writes. ITK's writer ignores stream errors (a full disk ends in
/// a silently short file), truncates the output before the data is ready, writes the header and the
/// body through two opens with a seek between them, which a FIFO or a pipe cannot take, and cannot
/// take the volume a piece at a time. This one takes it in pieces of whole layers, so that the
/// volume never has to be held whole, and writes them through one VolumeText, front to back; a
/// failure throws its WriteFailure and leaves the output path as it was.
class AsciiVolumeImageIO : public itk::VTKImageIO {
 public:
  using Self = AsciiVolumeImageIO;
  using Superclass = itk::VTKImageIO;
  using Pointer = itk::SmartPointer<Self>;

  itkNewMacro(Self);

  /// The size of the file this IO writes for depth layers of slice, header included.
  static std::uint64_t TextBytes(const itk::Image<unsigned char, 2>& slice, std::uint64_t depth);

  bool CanStreamWrite() override;
  unsigned GetActualNumberOfSplitsForWriting(unsigned requested, const itk::ImageIORegion& paste,
                                             const itk::ImageIORegion& largest) override;
  void Write(const void* buffer) override;

  /// The output the volume is written into; it must be set before the first piece comes.
  void SetOutput(OutputFile* output) { output_ = output; }

 protected:
  AsciiVolumeImageIO() = default;
  ~AsciiVolumeImageIO() override = default;

 private:
  std::string FormatHeader() const;

  OutputFile* output_ = nullptr;
  std::unique_ptr<VolumeText> text_;  // from the first piece to the last
};

#endif
