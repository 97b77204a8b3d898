#include "OptionParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The tool's own declarations: flag help/h, value options region/r and depth/d, and the value
// options input2d and output with long names only.
class ScannedParser {
 public:
  explicit ScannedParser(std::vector<std::string> words) : words_(std::move(words)) {
    words_.insert(words_.begin(), "prog");
    for (const std::string& word : words_) vector_.push_back(word.c_str());
    parser.DeclareFlag("help", 'h');
    parser.DeclareValueOption("region", 'r');
    parser.DeclareValueOption("depth", 'd');
    parser.DeclareValueOption("input2d");
    parser.DeclareValueOption("output");
    testing::internal::CaptureStdout();
    parser.ScanArguments(static_cast<int>(vector_.size()), vector_.data());
    scanOutput = testing::internal::GetCapturedStdout();
  }

  // The value as a printable text, "(null)" when absent.
  std::string Value(const char* name) {
    const char* value = parser.FindValue(name);
    return value == nullptr ? "(null)" : value;
  }

  OptionParser parser;
  std::string scanOutput;

 private:
  std::vector<std::string> words_;
  std::vector<const char*> vector_;
};

struct ValueCase {
  std::vector<std::string> arguments;
  const char* option;
  const char* expected;  // "(null)" for absent
};

void ExpectValues(const std::vector<ValueCase>& cases) {
  for (const ValueCase& c : cases) {
    ScannedParser scanned(c.arguments);
    std::string shown;
    for (const std::string& a : c.arguments) shown += "[" + a + "]";
    EXPECT_EQ(scanned.Value(c.option), c.expected) << shown;
    EXPECT_EQ(scanned.scanOutput, "") << shown;
  }
}

TEST(OptionParser, OnlyProgramNameGivesNothing) {
  ScannedParser scanned({});
  EXPECT_FALSE(scanned.parser.HasParsedOptions());
  for (const char* name : {"help", "region", "depth", "input2d", "output"}) {
    EXPECT_EQ(scanned.parser.FindValue(name), nullptr) << name;
    EXPECT_FALSE(scanned.parser.IsFlagSet(name)) << name;
  }
  EXPECT_FALSE(scanned.parser.IsFlagSet('h'));
}

TEST(OptionParser, AnyArgumentCountsAsParsedOptions) {
  for (const char* word : {"foo", "", "-", "--", "--unknown", "-h"}) {
    EXPECT_TRUE(ScannedParser({word}).parser.HasParsedOptions()) << word;
  }
}

TEST(OptionParser, FlagReadsSetThroughEitherName) {
  for (const char* word : {"-h", "--help", "--help=no"}) {
    ScannedParser scanned({word});
    EXPECT_TRUE(scanned.parser.IsFlagSet("help")) << word;
    EXPECT_TRUE(scanned.parser.IsFlagSet('h')) << word;
    EXPECT_EQ(scanned.Value("help"), "true") << word;
  }
}

TEST(OptionParser, ValueTakenFromNextArgumentOrAttached) {
  ExpectValues({
      {{"--depth", "5"}, "depth", "5"},
      {{"-d", "5"}, "depth", "5"},
      {{"--depth=5"}, "depth", "5"},
      {{"-d5"}, "depth", "5"},
      {{"-d=5"}, "depth", "5"},
      {{"-d==5"}, "depth", "5"},
      {{"-d =5"}, "depth", "5"},
      {{"-d= =5"}, "depth", "5"},
      {{"--input2d", "in.png"}, "input2d", "in.png"},
      {{"--output=out.vtk"}, "output", "out.vtk"},
  });
}

TEST(OptionParser, EqualsFormKeepsEverythingAfterFirstEquals) {
  ExpectValues({
      {{"--depth="}, "depth", ""},
      {{"-d="}, "depth", ""},
      {{"--depth=5=6"}, "depth", "5=6"},
      {{"--depth=", "7"}, "depth", ""},   // the next argument is never the value of an "=" form
      {{"--region=1 2 3 4"}, "region", "1 2 3 4"},
  });
}

