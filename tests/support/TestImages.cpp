#include "TestImages.h"

#include "itkBMPImageIO.h"
#include "itkGDCMImageIO.h"
#include "itkGiplImageIO.h"
#include "itkJPEGImageIO.h"
#include "itkMetaImageIO.h"
#include "itkNiftiImageIO.h"
#include "itkPNGImageIO.h"
#include "itkTIFFImageIO.h"
#include "itkVTKImageIO.h"

itk::ImageIOBase::Pointer ImageIOFor(const std::string& path) {
  const std::string suffix = path.substr(path.find_last_of('.') + 1);
  if (suffix == "png") return itk::PNGImageIO::New().GetPointer();
  if (suffix == "jpg") return itk::JPEGImageIO::New().GetPointer();
  if (suffix == "tif") return itk::TIFFImageIO::New().GetPointer();
  if (suffix == "bmp") return itk::BMPImageIO::New().GetPointer();
  if (suffix == "dcm") return itk::GDCMImageIO::New().GetPointer();
  if (suffix == "mha" || suffix == "mhd") return itk::MetaImageIO::New().GetPointer();
  if (suffix == "nii" || suffix == "gz" || suffix == "hdr")
    return itk::NiftiImageIO::New().GetPointer();
  if (suffix == "gipl") return itk::GiplImageIO::New().GetPointer();
  auto vtk = itk::VTKImageIO::New();
  vtk->SetFileTypeToBinary();
  return vtk.GetPointer();
}
