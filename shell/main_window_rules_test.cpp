// The main window outside of runs: source selection, the command line,
// drops, recent files, key rules, options, the user filters dialog, the
// settings across starts, and the small platform pieces.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QListView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui_common/scripted_prompts.h"
#include "shell/main_window.h"
#include "shell/path_rules.h"
#include "shell/single_instance.h"
#include "shell/test_window.h"
#include "shell/user_extensions_dialog.h"
#include "tests/test_support.h"
#include "text/sjis.h"
#include "viewer/line_text_view.h"

namespace vostrel::gui {
namespace {

using test::ReadFile;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

using window_test::Q;
using window_test::Window;


const std::string kSameFolders = "[Main]\r\nDirPath=/home/u\r\nChgPath=/home/u\r\n";

TEST(SelectSource, OutputFolderFollowsTheSourceWhileTheHeldFoldersAgree) {
  Window w({}, kSameFolders);
  w.window->SelectSource("/nc/A.NC");
  EXPECT_EQ(w.Fields(), (QStringList{"/nc/A.NC", "/nc/", "A", "NC"}));
  EXPECT_EQ(w.DirPath(), "/nc");
  // The held folders differ now: the output folder stays ChgPath.
  w.window->SelectSource("/nc/B.NC");
  EXPECT_EQ(w.Fields(), (QStringList{"/nc/B.NC", "/home/u", "B", "NC"}));
  // Picking the output folder /out, then a source from /out: the next choice follows.
  w.prompts.folderChoice = "/out";
  w.window->ChooseOutputFolder();
  EXPECT_EQ(w.window->Settings().ChgPath, "/out");
  w.window->SelectSource("/out/C.NC");
  EXPECT_EQ(w.window->OutputFolderField->text(), "/out");
  w.window->SelectSource("/nc/D.NC");
  EXPECT_EQ(w.window->OutputFolderField->text(), "/nc/");
}

TEST(SelectSource, NamesAndFolders) {
  struct Case { QString path, folder, name, dirPath; };
  const Case cases[] = {
      {"/nc/PART.V2.NC", "/nc/", "PART.V2", "/nc"},
      {"/nc/PART", "/nc/", "PART", "/nc"},
      {"/A.NC", "/", "A", "/"},                    // the root keeps its separator
      {"/nc/表/部品.nc", "/nc/表/", "部品", "/nc/表"},
  };
  for (const auto& c : cases) {
    Window w({}, kSameFolders + "[Options]\r\nChgPath_Flg=Y\r\n");
    w.window->SelectSource(c.path);
    EXPECT_EQ(w.window->OutputFolderField->text(), c.folder) << c.path.toStdString();
    EXPECT_EQ(w.window->OutputNameField->text(), c.name) << c.path.toStdString();
    EXPECT_EQ(QString::fromStdString(vostrel::sjis::ToUtf8(w.DirPath())), c.dirPath) << c.path.toStdString();
  }
}

TEST(TargetFolderPart, AddsOneSeparatorUnlessThere) {
  EXPECT_EQ(TargetFolderPart("/nc/out"), "/nc/out/");
  EXPECT_EQ(TargetFolderPart("/nc/out/"), "/nc/out/");
  EXPECT_EQ(TargetFolderPart("/"), "/");
  EXPECT_EQ(TargetFolderPart("表"), "表/");
}

TEST(CommandLine, WordsBeforeTheSourceGoToTheRunArguments) {
  {
    Window w({"10", "20", "/nc/A.NC", "30"}, kSameFolders);
    EXPECT_EQ(w.window->Run().RunArguments[0], "10");
    EXPECT_EQ(w.window->Run().RunArguments[1], "20");
    EXPECT_EQ(w.window->Run().RunArguments[2], "");  // after the source: ignored
    EXPECT_EQ(w.Fields(), (QStringList{"/nc/A.NC", "/nc/", "A", "NC"}));
    for (const auto& recent : w.window->Settings().RecentFiles) EXPECT_EQ(recent, "");
  }
  {
    QStringList many;
    for (int i = 1; i <= 12; ++i) many << QString::number(i);
    many << "/nc/B.NC";
    Window w(many);
    EXPECT_EQ(w.window->Run().RunArguments[9], "10");  // the eleventh and later are dropped
    EXPECT_EQ(w.window->SourceField->text(), "/nc/B.NC");
  }
  {
    Window w({"表"});
    EXPECT_EQ(w.window->Run().RunArguments[0], Sjis("表"));
    EXPECT_EQ(w.window->SourceField->text(), "");
  }
  {
    // A bare name of a file in the current folder is the source.
    TempDir here;
    WriteFile(here / "O1000.nc", "%\r\n");
    const QString before = QDir::currentPath();
    QDir::setCurrent(Q(here.path()));
    Window w({"10", "O1000.nc"});
    QDir::setCurrent(before);
    EXPECT_EQ(w.window->Run().RunArguments[0], "10");
    EXPECT_EQ(w.window->Run().RunArguments[1], "");
    EXPECT_EQ(w.window->SourceField->text(), Q(here / "O1000.nc"));
    EXPECT_EQ(w.window->OutputNameField->text(), "O1000");
  }
  {
    // A file name that is no file becomes a word, and the status bar says so.
    Window w({"MC1", "O9999.nc"});
    EXPECT_EQ(w.window->Run().RunArguments[1], "O9999.nc");
    EXPECT_EQ(w.window->SourceField->text(), "");
    EXPECT_EQ(w.window->StatusText->text(), "O9999.nc は見つからないため #IF の語として使います");
  }
}

TEST(LogPane, ShowsItsHeadingAtStart) {
  Window w;
  ASSERT_EQ(w.window->LogView->LineCount(), 1);
  EXPECT_EQ(w.window->LogView->LineText(0), "----- ﾛｸﾞ -----");
}

TEST(Drops, OneItemIsSelectedAndRecordedSeveralAreRefused) {
  Window w({}, kSameFolders);
  w.window->DropFiles({"/nc/A.NC", "/nc/B.NC"});
  EXPECT_EQ(w.Fields(), (QStringList{"", "", "", ""}));
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_EQ(w.prompts.shown[0].caption, "確認");
  EXPECT_EQ(w.prompts.shown[0].text, "複数は不可です。");
  EXPECT_EQ(w.prompts.shown[0].icon, MessageIcon::Stop);

  const QString longPath = "/nc/" + QString(300, 'x') + ".NC";  // the whole path is taken
  w.window->DropFiles({longPath});
  EXPECT_EQ(w.window->SourceField->text(), longPath);
  EXPECT_EQ(w.window->Settings().RecentFiles[0], longPath.toStdString());

  w.window->DropFiles({"/nc/folder/"});  // a folder is taken like a file
  EXPECT_EQ(w.window->OutputNameField->text(), "folder");
}

TEST(RecentFiles, MostRecentFirstCaseInsensitiveAndFiveLong) {
  Window w;
  EXPECT_TRUE(w.window->RecentFileActions[0]->isVisible());
  EXPECT_FALSE(w.window->RecentFileActions[0]->isEnabled());
  EXPECT_EQ(w.window->RecentFileActions[0]->text(), "最近使ったﾌｧｲﾙ");
  for (int i = 1; i < 5; ++i) EXPECT_FALSE(w.window->RecentFileActions[i]->isVisible());

  for (const char* path : {"/a/1.nc", "/a/2.nc", "/a/3.nc", "/a/4.nc", "/a/5.nc", "/a/6.nc"})
    w.window->AddRecentFile(path);
  const auto& recent = w.window->Settings().RecentFiles;
  EXPECT_EQ(recent, (std::array<std::string, 5>{"/a/6.nc", "/a/5.nc", "/a/4.nc", "/a/3.nc", "/a/2.nc"}));
  w.window->AddRecentFile("/A/3.NC");  // replaces the entry that differs only in case
  EXPECT_EQ(recent, (std::array<std::string, 5>{"/A/3.NC", "/a/6.nc", "/a/5.nc", "/a/4.nc", "/a/2.nc"}));
  EXPECT_EQ(w.window->RecentFileActions[0]->text(), "&1 /A/3.NC");
  EXPECT_EQ(w.window->RecentFileActions[4]->text(), "&5 /a/2.nc");
  EXPECT_TRUE(w.window->RecentFileActions[4]->isVisible());

  // A recent entry that is gone fills nothing but moves to the top.
  w.window->RecentFileActions[3]->trigger();
  EXPECT_EQ(recent[0], "/a/4.nc");
  EXPECT_EQ(w.window->SourceField->text(), "");
  // One that exists is selected.
  WriteFile(w.dir / "X.NC", "x");
  w.window->AddRecentFile(Q(w.dir / "X.NC"));
  w.window->AddRecentFile("/a/7.nc");
  w.window->RecentFileActions[1]->trigger();
  EXPECT_EQ(w.window->SourceField->text(), Q(w.dir / "X.NC"));
  EXPECT_EQ(recent[0], Q(w.dir / "X.NC").toStdString());
}

TEST(KeyRules, ForbiddenCharactersAreDiscardedWithTheMessage) {
  Window w;
  w.window->show();
  struct Case { QLineEdit* MainWindow::*field; QString typed, kept, listed; };
  const Case cases[] = {
      {&MainWindow::OutputFolderField, "/n*c.v", "/nc.v", ",;*?<>|"},  // "/" separates, "." is kept
      {&MainWindow::OutputFolderField, "a*b", "ab", ",;*?<>|"},
      {&MainWindow::OutputNameField, "a\\b:c.d", "abcd", "\\/:,;*?<>|."},
      {&MainWindow::OutputExtensionField, "n*c.", "nc", "\\/:,;?<>|."},  // "*" refused, not listed
  };
  for (const auto& c : cases) {
    QLineEdit* field = (*w.window).*(c.field);
    field->clear();
    w.prompts.shown.clear();
    QTest::keyClicks(field, c.typed);
    EXPECT_EQ(field->text(), c.kept) << c.typed.toStdString();
    ASSERT_FALSE(w.prompts.shown.empty());
    EXPECT_EQ(w.prompts.shown.back().text, "この文字は拡張子に使えません。\n" + c.listed);
    EXPECT_EQ(w.prompts.shown.back().caption, "確認");
  }
  w.prompts.shown.clear();
  QTest::keyClicks(w.window->SourceField, "/a;b.nc");  // no rule for the source field
  EXPECT_EQ(w.window->SourceField->text(), "/a;b.nc");
  EXPECT_TRUE(w.prompts.shown.empty());
}

TEST(Options, PlainTogglesSetTheirFlags) {
  Window w;
  struct Case { QAction* MainWindow::*item; std::string RunOptions::*flag; };
  const Case cases[] = {{&MainWindow::MacroAAction, &RunOptions::Chg_MacroA},
                        {&MainWindow::LineEndConversionAction, &RunOptions::EndChar},
                        {&MainWindow::HexToDecimalAction, &RunOptions::chg16_10},
                        {&MainWindow::KeepEmptyLinesAction, &RunOptions::End_set}};
  for (const auto& c : cases) {
    QAction* item = (*w.window).*(c.item);
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(w.window->Settings().Run.*(c.flag), "Y");
    EXPECT_EQ(w.window->Run().Options->*(c.flag), "Y");  // the run reads the live record
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(w.window->Settings().Run.*(c.flag), "N");
  }
}

TEST(Options, OutputBesideSourceSetsTheFolderFromTheSourceField) {
  Window w({}, "[Main]\r\nDirPath=/x\r\nChgPath=/nc\r\n");
  w.window->SourceField->setText("/nc/A.NC");
  w.window->OutputBesideSourceAction->trigger();
  EXPECT_TRUE(w.window->OutputBesideSourceAction->isChecked());
  EXPECT_EQ(w.window->Settings().ChgPath_Flg, "Y");
  EXPECT_EQ(w.window->OutputFolderField->text(), "/nc/");
  EXPECT_EQ(w.DirPath(), "/nc");
  w.window->OutputBesideSourceAction->trigger();  // DirPath now equals ChgPath: the source folder again
  EXPECT_EQ(w.window->Settings().ChgPath_Flg, "N");
  EXPECT_EQ(w.window->OutputFolderField->text(), "/nc/");
  w.window->Settings().ChgPath = "/out";
  w.window->OutputBesideSourceAction->trigger();
  w.window->OutputBesideSourceAction->trigger();
  EXPECT_EQ(w.window->OutputFolderField->text(), "/out");
  // An empty source field empties the folder field and DirPath.
  w.window->SourceField->clear();
  w.window->OutputBesideSourceAction->trigger();
  EXPECT_EQ(w.window->OutputFolderField->text(), "");
  EXPECT_EQ(w.DirPath(), "");
}

TEST(Settings, LowerCaseFlagStaysUncheckedAndIsWrittenBack) {
  Window w({}, "[Options]\r\nChgPath_Flg=y\r\nEndChar=Y\r\n[View]\r\nWidth=abc\r\n");
  EXPECT_FALSE(w.window->OutputBesideSourceAction->isChecked());
  EXPECT_TRUE(w.window->LineEndConversionAction->isChecked());
  ASSERT_TRUE(w.window->SaveSettings());
  const std::string ini = ReadFile(w.dir / "vostrel.INI");
  EXPECT_NE(ini.find("ChgPath_Flg=y\r\n"), std::string::npos);
  EXPECT_NE(ini.find("Width=500\r\n"), std::string::npos);
}

TEST(Settings, RememberedAcrossStarts) {
  Window w;
  w.window->move(120, 80);
  w.window->LineEndConversionAction->trigger();
  w.window->AddRecentFile("/nc/表.NC");
  w.window->Settings().View.Width = 640;
  w.window->close();
  EXPECT_FALSE(w.window->isVisible());
  w.Open();
  EXPECT_EQ(w.window->Settings().Main.Left, 120);
  EXPECT_EQ(w.window->Settings().Main.Top, 80);
  EXPECT_TRUE(w.window->LineEndConversionAction->isChecked());
  EXPECT_EQ(w.window->Settings().RecentFiles[0], Sjis("/nc/表.NC"));
  EXPECT_EQ(w.window->RecentFileActions[0]->text(), "&1 /nc/表.NC");
  EXPECT_EQ(w.window->Settings().View.Width, 640);
}

TEST(Settings, AFailedSaveKeepsTheWindowOpen) {
  Window w;
  std::filesystem::create_directory(w.dir / "vostrel.INI");  // cannot be replaced
  w.window->show();
  w.window->close();
  EXPECT_TRUE(w.window->isVisible());
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_EQ(w.prompts.shown[0].text, Q(w.dir / "vostrel.INI") + " に書き込めません\nit is a folder");
  std::filesystem::remove(w.dir / "vostrel.INI");
  w.window->close();  // closing again repeats the whole save
  EXPECT_FALSE(w.window->isVisible());
  EXPECT_TRUE(std::filesystem::is_regular_file(w.dir / "vostrel.INI"));
}

// The close merges the settings into the file as it was loaded at start:
// its byte-order mark, comments, unknown sections and order stay even when
// the file is gone (or unreadable) by then.
TEST(Settings, TheCloseWritesWhatWasLoadedAtStart) {
  const std::string ini = "\xEF\xBB\xBF; kept by hand\r\n[Custom]\r\nKey=1\r\n[Main]\r\nDirPath=/nc\r\n";
  Window w({}, ini);
  EXPECT_EQ(w.DirPath(), "/nc");
  std::filesystem::remove(w.dir / "vostrel.INI");
  w.window->close();
  EXPECT_FALSE(w.window->isVisible());
  const std::string saved = ReadFile(w.dir / "vostrel.INI");
  EXPECT_EQ(saved.rfind("\xEF\xBB\xBF; kept by hand\r\n[Custom]\r\nKey=1\r\n[Main]\r\n", 0), 0u) << saved;
  EXPECT_NE(saved.find("DirPath=/nc\r\n"), std::string::npos) << saved;
}

// Something at `path` that the settings loader refuses: a FIFO (a folder on
// Windows, which has none).
bool MakeUnreadableFile(const std::filesystem::path& path) {
#ifdef _WIN32
  return std::filesystem::create_directory(path);
#else
  return mkfifo(path.c_str(), 0600) == 0;
#endif
}

// A settings file that could not be read at start is not replaced by the
// settings alone unless the user says so.
TEST(Settings, AFileUnreadableAtStartIsNotOverwrittenWithoutAsking) {
  Window w;
  w.window.reset();
  ASSERT_TRUE(MakeUnreadableFile(w.dir / "vostrel.INI"));  // refused by the loader
  w.Open();
  w.prompts.answers = {false};
  w.window->close();
  EXPECT_FALSE(w.window->isVisible());
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_TRUE(w.prompts.shown[0].question);
  EXPECT_TRUE(w.prompts.shown[0].text.startsWith(Q(w.dir / "vostrel.INI") + " は起動時に読み込めませんでした"))
      << w.prompts.shown[0].text.toStdString();
  EXPECT_FALSE(std::filesystem::is_regular_file(w.dir / "vostrel.INI"));
}

TEST(SourceDialog, FiltersFromTheListAndMaskNo) {
  Window w({}, "[Setting]\r\nMask_No=4\r\nUser2_Name=" + Sjis("旋盤") + "\r\nUser2_Mask=*.nc2\r\n");
  w.prompts.sourceChoice = SourceDialogResult{"/nc/P.NC2", 1};
  w.window->ChooseSource();
  const auto& request = w.prompts.lastSourceRequest;
  EXPECT_EQ(request.title, "ｿｰｽﾌｧｲﾙ選択");
  EXPECT_EQ(request.defaultSuffix, "nc0");
  ASSERT_EQ(request.filters.size(), 6);
  EXPECT_EQ(request.selectedFilter, 3);
  EXPECT_EQ(request.filters[0].display, "ＮＣ文章(*.nc;*.nc1;*.nc0)");
  EXPECT_EQ(request.filters[0].patterns, (QStringList{"*.NC", "*.NC1", "*.NC0"}));
  EXPECT_EQ(request.filters[3].display, "旋盤(*.nc2)");
  EXPECT_EQ(request.filters[5].display, "拡張子無し    ");
  EXPECT_TRUE(request.filters[5].patterns.isEmpty());
  EXPECT_EQ(w.window->Settings().Mask_No, 2);
  EXPECT_EQ(w.window->SourceField->text(), "/nc/P.NC2");
  EXPECT_EQ(w.window->Settings().RecentFiles[0], "/nc/P.NC2");
  // Cancelled: nothing changes.
  w.prompts.sourceChoice.reset();
  w.window->ChooseSource();
  EXPECT_EQ(w.window->Settings().Mask_No, 2);
}

// The real dialog: the file list follows the filter the user picks, and
// the result names the filter in use when it closed.
TEST(SourceDialog, TheChosenFilterFiltersAndIsReported) {
  TempDir dir;
  for (const char* name : {"A.NC", "b.nc1", "C.TXT", "README.md", "PLAIN"}) WriteFile(dir / name, "x");
  SourceDialogRequest request;
  request.initialFolder = Q(dir.path());
  request.filters = {{"ＮＣ文章(*.nc;*.nc1;*.nc0)", {"*.NC", "*.NC1", "*.NC0"}},
                     {"テキスト(*.txt)", {"*.TXT"}},
                     {"拡張子無し    ", {}}};
  auto listed = [](QFileDialog* dialog) {
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QStringList names;
    if (!QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) > 0; }, 3000)) return names;
    QTest::qWait(50);
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
      names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    names.sort();
    return names;
  };
  QStringList first, afterPick;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_TRUE(dialog);
    first = listed(dialog);
    QTest::keyClick(dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")), Qt::Key_Down);
    afterPick = listed(dialog);
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    name->setText(QStringLiteral("C.TXT"));
    QTest::keyClick(name, Qt::Key_Return);
  });
  DialogPrompts prompts;
  const auto chosen = prompts.ChooseSourceFile(nullptr, request);
  EXPECT_EQ(first, (QStringList{"A.NC", "b.nc1"}));
  EXPECT_EQ(afterPick, (QStringList{"C.TXT"}));
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->path, Q(dir / "C.TXT"));
  EXPECT_EQ(chosen->filter, 1);
}

