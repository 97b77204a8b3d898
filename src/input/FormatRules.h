#ifndef SLICE2VOL_INPUT_FORMATRULES_H
#define SLICE2VOL_INPUT_FORMATRULES_H

#include <functional>
#include <string>
#include <vector>

#include "HeldFile.h"
#include "itkImageIOBase.h"

/// What one image format (an ITK image IO, by class name) asks of the input side beyond what its
/// reader checks itself. Each format's rules are written together, in FormatRules.cpp; a format
/// without rules of its own gets the defaults, which ask nothing.
class FormatRules {
 public:
  virtual ~FormatRules() = default;

  /// Calls hold for each file besides the image that the reader takes the pixels from, as the
  /// image's header names them or as the format derives them, in order; hold opens it, and
  /// throws when it cannot be read.
  virtual void NameDataFiles(const HeldFile& /*image*/,
                             const std::function<void(const std::string&)>& /*hold*/) const {}

  /// True when the files (the image first, then its data files) hold damage that their reader
  /// would decode without noticing, or that would stall it: found before anything is decoded.
  virtual bool Damaged(const std::vector<HeldFile>& /*files*/) const { return false; }

  /// Once the reader has read the header, and the image is known to fit in memory: why the files
  /// cannot give the pixels it promises (a file that ends before them, damaged data), or an empty
  /// text when they can.
  virtual std::string MissingPixels(const itk::ImageIOBase& /*io*/,
                                    const std::vector<HeldFile>& /*files*/) const {
    return "";
  }

  /// True when the reader can leave some of the pixels unwritten without saying so, whatever
  /// the bytes it leaves look like: its pixels are then always read twice and compared.
  virtual bool MayLeavePixelsUnwritten(const itk::ImageIOBase& /*io*/,
                                       const std::vector<HeldFile>& /*files*/) const {
    return false;
  }
};

/// The rules of the format whose image IO has this class name.
const FormatRules& RulesFor(const char* imageIOName);

/// The image's size as messages give it: "40 x 30".
std::string DescribeSize(const itk::ImageIOBase& io);

/// The rules of the format the file's first bytes show it to be, for the formats whose readers
/// must not see a damaged file even to recognise it (DICOM: GDCM reads the whole file, at the
/// lengths it gives) or whose newer readers decline a header they cannot decode instead of
/// failing on it (JPEG, DICOM), so that such a file is damaged, not of an unknown format; null
/// for the others.
const FormatRules* RulesBySignature(const HeldFile& file);

#endif
