#ifndef SLICE2VOL_PIPELINE_ASCIIVOLUMEIMAGEIO_H
#define SLICE2VOL_PIPELINE_ASCIIVOLUMEIMAGEIO_H

#include <string>

#include "itkVTKImageIO.h"

/// ITK's VTK image IO with its own writer for ASCII volumes of unsigned 8-bit scalars, byte for
/// byte what ITK writes. ITK's writer ignores stream errors (a full disk ends in a silently short
/// file), truncates the output before the data is ready, and writes the header and the body
/// through two opens with a seek between them, which a FIFO or a pipe cannot take. This one
/// writes the whole file through one OutputFile, front to back, checks every write, and throws
/// its WriteFailure on failure, leaving the output path as it was. Any other file type or pixel
/// type is written by ITK itself.
class AsciiVolumeImageIO : public itk::VTKImageIO {
 public:
  ITK_DISALLOW_COPY_AND_MOVE(AsciiVolumeImageIO);
  using Self = AsciiVolumeImageIO;
  using Superclass = itk::VTKImageIO;
  using Pointer = itk::SmartPointer<Self>;

  itkNewMacro(Self);
  itkTypeMacro(AsciiVolumeImageIO, VTKImageIO);

  void Write(const void* buffer) override;

 protected:
  AsciiVolumeImageIO() = default;
  ~AsciiVolumeImageIO() override = default;

 private:
  std::string FormatHeader() const;
};

#endif
