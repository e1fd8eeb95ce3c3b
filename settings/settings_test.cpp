// The settings file: byte-level INI reading and writing, the settings
// record's load and save orders, the filter list and the data folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "settings/app_settings.h"
#include "settings/data_folder.h"
#include "settings/ini_file.h"
#include "tests/test_support.h"

namespace vostrel::settings {
namespace {

using test::ReadFile;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

IniFile Parsed(std::string_view bytes) {
  IniFile file;
  file.Parse(bytes);
  return file;
}

TEST(IniFile, ReadsValuesWithoutRegardToCase) {
  const IniFile file = Parsed(
      "; comment\r\n[Main]\r\nLeft = 12 \r\ndirpath=D:\\NC\\OUT\\\r\nEmpty=\r\n"
      "[OPTIONS]\r\nDefName=#INC\r\n[main]\r\nLeft=99\r\n");
  struct Case { std::string section, key; std::optional<std::string> value; };
  const Case cases[] = {
      {"Main", "Left", "12"},                    // blanks around the value trimmed
      {"MAIN", "LEFT", "12"},                    // names without regard to case
      {"Main", "DirPath", "D:\\NC\\OUT\\"},      // backslashes are plain bytes
      {"Main", "Empty", ""},                     // an empty value is empty, not absent
      {"Main", "Top", std::nullopt},
      {"Options", "defname", "#INC"},
      {"Print", "Page", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(file.Get(c.section, c.key), c.value) << c.section << "." << c.key;
}

TEST(IniFile, WritingKeepsEveryOtherLine) {
  IniFile file = Parsed(
      "; my settings\r\n[Main]\r\nleft=1\r\nUnknown=keep me\r\n\r\n[Other]\r\nx=y\r\n");
  file.Set("MAIN", "Left", "20");     // replaced where it stands, spelled as in the file
  file.Set("Main", "Top", "30");      // appended after the section's last filled line
  file.Set("Print", "Page", "1");     // a new section at the end
  EXPECT_EQ(file.Bytes(),
            "; my settings\r\n[Main]\r\nleft=20\r\nUnknown=keep me\r\nTop=30\r\n\r\n"
            "[Other]\r\nx=y\r\n[Print]\r\nPage=1\r\n");
}

TEST(IniFile, LoneLineFeedsAreReadAndWrittenAsCrLf) {
  IniFile file = Parsed("[A]\nk=v\n");
  EXPECT_EQ(file.Get("a", "K"), "v");
  EXPECT_EQ(file.Bytes(), "[A]\r\nk=v\r\n");
}

TEST(ParseIniInteger, DecimalHexAndRubbish) {
  struct Case { std::string text; std::optional<int> value; };
  const Case cases[] = {
      {"10", 10}, {" -25 ", -25}, {"+7", 7}, {"0x1A", 26}, {"0XfF", 255},
      {"abc", std::nullopt}, {"", std::nullopt}, {"12abc", std::nullopt}, {"0x", std::nullopt},
      {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"2147483648", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseIniInteger(c.text), c.value) << c.text;
}

TEST(AppSettings, DefaultsWithNoFile) {
  TempDir dir;
  IniFile file;
  ASSERT_TRUE(file.Load(dir / "none.INI"));
  const AppSettings s = ReadAppSettings(file);
  EXPECT_EQ(s.Main.Left, 10);
  EXPECT_EQ(s.Main.Top, 10);
  EXPECT_EQ(s.DirPath, DefaultFolder());
  EXPECT_EQ(s.ChgPath, s.DirPath);
  EXPECT_EQ(s.Mask, "NC");
  EXPECT_EQ(s.Run.StartChar, "$");
  EXPECT_EQ(s.Run.DefName, "#INCLUDE");
  for (const std::string* flag : {&s.ChgPath_Flg, &s.Run.Chg_MacroA, &s.Run.EndChar, &s.Run.chg16_10, &s.Run.End_set})
    EXPECT_EQ(*flag, "N");
  EXPECT_EQ(s.View.Width, 500);
  EXPECT_EQ(s.View.Height, 510);
  EXPECT_EQ(s.View.FontSize, 10);
  EXPECT_EQ(s.Mask_No, 1);
  EXPECT_EQ(s.User1_Name, Sjis("ﾕｰｻﾞ1"));
  EXPECT_EQ(s.User2_Mask, "*.*");
  for (const auto& recent : s.RecentFiles) EXPECT_EQ(recent, "");
  EXPECT_TRUE(s.Print.FullPath);
  EXPECT_FALSE(s.Print.FileName);
  EXPECT_TRUE(s.Print.Page);
  EXPECT_TRUE(s.Print.LineNo);
  EXPECT_EQ(s.Print.TopMargin, 10);
  EXPECT_EQ(s.Print.BottomMargin, 10);
  EXPECT_EQ(s.Print.LeftMargin, 15);
  EXPECT_EQ(s.Print.RightMargin, 10);
}

TEST(AppSettings, FirstSaveWritesSectionsAndKeysInOrder) {
  AppSettings s;
  s.DirPath = s.ChgPath = "C:\\";
  IniFile file;
  WriteAppSettings(s, file);
  EXPECT_EQ(file.Bytes(),
            "[Main]\r\nTop=10\r\nLeft=10\r\nDirPath=C:\\\r\nChgPath=C:\\\r\nMask=NC\r\n"
            "[Options]\r\nStartChar=$\r\nDefName=#INCLUDE\r\nChgPath_Flg=N\r\nChg_MacroA=N\r\n"
            "EndChar=N\r\nchg16_10=N\r\nEnd_set=N\r\n"
            "[View]\r\nLeft=10\r\nTop=10\r\nWidth=500\r\nHeight=510\r\nFontSize=10\r\n"
            "[Setting]\r\nMask_No=1\r\nUser1_Name=" + Sjis("ﾕｰｻﾞ1") + "\r\nUser1_Mask=*.*\r\n"
            "User2_Name=" + Sjis("ﾕｰｻﾞ2") + "\r\nUser2_Mask=*.*\r\n"
            "[Recent File List]\r\nFile1=\r\nFile2=\r\nFile3=\r\nFile4=\r\nFile5=\r\n"
            "[Print]\r\nFullPath=1\r\nFileName=0\r\nPage=1\r\nLineNo=1\r\nTopMargin=10\r\n"
            "BottomMargin=10\r\nLeftMargin=15\r\nRightMargin=10\r\n");
}

TEST(AppSettings, RoundTripThroughTheFileKeepsHandEditsAndUnknownKeys) {
  TempDir dir;
  const auto path = dir / "vostrel.INI";
  WriteFile(path,
            "; written by hand\r\n[main]\r\nLEFT=0x20\r\ntop=-5\r\nDirPath=\r\nMask=nc1\r\n"
            "Extra=kept\r\n[Options]\r\nChgPath_Flg=y\r\nEndChar=Y\r\nStartChar=@\r\n"
            "[View]\r\nWidth=abc\r\nFontSize=14\r\n[Recent File List]\r\nFile2=" +
                Sjis("D:\\NC\\表.NC") + "\r\n[Print]\r\nPage=0\r\nLineNo=zz\r\n");
  IniFile file;
  ASSERT_TRUE(file.Load(path));
  AppSettings s = ReadAppSettings(file);
  EXPECT_EQ(s.Main.Left, 32);
  EXPECT_EQ(s.Main.Top, -5);
  EXPECT_EQ(s.DirPath, "");            // an empty value is not the default
  EXPECT_EQ(s.ChgPath_Flg, "y");       // read as it stands; only "Y" is on
  EXPECT_FALSE(IsOn(s.ChgPath_Flg));
  EXPECT_TRUE(IsOn(s.Run.EndChar));
  EXPECT_EQ(s.Run.StartChar, "@");
  EXPECT_EQ(s.View.Width, 500);        // "abc" takes the default
  EXPECT_EQ(s.View.FontSize, 14);
  EXPECT_EQ(s.RecentFiles[1], Sjis("D:\\NC\\表.NC"));
  EXPECT_FALSE(s.Print.Page);
  EXPECT_TRUE(s.Print.LineNo);         // unparsable bool takes the default

  s.Main.Left = 40;
  IniFile again;
  ASSERT_TRUE(again.Load(path));
  WriteAppSettings(s, again);
  std::string error;
  ASSERT_TRUE(again.Save(path, &error)) << error;
  const std::string bytes = ReadFile(path);
  for (const std::string& expected :
       {std::string("; written by hand\r\n[main]\r\nLEFT=40\r\ntop=-5\r\nDirPath=\r\n"),
        std::string("Extra=kept\r\n"), std::string("ChgPath_Flg=y\r\n"), std::string("Width=500\r\n"),
        std::string("FontSize=14\r\n"), std::string("Mask=nc1\r\n"), std::string("LineNo=1\r\n"),
        // File1 was missing: it joins the end of its section, after File2.
        std::string("File2=") + Sjis("D:\\NC\\表.NC") + "\r\nFile1=\r\nFile3=\r\n"})
    EXPECT_NE(bytes.find(expected), std::string::npos) << expected;

  IniFile reread;
  ASSERT_TRUE(reread.Load(path));
  const AppSettings back = ReadAppSettings(reread);
  EXPECT_EQ(back.Main.Left, 40);
  EXPECT_EQ(back.RecentFiles, s.RecentFiles);
  EXPECT_EQ(back.View.Width, 500);
}

TEST(AppSettings, RenumberSectionIsWrittenOnceItDiffersFromTheDefaults) {
  IniFile file;
  AppSettings s;
  WriteAppSettings(s, file);
  EXPECT_FALSE(file.Get("Renumber", "Start"));
  s.Renumber.Blocks = "targets";
  s.Renumber.Width = 4;
  WriteAppSettings(s, file);
  EXPECT_NE(file.Bytes().find("[Renumber]\r\nStart=10\r\nStep=10\r\nBlocks=targets\r\nSkipLines=1\r\nWidth=4\r\n"),
            std::string::npos);
  const AppSettings back = ReadAppSettings(file);
  EXPECT_EQ(back.Renumber, s.Renumber);
  // Once there, the section stays, also at the defaults.
  WriteAppSettings(AppSettings{}, file);
  EXPECT_EQ(file.Get("Renumber", "Blocks"), "numbered");
}

TEST(AppSettings, FilterListHasSixFilters) {
  AppSettings s;
  EXPECT_EQ(FileFilterList(s),
            Sjis("ＮＣ文章(*.nc;*.nc1;*.nc0)|*.NC;*.NC1;*.NC0|テキスト(*.txt)|*.TXT|"
                 "ﾕｰｻﾞ1(*.*)|*.*|ﾕｰｻﾞ2(*.*)|*.*|すべて表示(*.*)|*.*|拡張子無し    |"));
  s.User2_Name = Sjis("旋盤");
  s.User2_Mask = "*.nc2";
  EXPECT_NE(FileFilterList(s).find(Sjis("旋盤(*.nc2)|*.nc2|")), std::string::npos);
}

TEST(IniFile, FailedWriteLeavesTheOldFileWhole) {
  TempDir dir;
  IniFile file = Parsed("[Main]\r\nLeft=2\r\n");
  std::string error;

  // The target is a folder: the rename cannot replace it.
  const auto folder = dir / "vostrel.INI";
  std::filesystem::create_directory(folder);
  WriteFile(folder / "inside", "x");
  EXPECT_FALSE(file.Save(folder, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadFile(folder / "inside"), "x");

  // A folder that cannot be created (a plain file stands in its way).
  const auto blocked = dir / "plain-file";
  WriteFile(blocked, "x");
  error.clear();
  EXPECT_FALSE(file.Save(blocked / "sub" / "vostrel.INI", &error));
  EXPECT_FALSE(error.empty());

  // No temporary file is left behind.
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) (void)entry, ++entries;
  EXPECT_EQ(entries, 2);

  // A write-protected settings file is not replaced.
  const auto path = dir / "protected.INI";
  WriteFile(path, "[Main]\r\nLeft=1\r\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  EXPECT_FALSE(file.Save(path, &error));
  EXPECT_EQ(ReadFile(path), "[Main]\r\nLeft=1\r\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

TEST(DataFolder, ProgramFolderWhenWritableElseUserConfig) {
  TempDir dir;
  const auto exe = dir / "vostrel";
  EXPECT_EQ(SettingsFilePath(exe), dir / "vostrel.INI");
  EXPECT_EQ(SettingsFilePath(dir / "vostrel.exe"), dir / "vostrel.INI");

  // The shipped word list unless the data folder has its own.
  EXPECT_EQ(WordListFilePath(dir.path()), dir / "ChkData.lst");

  // A program folder the user cannot write to (here: one that is not there).
  const auto locked = dir / "locked";
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  EXPECT_EQ(DataFolder(locked), dir / "config" / "vostrel");
  EXPECT_EQ(SettingsFilePath(locked / "vostrel"), dir / "config" / "vostrel" / "vostrel.INI");
  EXPECT_EQ(WordListFilePath(locked), locked / "ChkData.lst");
  std::filesystem::create_directories(dir / "config" / "vostrel");
  WriteFile(dir / "config" / "vostrel" / "ChkData.lst", "G00\r\n");
  EXPECT_EQ(WordListFilePath(locked), dir / "config" / "vostrel" / "ChkData.lst");
  if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
}

// A program installed as <prefix>/bin/vostrel keeps nothing of the user's
// in <prefix>/bin, even when it may write there (root); a folder named bin
// with the word list beside the programs stays a portable copy.
TEST(DataFolder, InstalledProgramUsesTheUserFolderAndSharedFiles) {
  TempDir dir;
  const auto bin = dir / "usr" / "bin", shared = dir / "usr" / "share" / "vostrel";
  const auto config = dir / "config" / "vostrel";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(shared);
  WriteFile(shared / "ChkData.lst", "G00\r\n");
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);

  EXPECT_EQ(DataFolder(bin), config);
  EXPECT_EQ(SettingsFilePath(bin / "vostrel"), config / "vostrel.INI");
  EXPECT_EQ(WordListFilePath(bin), shared / "ChkData.lst");
  EXPECT_EQ(IncludeHomeFolders(bin), (std::vector{config, shared}));

  WriteFile(bin / "ChkData.lst", "G00\r\n");  // portable after all
  EXPECT_EQ(DataFolder(bin), bin);
  EXPECT_EQ(WordListFilePath(bin), bin / "ChkData.lst");
  EXPECT_EQ(IncludeHomeFolders(bin), std::vector{bin});

  // The Windows installer's folder: shipped files beside the programs, the
  // user's own in the user folder.
  const auto programFiles = dir / "Vostrel";
  std::filesystem::create_directories(programFiles);
  WriteFile(programFiles / "ChkData.lst", "G00\r\n");
  WriteFile(programFiles / "uninstall.exe", "MZ");
  EXPECT_EQ(SettingsFilePath(programFiles / "vostrel.exe"), config / "vostrel.INI");
  EXPECT_EQ(WordListFilePath(programFiles), programFiles / "ChkData.lst");
  EXPECT_EQ(IncludeHomeFolders(programFiles), (std::vector{config, programFiles}));
  if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace vostrel::settings
