// Settings files that are broken or hostile: garbage bytes, sections twice
// or not at all, 1 MB values, bytes that are no Shift-JIS. Loading never
// fails on them, unusable values leave the defaults, and a save keeps every
// line it does not own (pipeline/hostile_write_test.cpp: failed saves).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "settings/app_settings.h"
#include "settings/ini_file.h"
#include "tests/test_support.h"

namespace vostrel::settings {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// The settings as the file would hold them (compares every field).
std::string Saved(const AppSettings& settings) {
  IniFile file;
  WriteAppSettings(settings, file);
  return file.Bytes();
}

AppSettings Load(const std::filesystem::path& path) {
  IniFile file;
  std::string error;
  EXPECT_TRUE(file.Load(path, &error)) << error;
  return ReadAppSettings(file);
}

// True when `lines` holds `wanted` in this order (other lines between).
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
  std::size_t next = 0;
  for (const auto& line : lines)
    if (next < wanted.size() && line == wanted[next]) ++next;
  return next == wanted.size();
}

TEST(HostileSettings, GarbageBytesGiveTheDefaults) {
  TempDir dir;
  std::mt19937 random(3);
  for (std::size_t size : {1u, 100u, 1u << 20}) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    // No header can come out of these bytes: "[" is dropped.
    for (char& c : bytes)
      if (c == '[') c = '{';
    WriteFile(dir / "vostrel.INI", bytes);
    EXPECT_EQ(Saved(Load(dir / "vostrel.INI")), Saved(AppSettings())) << size << " bytes";
  }
}

TEST(HostileSettings, UnusableValuesKeepTheirDefaults) {
  TempDir dir;
  const std::string huge(1 << 20, '7');
  WriteFile(dir / "vostrel.INI",
            "[Main]\r\nLeft=\r\nTop=" + huge + "\r\n[View]\r\nWidth=12abc\r\nHeight=0x\r\nFontSize=--3\r\n"
            "[Setting]\r\nMask_No=99999999999\r\n[Print]\r\nPage=\xFF\r\nTopMargin= 0x10 \r\n");
  const AppSettings s = Load(dir / "vostrel.INI");
  const AppSettings d;
  EXPECT_EQ(s.Main.Left, d.Main.Left);
  EXPECT_EQ(s.Main.Top, d.Main.Top);
  EXPECT_EQ(s.View.Width, d.View.Width);
  EXPECT_EQ(s.View.Height, d.View.Height);
  EXPECT_EQ(s.View.FontSize, d.View.FontSize);
  EXPECT_EQ(s.Mask_No, d.Mask_No);
  EXPECT_EQ(s.Print.Page, d.Print.Page);
  EXPECT_EQ(s.Print.TopMargin, 16);  // a usable value next to them is read
}

TEST(HostileSettings, DuplicateSectionsFirstOneCounts) {
  TempDir dir;
  const std::string text =
      "[Main]\r\nLeft=5\r\n[Options]\r\nEndChar=Y\r\n[MAIN]\r\nLeft=7\r\nTop=9\r\nMine=keep\r\n"
      "[Options]\r\nEndChar=N\r\nchg16_10=Y\r\n";
  WriteFile(dir / "vostrel.INI", text);
  IniFile file;
  ASSERT_TRUE(file.Load(dir / "vostrel.INI"));
  AppSettings s = ReadAppSettings(file);
  EXPECT_EQ(s.Main.Left, 5);
  EXPECT_EQ(s.Main.Top, AppSettings().Main.Top);  // only in the second [Main]
  EXPECT_EQ(s.Run.EndChar, "Y");
  EXPECT_EQ(s.Run.chg16_10, "N");                // only in the second [Options]

  // Saving writes into the first sections; the second ones stay as they were.
  s.Main.Left = 40;
  WriteAppSettings(s, file);
  ASSERT_TRUE(file.Save(dir / "vostrel.INI"));
  const std::vector<std::string> lines = [&] {
    IniFile again;
    EXPECT_TRUE(again.Load(dir / "vostrel.INI"));
    EXPECT_EQ(Saved(ReadAppSettings(again)), Saved(s));
    return again.Lines();
  }();
  EXPECT_TRUE(InOrder(lines, {"[Main]", "Left=40", "[MAIN]", "Left=7", "Top=9", "Mine=keep", "[Options]",
                              "EndChar=N", "chg16_10=Y"}));
}

