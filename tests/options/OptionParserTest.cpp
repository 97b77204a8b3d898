#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "OptionParser.h"

namespace {

// A parser with the tool's declarations (flag help/h, value options region/r and depth/d,
// value options input2d and output by long name only) that has scanned "prog" + words.
struct Scanned {
  explicit Scanned(const std::vector<std::string>& arguments) : words(arguments) {
    words.insert(words.begin(), "prog");
    for (const std::string& word : words) vector.push_back(word.c_str());
    parser.DeclareFlag("help", 'h');
    parser.DeclareValueOption("region", 'r');
    parser.DeclareValueOption("depth", 'd');
    parser.DeclareValueOption("input2d");
    parser.DeclareValueOption("output");
    parser.ScanArguments(static_cast<int>(vector.size()), vector.data());
  }
  std::string Value(const char* name) {
    const char* value = parser.FindValue(name);
    return value == nullptr ? "(absent)" : value;
  }

  std::vector<std::string> words;
  std::vector<const char*> vector;
  OptionParser parser;
};

TEST(OptionParser, ScanningRules) {
  struct Case {
    std::vector<std::string> arguments;
    const char* option;
    const char* expected;
  };
  const Case cases[] = {
      // A value follows as the next argument or is attached after "=" or the character.
      {{"--depth", "5"}, "depth", "5"},
      {{"-d", "5"}, "depth", "5"},
      {{"--depth=5"}, "depth", "5"},
      {{"-d5"}, "depth", "5"},
      {{"-d=5"}, "depth", "5"},
      {{"-d==5"}, "depth", "5"},
      {{"-d= =5"}, "depth", "5"},
      {{"--output=out.vtk"}, "output", "out.vtk"},
      // "=" forms: everything after the first "=", and never the next argument.
      {{"--depth="}, "depth", ""},
      {{"-d="}, "depth", ""},
      {{"--depth=5=6"}, "depth", "5=6"},
      {{"--depth=", "7"}, "depth", ""},
      {{"--help=no"}, "help", "true"},
      // The next argument is the value whatever it looks like.
      {{"--depth", "--help"}, "depth", "--help"},
      {{"--depth", "--help"}, "help", "(absent)"},
      {{"-d", "-h"}, "depth", "-h"},
      {{"--region", "--depth", "5"}, "depth", "(absent)"},
      {{"--output", ""}, "output", ""},
      // A value option last has no value; the last occurrence wins, through either name.
      {{"--depth"}, "depth", "(absent)"},
      {{"--depth", "3", "--depth"}, "depth", "3"},
      {{"--depth", "3", "-d", "4"}, "depth", "4"},
      {{"-d", "4", "--depth=3"}, "depth", "3"},
      // Character groups: flags up to the first value option, which takes the rest.
      {{"-hd", "7"}, "depth", "7"},
      {{"-hd", "7"}, "help", "true"},
      {{"-hd"}, "depth", "(absent)"},
      {{"-dh"}, "depth", "h"},
      {{"-dh"}, "help", "(absent)"},
      {{"-xh"}, "help", "true"},
      {{"-hr", "1 2 3 4"}, "region", "1 2 3 4"},
      // Unknown and stray arguments are skipped; names are exact and case-sensitive.
      {{"--Help"}, "help", "(absent)"},
      {{"--dep", "4"}, "depth", "(absent)"},
      {{"-D", "4"}, "depth", "(absent)"},
      {{"--", "--depth", "2"}, "depth", "2"},
      {{"-", "-d", "2"}, "depth", "2"},
      {{"--=5"}, "depth", "(absent)"},
      {{"--input3d", "list.txt", "-d", "1"}, "depth", "1"},
      {{"--input3d", "list.txt"}, "input2d", "(absent)"},
      {{"foo", "--depth", "8", "bar"}, "depth", "8"},
      {{"--help", "x"}, "help", "true"},
  };
  for (const Case& c : cases) {
    Scanned scanned(c.arguments);
    EXPECT_EQ(scanned.Value(c.option), c.expected)
        << testing::PrintToString(c.arguments) << " " << c.option;
  }
}

TEST(OptionParser, FlagIsSetExactlyWhenValueIsTrue) {
  struct Case {
    std::vector<std::string> arguments;
    const char* name;
    bool set;
  };
  const Case cases[] = {
      {{"-h"}, "help", true},        {{"--help"}, "help", true},      {{"--help=x"}, "help", true},
      {{}, "help", false},           {{"-d", "true"}, "depth", true}, {{"-dTRUE"}, "depth", false},
      {{"-dtrue1"}, "depth", false}, {{"-d", ""}, "depth", false},    {{"-h"}, "undeclared", false},
  };
  for (const Case& c : cases) {
    Scanned scanned(c.arguments);
    EXPECT_EQ(scanned.parser.IsFlagSet(c.name), c.set) << testing::PrintToString(c.arguments);
    EXPECT_EQ(scanned.parser.IsFlagSet(c.name[0]), c.set) << testing::PrintToString(c.arguments);
  }
  Scanned nothing({});
  EXPECT_FALSE(nothing.parser.HasParsedOptions());
  EXPECT_EQ(nothing.parser.FindValue("help"), nullptr);
}

// A parser with the given declarations that has scanned "prog" + words.
std::unique_ptr<OptionParser> ScanWith(void (*declare)(OptionParser&),
                                       const std::vector<const char*>& words) {
  auto parser = std::make_unique<OptionParser>();
  declare(*parser);
  std::vector<const char*> vector = {"prog"};
  vector.insert(vector.end(), words.begin(), words.end());
  parser->ScanArguments(static_cast<int>(vector.size()), vector.data());
  return parser;
}

void DeclareZero(OptionParser& parser) { parser.DeclareValueOption("zero", '0'); }

TEST(OptionParser, DeclarationRules) {
  // The digit 0 means "no value pending", so that option cannot take the next argument.
  EXPECT_EQ(ScanWith(DeclareZero, {"-0", "v"})->FindValue("zero"), nullptr);
  EXPECT_STREQ(ScanWith(DeclareZero, {"-0v"})->FindValue("zero"), "v");

  auto twice = ScanWith(
      [](OptionParser& p) {
        p.DeclareValueOption("name", 'n');
        p.DeclareFlag("name", 'n');
      },
      {"--name", "first", "-n", "second"});
  EXPECT_STREQ(twice->FindValue("name"), "second");  // the first declaration wins

  auto undeclared = ScanWith([](OptionParser&) {}, {"--depth", "3"});
  EXPECT_TRUE(undeclared->HasParsedOptions());
  EXPECT_EQ(undeclared->FindValue("depth"), nullptr);

  auto late = ScanWith(
      [](OptionParser& p) {
        p.DeclareValueOption("depth", 'd');
        p.FindValue("depth");  // sizes the value table for good
        p.DeclareValueOption("late", 'l');
      },
      {"--late", "x", "-l", "y", "-d", "3"});
  EXPECT_EQ(late->FindValue("late"), nullptr);
  EXPECT_STREQ(late->FindValue("depth"), "3");

  auto rescanned = ScanWith([](OptionParser& p) { p.DeclareValueOption("depth", 'd'); }, {"-d1"});
  const char* second[] = {"prog", "-d2"};
  rescanned->ScanArguments(2, second);
  EXPECT_STREQ(rescanned->FindValue("depth"), "1");  // only the first scan counts
}

TEST(OptionParser, TablesGrowPastTheirInitialCapacity) {
  std::vector<std::string> names;
  std::vector<std::string> words = {"prog"};
  for (int i = 0; i < 45; ++i) {
    names.push_back("option" + std::to_string(i));
    words.push_back(i % 2 ? "--" + names[i] : std::string("-") + char('A' + i));
    words.push_back("v" + std::to_string(i));
  }
  OptionParser parser;
  for (int i = 0; i < 45; ++i) parser.DeclareValueOption(names[i].c_str(), char('A' + i));
  std::vector<const char*> vector;
  for (const std::string& word : words) vector.push_back(word.c_str());
  parser.ScanArguments(static_cast<int>(vector.size()), vector.data());
  for (int i = 0; i < 45; ++i) EXPECT_EQ(parser.FindValue(names[i].c_str()), words[2 + 2 * i]);
}

TEST(OptionParser, UsageWrittenOnceWithFramingEmptyLines) {
  std::vector<std::string> lines;
  for (int i = 0; i < 13; ++i) lines.push_back("line " + std::to_string(i) + " \t");
  OptionParser parser;
  std::string expected = "\n";
  for (const std::string& line : lines) {
    parser.AddUsageLine(line.c_str());
    expected += line + "\n";
  }
  testing::internal::CaptureStdout();
  parser.WriteUsage();
  parser.WriteUsage();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expected + "\n");
}

}  // namespace
