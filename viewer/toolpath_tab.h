#pragma once
// The viewer's "経路" tab: the toolpath of the compiled program drawn beside
// its statistics, linked both ways to the result tab (the caret on a line
// lights its moves; a click on a move puts the caret on its line) and to
// the source (a double click on a move shows the line it came from), with
// a slider and keys that step through the moves in the order of cutting,
// printing, and SVG and PNG export.
//
// The program is executed off the window's thread as soon as it is handed
// over; the drawing shows when the tab is first looked at.

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/finding.h"
#include "pipeline/text_lines.h"
#include "toolpath/toolpath.h"

class QButtonGroup;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSlider;

namespace vostrel::gui {

class LineTextView;
class ListingPrinter;
class ToolpathView;

class ToolpathTab : public QWidget {
  Q_OBJECT
 public:
  // `result` shows the compiled lines; `printing` prints the drawing.
  ToolpathTab(LineTextView* result, ListingPrinter* printing, QWidget* parent = nullptr);
  ~ToolpathTab() override;

  // A new program: `lines` are executed on a thread of their own, where
  // they lie (they are shared with it, never changed); the tab shows the
  // path when it is done.
  void SetProgram(std::shared_ptr<const TextLines> lines);
  // No program: the path and its lines are let go.
  void Clear();
  // Where each compiled line came from: the source file (UTF-8) and the
  // source line of every compiled line (empty: line n is source line n).
  void SetSourceMap(std::string sourceFile, std::vector<std::int32_t> sourceLines);
  // What a double click on a move asks for: the source view at a place.
  void SetSourceOpener(std::function<void(const Finding&)> open) { openSource_ = std::move(open); }
  // The file an export goes to (tests put their own in); empty: cancelled.
  using FileChooser = std::function<QString(QWidget* owner, const QString& caption, const QString& filter)>;
  void SetFileChooser(FileChooser choose) { chooseFile_ = std::move(choose); }

  // Waits for the execution to end and shows its path (tests, the bench).
  void WaitForPath();
  bool HasPath() const { return path_ != nullptr; }
  const toolpath::Result* Path() const { return path_.get(); }

  // The moves of compiled line `line` (1-based), in the order executed.
  std::vector<std::uint32_t> MovesOfLine(std::int32_t line) const;
  // The source place of compiled line `line`.
  Finding SourcePlace(std::int32_t line) const;

  void ShowLine(int index);           // the caret is on result line `index` (0-based)
  void SelectMove(std::int64_t move);  // a click: the move and its line become current
  void OpenMoveSource(std::int64_t move);
  void StepMove(int step);             // the next (+1) or previous (-1) move
  void Print(const QString& label);
  bool SaveSvg(const QString& path);
  bool SavePng(const QString& path);

  ToolpathView* View;
  QButtonGroup* ViewButtons;       // XY, XZ, YZ, ISO
  QPushButton* FitButton;          // 全体表示
  QPushButton* SvgButton;          // SVG保存
  QPushButton* PngButton;          // PNG保存
  QSlider* StepSlider;             // the moves drawn
  QLabel* StepLabel;
  QPlainTextEdit* StatisticsPanel;
  QLabel* StatusLabel;

 signals:
  // The interpreter's findings, in the form of the run's (after SetProgram).
  void FindingsFound(const std::vector<vostrel::Finding>& findings);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Computed;
  void StartExecution();
  void Deliver(std::uint64_t generation, std::shared_ptr<Computed> computed);
  void ShowPath();
  void ShowStep();
  void ExportFile(bool svg);

  LineTextView* result_;
  ListingPrinter* printing_;
  std::function<void(const Finding&)> openSource_;
  FileChooser chooseFile_;

  std::shared_ptr<const TextLines> program_;  // the compiled lines, for the thread
  std::thread worker_;
  std::uint64_t generation_ = 0;
  bool pending_ = false;  // a path is on its way
  std::shared_ptr<Computed> computed_;
  std::shared_ptr<const toolpath::Result> path_;
  std::string sourceFile_;
  std::vector<std::int32_t> sourceLines_;
  bool settingCaret_ = false;
};

}  // namespace vostrel::gui
