// The viewer's renumbering: the dialog's preview, the result and its log,
// the undo until the result is saved, and the options kept in the settings.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "gui_common/scripted_prompts.h"
#include "settings/app_settings.h"
#include "tests/test_support.h"
#include "viewer/line_text_view.h"
#include "viewer/renumber_command.h"
#include "viewer/renumber_dialog.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {
namespace {

TEST(ViewerRenumber, RenumbersUndoesAndForgetsTheUndoOnceSaved) {
  settings::AppSettings settings;
  ScriptedPrompts prompts;
  ViewerDialog viewer(settings, prompts);
  test::TempDir dir;
  viewer.HandOff({"O1", "N1GOTO3", "N3M30"}, {"log"}, (dir / "OUT.NC").string());
  viewer.Renumbering->SetDialogRunner([](RenumberDialog& dialog) {
    dialog.StartField->setValue(100);
    dialog.StepField->setValue(5);
    dialog.UpdatePreview();
    EXPECT_EQ(dialog.Preview->toPlainText(), QStringLiteral("O1\nN100GOTO105\nN105M30\n"));
    return true;
  });
  viewer.Renumbering->RenumberButton->click();
  EXPECT_EQ(JoinLines(viewer.Result()), "O1\r\nN100GOTO105\r\nN105M30");
  EXPECT_EQ(viewer.Log().front(), "log");
  EXPECT_EQ(viewer.Log()[1], "番号振り直し -- 開始");
  EXPECT_EQ(settings.Renumber.Start, 100);
  EXPECT_EQ(settings.Renumber.Step, 5);

  viewer.Renumbering->UndoButton->click();
  EXPECT_EQ(JoinLines(viewer.Result()), "O1\r\nN1GOTO3\r\nN3M30");
  EXPECT_EQ(viewer.Log().size(), 1u);
  EXPECT_FALSE(viewer.Renumbering->UndoButton->isEnabled());

  viewer.Renumbering->RenumberButton->click();
  ASSERT_TRUE(viewer.Renumbering->UndoButton->isEnabled());
  viewer.SaveButton->click();
  EXPECT_FALSE(viewer.Renumbering->UndoButton->isEnabled());
  EXPECT_EQ(test::ReadFile(dir / "OUT.NC"), "O1\r\nN100GOTO105\r\nN105M30\r\n");
}

TEST(ViewerRenumber, TheResultStaysWhereItWasScrolled) {
  settings::AppSettings settings;
  ScriptedPrompts prompts;
  ViewerDialog viewer(settings, prompts);
  test::TempDir dir;
  std::string program = "O1\r\n";
  for (int i = 1; i <= 2000; ++i) program += "N" + std::to_string(i) + "G01X" + std::to_string(i) + "\r\n";
  viewer.HandOff(TextLines::FromCrLfText(std::move(program)), {"log"}, (dir / "OUT.NC").string());
  viewer.resize(600, 400);
  viewer.ResultView->HighlightLine(1500);
  const int top = viewer.ResultView->FirstVisibleLine();
  ASSERT_GT(top, 1000);
  viewer.Renumbering->SetDialogRunner([](RenumberDialog&) { return true; });
  viewer.Renumbering->RenumberButton->click();
  EXPECT_EQ(viewer.ResultView->FirstVisibleLine(), top);
  viewer.Renumbering->UndoButton->click();
  EXPECT_EQ(viewer.ResultView->FirstVisibleLine(), top);
}

TEST(ViewerRenumber, AComputedTargetKeepsTheRunButtonDisabledUntilForced) {
  settings::AppSettings settings;
  ScriptedPrompts prompts;
  ViewerDialog viewer(settings, prompts);
  viewer.HandOff({"O1", "N1GOTO#1", "N2M30"}, {}, "OUT.NC");
  viewer.Renumbering->SetDialogRunner([](RenumberDialog& dialog) {
    EXPECT_FALSE(dialog.RunButton->isEnabled());
    EXPECT_TRUE(dialog.Findings->toPlainText().contains(QStringLiteral("2行目 飛び先 GOTO#1")));
    dialog.ForceBox->setChecked(true);
    dialog.UpdatePreview();
    EXPECT_TRUE(dialog.RunButton->isEnabled());
    return true;
  });
  viewer.Renumbering->RenumberButton->click();
  EXPECT_EQ(JoinLines(viewer.Result()), "O1\r\nN10GOTO#1\r\nN20M30");
  EXPECT_TRUE(std::find(viewer.Log().begin(), viewer.Log().end(), "2行目 の飛び先は正しくないかもしれません") !=
              viewer.Log().end());
}

}  // namespace
}  // namespace vostrel::gui
