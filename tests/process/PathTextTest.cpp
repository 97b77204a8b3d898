#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "PathText.h"

TEST(QuotedName, ShowsEveryNameOnOneLineAndOrdinaryNamesAsTheyAre) {
  const std::pair<std::string, std::string> cases[] = {
      {"scan.png", "'scan.png'"},
      {"", "''"},
      {"ü 漢.png", "'ü 漢.png'"},
      {"it's.png", "\"it's.png\""},
      {"it's $5.png", "'it'\\''s $5.png'"},
      {"it's\n", "'it'\\''s'$'\\n'"},
      {"a\nb.png", "'a'$'\\n''b.png'"},
      {"\t\x1b[31m", "$'\\t\\033''[31m'"},
      {"end\r", "'end'$'\\r'"},
      {"\a\b\v\f", "$'\\a\\b\\v\\f'"},
      {"del\x7f", "'del'$'\\177'"},
      {"c1\xc2\x85", "'c1'$'\\302\\205'"},                       // U+0085, a C1 control
      {"latin1\xe9.png", "'latin1'$'\\351''.png'"},              // not UTF-8
      {"\xc0\xaf\xed\xa0\x80", "$'\\300\\257\\355\\240\\200'"},  // overlong, surrogate
      {"cut\xe6\xbc", "'cut'$'\\346\\274'"},
      {"\xf0\x9f\x98\x80\xf4\x90\x80\x80",
       "'\xf0\x9f\x98\x80'$'\\364\\220\\200\\200'"},  // past U+10FFFF
  };
  for (const auto& [name, shown] : cases) EXPECT_EQ(QuotedName(name), shown) << shown;
}
