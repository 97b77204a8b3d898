// Registers the image formats the reader can read, once, before main runs.
//
// ITK can generate this registration itself in every file that includes its reader, but then
// in its own alphabetical order. The order matters: when more than one format accepts a file,
// the first registered one reads it, so the tool keeps its own fixed list. ITK exports a
// ...FactoryRegister__Private function per format for exactly this purpose.

#ifdef ITK_IO_FACTORY_REGISTER_MANAGER
#error "ITK's automatic IO registration must be off (set ITK_NO_IO_FACTORY_REGISTER_MANAGER ON)"
#endif

namespace itk {
void NiftiImageIOFactoryRegister__Private();
void NrrdImageIOFactoryRegister__Private();
void GiplImageIOFactoryRegister__Private();
void HDF5ImageIOFactoryRegister__Private();
void JPEGImageIOFactoryRegister__Private();
void GDCMImageIOFactoryRegister__Private();
void BMPImageIOFactoryRegister__Private();
void LSMImageIOFactoryRegister__Private();
void PNGImageIOFactoryRegister__Private();
void TIFFImageIOFactoryRegister__Private();
void VTKImageIOFactoryRegister__Private();
void StimulateImageIOFactoryRegister__Private();
void BioRadImageIOFactoryRegister__Private();
void MetaImageIOFactoryRegister__Private();
void MRCImageIOFactoryRegister__Private();
void GE4ImageIOFactoryRegister__Private();
void GE5ImageIOFactoryRegister__Private();
}  // namespace itk

namespace {

using RegistrationFunction = void (*)();

// Constant-initialised, so the list is complete before the registration below walks it.
// clang-format off
constexpr RegistrationFunction ImageIORegistrationList[] = {
    itk::NiftiImageIOFactoryRegister__Private,
    itk::NrrdImageIOFactoryRegister__Private,
    itk::GiplImageIOFactoryRegister__Private,
    itk::HDF5ImageIOFactoryRegister__Private,
    itk::JPEGImageIOFactoryRegister__Private,
    itk::GDCMImageIOFactoryRegister__Private,
    itk::BMPImageIOFactoryRegister__Private,
    itk::LSMImageIOFactoryRegister__Private,
    itk::PNGImageIOFactoryRegister__Private,
    itk::TIFFImageIOFactoryRegister__Private,
    itk::VTKImageIOFactoryRegister__Private,
    itk::StimulateImageIOFactoryRegister__Private,
    itk::BioRadImageIOFactoryRegister__Private,
    itk::MetaImageIOFactoryRegister__Private,
    itk::MRCImageIOFactoryRegister__Private,
    itk::GE4ImageIOFactoryRegister__Private,
    itk::GE5ImageIOFactoryRegister__Private,
    nullptr,
};
// clang-format on

void RegisterImageIOFactories() {
  for (const RegistrationFunction* entry = ImageIORegistrationList; *entry != nullptr; ++entry) {
    (*entry)();
  }
}

// The one static initialiser of the tool.
[[maybe_unused]] const bool imageIOFactoriesRegistered = (RegisterImageIOFactories(), true);

}  // namespace
