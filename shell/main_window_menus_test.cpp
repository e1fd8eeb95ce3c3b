// The main window's editor, help and version items, and the viewer's print
// buttons, wired to their windows.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QTimer>

#include "gui_common/scripted_prompts.h"
#include "pipeline/text_lines.h"
#include "platform/exe_path.h"
#include "shell/desk_services.h"
#include "shell/main_window.h"
#include "shell/test_window.h"
#include "shell/word_list_editor.h"
#include "tests/test_support.h"
#include "viewer/listing_printer.h"
#include "viewer/print_settings_dialog.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using window_test::Window;


// Runs `inside` once the next modal dialog is up, then closes it.
void WhenModal(std::function<void(QWidget*)> inside) {
  QTimer::singleShot(0, [inside] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    inside(modal);
    if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible()) dialog->reject();
  });
}

TEST(MainWindowMenus, CaptionCarriesTheVersion) {
  Window w;
  EXPECT_EQ(w.window->windowTitle(), QStringLiteral("Vostrel Ver1.20.0.0"));
  for (QAction* item : {w.window->EditWordListAction, w.window->DesktopShortcutAction, w.window->SendToAction, w.window->HelpContentsAction,
                        w.window->VersionAction})
    EXPECT_TRUE(item->isEnabled()) << item->objectName().toStdString();
  // The home page item only when the build names a home page.
  EXPECT_EQ(w.window->HomePageAction->isEnabled(), !HomePageAddress().isEmpty());
}

// A caption as the guide writes it: without its mnemonic "(&X)".
QString WithoutMnemonic(QString caption) {
  return caption.remove(QRegularExpression(QStringLiteral("\\(&.\\)"))).remove(QLatin1Char('&'));
}

// Every menu and item has a mnemonic, and every key of the main window and
// the viewer (shortcuts and menu keys) stands in the guide's key table.
TEST(MainWindowMenus, EveryItemHasAMnemonicAndEveryKeyIsInTheGuide) {
  Window w;
  for (QAction* top : w.window->menuBar()->actions()) {
    EXPECT_TRUE(top->text().contains(QRegularExpression(QStringLiteral("&[^&]")))) << top->text().toStdString();
    for (QAction* item : top->menu()->actions()) {
      if (item->isSeparator() || item->objectName().startsWith(QStringLiteral("RecentFileAction"))) continue;
      EXPECT_TRUE(item->text().contains(QRegularExpression(QStringLiteral("&[^&]")))) << item->text().toStdString();
    }
  }
  const QString guide = QString::fromStdString(ReadFile(VOSTREL_GUIDE));
  const qsizetype table = guide.indexOf(QStringLiteral("キー操作</h2>"));
  ASSERT_GE(table, 0);
  const QString keysTable = guide.mid(table, guide.indexOf(QStringLiteral("</table>"), table) - table);
  QStringList keys;
  for (QWidget* window : {static_cast<QWidget*>(w.window.get()), static_cast<QWidget*>(w.window->Viewer())}) {
    for (const QShortcut* shortcut : window->findChildren<QShortcut*>()) keys << shortcut->key().toString();
    for (const QAction* action : window->findChildren<QAction*>())
      if (!action->shortcut().isEmpty()) keys << action->shortcut().toString();
  }
  EXPECT_GE(keys.size(), 10);
  for (QString key : keys) {
    key.replace(QStringLiteral("Return"), QStringLiteral("Enter"));  // the two Enter keys are one to the user
    if (key == QStringLiteral("Right")) key = QStringLiteral("→");
    if (key == QStringLiteral("Left")) key = QStringLiteral("←");
    EXPECT_TRUE(keysTable.contains(QStringLiteral("<td>") + key + QStringLiteral("</td>"))) << key.toStdString();
  }
}

// The guide has a section per menu, headed 「menu」メニュー, that names
// every item of that menu (the recent files aside).
TEST(MainWindowMenus, GuideNamesEveryItemInItsMenusSection) {
  const QString guide = QString::fromStdString(ReadFile(VOSTREL_GUIDE));
  ASSERT_FALSE(guide.isEmpty());
  Window w;
  for (QAction* top : w.window->menuBar()->actions()) {
    const QString heading = QStringLiteral("<h3>「%1」メニュー</h3>").arg(WithoutMnemonic(top->text()));
    const qsizetype start = guide.indexOf(heading);
    ASSERT_GE(start, 0) << heading.toStdString();
    QString section = guide.mid(start + heading.size());
    section.truncate(section.indexOf(QStringLiteral("<h")));
    section.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    for (QAction* item : top->menu()->actions()) {
      if (item->isSeparator() || item->objectName().startsWith(QStringLiteral("RecentFileAction"))) continue;
      EXPECT_TRUE(section.contains(WithoutMnemonic(item->text())))
          << top->text().toStdString() << ": " << item->text().toStdString();
    }
  }
}

TEST(MainWindowMenus, WordListItemOpensTheEditorOnTheProgramsList) {
  Window w;
  WriteFile(w.dir / "ChkData.lst", "G00\r\nG01");
  QString shown;
  WhenModal([&](QWidget* modal) {
    EXPECT_EQ(modal, w.window->WordEditor());
    shown = w.window->WordEditor()->WordsEdit->toPlainText();
  });
  w.window->EditWordListAction->trigger();
  EXPECT_EQ(shown, QStringLiteral("G00\nG01"));
  EXPECT_EQ(ReadFile(w.dir / "ChkData.lst"), "G00\r\nG01");
}

TEST(MainWindowMenus, HelpItemLooksBesideTheProgram) {
  Window w;
  w.window->HelpContentsAction->trigger();
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_EQ(w.prompts.shown[0].caption, QStringLiteral("ｴﾗｰ"));
  EXPECT_EQ(w.prompts.shown[0].text, QStringLiteral("ﾍﾙﾌﾟﾌｧｲﾙが見つかりません｡"));
}

TEST(ViewerPrinting, PrintButtonsReachThePrinterAndTheSettings) {
  Window w;
  ViewerDialog* viewer = w.window->Viewer();
  TempDir out;
  viewer->HandOff({"G00 X0", "G01 X1", "M30"}, {"log"}, (out / "PART1.NC").string());
  EXPECT_TRUE(viewer->PrintButton->isEnabled());
  EXPECT_TRUE(viewer->PrintSettingsButton->isEnabled());

  QPrinter& printer = viewer->Printing->Printer();
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString((out / "print.pdf").string()));
  int dialogs = 0;
  viewer->Printing->SetPrintDialog([&](QPrinter&, int lastPage, bool selection, QWidget*) {
    ++dialogs;
    EXPECT_EQ(lastPage, 1);
    EXPECT_FALSE(selection);
    return std::optional<bool>(false);
  });
  viewer->PrintButton->click();
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(viewer->Printing->PrintLines, (QStringList{"G00 X0", "G01 X1", "M30"}));
  EXPECT_GT(std::filesystem::file_size(out / "print.pdf"), 0u);
  EXPECT_EQ(printer.docName(), QStringLiteral("PART1.NC"));

  bool settingsShown = false;
  WhenModal([&](QWidget* modal) {
    settingsShown = modal == viewer->PrintSettings;
    viewer->PrintSettings->LeftMarginField->setText(QStringLiteral("25"));
    viewer->PrintSettings->SaveButton->click();
  });
  viewer->PrintSettingsButton->click();
  EXPECT_TRUE(settingsShown);
  EXPECT_EQ(w.window->Settings().Print.LeftMargin, 25);
}

}  // namespace
}  // namespace vostrel::gui
