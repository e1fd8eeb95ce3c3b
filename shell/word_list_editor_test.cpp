// The word-list editor: loading, typing, saving, leaving without saving.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "gui_common/scripted_prompts.h"
#include "shell/word_list_editor.h"
#include "tests/test_support.h"

namespace vostrel::gui {
namespace {

using test::ReadFile;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

struct Editor {
  TempDir dir;  // stands in for the program's folder
  ScriptedPrompts prompts;
  QWidget main;
  WordListEditor editor{dir.path(), prompts, &main, &main};
  std::filesystem::path list = dir / "ChkData.lst";

  Editor() { main.setGeometry(120, 80, 600, 400); }
  void Type(const QString& text) {
    editor.WordsEdit->moveCursor(QTextCursor::End);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
      if (i > 0) QTest::keyClick(editor.WordsEdit, Qt::Key_Return);
      QTest::keyClicks(editor.WordsEdit, lines[i]);
    }
  }
  void Reopen() {
    editor.hide();
    editor.show();
  }
};

TEST(WordListEditor, LoadsWithEveryLineBreakAndSavesWithCrLf) {
  Editor e;
  WriteFile(e.list, "G00\nG01\rM30\r\n" + Sjis("ﾃｽﾄ"));
  e.editor.show();
  EXPECT_EQ(e.editor.WordsEdit->toPlainText(), QStringLiteral("G00\nG01\nM30\nﾃｽﾄ"));
  EXPECT_FALSE(e.editor.SaveButton->isEnabled()) << "loading is no edit";
  EXPECT_EQ(e.editor.pos(), e.main.frameGeometry().topLeft());

  e.Type(QStringLiteral("\ngoto"));
  EXPECT_TRUE(e.editor.WordsEdit->toPlainText().endsWith(QStringLiteral("ﾃｽﾄ\nGOTO")));
  EXPECT_TRUE(e.editor.SaveButton->isEnabled());
  e.editor.SaveButton->click();
  EXPECT_FALSE(e.editor.SaveButton->isEnabled());
  EXPECT_EQ(ReadFile(e.list), "G00\r\nG01\r\nM30\r\n" + Sjis("ﾃｽﾄ") + "\r\nGOTO");
  EXPECT_TRUE(e.prompts.shown.empty());
}

TEST(WordListEditor, TypedLettersBecomeUpperCasePastedTextStays) {
  Editor e;
  e.editor.show();
  EXPECT_EQ(e.editor.WordsEdit->toPlainText(), QString()) << "no list yet: an empty box";
  e.Type(QStringLiteral("goto #1=a"));
  EXPECT_EQ(e.editor.WordsEdit->toPlainText(), QStringLiteral("GOTO #1=A"));
  e.editor.WordsEdit->insertPlainText(QStringLiteral("\nwhile"));
  EXPECT_EQ(e.editor.WordsEdit->toPlainText(), QStringLiteral("GOTO #1=A\nwhile"));
  e.editor.BackButton->click();
}

TEST(WordListEditor, LeavingWithoutSavingWritesNothing) {
  Editor e;
  e.editor.show();
  e.editor.BackButton->click();  // 戻る without typing
  EXPECT_FALSE(std::filesystem::exists(e.list));

  WriteFile(e.list, "G00\r\nG01");
  e.Reopen();
  e.Type(QStringLiteral("\nG02"));
  e.editor.SaveButton->click();
  e.Type(QStringLiteral("\nG03"));
  e.editor.CancelButton->click();  // ｷｬﾝｾﾙ drops the second edit
  EXPECT_FALSE(e.editor.isVisible());
  EXPECT_EQ(ReadFile(e.list), "G00\r\nG01\r\nG02");

  e.Reopen();  // the next showing reloads the file
  EXPECT_EQ(e.editor.WordsEdit->toPlainText(), QStringLiteral("G00\nG01\nG02"));
  e.Type(QStringLiteral("\nG04"));
  e.editor.BackButton->click();
  EXPECT_EQ(ReadFile(e.list), "G00\r\nG01\r\nG02");
}

TEST(WordListEditor, TextWithoutShiftJisFormIsRefused) {
  Editor e;
  WriteFile(e.list, "G00\r\nG01");
  e.editor.show();
  e.Type(QStringLiteral("\n"));
  e.editor.WordsEdit->insertPlainText(QStringLiteral("X\U0001F600"));
  e.editor.SaveButton->click();
  ASSERT_EQ(e.prompts.shown.size(), 1u);
  EXPECT_EQ(e.prompts.shown[0].caption, QStringLiteral("確認"));
  EXPECT_TRUE(e.prompts.shown[0].text.startsWith(QStringLiteral("3 行目"))) << e.prompts.shown[0].text.toStdString();
  EXPECT_TRUE(e.editor.SaveButton->isEnabled());
  EXPECT_EQ(ReadFile(e.list), "G00\r\nG01");
  e.editor.CancelButton->click();
}

TEST(WordListEditor, UnwritableFileGivesTheMessageWithThePath) {
  Editor e;
  std::filesystem::create_directory(e.list);  // a folder where the file should go
  e.editor.show();
  e.Type(QStringLiteral("G00"));
  e.editor.SaveButton->click();
  ASSERT_EQ(e.prompts.shown.size(), 1u);
  EXPECT_EQ(e.prompts.shown[0].text,
            QStringLiteral("ファイル %1 を作成できません\nit is a folder").arg(QString::fromStdString(e.list.string())));
  EXPECT_TRUE(e.editor.SaveButton->isEnabled());
  EXPECT_TRUE(std::filesystem::is_directory(e.list));
  e.editor.CancelButton->click();
}

TEST(WordListEditor, BytesJoinLinesWithoutTrailingBreak) {
  int bad = 0;
  EXPECT_EQ(WordListBytes(QStringLiteral("A\nB"), &bad), std::optional<std::string>("A\r\nB"));
  EXPECT_EQ(WordListBytes(QStringLiteral("A\n"), &bad), std::optional<std::string>("A\r\n"));
  EXPECT_EQ(WordListBytes(QString(), &bad), std::optional<std::string>(""));
  EXPECT_EQ(WordListBytes(QStringLiteral("A\nB\n\u00E9"), &bad), std::nullopt);
  EXPECT_EQ(bad, 3);
}

}  // namespace
}  // namespace vostrel::gui
