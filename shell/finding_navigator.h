#pragma once
// The findings of the last run in the window: the log lines that have one
// are links to the source view, F4 and Shift+F4 step through them from any
// window of the program, "エディタで開く" hands the place to the user's
// editor, and the counts of errors and warnings stand in the main window
// and on the viewer's log tab.

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "pipeline/finding.h"
#include "shell/desk_services.h"

class QLabel;
class QWidget;

namespace vostrel::settings {
struct AppSettings;
}

namespace vostrel::gui {

class LineTextView;
class SourceView;
class MainWindow;
class ViewerDialog;
class UserPrompts;

// The program and arguments of the editor command line `command` (%f the
// file, %l the line, %c the column, each inside one argument); empty when
// the command is empty.
QStringList EditorCommandLine(const QString& command, const QString& file, int line, int column);

class FindingNavigator : public QObject {
  Q_OBJECT
 public:
  // Starts a program without waiting for it; false when it cannot be
  // started, `failed` when it gives up later (see StartWatched).
  using Launcher = std::function<bool(const QString& program, const QStringList& arguments, LaunchFailed failed)>;

  FindingNavigator(settings::AppSettings& settings, UserPrompts& prompts, QObject* parent = nullptr);

  // A window whose F4 and Shift+F4 step through the findings, its log view
  // (may be nullptr) showing the lines of the run log, and a place for the
  // counts (may be nullptr).
  void Attach(QWidget* window, LineTextView* log, QLabel* counts);

  void Clear();  // a run starts
  void Add(Finding finding);
  void ShowCounts();  // the run is over

  const std::vector<Finding>& Findings() const { return findings_; }
  int Errors() const { return errors_; }
  int Warnings() const { return warnings_; }
  // The counts as the window shows them.
  QString CountText() const;

  // Opens the finding of run log line `index`; false when it has none.
  bool OpenLogLine(int index);
  void Open(std::size_t index);
  // Shows `place` in the source view (a place that is no finding of the list).
  void ShowPlace(const Finding& place);
  // F4 and Shift+F4: the next and the previous finding in file and line
  // order (by file path, then line and column; the log's order among
  // equals), round from the last to the first.
  void Next();
  void Previous();
  // The findings in that order, as indices into Findings().
  const std::vector<std::size_t>& PlaceOrder();
  void OpenInEditor(const Finding& finding);

  SourceView* View() const { return view_; }
  void SetLauncher(Launcher launch) { launch_ = std::move(launch); }
  void SetUrlOpener(UrlOpener open) { open_ = std::move(open); }

 signals:
  void CountsShown();
  void Cleared();                          // a run starts: no findings
  void CurrentChanged(std::size_t index);  // the source view shows finding `index`

 private:
  bool HasFinding(int logLine) const { return byLogLine_.contains(logLine); }

  settings::AppSettings& settings_;
  UserPrompts& prompts_;
  SourceView* view_ = nullptr;  // made at the first use
  std::vector<Finding> findings_;
  std::unordered_map<std::int64_t, std::size_t> byLogLine_;  // the first finding of each log line
  std::size_t current_ = SIZE_MAX;
  // PlaceOrder, and the rank of each finding in it (empty until needed
  // after a change).
  std::vector<std::size_t> placeOrder_;
  std::vector<std::size_t> placeRank_;
  // The finding `step` places after the current one in place order.
  void Step(std::ptrdiff_t step);
  int errors_ = 0;
  int warnings_ = 0;
  std::vector<QLabel*> countLabels_;
  std::vector<LineTextView*> logs_;
  Launcher launch_;
  UrlOpener open_;
};

// The navigator of the main window and its viewer: the counts in the
// main window's status bar and at the top of the viewer's log tab (whose tab
// also shows an icon then), the links in both logs.
FindingNavigator* NewFindingNavigator(MainWindow& window, ViewerDialog& viewer, UserPrompts& prompts);

}  // namespace vostrel::gui
