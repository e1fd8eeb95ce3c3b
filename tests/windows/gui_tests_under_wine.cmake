# The window tests left out when gui_tests.exe runs under Wine, each with
# its reason (joined into a gtest filter). What they check on Linux is
# checked on Windows by the wine.desktop test where it applies.
set(VOSTREL_GUI_TESTS_NOT_ON_WINDOWS
  # The frames of a Linux window manager.
  "WindowManager.*"
  # They read the printed PDF with pdftotext, a Linux program; wine.desktop
  # compares the Windows print's pages with Linux's instead.
  "Printing.PdfHasHeaderNumberedLinesAndPageNumbers"
  "Printing.PageRangeChosenInTheDialogPrintsThosePagesOnly"
  "Printing.SelectionPrintsOnePageNumberedFromOne"
  "ToolpathTab.PrintsAPageOfItsOwnAndSavesSvgAndPng"
  # Expect the Linux system's wording of a file error.
  "MainWindowRun.CloseBoxKeepsTheLogAndAFailedSaveKeepsSaveEnabled"
  # Expect "/" as the folder separator and as an allowed character; Windows
  # separates with "\" and forbids "/" in names.
  "TargetFolderPart.AddsOneSeparatorUnlessThere"
  "KeyRules.ForbiddenCharactersAreDiscardedWithTheMessage"
  # Under Wine, a lock file naming a made-up process id is not taken for
  # stale (the rest of the single-instance rule is checked by wine.desktop's
  # installed program; not followed further).
  "SingleInstance.OneCopyPerSettingsFileWhateverItsEnvironment"
)
list(JOIN VOSTREL_GUI_TESTS_NOT_ON_WINDOWS ":" VOSTREL_GUI_TESTS_NOT_ON_WINDOWS)
