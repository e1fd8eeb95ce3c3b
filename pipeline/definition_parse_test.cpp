// Definition lines, include-file text and include paths.

#include "pipeline/definition_parse.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace vostrel {
namespace {

namespace fs = std::filesystem;

TEST(ParseDefinitionLine, NameValueAndMarkers) {
  struct Case {
    std::string line;
    bool stored;
    std::string name, value;
  };
  const Case cases[] = {
      {"$PITCH 1.5", true, "PITCH", "1.5"},
      {"$ XC  #101 + 2 ", true, "XC", "#101 + 2"},
      {"$a #500", true, "a", "$#500$"},
      {"G00 X0 $ORG 100", true, "ORG", "100"},
      {"$AB $Q 2", true, "AB", "$Q 2"},
      {"$A $Q 2", true, "A", "$$Q 2$"},
      {"$NAME ", true, "NAME", ""},
      {"$N ", true, "N", "$$"},
      {"$N \t\x01 v \r", true, "N", "$v$"},         // every byte up to 0x20 is blank
      {"$TOOL T01 M06", true, "TOOL", "T01 M06"},    // a second word belongs to the value
      {"$\x95\x5c X", true, "\x95\x5c", "X"},        // a double-byte name (表)
      {"$X\x81\x40Y 1", true, "X\x81\x40Y", "1"},    // a full-width space does not separate
      {"$PITCH", false, "", ""},
      {"$   ", false, "", ""},
      {"$", false, "", ""},
      {"G01 X10.", false, "", ""},
  };
  for (const auto& c : cases) {
    Definition d;
    ASSERT_EQ(ParseDefinitionLine(c.line, "$", 4, d), c.stored) << c.line;
    if (!c.stored) continue;
    EXPECT_EQ(d.Name, c.name) << c.line;
    EXPECT_EQ(d.Value, c.value) << c.line;
    EXPECT_EQ(d.NameLength, static_cast<int>(c.name.size())) << c.line;
    EXPECT_EQ(d.ScopeStartLine, 4) << c.line;
  }
}

TEST(ParseDefinitionLine, LongerStartCharacterUsesItsFirstOccurrence) {
  Definition d;
  ASSERT_TRUE(ParseDefinitionLine("X DEF:AB DEF:CD 1", "DEF:", 1, d));
  EXPECT_EQ(d.Name, "AB");
  EXPECT_EQ(d.Value, "DEF:CD 1");
  EXPECT_FALSE(ParseDefinitionLine("def:AB 1", "DEF:", 1, d));  // case matters
}

TEST(IsDefinitionLine, NeedsTwoBytesAndTheStartCharacter) {
  EXPECT_FALSE(IsDefinitionLine("$", "$"));
  EXPECT_TRUE(IsDefinitionLine("$P", "$"));
  EXPECT_TRUE(IsDefinitionLine("G00 $", "$"));
  EXPECT_FALSE(IsDefinitionLine("G00", "$"));
  EXPECT_FALSE(IsDefinitionLine("$AB 1", ""));  // an empty start character matches nothing
}

TEST(SplitIncludeText, LineEndsTabsAndNul) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"A\r\nB\rC\nD", {"A", "B", "C", "D"}},
      {"A\r\n\r\nB\r\n", {"A", "", "B"}},
      {"\tX\t1", {" X 1"}},
      {"A\nB\0C\nD", {"A", "B"}},
      {"", {}},
      {"\r\r", {"", ""}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SplitIncludeText(c.bytes), c.lines) << testing::PrintToString(c.bytes);
}

TEST(IncludePathAsWritten, DirectiveRemovedEverywhereAndTrimmed) {
  struct Case {
    std::string line, path;
  };
  const Case cases[] = {
      {"#INCLUDE C:\\NC\\DEF\\COMMON.DEF", "C:\\NC\\DEF\\COMMON.DEF"},
      {"  #INCLUDE   ..\\A.DEF  ", "..\\A.DEF"},
      {"#INCLUDE", ""},
      {"#INCLUDE A#INCLUDE.DEF", "A.DEF"},
      {"X #INCLUDE A.DEF", "X  A.DEF"},  // everything else becomes part of the path
  };
  for (const auto& c : cases) EXPECT_EQ(IncludePathAsWritten(c.line, "#INCLUDE"), c.path) << c.line;
}

#ifndef _WIN32
TEST(ResolveIncludePath, BackslashesAndTheProgramFolder) {
  struct Case {
    std::string written, expected;
  };
  const Case cases[] = {
      {"..\\DEF\\COMMON.DEF", "/opt/v/DEF/COMMON.DEF"},
      {"..\\..\\X.DEF", "/opt/v//opt/v/X.DEF"},  // each "..\" is the folder, never the parent
      {"SUB\\..\\X.DEF", "SUB//opt/v/X.DEF"},
      // Only "..\" with a backslash: "../" is the parent folder as usual.
      {"../DEF/COMMON.DEF", "../DEF/COMMON.DEF"},
      {"SUB/../X.DEF", "SUB/../X.DEF"},
      {"SUB\\../X.DEF", "SUB/../X.DEF"},
      {"A..B\\X.DEF", "A..B/X.DEF"},
      {"DEF\\A.DEF", "DEF/A.DEF"},
      {"/abs/A.DEF", "/abs/A.DEF"},
      {"..", ".."},
      // 表 is 0x95 0x5C: its second byte is no separator.
      {"..\\\x95\x5c\\A.DEF", "/opt/v/\xe8\xa1\xa8/A.DEF"},
  };
  for (const char* exeDir : {"/opt/v", "/opt/v/"}) {
    for (const auto& c : cases) {
      const std::u8string got = ResolveIncludePath(c.written, exeDir).u8string();
      EXPECT_EQ(std::string(got.begin(), got.end()), c.expected) << c.written << " in " << exeDir;
    }
  }
}
#endif

TEST(ReadIncludeFile, OnlyReadableRegularFiles) {
  test::TempDir dir;
  test::WriteFile(dir / "A.DEF", "$AB 1\r\n");
  std::string bytes;
  EXPECT_TRUE(ReadIncludeFile(dir / "A.DEF", bytes));
  EXPECT_EQ(bytes, "$AB 1\r\n");
  EXPECT_FALSE(ReadIncludeFile(dir / "NONE.DEF", bytes));
  EXPECT_FALSE(ReadIncludeFile(dir.path(), bytes));  // a folder
  EXPECT_FALSE(ReadIncludeFile(fs::path(), bytes));
}

}  // namespace
}  // namespace vostrel
