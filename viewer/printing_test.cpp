// Printing to a PDF file and the print settings dialog.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "gui_common/scripted_prompts.h"
#include "pipeline/text_lines.h"
#include "settings/app_settings.h"
#include "tests/test_support.h"
#include "viewer/line_text_view.h"
#include "viewer/listing_printer.h"
#include "viewer/print_settings_dialog.h"

namespace vostrel::gui {
namespace {

using test::TempDir;

QString Q(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// "- n -" on a line of its own (the extracted text may lose the narrow blanks).
bool HasPageNumber(const QString& page, int n) {
  return page.contains(QRegularExpression(QStringLiteral("(^|\\n)\\s*- ?%1 ?-\\s*(\\n|$)").arg(n)));
}

// Text of every page of a PDF file, by pdftotext.
QStringList PdfPages(const std::filesystem::path& pdf) {
  QProcess process;
  process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), Q(pdf), QStringLiteral("-")});
  if (!process.waitForFinished(60000) || process.exitCode() != 0) return {};
  QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
  if (!pages.isEmpty() && pages.back().trimmed().isEmpty()) pages.removeLast();
  return pages;
}

struct Printing {
  TempDir dir;
  settings::AppSettings settings;
  ScriptedPrompts prompts;
  ListingPrinter listing{settings, prompts};
  TextLines lines;
  LineTextView pane;
  std::filesystem::path pdf = dir / "out.pdf";
  int dialogs = 0;
  int lastPage = 0;
  bool offeredSelection = false;
  bool chooseSelection = false;
  const QString label = QStringLiteral("/work/nc/PART1.NC");

  explicit Printing(int lineCount) {
    for (int i = 1; i <= lineCount; ++i) lines.push_back("G01 X" + std::to_string(i));
    pane.SetLines(&lines, LineTextView::Encoding::ShiftJis);
    listing.Printer().setOutputFormat(QPrinter::PdfFormat);
    listing.Printer().setOutputFileName(Q(pdf));
    listing.Printer().setPageSize(QPageSize(QPageSize::A4));
    listing.SetClock([] { return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)); });
    listing.SetPrintDialog([this](QPrinter&, int last, bool selection, QWidget*) -> std::optional<bool> {
      ++dialogs;
      lastPage = last;
      offeredSelection = selection;
      return chooseSelection;
    });
  }
};

TEST(Printing, PdfHasHeaderNumberedLinesAndPageNumbers) {
  Printing p(120);
  // A bottom margin that leaves 50 body lines a page with this font.
  int margin = 10;
  for (; margin <= 99 && p.listing.CurrentLinesPerPage() != 50; ++margin) p.settings.Print.BottomMargin = margin;
  ASSERT_EQ(p.listing.CurrentLinesPerPage(), 50) << "no bottom margin gives 50 lines";
  p.lines.assign(59, test::Sjis("(ﾃｽﾄ 加工)"));

  p.listing.PrintCommand(p.pane, p.label, nullptr);
  EXPECT_EQ(p.dialogs, 1);
  EXPECT_EQ(p.lastPage, 3);
  EXPECT_FALSE(p.offeredSelection);
  EXPECT_TRUE(p.prompts.shown.empty());

  const QStringList pages = PdfPages(p.pdf);
  ASSERT_EQ(pages.size(), 3);
  const QString dateTime = PrintDateTimeText(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(pages[i].contains(p.label)) << i;
    EXPECT_TRUE(pages[i].contains(dateTime)) << i;
    EXPECT_TRUE(HasPageNumber(pages[i], i + 1)) << i;
  }
  EXPECT_TRUE(pages[0].contains(QStringLiteral("0001: G01 X1\n")));
  EXPECT_TRUE(pages[0].contains(QStringLiteral("0050: G01 X50\n")));
  EXPECT_FALSE(pages[0].contains(QStringLiteral("0051:")));
  EXPECT_TRUE(pages[1].contains(QStringLiteral("0060: (ﾃｽﾄ 加工)")));
  EXPECT_TRUE(pages[2].contains(QStringLiteral("0101: G01 X101\n")));
  EXPECT_TRUE(pages[2].contains(QStringLiteral("0120: G01 X120\n")));
  EXPECT_FALSE(pages[2].contains(QStringLiteral("0121")));
  EXPECT_EQ(p.listing.Printer().docName(), QStringLiteral("PART1.NC"));
}

TEST(Printing, PageRangeChosenInTheDialogPrintsThosePagesOnly) {
  Printing p(250);
  const int perPage = p.listing.CurrentLinesPerPage();
  ASSERT_LT(perPage, 125) << "the test wants three pages";
  p.listing.SetPrintDialog([](QPrinter& printer, int, bool, QWidget*) -> std::optional<bool> {
    printer.setPrintRange(QPrinter::PageRange);  // as the dialog leaves "pages 2 to 2"
    printer.setFromTo(2, 2);
    return false;
  });
  p.listing.PrintCommand(p.pane, p.label, nullptr);
  const QStringList pages = PdfPages(p.pdf);
  ASSERT_EQ(pages.size(), 1);
  EXPECT_TRUE(HasPageNumber(pages[0], 2));
  EXPECT_TRUE(pages[0].contains(QStringLiteral("%1: G01 X%2\n").arg(perPage + 1, 4, 10, QLatin1Char('0')).arg(perPage + 1)));
  EXPECT_FALSE(pages[0].contains(QStringLiteral("0001:")));
  EXPECT_FALSE(pages[0].contains(QStringLiteral("%1:").arg(2 * perPage + 1, 4, 10, QLatin1Char('0'))));
}