TEST(SourceDialog, PatternsMatchWithoutRegardToCase) {
  struct Case { QString name; QStringList patterns; bool accepted; };
  const Case cases[] = {
      {"part.nc", {"*.NC", "*.NC1"}, true},
      {"PART.Nc1", {"*.NC", "*.NC1"}, true},
      {"part.nc2", {"*.NC", "*.NC1"}, false},
      {"PART", {}, true},        // "拡張子無し": names without a dot
      {"PART.NC", {}, false},
      {"PART", {"*.*"}, true},   // every file
  };
  for (const auto& c : cases) EXPECT_EQ(SourceFilterAccepts(c.name, c.patterns), c.accepted) << c.name.toStdString();
}

TEST(FolderDialog, CancelKeepsOrEmptiesTheFolder) {
  Window w;
  w.window->Settings().ChgPath = w.dir.path().string();
  w.window->ChooseOutputFolder();  // cancelled
  EXPECT_EQ(w.prompts.lastFolderPrompt, "現ﾃﾞｨﾚｸﾄﾘ " + Q(w.dir.path()));
  EXPECT_EQ(w.prompts.lastFolderStart, Q(w.dir.path()));
  EXPECT_EQ(w.window->OutputFolderField->text(), Q(w.dir.path()));
  w.window->Settings().ChgPath = "/no/such/folder";
  w.window->ChooseOutputFolder();
  EXPECT_EQ(w.prompts.lastFolderStart, "");
  EXPECT_EQ(w.window->Settings().ChgPath, "");
  EXPECT_EQ(w.window->OutputFolderField->text(), "");
  w.prompts.folderChoice = "/srv/out/";
  w.window->ChooseOutputFolder();
  EXPECT_EQ(w.window->Settings().ChgPath, "/srv/out");
}