TEST(OptionParser, NextArgumentTakenWhateverItLooksLike) {
  ExpectValues({
      {{"--depth", "--help"}, "depth", "--help"},
      {{"--depth", "--help"}, "help", "(null)"},
      {{"-d", "-h"}, "depth", "-h"},
      {{"--region", "--depth", "5"}, "region", "--depth"},
      {{"--region", "--depth", "5"}, "depth", "(null)"},
      {{"--output", ""}, "output", ""},
  });
}

TEST(OptionParser, ValueOptionLastHasNoValue) {
  ExpectValues({
      {{"--depth"}, "depth", "(null)"},
      {{"-d"}, "depth", "(null)"},
      {{"--depth", "3", "--depth"}, "depth", "3"},
      {{"-hd"}, "depth", "(null)"},
  });
}

TEST(OptionParser, LastOccurrenceWinsAcrossBothNames) {
  ExpectValues({
      {{"--depth", "3", "-d", "4"}, "depth", "4"},
      {{"-d", "4", "--depth=3"}, "depth", "3"},
      {{"--output", "a", "--output", "b"}, "output", "b"},
  });
}

TEST(OptionParser, CharacterGroups) {
  ScannedParser flagThenValue({"-hd", "7"});
  EXPECT_TRUE(flagThenValue.parser.IsFlagSet("help"));
  EXPECT_EQ(flagThenValue.Value("depth"), "7");

  ScannedParser valueSwallowsRest({"-dh"});
  EXPECT_EQ(valueSwallowsRest.Value("depth"), "h");
  EXPECT_FALSE(valueSwallowsRest.parser.IsFlagSet("help"));

  ScannedParser unknownCharacterSkipped({"-xh"});
  EXPECT_TRUE(unknownCharacterSkipped.parser.IsFlagSet('h'));
  EXPECT_EQ(unknownCharacterSkipped.scanOutput, "");

  ScannedParser regionFromGroup({"-hr", "1 2 3 4", "-d", "9"});
  EXPECT_TRUE(regionFromGroup.parser.IsFlagSet("help"));
  EXPECT_EQ(regionFromGroup.Value("region"), "1 2 3 4");
  EXPECT_EQ(regionFromGroup.Value("depth"), "9");
}

TEST(OptionParser, UnknownAndStrayArgumentsSkippedSilently) {
  ExpectValues({
      {{"--Help"}, "help", "(null)"},               // names are case-sensitive
      {{"--", "--depth", "2"}, "depth", "2"},       // no end-of-options marker
      {{"-", "-d", "2"}, "depth", "2"},
      {{"--=5"}, "depth", "(null)"},
      {{"--input3d", "list.txt", "-d", "1"}, "depth", "1"},
      {{"--input3d", "list.txt"}, "input2d", "(null)"},
      {{"--unknown=3", "-d", "6"}, "depth", "6"},
      {{"foo", "--depth", "8", "bar"}, "depth", "8"},
      {{"--help", "x"}, "help", "true"},
      {{"--dep", "4"}, "depth", "(null)"},          // no prefix matching
      {{"-D", "4"}, "depth", "(null)"},
  });
}

TEST(OptionParser, FlagTestRequiresExactlyTrue) {
  struct Case {
    const char* depth;
    bool set;
  };
  for (const Case& c : {Case{"true", true}, Case{"TRUE", false}, Case{"true1", false},
                        Case{"tru", false}, Case{"", false}}) {
    ScannedParser scanned({"--depth", c.depth});
    EXPECT_EQ(scanned.parser.IsFlagSet("depth"), c.set) << c.depth;
    EXPECT_EQ(scanned.parser.IsFlagSet('d'), c.set) << c.depth;
  }
  ScannedParser scanned({"-h"});
  EXPECT_FALSE(scanned.parser.IsFlagSet("nothing"));
  EXPECT_FALSE(scanned.parser.IsFlagSet('z'));
  EXPECT_EQ(scanned.parser.FindValue("nothing"), nullptr);
}

