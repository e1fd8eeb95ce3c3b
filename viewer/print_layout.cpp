#include "viewer/print_layout.h"

#include <cmath>

namespace vostrel::gui {

namespace {

constexpr double kMillimetresPerInch = 25.39999;

int RoundPixel(double value) { return static_cast<int>(std::floor(value + 0.5)); }

double MmToPixels(int millimetres, int dpi) { return millimetres / kMillimetresPerInch * dpi; }

int HeaderSlots(const PrintOptions& options) { return (options.FullPath ? 2 : 0) + (options.FileName ? 2 : 0); }

}  // namespace

PageArea ComputePageArea(const PrinterFacts& f, const PrintOptions& o) {
  PageArea area;
  area.left = RoundPixel(MmToPixels(o.LeftMargin, f.dpiX) - f.offX);
  if (area.left < 0) area.left = 0;
  area.top = RoundPixel(MmToPixels(o.TopMargin, f.dpiY) - f.offY);
  if (area.top < 0) area.top = 0;
  area.right = RoundPixel(f.resW - (MmToPixels(o.RightMargin, f.dpiX) - (f.physW - f.resW - f.offX)));
  if (area.right < 0) area.right = f.resW;
  area.bottom = RoundPixel(f.resH - (MmToPixels(o.BottomMargin, f.dpiY) - (f.physH - f.resH - f.offY)));
  if (area.bottom < 0) area.bottom = f.resH;
  return area;
}

int LinesPerPage(const PrinterFacts& facts, const PrintOptions& options) {
  if (facts.lineHeight <= 0) return 0;
  const PageArea area = ComputePageArea(facts, options);
  int lines = (area.bottom - area.top) / facts.lineHeight;
  lines -= HeaderSlots(options);
  if (options.Page) lines -= 1;
  return lines;
}

int PageCount(int lineCount, int linesPerPage) {
  if (linesPerPage <= 0 || lineCount <= 0) return 0;
  return (lineCount + linesPerPage - 1) / linesPerPage;
}

QString LineNumberPrefix(long long n) {
  return QStringLiteral("%1: ").arg(n % 10000, 4, 10, QLatin1Char('0'));
}

std::vector<PrintPage> LayoutPages(const QStringList& lines, const PrinterFacts& facts,
                                   const PrintOptions& options, const PrintJobTexts& texts) {
  std::vector<PrintPage> pages;
  const int perPage = LinesPerPage(facts, options);
  if (lines.isEmpty() || perPage <= 0) return pages;
  const PageArea area = ComputePageArea(facts, options);
  const int pageCount = PageCount(static_cast<int>(lines.size()), perPage);
  pages.reserve(pageCount);

  long long counter = 1;
  qsizetype next = 0;
  for (int p = 1; p <= pageCount; ++p) {
    PrintPage page;
    int slot = 0;
    auto y = [&](int s) { return area.top + s * facts.lineHeight; };
    auto header = [&](const QString& title) {
      page.push_back({area.left, y(slot), title});
      page.push_back({area.right - texts.dateTimeWidth, y(slot + 1), texts.dateTime});
      slot += 2;
    };
    if (options.FullPath) header(texts.fullPath);
    if (options.FileName) header(texts.fileName);
    for (int body = 0; body < perPage; ++body, ++slot) {
      if (next >= lines.size()) continue;
      QString text = lines[next++];
      if (options.LineNo) text.prepend(LineNumberPrefix(counter++));
      page.push_back({area.left, y(slot), text});
    }
    if (options.Page) page.push_back({area.left + (area.right - area.left) / 2, y(slot), QStringLiteral("- %1 -").arg(p)});
    pages.push_back(std::move(page));
  }
  return pages;
}

QStringList SplitPrintText(const QString& text) {
  QStringList lines;
  if (text.isEmpty()) return lines;
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) continue;
    lines.append(text.mid(start, i - start));
    if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.append(text.mid(start));
  return lines;
}

}  // namespace vostrel::gui
