#include "viewer/listing_printer.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>

#include "gui_common/fonts.h"
#include "gui_common/prompts.h"
#include "settings/app_settings.h"
#include "viewer/line_text_view.h"

namespace vostrel::gui {

namespace {

std::optional<bool> RunPrintDialog(QPrinter& printer, int lastPage, bool hasSelection, QWidget* owner) {
  QPrintDialog dialog(&printer, owner);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, hasSelection);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  printer.setFromTo(0, 0);  // the range of an earlier print does not carry over
  dialog.setMinMax(1, lastPage);
  dialog.setPrintRange(hasSelection ? QAbstractPrintDialog::Selection : QAbstractPrintDialog::AllPages);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return hasSelection && dialog.printRange() == QAbstractPrintDialog::Selection;
}

void RunSetupDialog(QPrinter& printer, QWidget* owner) {
  // The print dialog without page choices: printer, paper and orientation.
  // Its choice stays with the printer settings; nothing is printed here.
  QPrintDialog dialog(&printer, owner);
  dialog.setWindowTitle(QStringLiteral("プリンタ設定"));
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  if (auto* box = dialog.findChild<QDialogButtonBox*>()) {
    if (QAbstractButton* ok = box->button(QDialogButtonBox::Ok)) ok->setText(QStringLiteral("OK"));
  }
  dialog.exec();
}

}  // namespace

QString PrintDateTimeText(const QDateTime& when) {
  const QLocale locale = QLocale::system();
  QString timeFormat = locale.timeFormat(QLocale::LongFormat);
  // The long time format of some locales names the time zone; the header
  // shows the clock time only.
  timeFormat.remove(QRegularExpression(QStringLiteral("\\s*\\(?t+\\)?")));
  return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(when.time(), timeFormat.trimmed());
}

QString FileNamePart(const QString& path) {
  const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
  return cut < 0 ? path : path.mid(cut + 1);
}

ListingPrinter::ListingPrinter(settings::AppSettings& settings, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent),
      settings_(settings),
      prompts_(prompts),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)),
      printDialog_(RunPrintDialog),
      setupDialog_(RunSetupDialog),
      clock_([] { return QDateTime::currentDateTime(); }) {
  setObjectName(QStringLiteral("ListingPrinter"));
  setWindowFlag(Qt::Window);
  hide();
}

ListingPrinter::~ListingPrinter() = default;

QFont ListingPrinter::PrintFont() const { return JapaneseFont(Pitch::Proportional, settings_.View.FontSize); }

PrintOptions ListingPrinter::Options() const {
  const auto& p = settings_.Print;
  return PrintOptions{p.FullPath, p.FileName, p.Page, p.LineNo, p.TopMargin, p.BottomMargin, p.LeftMargin,
                      p.RightMargin};
}

PrinterFacts ListingPrinter::Facts(const QFont& font) const {
  QPrinter& printer = *printer_;
  PrinterFacts facts;
  facts.dpiX = printer.logicalDpiX();
  facts.dpiY = printer.logicalDpiY();
  const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
  const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
  facts.physW = paper.width();
  facts.physH = paper.height();
  facts.offX = page.x() - paper.x();
  facts.offY = page.y() - paper.y();
  facts.resW = page.width();
  facts.resH = page.height();
  facts.lineHeight = QFontMetrics(font, &printer).height();
  return facts;
}

int ListingPrinter::CurrentLinesPerPage() const { return LinesPerPage(Facts(PrintFont()), Options()); }

bool ListingPrinter::CheckLinesPerPage(int linesPerPage, QWidget* owner) {
  if (linesPerPage > 0) return true;
  prompts_.ShowMessage(owner, QStringLiteral("確認"), QStringLiteral("余白が大きすぎるため印刷できません。"),
                       MessageIcon::Warning);
  return false;
}

void ListingPrinter::UseInstalledPrinter() {
  QPrinter& printer = *printer_;
  if (printer.outputFormat() != QPrinter::NativeFormat) return;
  if (QPrinterInfo::availablePrinterNames().contains(printer.printerName())) return;
  printer.setPrinterName(QPrinterInfo::defaultPrinterName());
}

