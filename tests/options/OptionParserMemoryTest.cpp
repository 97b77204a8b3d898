// Each case runs in a death test's child process, whose allocations are made to fail; the
// child's standard output is sent to its standard error, where the death test reads it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "FailingAllocator.h"
#include "OptionParser.h"

namespace {

TEST(OptionParserMemory, FailureWritesItsBlockAndEndsWithStatusOne) {
  const char* const names[] = {"a", "b", "c", "d", "e", "f", "g", "h",
                               "i", "j", "k", "l", "m", "n", "o"};
  static const std::string huge(100000, '7');
  const std::string growth = "^\nOPTIONS ERROR : Failed allocating extra memory \n";
  const std::string outOfMemory = "^\nOPTIONS ERROR : Failed allocating memory\nExiting\\.\n$";
  // Each case makes allocations fail just before its last step.
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] {
         FailAllocations(0);
         OptionParser parser;
       },
       outOfMemory},
      {[&] {
         OptionParser parser;
         for (int i = 0; i < 10; ++i) parser.DeclareValueOption(names[i]);
         FailAllocations(0);
         parser.DeclareValueOption("eleventh");
       },
       growth + "While adding the option : \"eleventh\"\nExiting\\.\n\n$"},
      // Fifteen long names leave the long-name tables room, so the eleventh character grows only
      // the character tables.
      {[&] {
         OptionParser parser;
         for (int i = 0; i < 5; ++i) parser.DeclareValueOption(names[i]);
         for (int i = 5; i < 15; ++i) parser.DeclareFlag(names[i], names[i][0]);
         FailAllocations(0);
         parser.DeclareFlag("last", 'z');
       },
       growth + "While adding the option: \"z\"\nExiting\\.\n\n$"},
      {[&] {
         OptionParser parser;
         for (int i = 0; i < 3; ++i) parser.AddUsageLine(names[i]);
         FailAllocations(0);
         parser.AddUsageLine("fourth line");
       },
       growth + "While adding the usage/help  : \"fourth line\"\nExiting\\.\n\n$"},
      {[] {
         const char* vector[] = {"prog", "-d", huge.c_str()};
         OptionParser parser;
         parser.DeclareValueOption("depth", 'd');
         FailAllocations(50000);
         parser.ScanArguments(3, vector);
       },
       outOfMemory},
  };
  for (const auto& [run, block] : cases) {
    EXPECT_EXIT(
        {
          dup2(STDERR_FILENO, STDOUT_FILENO);
          run();
        },
        testing::ExitedWithCode(1), block);
  }
}

}  // namespace
