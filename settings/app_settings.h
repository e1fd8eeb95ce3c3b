#pragma once
// The program's settings in memory, one field per key of the settings file,
// and their reading and writing in the file's fixed orders. Every text is
// held as the file's Shift-JIS bytes, so a value nothing changes goes back
// to the file exactly as it came.

#include <array>
#include <string>

#include "pipeline/run_options.h"
#include "settings/ini_file.h"

namespace vostrel::settings {

struct AppSettings {
  struct MainKeys {
    int Left = 10;
    int Top = 10;
  };
  struct ViewKeys {
    int Left = 10;
    int Top = 10;
    int Width = 500;
    int Height = 510;
    int FontSize = 10;
    // Line numbers beside the converted data; written only once it has
    // been turned off (or was in the file).
    bool LineNumbers = true;
  };
  struct PrintKeys {
    bool FullPath = true;
    bool FileName = false;
    bool Page = true;
    bool LineNo = true;
    int TopMargin = 10;
    int BottomMargin = 10;
    int LeftMargin = 15;
    int RightMargin = 10;
  };

  // The viewer's renumbering (section Renumber): Blocks is "numbered",
  // "all" or "targets"; SkipLines 1 leaves O-number, `%` and empty lines
  // without a number; Width 0 pads nothing. Written once the section exists
  // or a value differs from these.
  struct RenumberKeys {
    int Start = 10;
    int Step = 10;
    std::string Blocks = "numbered";
    bool SkipLines = true;
    int Width = 0;
    bool operator==(const RenumberKeys&) const = default;
  };

  AppSettings();

  MainKeys Main;
  std::string DirPath;  // folder of the source chosen last
  std::string ChgPath;  // output folder chosen last in the folder dialog
  std::string Mask = "NC";
  // The run options: StartChar and DefName, and the flags Chg_MacroA,
  // EndChar, chg16_10 and End_set. A run reads them live from here.
  RunOptions Run;
  ViewKeys View;
  std::string ChgPath_Flg = "N";
  int Mask_No = 1;
  std::string User1_Name;
  std::string User1_Mask = "*.*";
  std::string User2_Name;
  std::string User2_Mask = "*.*";
  // The command line that opens a file in the user's editor at a line:
  // %f the file, %l the line, %c the column (empty: the desktop's default
  // application). Written only once it has been set.
  std::string Editor;
  std::array<std::string, 5> RecentFiles;  // File1 .. File5
  PrintKeys Print;
  RenumberKeys Renumber;
};

// The folder the two folder keys start from: the root of the system drive
// on Windows, the user's home folder elsewhere (Shift-JIS bytes).
std::string DefaultFolder();

// Reads every key in the order of the key table; a missing or unparsable
// value keeps the default.
AppSettings ReadAppSettings(const IniFile& file);
// Reads only Main.Left and Main.Top (the window moves before the rest is read).
void ReadMainPosition(const IniFile& file, AppSettings& settings);
// Reads the keys after the main window position.
void ReadRemainingSettings(const IniFile& file, AppSettings& settings);

// Writes every key in the saving order (a new file gets its sections and
// keys in that order).
void WriteAppSettings(const AppSettings& settings, IniFile& file);

// The source open dialog's filters: display name and pattern, each ended by
// "|" (Shift-JIS bytes). Six filters.
std::string FileFilterList(const AppSettings& settings);

// Shift-JIS bytes of UTF-8 text known to have them (fixed texts).
std::string Cp932(std::string_view utf8);

}  // namespace vostrel::settings