TEST(UserDialog, MasksAreNormalisedAndEmptyFieldsDefaulted) {
  struct Case { QString typed, stored; };
  for (const Case& c : {Case{"nc2", "*.nc2"}, Case{".nc2", "*.nc2"}, Case{"*.nc2", "*.nc2"}, Case{"a*.b", "a*.b"}})
    EXPECT_EQ(NormaliseMask(c.typed), c.stored) << c.typed.toStdString();

  Window w;
  UserExtensionsDialog& dialog = *w.window->ExtensionsDialog();
  QTimer::singleShot(0, &dialog, [&] {
    dialog.User1MaskField->setText("nc2");
    dialog.User2NameField->clear();
    dialog.User2MaskField->clear();
    dialog.ChangeButton->click();
  });
  w.window->EditUserExtensions();
  EXPECT_EQ(w.window->Settings().User1_Mask, "*.nc2");
  EXPECT_EQ(w.window->Settings().User2_Name, Sjis("ﾕｰｻﾞ定義2"));
  EXPECT_EQ(w.window->Settings().User2_Mask, "*.*");
  EXPECT_NE(w.window->FileFilters().find(Sjis("ﾕｰｻﾞ定義2(*.*)|*.*|")), std::string::npos);

  // Edits left with "中止" or "戻る" change nothing, and the next show refills.
  for (QPushButton* UserExtensionsDialog::*button : {&UserExtensionsDialog::CancelButton, &UserExtensionsDialog::BackButton}) {
    QTimer::singleShot(0, &dialog, [&] {
      EXPECT_EQ(dialog.User1MaskField->text(), "*.nc2");
      dialog.User1MaskField->setText("zzz");
      (dialog.*button)->click();
    });
    w.window->EditUserExtensions();
    EXPECT_EQ(w.window->Settings().User1_Mask, "*.nc2");
  }
}

