#pragma once
// The print buffer and the printing of the viewer's converted data: the
// print command behind "印刷", the printer set-up behind "プリンタ設定",
// and PrintPages, which draws the laid-out pages on the printer.

#include <QDateTime>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

#include "viewer/print_layout.h"

class QFontMetrics;
class QPainter;
class QPrinter;

namespace vostrel::settings {
struct AppSettings;
}

namespace vostrel::gui {

class LineTextView;
class UserPrompts;

class ListingPrinter : public QWidget {
  Q_OBJECT
 public:
  ListingPrinter(settings::AppSettings& settings, UserPrompts& prompts, QWidget* parent = nullptr);
  ~ListingPrinter() override;

  // The lines to print, one printed line each, and the scratch buffer of a
  // selection. Never shown.
  QStringList PrintLines;
  QStringList SelectionLines;

  // The printer settings shared by the print dialog, the printer set-up and
  // PrintPages.
  QPrinter& Printer() { return *printer_; }

  // The system print dialog: the page bounds, whether a selection can be
  // printed. Returns nullopt when cancelled, else whether the selection
  // was chosen; a page range chosen there is left in the printer (print
  // range, from and to page), which PrintPages honours. Tests put their own in.
  using PrintDialogFn = std::function<std::optional<bool>(QPrinter& printer, int lastPage, bool hasSelection,
                                                          QWidget* owner)>;
  void SetPrintDialog(PrintDialogFn dialog) { printDialog_ = std::move(dialog); }
  // The printer set-up dialog ("プリンタ設定").
  using SetupDialogFn = std::function<void(QPrinter& printer, QWidget* owner)>;
  void SetPrinterSetupDialog(SetupDialogFn dialog) { setupDialog_ = std::move(dialog); }
  // Date and time of a print job (tests fix it).
  void SetClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

  // "印刷" of the viewer: prints the converted-data pane `pane`, or its
  // selection, under the target path `label`.
  void PrintCommand(LineTextView& pane, const QString& label, QWidget* owner);
  // Prints every page of PrintLines as one job; false when nothing was
  // printed (the user has been told why).
  bool PrintPages(const QString& label, QWidget* owner);
  // Prints one page that `draw` fills: the header the listing's pages have,
  // then the picture in the rest of the text area. False when nothing was
  // printed.
  using PageDrawing = std::function<void(QPainter& painter, const QRectF& area)>;
  bool PrintPicture(const PageDrawing& draw, const QString& label, QWidget* owner);
  // Opens the printer set-up dialog.
  void PrinterSetup(QWidget* owner);

  // The print font: the converted-data pane's font.
  QFont PrintFont() const;
  // What the current printer says about the page, measured with `font`.
  PrinterFacts Facts(const QFont& font) const;
  PrintOptions Options() const;
  // Body lines per page with the current printer and settings.
  int CurrentLinesPerPage() const;

 private:
  bool CheckLinesPerPage(int linesPerPage, QWidget* owner);
  void UseInstalledPrinter();
  // The header's texts of a print job of `label` (the date and time now).
  PrintJobTexts JobTexts(const QString& label, const QFontMetrics& metrics) const;
  // Starts a print job on the printer with `font`; says so when it cannot.
  bool BeginPrinting(QPainter& painter, const QString& docName, const QFont& font, QWidget* owner);

  settings::AppSettings& settings_;
  UserPrompts& prompts_;
  std::unique_ptr<QPrinter> printer_;
  PrintDialogFn printDialog_;
  SetupDialogFn setupDialog_;
  std::function<QDateTime()> clock_;
};

// Date and time in the system's short date and long time format (without
// a time zone), as printed in a page header.
QString PrintDateTimeText(const QDateTime& when);

// The file-name part of a path shown in the viewer's label (either slash).
QString FileNamePart(const QString& path);

}  // namespace vostrel::gui