TEST(Printing, SelectionPrintsOnePageNumberedFromOne) {
  Printing p(120);
  p.pane.SetSelection({4, 0}, {6, static_cast<int>(p.pane.LineText(6).size())});
  p.chooseSelection = true;
  p.listing.PrintCommand(p.pane, p.label, nullptr);
  EXPECT_TRUE(p.offeredSelection);
  EXPECT_GE(p.lastPage, 2);  // the page bounds are those of the whole text
  EXPECT_EQ(p.listing.PrintLines, (QStringList{"G01 X5", "G01 X6", "G01 X7"}));

  const QStringList pages = PdfPages(p.pdf);
  ASSERT_EQ(pages.size(), 1);
  EXPECT_TRUE(pages[0].contains(QStringLiteral("0001: G01 X5")));
  EXPECT_TRUE(pages[0].contains(QStringLiteral("0003: G01 X7")));
  EXPECT_FALSE(pages[0].contains(QStringLiteral("0004")));
  EXPECT_TRUE(HasPageNumber(pages[0], 1));
}

TEST(Printing, NothingHappensForAnEmptyPaneOrACancelledDialog) {
  Printing empty(0);
  empty.listing.PrintCommand(empty.pane, empty.label, nullptr);
  EXPECT_EQ(empty.dialogs, 0);

  Printing cancelled(3);
  cancelled.listing.SetPrintDialog([](QPrinter&, int, bool, QWidget*) { return std::optional<bool>(); });
  cancelled.listing.PrintCommand(cancelled.pane, cancelled.label, nullptr);
  EXPECT_FALSE(std::filesystem::exists(cancelled.pdf));
  EXPECT_TRUE(cancelled.prompts.shown.empty());
  EXPECT_TRUE(cancelled.listing.PrintLines.isEmpty());  // no copy of the listing kept
}

TEST(Printing, MarginsTooLargeForOneLineAreRefused) {
  Printing p(3);
  p.settings.Print.TopMargin = p.settings.Print.BottomMargin = 99;
  p.settings.View.FontSize = 200;
  ASSERT_LE(p.listing.CurrentLinesPerPage(), 0);
  p.listing.PrintCommand(p.pane, p.label, nullptr);
  EXPECT_EQ(p.dialogs, 0);
  ASSERT_EQ(p.prompts.shown.size(), 1u);
  EXPECT_EQ(p.prompts.shown[0].caption, QStringLiteral("確認"));
  EXPECT_EQ(p.prompts.shown[0].text, QStringLiteral("余白が大きすぎるため印刷できません。"));
  EXPECT_FALSE(p.listing.PrintPages(p.label, nullptr));
  EXPECT_FALSE(std::filesystem::exists(p.pdf));
}

TEST(Printing, FileNamePartTakesEitherSlash) {
  EXPECT_EQ(FileNamePart(QStringLiteral("D:\\NC\\PART1.NC")), QStringLiteral("PART1.NC"));
  EXPECT_EQ(FileNamePart(QStringLiteral("/nc/part.nc")), QStringLiteral("part.nc"));
  EXPECT_EQ(FileNamePart(QStringLiteral("PART")), QStringLiteral("PART"));
}

// ---- the print settings dialog ----

struct SettingsDialog {
  settings::AppSettings settings;
  QWidget main;
  PrintSettingsDialog dialog{settings, &main, &main};
  SettingsDialog() { main.setGeometry(200, 300, 640, 480); }
};

TEST(PrintSettingsDialog, ShowFillsFieldsPlacesDialogAndDisablesSave) {
  SettingsDialog d;
  d.settings.Print.FullPath = true;
  d.settings.Print.FileName = true;  // both on: only the file name stays checked
  d.settings.Print.Page = false;
  d.settings.Print.LeftMargin = 7;
  d.dialog.show();
  EXPECT_FALSE(d.dialog.FullPathBox->isChecked());
  EXPECT_TRUE(d.dialog.FileNameBox->isChecked());
  EXPECT_FALSE(d.dialog.PageNumbersBox->isChecked());
  EXPECT_TRUE(d.dialog.LineNumbersBox->isChecked());
  EXPECT_EQ(d.dialog.LeftMarginField->text(), QStringLiteral("7"));
  EXPECT_EQ(d.dialog.TopMarginField->text(), QStringLiteral("10"));
  EXPECT_EQ(d.dialog.BottomMarginField->text(), QStringLiteral("10"));
  EXPECT_EQ(d.dialog.RightMarginField->text(), QStringLiteral("10"));
  EXPECT_FALSE(d.dialog.SaveButton->isEnabled());
  const QRect main = d.main.frameGeometry();
  EXPECT_EQ(d.dialog.pos(), QPoint(main.left() + main.width() / 2 - d.dialog.width() / 2,
                                   main.top() + main.height() / 2 - d.dialog.height() / 2 - 100));
  d.dialog.reject();
}