TEST(UserDialog, MaskKeysAndEnter) {
  Window w;
  UserExtensionsDialog& dialog = *w.window->ExtensionsDialog();
  QTimer::singleShot(0, &dialog, [&] {
    dialog.User1MaskField->clear();
    QTest::keyClicks(dialog.User1MaskField, "n:c*.\\2");
    EXPECT_EQ(dialog.User1MaskField->text(), "nc*.\\2");
    QTest::keyClick(dialog.User2MaskField, Qt::Key_Return);  // Enter in a filled mask field normalises
    EXPECT_EQ(dialog.User2MaskField->text(), "*.*");
    dialog.User2MaskField->setText("nc3");
    QTest::keyClick(dialog.User2MaskField, Qt::Key_Return);
    EXPECT_EQ(dialog.User2MaskField->text(), "*.nc3");
    EXPECT_TRUE(dialog.isVisible());  // Enter never closes the dialog
    QTest::keyClicks(dialog.User1NameField, "a/b;c");  // names take every character
    EXPECT_TRUE(dialog.User1NameField->text().endsWith("a/b;c"));
    dialog.BackButton->click();
  });
  w.window->EditUserExtensions();
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_EQ(w.prompts.shown[0].text, "この文字は拡張子に使えません。\n/:,;?<>|");
}

