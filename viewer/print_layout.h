#pragma once
// The page layout of a printed listing, worked out without a printer: the
// printer's facts and the print settings go in, the pages come out as lists
// of texts with their device positions. Drawing them is all that is left.

#include <QString>
#include <QStringList>

#include <vector>

namespace vostrel::gui {

// What the printer and the font tell about the page, in device pixels.
struct PrinterFacts {
  int dpiX = 600;
  int dpiY = 600;
  int offX = 0;   // printable area's offset from the paper's left edge
  int offY = 0;   // ... from the paper's top edge
  int physW = 0;  // paper size
  int physH = 0;
  int resW = 0;  // printable area size
  int resH = 0;
  int lineHeight = 1;  // height of a line of text in the print font
};

struct PrintOptions {
  bool FullPath = true;
  bool FileName = false;
  bool Page = true;
  bool LineNo = true;
  int TopMargin = 10;  // millimetres
  int BottomMargin = 10;
  int LeftMargin = 15;
  int RightMargin = 10;
};

// Text area of the page in device pixels from the printable area's
// top-left corner.
struct PageArea {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

PageArea ComputePageArea(const PrinterFacts& facts, const PrintOptions& options);

// Body lines of one page; 0 or less when not even one fits.
int LinesPerPage(const PrinterFacts& facts, const PrintOptions& options);

// Pages needed for `lineCount` lines (0 when `linesPerPage` is 0 or less).
int PageCount(int lineCount, int linesPerPage);

// The page header and its measure.
struct PrintJobTexts {
  QString fullPath;   // the target path as the viewer shows it
  QString fileName;   // its file-name part
  QString dateTime;   // date and time of the job
  int dateTimeWidth = 0;  // width of dateTime in the print font
};

struct PrintItem {
  int x = 0;
  int y = 0;  // top of the line's cell
  QString text;
  bool operator==(const PrintItem&) const = default;
};
using PrintPage = std::vector<PrintItem>;

// Line number prefix of the n-th printed line (1-based): "0001: " ...
// "9999: ", then "0000: " again.
QString LineNumberPrefix(long long n);

// Every page of `lines`; empty when `lines` is empty or no body line fits.
std::vector<PrintPage> LayoutPages(const QStringList& lines, const PrinterFacts& facts,
                                   const PrintOptions& options, const PrintJobTexts& texts);

// Splits text at CR LF, lone CR and lone LF. A break at the very end adds
// no empty last line; empty text gives no lines.
QStringList SplitPrintText(const QString& text);

}  // namespace vostrel::gui