void ListingPrinter::PrintCommand(LineTextView& pane, const QString& label, QWidget* owner) {
  const int count = pane.LineCount();
  if (count == 0 || (count == 1 && pane.LineText(0).isEmpty())) return;

  // The lines are taken once the dialog has been answered: a cancelled
  // print leaves no copy of a large listing behind.
  PrintLines.clear();
  UseInstalledPrinter();
  const int perPage = CurrentLinesPerPage();
  if (!CheckLinesPerPage(perPage, owner)) return;
  const bool hasSelection = pane.HasSelection();
  const std::optional<bool> selection = printDialog_(*printer_, PageCount(count, perPage), hasSelection, owner);
  if (!selection) return;
  if (*selection) {
    SelectionLines.clear();
    pane.copy();  // the clipboard keeps the selection
    SelectionLines = SplitPrintText(pane.SelectedText());
    PrintLines = SelectionLines;
    if (PrintLines.isEmpty()) return;
  } else {
    PrintLines.reserve(count);
    for (int i = 0; i < count; ++i) PrintLines.append(pane.LineText(i));
  }
  PrintPages(label, owner);
}

bool ListingPrinter::PrintPages(const QString& label, QWidget* owner) {
  UseInstalledPrinter();
  QPrinter& printer = *printer_;
  const QFont font = PrintFont();
  const PrinterFacts facts = Facts(font);
  const PrintOptions options = Options();
  if (!CheckLinesPerPage(LinesPerPage(facts, options), owner)) return false;
  if (PrintLines.isEmpty()) return false;

  const QFontMetrics metrics(font, &printer);
  const PrintJobTexts texts = JobTexts(label, metrics);
  const QString& fileName = texts.fileName;
  const std::vector<PrintPage> pages = LayoutPages(PrintLines, facts, options, texts);

  // A page range chosen in the print dialog: those pages only, with the
  // line and page numbers they have in the whole listing.
  std::size_t first = 0, end = pages.size();
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    first = std::min<std::size_t>(static_cast<std::size_t>(printer.fromPage()) - 1, pages.size());
    if (printer.toPage() > 0) end = std::clamp<std::size_t>(static_cast<std::size_t>(printer.toPage()), first, end);
  }
  if (first == end) return false;

  QPainter painter;
  if (!BeginPrinting(painter, fileName, font, owner)) return false;
  for (std::size_t p = first; p < end; ++p) {
    if (p > first) printer.newPage();
    for (const PrintItem& item : pages[p]) painter.drawText(QPoint(item.x, item.y + metrics.ascent()), item.text);
  }
  return painter.end();
}

PrintJobTexts ListingPrinter::JobTexts(const QString& label, const QFontMetrics& metrics) const {
  PrintJobTexts texts;
  texts.fullPath = label;
  texts.fileName = FileNamePart(label);
  texts.dateTime = PrintDateTimeText(clock_());
  texts.dateTimeWidth = metrics.horizontalAdvance(texts.dateTime);
  return texts;
}

bool ListingPrinter::BeginPrinting(QPainter& painter, const QString& docName, const QFont& font, QWidget* owner) {
  printer_->setDocName(docName);
  if (!painter.begin(printer_.get())) {
    prompts_.ShowMessage(owner, QStringLiteral("確認"), QStringLiteral("印刷を開始できません。"),
                         MessageIcon::Warning);
    return false;
  }
  painter.setFont(font);
  return true;
}

bool ListingPrinter::PrintPicture(const PageDrawing& draw, const QString& label, QWidget* owner) {
  UseInstalledPrinter();
  QPrinter& printer = *printer_;
  const QFont font = PrintFont();
  const PrinterFacts facts = Facts(font);
  PrintOptions options = Options();
  options.LineNo = false;
  if (!CheckLinesPerPage(LinesPerPage(facts, options), owner)) return false;
  if (!printDialog_(printer, 1, false, owner)) return false;

  // The header as a listing of one empty line has it; the picture below.
  const QFontMetrics metrics(font, &printer);
  const PrintJobTexts texts = JobTexts(label, metrics);
  const QString& fileName = texts.fileName;
  const std::vector<PrintPage> pages = LayoutPages(QStringList{QString()}, facts, options, texts);
  const PageArea area = ComputePageArea(facts, options);
  // The picture takes the body's place: from its one (empty) line down to
  // the page number or the bottom margin.
  int top = area.top, bottom = area.bottom;
  if (!pages.empty()) {
    const PrintPage& page = pages.front();
    const auto body = std::find_if(page.begin(), page.end(), [](const PrintItem& item) { return item.text.isEmpty(); });
    if (body != page.end()) top = body->y;
    if (options.Page) bottom = page.back().y - facts.lineHeight / 2;
  }

  QPainter painter;
  if (!BeginPrinting(painter, fileName, font, owner)) return false;
  if (!pages.empty())
    for (const PrintItem& item : pages.front()) painter.drawText(QPoint(item.x, item.y + metrics.ascent()), item.text);
  draw(painter, QRectF(QPointF(area.left, top), QPointF(area.right, bottom)));
  return painter.end();
}

void ListingPrinter::PrinterSetup(QWidget* owner) { setupDialog_(*printer_, owner); }

}  // namespace vostrel::gui