TEST(SingleInstance, OneCopyPerSettingsFileWhateverItsEnvironment) {
  using State = InstanceLock::State;
  TempDir dir, runtime;
  const auto ini = dir / "vostrel.INI";
  const QByteArray runtimeBefore = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", runtime.path().string().c_str());
  InstanceLock first = AcquireSingleInstance(ini);
  qunsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(first.state, State::Acquired);
  EXPECT_EQ(AcquireSingleInstance(ini).state, State::HeldByAnother);
  EXPECT_EQ(AcquireSingleInstance(dir / "other.INI").state, State::Acquired);
  if (!runtimeBefore.isEmpty()) qputenv("XDG_RUNTIME_DIR", runtimeBefore);
  first.file.reset();
  EXPECT_EQ(AcquireSingleInstance(ini).state, State::Acquired);
  // A lock left by a process that is gone (a pid that cannot be running).
  WriteFile(dir / "vostrel.INI.lock", "999999999\nvostrel\n" + QSysInfo::machineHostName().toStdString() + "\n");
  EXPECT_EQ(AcquireSingleInstance(ini).state, State::Acquired);
  // No lock can be made: the program starts and says so once.
  WriteFile(dir / "a-file", "");
  const InstanceLock none = AcquireSingleInstance(dir / "a-file" / "vostrel.INI");
  EXPECT_EQ(none.state, State::Unavailable);
  EXPECT_FALSE(InstanceLockNotice(none).isEmpty());
  EXPECT_TRUE(InstanceLockNotice(AcquireSingleInstance(dir / "third.INI")).isEmpty());
}

}  // namespace
}  // namespace vostrel::gui
