// Each case runs in a death test's child process, whose allocations are made to fail; the
// child's standard output is sent to its standard error, where the death test reads it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "FailingAllocator.h"
#include "OptionParser.h"

namespace {

const char* const kOutOfMemory = "^\nOPTIONS ERROR : Failed allocating memory\nExiting\\.\n$";

std::string GrowthFailure(const std::string& whileAdding) {
  return "^\nOPTIONS ERROR : Failed allocating extra memory \n" + whileAdding + "\nExiting\\.\n\n$";
}

void ToStderr() { dup2(STDERR_FILENO, STDOUT_FILENO); }

TEST(OptionParserMemory, ConstructionFailureEndsWithStatusOne) {
  EXPECT_EXIT(
      {
        ToStderr();
        FailAllocations(0);
        OptionParser parser;
      },
      testing::ExitedWithCode(1), kOutOfMemory);
}

TEST(OptionParserMemory, GrowthFailureNamesWhatWasBeingAdded) {
  static const char* const names[] = {"a", "b", "c", "d", "e", "f", "g", "h",
                                      "i", "j", "k", "l", "m", "n", "o"};
  EXPECT_EXIT(
      {
        ToStderr();
        OptionParser parser;
        for (int i = 0; i < 10; ++i) parser.DeclareValueOption(names[i]);
        FailAllocations(0);
        parser.DeclareValueOption("eleventh");
      },
      testing::ExitedWithCode(1), GrowthFailure("While adding the option : \"eleventh\""));
  // Fifteen long names leave the long-name tables room, so the eleventh character grows only
  // the character tables.
  EXPECT_EXIT(
      {
        ToStderr();
        OptionParser parser;
        for (int i = 0; i < 5; ++i) parser.DeclareValueOption(names[i]);
        for (int i = 5; i < 15; ++i) parser.DeclareFlag(names[i], names[i][0]);
        FailAllocations(0);
        parser.DeclareFlag("last", 'z');
      },
      testing::ExitedWithCode(1), GrowthFailure("While adding the option: \"z\""));
  EXPECT_EXIT(
      {
        ToStderr();
        OptionParser parser;
        for (int i = 0; i < 3; ++i) parser.AddUsageLine(names[i]);
        FailAllocations(0);
        parser.AddUsageLine("fourth line");
      },
      testing::ExitedWithCode(1), GrowthFailure("While adding the usage/help  : \"fourth line\""));
}

TEST(OptionParserMemory, ValueCopyFailureEndsWithStatusOne) {
  static const std::string huge(100000, '7');
  const char* vector[] = {"prog", "-d", huge.c_str()};
  EXPECT_EXIT(
      {
        ToStderr();
        OptionParser parser;
        parser.DeclareValueOption("depth", 'd');
        FailAllocations(50000);
        parser.ScanArguments(3, vector);
      },
      testing::ExitedWithCode(1), kOutOfMemory);
}

}  // namespace
