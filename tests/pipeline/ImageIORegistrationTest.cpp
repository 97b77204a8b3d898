#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageIORegistration.h"
#include "itkObjectFactoryBase.h"

namespace {

// Exactly these factories, in this order, and none registered by ITK itself; a second call
// registers nothing more.
TEST(ImageIORegistration, SeventeenFormatsInFixedOrder) {
  RegisterImageFormats();
  RegisterImageFormats();
  std::vector<std::string> names;
  for (itk::ObjectFactoryBase* factory : itk::ObjectFactoryBase::GetRegisteredFactories()) {
    names.emplace_back(factory->GetNameOfClass());
  }
  const std::vector<std::string> expected = {
      "NiftiImageIOFactory",  "NrrdImageIOFactory", "GiplImageIOFactory", "HDF5ImageIOFactory",
      "JPEGImageIOFactory",   "GDCMImageIOFactory", "BMPImageIOFactory",  "LSMImageIOFactory",
      "PNGImageIOFactory",    "TIFFImageIOFactory", "VTKImageIOFactory",  "StimulateImageIOFactory",
      "BioRadImageIOFactory", "MetaImageIOFactory", "MRCImageIOFactory",  "GE4ImageIOFactory",
      "GE5ImageIOFactory"};
  EXPECT_EQ(names, expected);
}

}  // namespace
