// The line model and the token cutter.
#include "script/script_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace velmora {
namespace {

std::vector<std::pair<std::string, int>> ReadAll(std::string_view text) {
  ScriptLineReader reader(text);
  std::vector<std::pair<std::string, int>> lines;
  ScriptSourceLine line;
  while (reader.ReadLine(line)) lines.emplace_back(std::string(line.text), line.lineNumber);
  return lines;
}

TEST(ScriptLineReader, CountsCrLfLfAndCrEndingsAlike) {
  const std::vector<std::pair<std::string, int>> expected = {{"a = 1", 1}, {"b", 3}, {"c", 4}};
  for (const char* text : {"a = 1\r\n\r\nb\r\nc\r\n\r", "a = 1\n\nb\nc\n\r", "a = 1\r\rb\rc\r\r"}) {
    EXPECT_EQ(ReadAll(text), expected) << text;
  }
}

TEST(ScriptLineReader, CutsCommentsAndTrailingBlanksButNotInsideQuotes) {
  EXPECT_EQ(ReadAll("x = 5 ; five\r"), (std::vector<std::pair<std::string, int>>{{"x = 5", 1}}));
  EXPECT_EQ(ReadAll("msg \"a;b\" ;c\r"),
            (std::vector<std::pair<std::string, int>>{{"msg \"a;b\"", 1}}));
  EXPECT_EQ(ReadAll("  \t; only a comment\n\t lead\t \n"),
            (std::vector<std::pair<std::string, int>>{{"lead", 2}}));
}

TEST(ScriptLineReader, EmptyTextHasNoLines) {
  EXPECT_TRUE(ReadAll("").empty());
  EXPECT_TRUE(ReadAll("\r\n \t\r\n").empty());
}

struct TokenCase {
  const char* line;
  bool plain;
  std::vector<std::string> tokens;
};

class SplitTokensTable : public ::testing::TestWithParam<TokenCase> {};

TEST_P(SplitTokensTable, CutsAsTheRulesSay) {
  const TokenCase& c = GetParam();
  EXPECT_EQ(SplitTokens(c.line, c.plain), c.tokens) << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitTokensTable,
    ::testing::Values(TokenCase{"a=b", false, {"a", "=", "b"}}, TokenCase{"a==b", false, {"a==b"}},
                      TokenCase{"a<=b a!=b a>=b", true, {"a<=b", "a!=b", "a>=b"}},
                      TokenCase{"x = 1 + 2", false, {"x", "=", "1 + 2"}},
                      TokenCase{"CLK = 1 DATA = 0", true, {"CLK", "=", "1", "DATA", "=", "0"}},
                      TokenCase{"add A0, 5 + 3", false, {"add", "A0", "5 + 3"}},
                      TokenCase{"ADD A0\t5", false, {"ADD", "A0", "5"}},
                      TokenCase{"sub *Main entry", false, {"sub", "*Main entry"}},
                      TokenCase{"sub *Main\tentry", false, {"sub", "*Main", "entry"}},
                      TokenCase{"msg \"a, b\" c", false, {"msg", "\"a, b\" c"}},
                      TokenCase{"call f(1, 2) x", false, {"call", "f(1, 2)", "x"}},
                      TokenCase{"a,,b", false, {"a", "", "b"}},
                      TokenCase{"a  ,  b", false, {"a", "b"}},
                      TokenCase{"send  A0   A1", false, {"send", "A0", "A1"}},
                      TokenCase{"x=\"a=b\"", false, {"x", "=", "\"a=b\""}},
                      TokenCase{"=x", false, {"=", "x"}}));

TEST(SplitTokens, TakesAtMost64TokensOf1023Characters) {
  std::string line;
  for (int i = 0; i < 70; ++i) line += "t" + std::to_string(i) + " ";
  const auto tokens = SplitTokens(line, false);
  ASSERT_EQ(tokens.size(), kMaxTokens);
  EXPECT_EQ(tokens.back(), "t63");

  const auto longToken = SplitTokens(std::string(5000, 'x') + " y", false);
  ASSERT_EQ(longToken.size(), 2u);
  EXPECT_EQ(longToken[0].size(), kMaxTokenLength);
  EXPECT_EQ(longToken[1], "y");
}

TEST(ShortenSourcePath, KeepsTheLastSixtyCharacters) {
  EXPECT_EQ(ShortenSourcePath("/s/a.zeq"), "/s/a.zeq");
  const std::string sixty(60, 'p');
  EXPECT_EQ(ShortenSourcePath(sixty), sixty);
  const std::string longer = "/root/" + std::string(57, 'd') + "/x.zeq";
  const std::string shortened = ShortenSourcePath(longer);
  EXPECT_EQ(shortened.size(), 60u);
  EXPECT_EQ(shortened.substr(0, 3), "...");
  EXPECT_EQ(shortened.substr(3), longer.substr(longer.size() - 57));
}

}  // namespace
}  // namespace velmora
