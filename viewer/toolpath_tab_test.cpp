// The toolpath tab: a move leads to its line and a line to its moves, the
// fit of a known extent, the slider's partial path.

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "gui_common/scripted_prompts.h"
#include "settings/app_settings.h"
#include "tests/test_support.h"
#include "viewer/line_text_view.h"
#include "viewer/listing_printer.h"
#include "viewer/toolpath_tab.h"
#include "viewer/toolpath_view.h"

namespace vostrel::gui {
namespace {

// A rectangle 100 x 50 at Z0 after a plunge; line 3 feeds without F.
const TextLines kProgram = {"O1",                    // 1
                            "G90G17G21G00X0.Y0.Z5.",  // 2  rapid up (a point in XY)
                            "G01Z0.",                 // 3  plunge
                            "X100.F100.",             // 4  along the bottom edge
                            "Y50.",                   // 5  up the right edge
                            "X0.",                    // 6  along the top edge
                            "M30"};

struct Tab {
  settings::AppSettings settings;
  ScriptedPrompts prompts;
  ListingPrinter printing{settings, prompts};
  TextLines lines = kProgram;
  LineTextView result;
  ToolpathTab tab{&result, &printing};
  std::vector<Finding> found;
  Finding opened;

  Tab() {
    result.SetLines(&lines, LineTextView::Encoding::ShiftJis);
    result.resize(300, 200);
    tab.resize(700, 450);
    tab.show();
    QObject::connect(&tab, &ToolpathTab::FindingsFound, [this](const std::vector<Finding>& f) { found = f; });
    tab.SetSourceOpener([this](const Finding& place) { opened = place; });
    tab.SetSourceMap("part.nc", {1, 2, 4, 5, 7, 9, 10});
    tab.SetProgram(std::make_shared<const TextLines>(lines));
    tab.WaitForPath();
    QApplication::processEvents();
  }
  QPoint At(double x, double y, double z = 0) const {
    const double p[3] = {x, y, z};
    return tab.View->ToWindow(p).toPoint();
  }
};

TEST(ToolpathTab, ClickOnAMoveLandsOnItsLineAndTheLineLightsItsMoves) {
  Tab t;
  ASSERT_TRUE(t.tab.HasPath());
  struct Case {
    double x, y;
    int line;  // 1-based
    int source;
  } cases[] = {{50, 0, 4, 5}, {100, 25, 5, 7}, {30, 50, 6, 9}};
  for (const Case& c : cases) {
    QTest::mouseClick(t.tab.View, Qt::LeftButton, {}, t.At(c.x, c.y));
    EXPECT_EQ(t.result.SelectionStart().line, c.line - 1) << c.x << "," << c.y;
    ASSERT_EQ(t.tab.View->LitMoves().size(), 1u);
    EXPECT_EQ(t.tab.Path()->motions[t.tab.View->LitMoves()[0]].line, c.line);
    QTest::mouseDClick(t.tab.View, Qt::LeftButton, {}, t.At(c.x, c.y));
    EXPECT_EQ(t.opened.file, "part.nc");
    EXPECT_EQ(t.opened.line, c.source);
  }
  // Off the path nothing is chosen.
  t.opened = {};
  QTest::mouseDClick(t.tab.View, Qt::LeftButton, {}, t.At(50, 25));
  EXPECT_EQ(t.opened.line, 0);

  // The caret on line 5 lights its move and brings it into view from a
  // view zoomed in far away.
  t.tab.View->FitArea(QRectF(1000, 1000, 10, 10));
  t.result.setFocus();
  QTest::keyClick(&t.result, Qt::Key_Home, Qt::ControlModifier);
  for (int i = 0; i < 4; ++i) QTest::keyClick(&t.result, Qt::Key_Down);
  ASSERT_EQ(t.tab.View->LitMoves().size(), 1u);
  EXPECT_EQ(t.tab.Path()->motions[t.tab.View->LitMoves()[0]].line, 5);
  EXPECT_TRUE(t.tab.View->rect().contains(t.At(100, 25)));

  // The interpreter's finding (a feed without F) comes at its source line.
  ASSERT_EQ(t.found.size(), 1u);
  EXPECT_EQ(t.found[0].line, 4);
  EXPECT_EQ(t.found[0].file, "part.nc");
}

// The moves of each line, in the order executed: of a program whose moves
// come in the order of their lines, and of one whose loop comes back to
// earlier lines.
TEST(ToolpathTab, MovesOfALineInBothOrders) {
  Tab t;
  const TextLines loop = {"G90G01F100.X0.Y0.", "#1=0", "WHILE[#1LT3]DO1", "G91X10.", "Y5.", "#1=#1+1", "END1",
                          "G90X0.Y0.", "M30"};
  for (const TextLines& program : {kProgram, loop}) {
    t.tab.SetProgram(std::make_shared<const TextLines>(program));
    t.tab.WaitForPath();
    ASSERT_TRUE(t.tab.HasPath());
    const std::vector<toolpath::Motion>& motions = t.tab.Path()->motions;
    for (std::int32_t line = 0; line <= static_cast<std::int32_t>(program.size()) + 1; ++line) {
      std::vector<std::uint32_t> expected;
      for (std::uint32_t i = 0; i < motions.size(); ++i)
        if (motions[i].line == line && line >= 1 && line <= static_cast<std::int32_t>(program.size())) expected.push_back(i);
      EXPECT_EQ(t.tab.MovesOfLine(line), expected) << program.front() << " line " << line;
    }
  }
  EXPECT_EQ(t.tab.MovesOfLine(4).size(), 3u);  // the loop's first move, once a time round
}

TEST(ToolpathTab, FitShowsTheWholeExtentTightInOneDirection) {
  Tab t;
  for (const int id : {0, 1}) {  // XY: 100 x 50; XZ: 100 x 5
    t.tab.ViewButtons->button(id)->click();
    const QPoint low = id == 0 ? t.At(0, 0) : t.At(0, 0, 0), high = id == 0 ? t.At(100, 50) : t.At(100, 0, 5);
    const QRect view = t.tab.View->rect();
    EXPECT_TRUE(view.contains(low) && view.contains(high));
    // The width is the tight direction in both: 100 units across all but the margins.
    EXPECT_NEAR(high.x() - low.x(), view.width() - 48, 2);
    EXPECT_NEAR((low.x() + high.x()) / 2.0, view.width() / 2.0, 1.5);
    EXPECT_GT(high.y(), 3 * t.tab.View->fontMetrics().height());  // below the extents
    EXPECT_LT(high.y(), low.y());  // up is up
  }
  // Panned and zoomed, "全体表示" brings it back.
  t.tab.View->FitArea(QRectF(-500, -500, 10, 10));
  t.tab.FitButton->click();
  EXPECT_NEAR(t.At(100, 0).x() - t.At(0, 0).x(), t.tab.View->width() - 48, 2);
}

TEST(ToolpathTab, SliderDrawsThePathUpToAMove) {
  Tab t;
  const std::size_t total = t.tab.Path()->motions.size();
  ASSERT_EQ(total, 5u);  // up, plunge, three edges
  const QRgb feed = qRgb(32, 80, 192), current = qRgb(200, 0, 200);
  auto drawnNear = [&](const QPoint& at, QRgb colour = qRgb(32, 80, 192)) {
    const QImage image = t.tab.View->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (image.pixel(at + QPoint(dx, dy)) == colour) return true;
    return false;
  };
  EXPECT_TRUE(drawnNear(t.At(30, 50)));
  t.tab.StepSlider->setValue(3);  // up to the bottom edge
  EXPECT_EQ(t.tab.View->DrawnCount(), 3u);
  EXPECT_TRUE(drawnNear(t.At(50, 0)));
  EXPECT_FALSE(drawnNear(t.At(100, 25)));
  EXPECT_FALSE(drawnNear(t.At(30, 50)));
  EXPECT_EQ(t.tab.View->MoveAt(t.At(30, 50)), -1);  // a move not drawn is not hit

  // Stepping: the next move is drawn and current, its line gets the caret.
  t.tab.View->SetCurrentMove(2);
  QTest::keyClick(t.tab.View, Qt::Key_Right);
  EXPECT_EQ(t.tab.View->CurrentMove(), 3);
  EXPECT_EQ(t.tab.StepSlider->value(), 4);
  EXPECT_EQ(t.result.SelectionStart().line, 4);
  EXPECT_TRUE(drawnNear(t.At(100, 25), current));
  QTest::keyClick(t.tab.View, Qt::Key_Left);
  EXPECT_FALSE(drawnNear(t.At(100, 25), feed));
  EXPECT_TRUE(drawnNear(t.At(50, 0), current));
  EXPECT_EQ(t.tab.StepSlider->value(), 3);
}

// A path too large to draw at once is drawn on a thread; the window keeps
// showing the last picture meanwhile, and the new one comes.
TEST(ToolpathTab, LargePathIsDrawnOnItsOwnThread) {
  Tab t;
  TextLines zigzag = {"G90G01F1000."};
  for (int i = 0; i < 60000; ++i)  // back and forth along X, a unit up every 600 moves
    zigzag.push_back("X" + std::to_string(i % 2 * 100) + ".Y" + std::to_string(i / 600) + ".");
  t.tab.SetProgram(std::make_shared<const TextLines>(std::move(zigzag)));
  t.tab.WaitForPath();
  ASSERT_GT(t.tab.Path()->motions.size(), 50000u);  // more than are drawn at once
  auto waitForPicture = [&] {
    for (int i = 0; i < 2000 && !t.tab.View->PictureCurrent(); ++i) {
      t.tab.View->repaint();
      QTest::qWait(5);
    }
    return t.tab.View->PictureCurrent();
  };
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(waitForPicture()) << round;
    const QImage image = t.tab.View->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image.pixel(t.At(50, 50)), qRgb(32, 80, 192)) << round;  // a line across the middle
    // A pan starts a new picture.
    QTest::mousePress(t.tab.View, Qt::LeftButton, {}, t.At(50, 50));
    QTest::mouseMove(t.tab.View, t.At(50, 50) + QPoint(30, 20));
    QTest::mouseRelease(t.tab.View, Qt::LeftButton, {}, t.At(50, 50) + QPoint(30, 20));
  }
}

