#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "FailingAllocator.h"
#include "OptionParser.h"

namespace {

struct ChildResult {
  int status;
  std::string output;
};

// Runs body in a child process and returns its exit status and everything it wrote to stdout.
ChildResult RunInChild(const std::function<void()>& body) {
  int channel[2];
  if (pipe(channel) != 0) return {-1, "pipe failed"};
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(channel[1], STDOUT_FILENO);
    close(channel[0]);
    close(channel[1]);
    body();
    _exit(99);  // the body was expected to end the process
  }
  close(channel[1]);
  std::string output;
  char buffer[4096];
  ssize_t n;
  while ((n = read(channel[0], buffer, sizeof buffer)) > 0) output.append(buffer, n);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), output};
}

const char* const kGrowthHead = "\nOPTIONS ERROR : Failed allocating extra memory \n";

TEST(OptionParserMemory, ConstructionFailureEndsWithStatusOne) {
  const ChildResult result = RunInChild([] {
    FailAllocations(0);
    OptionParser parser;
  });
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output, "\nOPTIONS ERROR : Failed allocating memory\nExiting.\n");
}

TEST(OptionParserMemory, GrowthFailureNamesWhatWasBeingAdded) {
  struct Case {
    const char* what;
    std::function<void()> body;
    const char* expected;
  };
  const Case cases[] = {
      {"long name",
       [] {
         OptionParser parser;
         const char* names[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
         for (const char* name : names) parser.DeclareValueOption(name);
         FailAllocations(0);
         parser.DeclareValueOption("eleventh");
       },
       "While adding the option : \"eleventh\"\nExiting.\n\n"},
      {"character",
       [] {
         OptionParser parser;
         static const std::string names = "ABCDEFGHIJKLMNOPQRSTUVWXY";
         static std::string storage[25];
         for (int i = 0; i < 25; ++i) storage[i] = names.substr(i, 1);
         for (int i = 0; i < 15; ++i) parser.DeclareValueOption(storage[i].c_str());
         for (int i = 15; i < 25; ++i) parser.DeclareFlag(storage[i].c_str(), 'a' + (i - 15));
         FailAllocations(0);
         parser.DeclareFlag("last", 'k');
       },
       "While adding the option: \"k\"\nExiting.\n\n"},
      {"usage line",
       [] {
         OptionParser parser;
         parser.AddUsageLine("one");
         parser.AddUsageLine("two");
         parser.AddUsageLine("three");
         FailAllocations(0);
         parser.AddUsageLine("fourth line");
       },
       "While adding the usage/help  : \"fourth line\"\nExiting.\n\n"},
  };
  for (const Case& c : cases) {
    const ChildResult result = RunInChild(c.body);
    EXPECT_EQ(result.status, 1) << c.what;
    EXPECT_EQ(result.output, std::string(kGrowthHead) + c.expected) << c.what;
  }
}

TEST(OptionParserMemory, ValueCopyFailureEndsWithStatusOne) {
  const ChildResult result = RunInChild([] {
    OptionParser parser;
    parser.DeclareValueOption("depth", 'd');
    static const std::string huge(100000, '7');
    const char* vector[] = {"prog", "-d", huge.c_str()};
    FailAllocations(50000);
    parser.ScanArguments(3, vector);
  });
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output, "\nOPTIONS ERROR : Failed allocating memory\nExiting.\n");
}

}  // namespace
