#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "itkObjectFactoryBase.h"

namespace {

// This executable links the tool's registration, so what it sees at start-up is the tool's:
// exactly these factories, in this order, and none registered by ITK itself.
TEST(ImageIORegistration, SeventeenFormatsInFixedOrder) {
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
