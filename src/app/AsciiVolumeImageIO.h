#ifndef SLICE2VOL_APP_ASCIIVOLUMEIMAGEIO_H
#define SLICE2VOL_APP_ASCIIVOLUMEIMAGEIO_H

#include <stdexcept>

#include "itkVTKImageIO.h"

/// Thrown when the output file cannot be opened, written or closed; what() gives the cause.
class OutputFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// ITK's VTK image IO with a checked writer for ASCII volumes of unsigned 8-bit scalars: ITK
/// writes the header, and the voxel body is formatted here in large blocks, byte for byte as
/// ITK formats it. ITK's own ASCII writer ignores stream errors, so a full disk would end in a
/// silently short file; here every write and the final close are checked and a failure throws
/// OutputFileError. Any other file type or pixel type is written by ITK itself.
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
};

#endif
