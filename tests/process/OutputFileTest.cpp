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
  const std::string block(1 << 16, 'v');
  const std::pair<std::function<void(OutputFile&, const std::string&)>, std::string> cases[] = {
      {[&](OutputFile& file, const std::string&) {
         // Both are restored: later runs of the tool would inherit them.
         const auto savedHandler = signal(SIGXFSZ, SIG_IGN);
         rlimit saved{};
         getrlimit(RLIMIT_FSIZE, &saved);
         const rlimit small = {4096, saved.rlim_max};
         setrlimit(RLIMIT_FSIZE, &small);
         auto restore = [&] {
           setrlimit(RLIMIT_FSIZE, &saved);
           signal(SIGXFSZ, savedHandler);
         };
         try {
           file.Write(block.data(), block.size());
         } catch (...) {
           restore();
           throw;
         }
         restore();
       },
       "file too large"},
      // The rename onto the path fails once the temporary file has its name.
      {[&](OutputFile& file, const std::string& path) {
         file.Write(block.data(), block.size());
         remove(path.c_str());
         mkdir(path.c_str(), 0700);
         WriteFile(path + "/keep", "");
         file.Commit();
       },
       "is a directory"},
  };
  for (const auto& [fail, error] : cases) {
    TempFolder folder;
    const std::string path = folder.Path("out.vtk");
    WriteFile(path, "old");
    try {
      OutputFile file(path.c_str());
      file.Open();
      fail(file, path);
      ADD_FAILURE() << error << ": no failure";
    } catch (const PipelineFailure& failure) {
      EXPECT_EQ(failure.what(), "cannot write volume '" + path + "': " + error);
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"out.vtk"}) << error;
    if (error == "file too large") {
      EXPECT_EQ(ReadFile(path), "old");
    }
  }
}

}  // namespace