TEST(ToolpathTab, PrintsAPageOfItsOwnAndSavesSvgAndPng) {
  Tab t;
  test::TempDir dir;
  const QString pdf = QString::fromStdString((dir / "path.pdf").string());
  t.printing.Printer().setOutputFormat(QPrinter::PdfFormat);
  t.printing.Printer().setOutputFileName(pdf);
  int dialogs = 0;
  t.printing.SetPrintDialog([&](QPrinter&, int lastPage, bool, QWidget*) -> std::optional<bool> {
    ++dialogs;
    EXPECT_EQ(lastPage, 1);
    return false;
  });
  t.tab.Print(QStringLiteral("/nc/PART1.NC"));
  EXPECT_EQ(dialogs, 1);
  QProcess text;
  text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
  ASSERT_TRUE(text.waitForFinished(60000));
  const QString printed = QString::fromUtf8(text.readAllStandardOutput());
  EXPECT_EQ(printed.count(QLatin1Char('\f')), 1) << printed.toStdString();  // one page
  EXPECT_TRUE(printed.contains(QStringLiteral("/nc/PART1.NC")));               // the header
  EXPECT_TRUE(printed.contains(QStringLiteral("0.000 .. 100.000 mm")));        // the extents

  const QString svg = QString::fromStdString((dir / "path.svg").string());
  ASSERT_TRUE(t.tab.SaveSvg(svg));
  QFile svgFile(svg);
  ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
  const QByteArray drawing = svgFile.readAll();
  EXPECT_TRUE(drawing.contains("L100 0L100 -50L0 -50")) << drawing.toStdString();  // the three edges, y down

  const QString png = QString::fromStdString((dir / "path.png").string());
  ASSERT_TRUE(t.tab.SavePng(png));
  EXPECT_EQ(QImage(png).size(), t.tab.View->size() * 2);
}

}  // namespace
}  // namespace vostrel::gui
