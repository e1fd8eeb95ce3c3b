#include "shell/finding_navigator.h"

#include <QApplication>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>
#include <tuple>

#include "gui_common/prompts.h"
#include "settings/app_settings.h"
#include "shell/findings_list_access.h"
#include "shell/main_window.h"
#include "shell/settings_text.h"
#include "viewer/line_text_view.h"
#include "viewer/source_view.h"
#include "viewer/toolpath_tab.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {

QStringList EditorCommandLine(const QString& command, const QString& file, int line, int column) {
  QStringList words = QProcess::splitCommand(command);
  for (QString& word : words) {
    QString out;
    for (qsizetype i = 0; i < word.size(); ++i) {
      const QChar next = i + 1 < word.size() ? word[i + 1] : QChar();
      if (word[i] != QLatin1Char('%') || next.isNull()) {
        out += word[i];
        continue;
      }
      if (next == QLatin1Char('f')) out += file;
      else if (next == QLatin1Char('l')) out += QString::number(std::max(line, 1));
      else if (next == QLatin1Char('c')) out += QString::number(std::max(column, 1));
      else out += next;  // "%%" is one "%"
      ++i;
    }
    word = out;
  }
  return words;
}

FindingNavigator::FindingNavigator(settings::AppSettings& settings, UserPrompts& prompts, QObject* parent)
    : QObject(parent), settings_(settings), prompts_(prompts), launch_(StartWatched), open_(DefaultUrlOpener()) {}

void FindingNavigator::Attach(QWidget* window, LineTextView* log, QLabel* counts) {
  auto* next = new QShortcut(QKeySequence(Qt::Key_F4), window);
  auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F4), window);
  connect(next, &QShortcut::activated, this, &FindingNavigator::Next);
  connect(previous, &QShortcut::activated, this, &FindingNavigator::Previous);
  if (counts) {
    counts->setTextFormat(Qt::PlainText);
    counts->hide();
    countLabels_.push_back(counts);
  }
  if (!log) return;
  logs_.push_back(log);
  log->SetLinkLines([this](int index) { return HasFinding(index); });
  connect(log, &LineTextView::LineActivated, this, [this](int index) { OpenLogLine(index); });
  log->SetMenuExtension([this](QMenu& menu, int index) {
    const auto hit = byLogLine_.find(index);
    if (hit == byLogLine_.end()) return;
    const std::size_t at = hit->second;
    menu.addSeparator();
    menu.addAction(QStringLiteral("ソースを表示(&S)"), this, [this, at] { Open(at); });
    menu.addAction(QStringLiteral("エディタで開く(&E)"), this, [this, at] { OpenInEditor(findings_[at]); });
  });
}

void FindingNavigator::Clear() {
  findings_.clear();
  placeOrder_.clear();
  placeRank_.clear();
  byLogLine_.clear();
  current_ = SIZE_MAX;
  errors_ = warnings_ = 0;
  for (QLabel* label : countLabels_) label->hide();
  if (view_) view_->ForgetFile();
  emit Cleared();
}

void FindingNavigator::Add(Finding finding) {
  if (finding.severity == Severity::Error) ++errors_;
  if (finding.severity == Severity::Warning) ++warnings_;
  if (finding.logLine >= 0) byLogLine_.try_emplace(finding.logLine, findings_.size());
  findings_.push_back(std::move(finding));
}

QString FindingNavigator::CountText() const {
  return QStringLiteral("エラー %1件　警告 %2件").arg(errors_).arg(warnings_);
}

void FindingNavigator::ShowCounts() {
  for (QLabel* label : countLabels_) {
    label->setText(CountText());
    label->setStyleSheet(errors_ > 0 ? QStringLiteral("color: #c00000; font-weight: bold")
                                     : QString());
    label->show();
  }
  for (LineTextView* log : logs_) log->viewport()->update();
  emit CountsShown();
}

bool FindingNavigator::OpenLogLine(int index) {
  const auto hit = byLogLine_.find(index);
  if (hit == byLogLine_.end()) return false;
  Open(hit->second);
  return true;
}

void FindingNavigator::Open(std::size_t index) {
  if (index >= findings_.size()) return;
  current_ = index;
  ShowPlace(findings_[index]);
  emit CurrentChanged(index);
}

void FindingNavigator::ShowPlace(const Finding& place) {
  // The view belongs to the window in front, so that it takes input while
  // the viewer is shown modally.
  QWidget* owner = QApplication::activeModalWidget();
  if (!owner) owner = qobject_cast<QWidget*>(parent());
  if (!view_) {
    view_ = new SourceView(owner);
    connect(view_, &SourceView::OpenInEditor, this, &FindingNavigator::OpenInEditor);
    connect(view_, &SourceView::SetUpEditor, this, [this] {
      bool accepted = false;
      const QString command = QInputDialog::getText(
          view_, QStringLiteral("エディタ設定"),
          QStringLiteral("エディタのコマンドライン（%f ファイル、%l 行、%c 桁）\n"
                         "空欄: 既定のアプリケーションで開きます。"),
          QLineEdit::Normal, FromCp932(settings_.Editor), &accepted);
      if (accepted) settings_.Editor = ToCp932(command.trimmed());
    });
    Attach(view_, nullptr, nullptr);
  } else if (view_->parentWidget() != owner) {
    view_->setParent(owner, view_->windowFlags());
  }
  view_->ShowPlace(place);
  view_->show();
  view_->raise();
  view_->activateWindow();
}

