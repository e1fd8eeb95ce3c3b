#include "settings/app_settings.h"

#include "platform/user_folders.h"
#include "text/sjis.h"

namespace vostrel::settings {

namespace {

constexpr std::string_view kMain = "Main";
constexpr std::string_view kOptions = "Options";
constexpr std::string_view kView = "View";
constexpr std::string_view kSetting = "Setting";
constexpr std::string_view kRecent = "Recent File List";
constexpr std::string_view kPrint = "Print";
constexpr std::string_view kRenumber = "Renumber";

void ReadString(const IniFile& file, std::string_view section, std::string_view key, std::string& field) {
  if (auto value = file.Get(section, key)) field = std::move(*value);
}

void ReadInt(const IniFile& file, std::string_view section, std::string_view key, int& field) {
  if (auto value = file.Get(section, key))
    if (auto number = ParseIniInteger(*value)) field = *number;
}

void ReadBool(const IniFile& file, std::string_view section, std::string_view key, bool& field) {
  if (auto value = file.Get(section, key))
    if (auto number = ParseIniInteger(*value)) field = *number != 0;
}

void WriteInt(IniFile& file, std::string_view section, std::string_view key, int value) {
  file.Set(section, key, std::to_string(value));
}

std::string RecentKey(int i) { return "File" + std::to_string(i + 1); }

}  // namespace

std::string Cp932(std::string_view utf8) { return sjis::FromUtf8(utf8).value_or(std::string()); }

std::string DefaultFolder() { return sjis::FromUtf8(platform::DefaultStartFolder()).value_or("/"); }

AppSettings::AppSettings()
    : DirPath(DefaultFolder()),
      ChgPath(DirPath),
      User1_Name(Cp932("ﾕｰｻﾞ1")),
      User2_Name(Cp932("ﾕｰｻﾞ2")) {}

void ReadMainPosition(const IniFile& file, AppSettings& s) {
  ReadInt(file, kMain, "Left", s.Main.Left);
  ReadInt(file, kMain, "Top", s.Main.Top);
}

void ReadRemainingSettings(const IniFile& file, AppSettings& s) {
  ReadString(file, kMain, "DirPath", s.DirPath);
  ReadString(file, kMain, "ChgPath", s.ChgPath);
  ReadString(file, kMain, "Mask", s.Mask);
  ReadString(file, kOptions, "StartChar", s.Run.StartChar);
  ReadString(file, kOptions, "DefName", s.Run.DefName);
  ReadInt(file, kView, "Left", s.View.Left);
  ReadInt(file, kView, "Top", s.View.Top);
  ReadInt(file, kView, "Width", s.View.Width);
  ReadInt(file, kView, "Height", s.View.Height);
  ReadInt(file, kView, "FontSize", s.View.FontSize);
  ReadBool(file, kView, "LineNumbers", s.View.LineNumbers);
  ReadString(file, kOptions, "ChgPath_Flg", s.ChgPath_Flg);
  ReadString(file, kOptions, "Chg_MacroA", s.Run.Chg_MacroA);
  ReadString(file, kOptions, "EndChar", s.Run.EndChar);
  ReadString(file, kOptions, "chg16_10", s.Run.chg16_10);
  ReadString(file, kOptions, "End_set", s.Run.End_set);
  ReadInt(file, kSetting, "Mask_No", s.Mask_No);
  ReadString(file, kSetting, "User1_Name", s.User1_Name);
  ReadString(file, kSetting, "User1_Mask", s.User1_Mask);
  ReadString(file, kSetting, "User2_Name", s.User2_Name);
  ReadString(file, kSetting, "User2_Mask", s.User2_Mask);
  ReadString(file, kSetting, "Editor", s.Editor);
  for (int i = 0; i < 5; ++i) ReadString(file, kRecent, RecentKey(i), s.RecentFiles[i]);
  ReadBool(file, kPrint, "FullPath", s.Print.FullPath);
  ReadBool(file, kPrint, "FileName", s.Print.FileName);
  ReadBool(file, kPrint, "Page", s.Print.Page);
  ReadBool(file, kPrint, "LineNo", s.Print.LineNo);
  ReadInt(file, kPrint, "TopMargin", s.Print.TopMargin);
  ReadInt(file, kPrint, "BottomMargin", s.Print.BottomMargin);
  ReadInt(file, kPrint, "LeftMargin", s.Print.LeftMargin);
  ReadInt(file, kPrint, "RightMargin", s.Print.RightMargin);
  ReadInt(file, kRenumber, "Start", s.Renumber.Start);
  ReadInt(file, kRenumber, "Step", s.Renumber.Step);
  ReadString(file, kRenumber, "Blocks", s.Renumber.Blocks);
  ReadBool(file, kRenumber, "SkipLines", s.Renumber.SkipLines);
  ReadInt(file, kRenumber, "Width", s.Renumber.Width);
}

AppSettings ReadAppSettings(const IniFile& file) {
  AppSettings settings;
  ReadMainPosition(file, settings);
  ReadRemainingSettings(file, settings);
  return settings;
}

void WriteAppSettings(const AppSettings& s, IniFile& file) {
  WriteInt(file, kMain, "Top", s.Main.Top);
  WriteInt(file, kMain, "Left", s.Main.Left);
  file.Set(kMain, "DirPath", s.DirPath);
  file.Set(kMain, "ChgPath", s.ChgPath);
  file.Set(kMain, "Mask", s.Mask);
  file.Set(kOptions, "StartChar", s.Run.StartChar);
  file.Set(kOptions, "DefName", s.Run.DefName);
  WriteInt(file, kView, "Left", s.View.Left);
  WriteInt(file, kView, "Top", s.View.Top);
  WriteInt(file, kView, "Width", s.View.Width);
  WriteInt(file, kView, "Height", s.View.Height);
  WriteInt(file, kView, "FontSize", s.View.FontSize);
  if (!s.View.LineNumbers || file.Get(kView, "LineNumbers"))
    WriteInt(file, kView, "LineNumbers", s.View.LineNumbers ? 1 : 0);
  file.Set(kOptions, "ChgPath_Flg", s.ChgPath_Flg);
  file.Set(kOptions, "Chg_MacroA", s.Run.Chg_MacroA);
  file.Set(kOptions, "EndChar", s.Run.EndChar);
  file.Set(kOptions, "chg16_10", s.Run.chg16_10);
  file.Set(kOptions, "End_set", s.Run.End_set);
  WriteInt(file, kSetting, "Mask_No", s.Mask_No);
  file.Set(kSetting, "User1_Name", s.User1_Name);
  file.Set(kSetting, "User1_Mask", s.User1_Mask);
  file.Set(kSetting, "User2_Name", s.User2_Name);
  file.Set(kSetting, "User2_Mask", s.User2_Mask);
  if (!s.Editor.empty() || file.Get(kSetting, "Editor")) file.Set(kSetting, "Editor", s.Editor);
  for (int i = 0; i < 5; ++i) file.Set(kRecent, RecentKey(i), s.RecentFiles[i]);
  WriteInt(file, kPrint, "FullPath", s.Print.FullPath ? 1 : 0);
  WriteInt(file, kPrint, "FileName", s.Print.FileName ? 1 : 0);
  WriteInt(file, kPrint, "Page", s.Print.Page ? 1 : 0);
  WriteInt(file, kPrint, "LineNo", s.Print.LineNo ? 1 : 0);
  WriteInt(file, kPrint, "TopMargin", s.Print.TopMargin);
  WriteInt(file, kPrint, "BottomMargin", s.Print.BottomMargin);
  WriteInt(file, kPrint, "LeftMargin", s.Print.LeftMargin);
  WriteInt(file, kPrint, "RightMargin", s.Print.RightMargin);
  if (s.Renumber != AppSettings::RenumberKeys{} || file.Get(kRenumber, "Start")) {
    WriteInt(file, kRenumber, "Start", s.Renumber.Start);
    WriteInt(file, kRenumber, "Step", s.Renumber.Step);
    file.Set(kRenumber, "Blocks", s.Renumber.Blocks);
    WriteInt(file, kRenumber, "SkipLines", s.Renumber.SkipLines ? 1 : 0);
    WriteInt(file, kRenumber, "Width", s.Renumber.Width);
  }
}

std::string FileFilterList(const AppSettings& s) {
  std::string list = Cp932("ＮＣ文章(*.nc;*.nc1;*.nc0)|*.NC;*.NC1;*.NC0|");
  list += Cp932("テキスト(*.txt)|*.TXT|");
  list += s.User1_Name + "(" + s.User1_Mask + ")|" + s.User1_Mask + "|";
  list += s.User2_Name + "(" + s.User2_Mask + ")|" + s.User2_Mask + "|";
  list += Cp932("すべて表示(*.*)|*.*|");
  list += Cp932("拡張子無し    |");
  return list;
}

}  // namespace vostrel::settings