TEST(OptionParser, DigitZeroCharacterCannotTakeNextArgument) {
  OptionParser parser;
  parser.DeclareValueOption("zero", '0');
  const char* separate[] = {"prog", "-0", "v"};
  parser.ScanArguments(3, separate);
  EXPECT_EQ(parser.FindValue("zero"), nullptr);

  OptionParser attached;
  attached.DeclareValueOption("zero", '0');
  const char* glued[] = {"prog", "-0v"};
  attached.ScanArguments(2, glued);
  EXPECT_STREQ(attached.FindValue("zero"), "v");
}

TEST(OptionParser, FirstDeclarationWins) {
  OptionParser parser;
  parser.DeclareValueOption("name", 'n');
  parser.DeclareFlag("name", 'n');
  const char* vector[] = {"prog", "--name", "first", "-n", "second"};
  parser.ScanArguments(5, vector);
  EXPECT_STREQ(parser.FindValue("name"), "second");
}

TEST(OptionParser, NoDeclarationScansNothing) {
  OptionParser parser;
  const char* vector[] = {"prog", "--depth", "3"};
  parser.ScanArguments(3, vector);
  EXPECT_TRUE(parser.HasParsedOptions());
  EXPECT_EQ(parser.FindValue("depth"), nullptr);
  EXPECT_FALSE(parser.IsFlagSet('d'));
}

TEST(OptionParser, OnlyFirstScanCounts) {
  OptionParser parser;
  parser.DeclareValueOption("depth", 'd');
  const char* first[] = {"prog", "-d", "1"};
  const char* second[] = {"prog", "-d", "2"};
  parser.ScanArguments(3, first);
  parser.ScanArguments(3, second);
  EXPECT_STREQ(parser.FindValue("depth"), "1");
}

TEST(OptionParser, DeclarationAfterFirstLookupIsIgnored) {
  OptionParser parser;
  parser.DeclareValueOption("depth", 'd');
  EXPECT_EQ(parser.FindValue("depth"), nullptr);
  parser.DeclareValueOption("late", 'l');
  const char* vector[] = {"prog", "--late", "x", "-l", "y", "-d", "3"};
  parser.ScanArguments(7, vector);
  EXPECT_EQ(parser.FindValue("late"), nullptr);
  EXPECT_STREQ(parser.FindValue("depth"), "3");
}

TEST(OptionParser, TablesGrowPastTheirInitialCapacity) {
  std::vector<std::string> longNames;
  std::string characters;
  for (int i = 0; i < 45; ++i) longNames.push_back("option" + std::to_string(i));
  for (char c = 'A'; c < 'A' + 45; ++c) characters += c;

  OptionParser parser;
  for (int i = 0; i < 45; ++i) parser.DeclareValueOption(longNames[i].c_str(), characters[i]);
  std::vector<std::string> words = {"prog"};
  for (int i = 0; i < 45; ++i) {
    words.push_back(i % 2 ? "--" + longNames[i] : std::string("-") + characters[i]);
    words.push_back("v" + std::to_string(i));
  }
  std::vector<const char*> vector;
  for (const std::string& word : words) vector.push_back(word.c_str());
  parser.ScanArguments(static_cast<int>(vector.size()), vector.data());
  for (int i = 0; i < 45; ++i) {
    EXPECT_EQ(parser.FindValue(longNames[i].c_str()), "v" + std::to_string(i)) << i;
  }
}

TEST(OptionParser, UsageWrittenOnceWithFramingEmptyLines) {
  OptionParser empty;
  testing::internal::CaptureStdout();
  empty.WriteUsage();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n\n");

  std::vector<std::string> lines;
  for (int i = 0; i < 13; ++i) lines.push_back("line " + std::to_string(i) + " \t");
  OptionParser parser;
  std::string expected = "\n";
  for (const std::string& line : lines) {
    parser.AddUsageLine(line.c_str());
    expected += line + "\n";
  }
  expected += "\n";
  testing::internal::CaptureStdout();
  parser.WriteUsage();
  parser.WriteUsage();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
}

}  // namespace