const std::vector<std::size_t>& FindingNavigator::PlaceOrder() {
  if (placeOrder_.size() == findings_.size()) return placeOrder_;
  placeOrder_.resize(findings_.size());
  std::iota(placeOrder_.begin(), placeOrder_.end(), std::size_t{0});
  std::stable_sort(placeOrder_.begin(), placeOrder_.end(), [this](std::size_t a, std::size_t b) {
    const Finding& x = findings_[a];
    const Finding& y = findings_[b];
    return std::tie(x.file, x.line, x.column) < std::tie(y.file, y.line, y.column);
  });
  placeRank_.resize(findings_.size());
  for (std::size_t rank = 0; rank < placeOrder_.size(); ++rank) placeRank_[placeOrder_[rank]] = rank;
  return placeOrder_;
}

void FindingNavigator::Step(std::ptrdiff_t step) {
  if (findings_.empty()) return;
  const std::vector<std::size_t>& order = PlaceOrder();
  const auto count = static_cast<std::ptrdiff_t>(order.size());
  // Before the first step, F4 starts at the first place and Shift+F4 at the last.
  const std::ptrdiff_t rank = current_ < findings_.size() ? static_cast<std::ptrdiff_t>(placeRank_[current_])
                              : step > 0                  ? -1
                                                          : count;
  Open(order[static_cast<std::size_t>(((rank + step) % count + count) % count)]);
}

void FindingNavigator::Next() { Step(1); }

void FindingNavigator::Previous() { Step(-1); }

void FindingNavigator::OpenInEditor(const Finding& finding) {
  // The editor runs in a folder of its own choosing: it gets the full path.
  const QString file = QFileInfo(QString::fromStdString(finding.file)).absoluteFilePath();
  const QString command = FromCp932(settings_.Editor).trimmed();
  // Whatever fails, at once or when the program gives up, names the file
  // or the command.
  const QString shown = command.isEmpty() ? file : command;
  auto say = [this, shown] {
    QWidget* owner = view_ && view_->isVisible() ? static_cast<QWidget*>(view_) : qobject_cast<QWidget*>(parent());
    prompts_.ShowMessage(owner, QStringLiteral("確認"), QStringLiteral("エディタを起動できません。\n") + shown,
                         MessageIcon::Stop);
  };
  const QPointer<FindingNavigator> guard(this);
  auto sayLater = [guard, say] {
    if (guard) say();
  };
  if (command.isEmpty()) {
    if (!open_(QUrl::fromLocalFile(file), sayLater)) say();
    return;
  }
  const QStringList words = EditorCommandLine(command, file, finding.line, finding.column);
  if (words.isEmpty() || !launch_(words.front(), words.mid(1), sayLater)) say();
}

FindingNavigator* NewFindingNavigator(MainWindow& window, ViewerDialog& viewer, UserPrompts& prompts) {
  auto* navigator = new FindingNavigator(window.Settings(), prompts, &window);
  auto* mainCounts = new QLabel(&window);
  mainCounts->setObjectName(QStringLiteral("FindingCounts"));
  window.statusBar()->addPermanentWidget(mainCounts);
  navigator->Attach(&window, window.LogView, mainCounts);

  auto* logCounts = new QLabel(viewer.LogTab);
  logCounts->setObjectName(QStringLiteral("LogFindingCounts"));
  if (auto* layout = qobject_cast<QBoxLayout*>(viewer.LogTab->layout())) layout->insertWidget(0, logCounts);
  navigator->Attach(&viewer, viewer.LogView, logCounts);
  QObject::connect(navigator, &FindingNavigator::CountsShown, &viewer, [navigator, &viewer] {
    const int tab = viewer.Tabs->indexOf(viewer.LogTab);
    const QStyle::StandardPixmap icon = navigator->Errors() > 0     ? QStyle::SP_MessageBoxCritical
                                        : navigator->Warnings() > 0 ? QStyle::SP_MessageBoxWarning
                                                                    : QStyle::SP_DialogApplyButton;
    viewer.Tabs->setTabIcon(tab, viewer.style()->standardIcon(icon));
    viewer.Tabs->setTabToolTip(tab, navigator->CountText());
  });
  // The toolpath's findings join the run's; a move leads to its source line.
  AddFindingsList(window, viewer, *navigator);
  viewer.PathTab->SetSourceOpener([navigator](const Finding& place) { navigator->ShowPlace(place); });
  QObject::connect(viewer.PathTab, &ToolpathTab::FindingsFound, navigator, [navigator](const std::vector<Finding>& found) {
    for (const Finding& finding : found) navigator->Add(finding);
    navigator->ShowCounts();
  });
  return navigator;
}

}  // namespace vostrel::gui
