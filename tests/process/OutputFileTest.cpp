#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "Failures.h"
#include "OutputFile.h"
#include "TestFiles.h"

namespace {

// A failure at any step leaves the folder as it was: the old file's bytes and no temporary file.
TEST(OutputFile, FailureLeavesTheFolderAsItWas) {
  struct Case {
    const char* step;
    std::function<void(OutputFile&, const std::string& path)> fail;
    std::string error;
  };
  const std::string block(1 << 16, 'v');
  const Case cases[] = {
      {"write past RLIMIT_FSIZE",
       [&](OutputFile& file, const std::string&) {
         signal(SIGXFSZ, SIG_IGN);
         rlimit saved{};
         getrlimit(RLIMIT_FSIZE, &saved);
         rlimit small = saved;
         small.rlim_cur = 4096;
         setrlimit(RLIMIT_FSIZE, &small);
         try {
           file.Write(block.data(), block.size());
         } catch (...) {
           setrlimit(RLIMIT_FSIZE, &saved);
           signal(SIGXFSZ, SIG_DFL);
           throw;
         }
       },
       "file too large"},
      // The rename onto the path fails once the temporary file has its name.
      {"commit onto a folder that took the path's place",
       [&](OutputFile& file, const std::string& path) {
         file.Write(block.data(), block.size());
         remove(path.c_str());
         mkdir(path.c_str(), 0700);
         WriteFile(path + "/keep", "");
         file.Commit();
       },
       "is a directory"},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    const std::string path = folder.Path("out.vtk");
    WriteFile(path, "old");
    try {
      OutputFile file(path.c_str());
      c.fail(file, path);
      ADD_FAILURE() << c.step << ": no failure";
    } catch (const PipelineFailure& failure) {
      EXPECT_EQ(failure.what(), "cannot write volume '" + path + "': " + c.error) << c.step;
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"out.vtk"}) << c.step;
  }
}

}  // namespace