TEST(HostileSettings, MissingSectionsAreAddedAndTheRestKept) {
  TempDir dir;
  WriteFile(dir / "vostrel.INI", "; hand-written\r\n[Print]\r\nPage=0\r\nMyPrinter=Shop floor\r\n");
  IniFile file;
  ASSERT_TRUE(file.Load(dir / "vostrel.INI"));
  const AppSettings s = ReadAppSettings(file);
  AppSettings expected;
  expected.Print.Page = false;
  EXPECT_EQ(Saved(s), Saved(expected));
  WriteAppSettings(s, file);
  ASSERT_TRUE(file.Save(dir / "vostrel.INI"));
  IniFile again;
  ASSERT_TRUE(again.Load(dir / "vostrel.INI"));
  EXPECT_TRUE(InOrder(again.Lines(), {"; hand-written", "[Print]", "Page=0", "MyPrinter=Shop floor"}));
  for (const std::string section : {"[Main]", "[Options]", "[View]", "[Setting]", "[Recent File List]"})
    EXPECT_EQ(std::count(again.Lines().begin(), again.Lines().end(), section), 1) << section;
  EXPECT_EQ(Saved(ReadAppSettings(again)), Saved(s));
}

// Long texts and bytes that are no Shift-JIS are kept byte for byte: they
// are the user's paths and names, whatever they hold.
TEST(HostileSettings, LongValuesAndForeignBytesComeBackByteForByte) {
  TempDir dir;
  std::string longPath(1 << 20, 'D');
  longPath.front() = '\\';
  const std::string foreign = "\x80\xA0\xFD\xFE\xFF\x81 \x9F";  // undefined bytes, lone lead bytes
  WriteFile(dir / "vostrel.INI", "[Main]\r\nDirPath=" + longPath + "\r\nMask=" + foreign + "\r\n[Options]\r\n"
                                 "StartChar=" + foreign + "\r\nChg_MacroA=\x82\x78\r\n[Setting]\r\n"
                                 "User1_Name=" + foreign + "\r\n[Recent File List]\r\nFile1=" + longPath + "\r\n");
  IniFile file;
  ASSERT_TRUE(file.Load(dir / "vostrel.INI"));
  const AppSettings s = ReadAppSettings(file);
  EXPECT_TRUE(s.DirPath == longPath);
  EXPECT_EQ(s.Mask, foreign);
  EXPECT_EQ(s.Run.StartChar, foreign);
  EXPECT_FALSE(IsOn(s.Run.Chg_MacroA));  // a full-width Ｙ is not "Y"
  EXPECT_EQ(s.User1_Name, foreign);
  EXPECT_TRUE(s.RecentFiles[0] == longPath);
  (void)FileFilterList(s);

  WriteAppSettings(s, file);
  ASSERT_TRUE(file.Save(dir / "vostrel.INI"));
  EXPECT_EQ(Saved(Load(dir / "vostrel.INI")), Saved(s));
}

TEST(HostileSettings, FolderInPlaceOfTheFileIsAReadErrorWithDefaults) {
  TempDir dir;
  std::filesystem::create_directory(dir / "vostrel.INI");
  IniFile file;
  std::string error;
  EXPECT_FALSE(file.Load(dir / "vostrel.INI", &error)) << "a folder is no settings file";
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(file.Lines().empty());
  EXPECT_EQ(Saved(ReadAppSettings(file)), Saved(AppSettings()));
}

TEST(HostileSettings, DeviceInPlaceOfTheFileIsNotRead) {
  if (!std::filesystem::exists("/dev/null")) GTEST_SKIP() << "no /dev/null";
  IniFile file;
  std::string error;
  EXPECT_FALSE(file.Load("/dev/null", &error));
  EXPECT_EQ(error, "not a regular file");
}

// A file saved by an editor that starts it with a UTF-8 byte-order mark:
// the first section is read, and the mark comes back on save.
TEST(HostileSettings, ByteOrderMarkIsSkippedAndKept) {
  const std::string bytes = "\xEF\xBB\xBF[Main]\r\nLeft=3\r\n";
  IniFile file;
  file.Parse(bytes);
  EXPECT_EQ(ReadAppSettings(file).Main.Left, 3);
  WriteAppSettings(ReadAppSettings(file), file);
  EXPECT_EQ(file.Bytes().rfind("\xEF\xBB\xBF[Main]\r\nLeft=3\r\n", 0), 0u);
  EXPECT_EQ(std::count(file.Lines().begin(), file.Lines().end(), "[Main]"), 1);
}

}  // namespace
}  // namespace vostrel::settings
