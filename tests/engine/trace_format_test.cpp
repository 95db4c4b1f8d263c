// Trace definition files, the text of a record and the framing of the trace byte stream.
#include "engine/trace_format.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/trace_stream.h"

namespace velmora {
namespace {

using ::testing::ElementsAre;

std::string Format(const std::vector<uint8_t>& record, const std::string& tdf = "") {
  const std::vector<TraceDefinition> definitions = ParseTraceDefinitions(tdf);
  return FormatTraceRecord(record, definitions);
}

struct DefinitionCase {
  const char* line;
  bool kept;
  int length, code, subCode;
  const char* message;
};

TEST(TraceDefinitions, LinesThatAreDefinitionsAndLinesThatAreNot) {
  const DefinitionCase cases[] = {
      {"L=02:C=10:S=20:M=Temp \\2\\d", true, 2, 0x10, 0x20, "Temp \\2\\d"},
      {"L=01:C=aB:S=xx:M=any", true, 1, 0xAB, -1, "any"},
      {"L=01:C=10:S=x:M=one x", true, 1, 0x10, -1, "one x"},
      {"L=01:C=10:S=:M=no x", true, 1, 0x10, -1, "no x"},
      {"L=00:C=10:S=20:M=", true, 0, 0x10, 0x20, ""},
      {"L=01:C=10:S=20:M=a:M=b", true, 1, 0x10, 0x20, "a:M=b"},
      {"L=1:C=10:S=20:M=short L", false, 0, 0, 0, ""},
      {"L=01:C=G0:S=20:M=not hex", false, 0, 0, 0, ""},
      {"L=01:C=10:S=zz:M=other letters", false, 0, 0, 0, ""},
      {"L=01:C=10:S=xxx:M=three x", false, 0, 0, 0, ""},
      {"L=01:C=10:S=20", false, 0, 0, 0, ""},
      {"L=01;C=10:S=20:M=separator", false, 0, 0, 0, ""},
      {" L=01:C=10:S=20:M=indented", false, 0, 0, 0, ""},
      {"; a comment", false, 0, 0, 0, ""},
  };
  for (const DefinitionCase& c : cases) {
    const std::vector<TraceDefinition> parsed = ParseTraceDefinitions(c.line);
    ASSERT_EQ(parsed.size(), c.kept ? 1u : 0u) << c.line;
    if (!c.kept) continue;
    EXPECT_EQ(parsed[0].length, c.length) << c.line;
    EXPECT_EQ(parsed[0].code, c.code) << c.line;
    EXPECT_EQ(parsed[0].subCode, c.subCode) << c.line;
    EXPECT_EQ(parsed[0].message, c.message) << c.line;
  }
}

TEST(TraceDefinitions, LinesEndAtCrOrLfAndTheLimitsHold) {
  const auto parsed = ParseTraceDefinitions(
      "L=01:C=01:S=xx:M=a\rL=01:C=02:S=xx:M=b\nL=01:C=03:S=xx:M=c\r\n\r\nL=01:C=04:S=xx:M=d");
  ASSERT_EQ(parsed.size(), 4u);
  EXPECT_EQ(parsed[0].message, "a");
  EXPECT_EQ(parsed[3].message, "d");

  // A template longer than 1024 bytes is cut; more than 10000 definitions are not read.
  const auto longLine = ParseTraceDefinitions("L=01:C=01:S=xx:M=" + std::string(5000, 'y'));
  ASSERT_EQ(longLine.size(), 1u);
  EXPECT_EQ(longLine[0].message.size(), kMaxTraceTemplateBytes);
  std::string many;
  for (int i = 0; i < 10005; ++i) many += "L=01:C=01:S=xx:M=" + std::to_string(i) + "\n";
  const auto limited = ParseTraceDefinitions(many);
  ASSERT_EQ(limited.size(), kMaxTraceDefinitions);
  EXPECT_EQ(limited.back().message, "9999");
}

struct FormatCase {
  std::vector<uint8_t> record;
  const char* tdf;
  const char* text;
};

TEST(FormatTraceRecord, WithoutADefinitionTheBytesAreShown) {
  EXPECT_EQ(Format({0x10, 0x20, 0x30}), "Trace 10 - 20,30\t\t\t\t(3)");
  EXPECT_EQ(Format({0x05}), "Trace 05");
  EXPECT_EQ(Format({0xAB, 0x01}), "Trace AB - 01\t\t\t\t(2)");
  // A definition that does not apply leaves the record unformatted.
  EXPECT_EQ(Format({0x10, 0x21, 0x34}, "L=02:C=10:S=20:M=Temp"), "Trace 10 - 21,34\t\t\t\t(3)");
  EXPECT_EQ(Format({0x10}, "L=01:C=10:S=20:M=needs a second byte"), "Trace 10");
  EXPECT_EQ(Format({0x10, 0x20}, "L=03:C=10:S=20:M=too short"), "Trace 10 - 20\t\t\t\t(2)");
}

TEST(FormatTraceRecord, TemplateEscapes) {
  const FormatCase cases[] = {
      {{0x10, 0x20, 0x34, 0x12}, "L=02:C=10:S=20:M=Temp \\2\\d", "Temp 4660"},
      {{0x10, 0x34, 0x12, 0x34, 0x12}, "L=01:C=10:S=xx:M=\\2\\x \\h\\x", "1234 3412"},
      {{0x10, 0x01, 0x02, 0x03}, "L=01:C=10:S=xx:M=\\3\\X", "030201"},
      {{0x10, 0x01, 0x02, 0x03, 0x04}, "L=01:C=10:S=xx:M=\\4\\x", "04030201"},
      {{0x10, 0xFF}, "L=01:C=10:S=xx:M=\\s \\d", "-1 205"},
      {{0x10, 0xFE, 0xFF}, "L=01:C=10:S=xx:M=\\2\\S", "-2"},
      {{0x10, 0x80, 0x00}, "L=01:C=10:S=xx:M=\\H\\2\\s", "-32768"},
      {{0x10, 'H', 'i'}, "L=01:C=10:S=xx:M=\\2\\a!", "Hi!"},
      {{0x10, 'H', 'i'}, "L=01:C=10:S=xx:M=\\h\\2\\A", "iH"},
      {{0x10, 0x00, 0x00, 0x80, 0x3F}, "L=01:C=10:S=xx:M=\\f", "1.000000"},
      {{0x10, 0x00, 0x00, 0x80}, "L=01:C=10:S=xx:M=\\F|", "*** less then 4 bytes available *** |"},
      {{0x10, 1, 2, 3, 4}, "L=01:C=10:S=xx:M=\\p02\\x \\p00\\x", "03 01"},
      {{0x10, 1, 2, 3}, "L=01:C=10:S=xx:M=\\p41\\x\\x", "0102"},  // 0x41 is beyond 64
      {{0x10, 1, 2, 3}, "L=01:C=10:S=xx:M=\\p40\\x", "CD"},       // 64: allowed, past the end
      {{0x10, 1, 2, 3}, "L=01:C=10:S=xx:M=\\x:\\r", "01:02,03"},
      {{0x10, 'a', 'b', 'c'}, "L=01:C=10:S=xx:M=\\x=\\R", "61=bc"},
      {{0x10, 'a', 0x0A, 0x00, 0xE9}, "L=01:C=10:S=xx:M=\\R", "a..\xC3\xA9"},
      {{0x10}, "L=01:C=10:S=xx:M=\\x \\2\\x \\4\\d \\3\\a", "CD CDCD 3452816845 ..."},
      {{0x10, 0x01}, "L=01:C=10:S=xx:M=\\2\\x", "CDCD"},
      {{0x10}, "L=01:C=10:S=xx:M=a\\\\b\\qc\\", "a\\bc"},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(Format(c.record, c.tdf), c.text) << c.tdf;
  }
}

TEST(FormatTraceRecord, TheFirstDefinitionInFileOrderWins) {
  const char* tdf =
      "L=02:C=10:S=20:M=specific\n"
      "L=01:C=10:S=xx:M=any \\x\n"
      "L=02:C=10:S=21:M=never reached\n";
  EXPECT_EQ(Format({0x10, 0x20, 0x99}, tdf), "specific");
  EXPECT_EQ(Format({0x10, 0x21, 0x99}, tdf), "any 21");
}

// ---- The byte stream --------------------------------------------------------------------------

std::vector<std::string> Items(const std::vector<uint8_t>& bytes, size_t* used = nullptr) {
  std::vector<std::string> items;
  const size_t consumed = ParseTraceBytes(bytes, [&](const TraceItem& item) {
    switch (item.kind) {
      case TraceItem::Kind::kNull:
        items.push_back("NULL");
        break;
      case TraceItem::Kind::kOverflow:
        items.push_back("OVERFLOW");
        break;
      case TraceItem::Kind::kRecord:
        items.push_back(FormatTraceRecord(item.record, {}));
        break;
    }
  });
  if (used) *used = consumed;
  return items;
}

TEST(TraceStream, RecordsNullsOverflowsAndOneByteRecords) {
  size_t used = 0;
  EXPECT_THAT(Items({0x03, 0x10, 0x20, 0x30, 0x85, 0x00, 0xFF, 0xFE, 0x01, 0x7F}, &used),
              ElementsAre("Trace 10 - 20,30\t\t\t\t(3)", "Trace 05", "NULL", "OVERFLOW", "Trace 7E",
                          "Trace 7F"));
  EXPECT_EQ(used, 10u);
}

TEST(TraceStream, AnIncompleteRecordIsLeftForTheNextRead) {
  // Split anywhere, the leftover put in front of the rest gives the same items.
  const std::vector<uint8_t> bytes = {0x85, 0x03, 0x10, 0x20, 0x30, 0x02, 0x41, 0x42};
  const std::vector<std::string> whole = Items(bytes);
  for (size_t split = 0; split <= bytes.size(); ++split) {
    size_t used = 0;
    std::vector<uint8_t> first(bytes.begin(), bytes.begin() + static_cast<long>(split));
    std::vector<std::string> items = Items(first, &used);
    std::vector<uint8_t> second(first.begin() + static_cast<long>(used), first.end());
    EXPECT_LE(second.size(), kMaxTraceCarryOver);
    second.insert(second.end(), bytes.begin() + static_cast<long>(split), bytes.end());
    for (std::string& item : Items(second)) items.push_back(std::move(item));
    EXPECT_EQ(items, whole) << "split at " << split;
  }
  // The longest record waits for all of its 127 bytes.
  std::vector<uint8_t> longest(128, 0x11);
  longest[0] = 0x7F;
  size_t used = 0;
  EXPECT_TRUE(Items(std::vector<uint8_t>(longest.begin(), longest.end() - 1), &used).empty());
  EXPECT_EQ(used, 0u);
  EXPECT_EQ(Items(longest, &used).size(), 1u);
  EXPECT_EQ(used, 128u);
}

}  // namespace
}  // namespace velmora
