#ifndef SLICE2VOL_TESTS_TESTFILES_H
#define SLICE2VOL_TESTS_TESTFILES_H

#include <string>
#include <vector>

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  bool IsEmpty() const;
  /// The names of the files in the folder, sorted.
  std::vector<std::string> Names() const;

 private:
  std::string path_;
};

/// The whole file; an empty text if it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);

#endif
