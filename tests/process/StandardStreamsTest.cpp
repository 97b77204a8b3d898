#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "StandardStreams.h"
#include "TestFiles.h"

TEST(StandardStreams, AnOpenFileIsKnownByAnyOfItsNamesButTheNullDevice) {
  const TempFolder folder;
  WriteFile(folder.Path("report.txt"), "");
  WriteFile(folder.Path("other.txt"), "");
  symlink("report.txt", folder.Path("link.txt").c_str());
  const int report = open(folder.Path("report.txt").c_str(), O_WRONLY);
  const int null = open("/dev/null", O_WRONLY);
  EXPECT_TRUE(NamesOpenFile(folder.Path("report.txt").c_str(), report));
  EXPECT_TRUE(NamesOpenFile(folder.Path("link.txt").c_str(), report));
  EXPECT_TRUE(NamesOpenFile(("/proc/self/fd/" + std::to_string(report)).c_str(), report));
  EXPECT_FALSE(NamesOpenFile(folder.Path("other.txt").c_str(), report));
  EXPECT_FALSE(NamesOpenFile(folder.Path("absent.txt").c_str(), report));
  EXPECT_FALSE(NamesOpenFile("/dev/null", null));
  close(report);
  close(null);
}