TEST(PrintSettingsDialog, HeaderBoxesExcludeEachOtherAndAnyChangeEnablesSave) {
  SettingsDialog d;
  d.dialog.show();
  ASSERT_TRUE(d.dialog.FullPathBox->isChecked());
  QTest::mouseClick(d.dialog.FileNameBox, Qt::LeftButton);
  EXPECT_TRUE(d.dialog.FileNameBox->isChecked());
  EXPECT_FALSE(d.dialog.FullPathBox->isChecked());
  EXPECT_TRUE(d.dialog.SaveButton->isEnabled());
  QTest::mouseClick(d.dialog.FullPathBox, Qt::LeftButton);
  EXPECT_TRUE(d.dialog.FullPathBox->isChecked());
  EXPECT_FALSE(d.dialog.FileNameBox->isChecked());

  for (QCheckBox* box : {d.dialog.LineNumbersBox, d.dialog.PageNumbersBox}) {
    d.dialog.hide();
    d.dialog.show();
    ASSERT_FALSE(d.dialog.SaveButton->isEnabled());
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(d.dialog.SaveButton->isEnabled()) << box->objectName().toStdString();
  }
  for (QLineEdit* field : {d.dialog.LeftMarginField, d.dialog.TopMarginField, d.dialog.BottomMarginField, d.dialog.RightMarginField}) {
    d.dialog.hide();
    d.dialog.show();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_TRUE(d.dialog.SaveButton->isEnabled()) << field->objectName().toStdString();
  }
  d.dialog.reject();
}

TEST(PrintSettingsDialog, MarginFieldsTakeTwoDigitsOnly) {
  SettingsDialog d;
  d.dialog.show();
  QLineEdit* field = d.dialog.LeftMarginField;
  QTest::keyClicks(field, QStringLiteral("x"));
  EXPECT_EQ(field->text(), QStringLiteral("15"));
  EXPECT_FALSE(d.dialog.SaveButton->isEnabled()) << "a discarded key changes nothing";
  field->clear();
  QTest::keyClicks(field, QStringLiteral("a9-.b9 7"));
  EXPECT_EQ(field->text(), QStringLiteral("99"));
  QTest::keyClick(field, Qt::Key_Backspace);
  EXPECT_EQ(field->text(), QStringLiteral("9"));
  // Pasted text is held to the same rule.
  field->clear();
  field->insert(QStringLiteral("1a"));
  EXPECT_EQ(field->text(), QString());
  d.dialog.reject();
}

TEST(PrintSettingsDialog, SaveStoresEverythingAndBackStoresNothing) {
  SettingsDialog d;
  d.dialog.show();
  QTest::mouseClick(d.dialog.FileNameBox, Qt::LeftButton);
  QTest::mouseClick(d.dialog.LineNumbersBox, Qt::LeftButton);
  d.dialog.LeftMarginField->setText(QStringLiteral("20"));
  d.dialog.TopMarginField->clear();
  d.dialog.BottomMarginField->setText(QStringLiteral("5"));
  d.dialog.RightMarginField->setText(QStringLiteral("99"));
  d.dialog.BackButton->click();
  EXPECT_EQ(d.dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(d.settings.Print.FullPath);
  EXPECT_EQ(d.settings.Print.LeftMargin, 15);

  d.dialog.show();
  QTest::mouseClick(d.dialog.FileNameBox, Qt::LeftButton);
  QTest::mouseClick(d.dialog.LineNumbersBox, Qt::LeftButton);
  d.dialog.LeftMarginField->setText(QStringLiteral("20"));
  d.dialog.TopMarginField->clear();
  d.dialog.BottomMarginField->setText(QStringLiteral("5"));
  d.dialog.RightMarginField->setText(QStringLiteral("99"));
  d.dialog.SaveButton->click();
  EXPECT_EQ(d.dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(d.dialog.isVisible());
  const auto& print = d.settings.Print;
  EXPECT_FALSE(print.FullPath);
  EXPECT_TRUE(print.FileName);
  EXPECT_TRUE(print.Page);
  EXPECT_FALSE(print.LineNo);
  EXPECT_EQ(print.LeftMargin, 20);
  EXPECT_EQ(print.TopMargin, 0);
  EXPECT_EQ(print.BottomMargin, 5);
  EXPECT_EQ(print.RightMargin, 99);
}

TEST(PrintSettingsDialog, PrinterSetupButtonOpensTheSetUp) {
  SettingsDialog d;
  int opened = 0;
  d.dialog.SetPrinterSetup([&](QWidget* owner) {
    ++opened;
    EXPECT_EQ(owner, &d.dialog);
  });
  d.dialog.show();
  d.dialog.PrinterSetupButton->click();
  EXPECT_EQ(opened, 1);
  EXPECT_TRUE(d.dialog.isVisible());
  d.dialog.reject();
}

}  // namespace
}  // namespace vostrel::gui
