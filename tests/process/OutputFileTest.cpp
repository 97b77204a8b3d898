#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "Failures.h"
#include "OutputFile.h"
#include "TestFiles.h"

namespace {

// A rename onto the path that fails once the temporary file has its name leaves the folder as
// it was, without the temporary file. Failures before it are seen whole in the tool's runs.
TEST(OutputFile, FailedRenameLeavesTheFolderAsItWas) {
  TempFolder folder;
  const std::string path = folder.Path("out.vtk");
  WriteFile(path, "old");
  try {
    OutputFile file(path.c_str());
    file.Open();
    file.Write("new", 3);
    remove(path.c_str());
    mkdir(path.c_str(), 0700);
    WriteFile(path + "/keep", "");
    file.Commit();
    ADD_FAILURE() << "no failure";
  } catch (const PipelineFailure& failure) {
    EXPECT_EQ(failure.what(), "cannot write volume '" + path + "': is a directory");
  }
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"out.vtk"});
}

}  // namespace
