#include "viewer/viewer_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

#include "gui_common/fonts.h"
#include "gui_common/prompts.h"
#include "gui_common/window_place.h"
#include "pipeline/output_file.h"
#include "settings/app_settings.h"
#include "viewer/line_text_view.h"
#include "viewer/listing_printer.h"
#include "viewer/print_settings_dialog.h"
#include "viewer/renumber_command.h"
#include "viewer/toolpath_tab.h"

namespace vostrel::gui {

ViewerDialog::ViewerDialog(settings::AppSettings& settings, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), settings_(settings), prompts_(prompts) {
  setObjectName(QStringLiteral("ViewerDialog"));
  setWindowTitle(QStringLiteral("ログ表示"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setModal(true);
  setFont(JapanesePixelFont(Pitch::Proportional, 12));

  TargetLabel = new QLabel(this);
  TargetLabel->setObjectName(QStringLiteral("TargetLabel"));
  TargetLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  TargetLabel->setTextFormat(Qt::PlainText);

  Tabs = new QTabWidget(this);
  Tabs->setObjectName(QStringLiteral("Tabs"));
  ResultTab = new QWidget;
  LogTab = new QWidget;
  ResultView = new LineTextView(ResultTab);
  ResultView->setObjectName(QStringLiteral("ResultView"));
  LogView = new LineTextView(LogTab);
  LogView->setObjectName(QStringLiteral("LogView"));
  for (auto [sheet, view] : {std::pair{ResultTab, ResultView}, std::pair{LogTab, LogView}}) {
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(view);
  }
  Tabs->addTab(ResultTab, QStringLiteral("変換ﾃﾞｰﾀ"));
  Tabs->addTab(LogTab, QStringLiteral("ログデータ"));
  ResultView->SetLines(result_.get(), LineTextView::Encoding::ShiftJis);
  LogView->SetLines(&log_, LineTextView::Encoding::Utf8);

  SaveButton = new QPushButton(QStringLiteral("保存"), this);
  PrintButton = new QPushButton(QStringLiteral("印刷"), this);
  PrintSettingsButton = new QPushButton(QStringLiteral("印刷設定"), this);
  BackButton = new QPushButton(QStringLiteral("戻る"), this);
  SaveButton->setObjectName(QStringLiteral("SaveButton"));
  PrintButton->setObjectName(QStringLiteral("PrintButton"));
  PrintSettingsButton->setObjectName(QStringLiteral("PrintSettingsButton"));
  BackButton->setObjectName(QStringLiteral("BackButton"));
  for (QPushButton* button : {SaveButton, PrintButton, PrintSettingsButton, BackButton}) button->setAutoDefault(false);
  Printing = new ListingPrinter(settings_, prompts_, this);
  PathTab = new ToolpathTab(ResultView, Printing);
  Tabs->addTab(PathTab, QStringLiteral("経路"));
  PrintSettings = new PrintSettingsDialog(settings_, parent ? parent->window() : this, this);
  PrintSettings->SetPrinterSetup([this](QWidget* owner) { Printing->PrinterSetup(owner); });
  SaveButton->setEnabled(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SaveButton);
  buttons->addWidget(PrintButton);
  buttons->addWidget(PrintSettingsButton);
  Renumbering = new RenumberCommand(*this, settings_, prompts_, buttons);
  buttons->addStretch(1);
  buttons->addWidget(BackButton);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(TargetLabel);
  layout->addWidget(Tabs, 1);
  layout->addLayout(buttons);

  connect(SaveButton, &QPushButton::clicked, this, &ViewerDialog::SaveResult);
  connect(PrintButton, &QPushButton::clicked, this, &ViewerDialog::PrintResult);
  // Ctrl+S saves, Ctrl+P prints; Esc closes the viewer as its close box does.
  connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, SaveButton, &QPushButton::click);
  connect(new QShortcut(QKeySequence::Print, this), &QShortcut::activated, PrintButton, &QPushButton::click);
  connect(PrintSettingsButton, &QPushButton::clicked, this, &ViewerDialog::EditPrintSettings);
  connect(BackButton, &QPushButton::clicked, this, &ViewerDialog::GoBack);
  AddTools();
}

void ViewerDialog::HandOff(TextLines lines, std::vector<std::string> log, const std::string& targetPath) {
  result_ = std::make_shared<const TextLines>(std::move(lines));
  ResultView->SetLines(result_.get(), LineTextView::Encoding::ShiftJis);
  log_ = std::move(log);
  LogView->SetLines(&log_, LineTextView::Encoding::Utf8);
  PathTab->SetProgram(result_);
  SaveButton->setEnabled(true);
  targetPath_ = targetPath;
  TargetLabel->setText(QString::fromStdString(targetPath));
  emit ResultHandedOff();
}

void ViewerDialog::ReplaceResult(TextLines lines, std::vector<std::string> log) {
  // The same lines with other numbers: the views stay where they were.
  const int resultTop = ResultView->verticalScrollBar()->value();
  const int logTop = LogView->verticalScrollBar()->value();
  result_ = std::make_shared<const TextLines>(std::move(lines));
  ResultView->SetLines(result_.get(), LineTextView::Encoding::ShiftJis);
  log_ = std::move(log);
  LogView->SetLines(&log_, LineTextView::Encoding::Utf8);
  ResultView->verticalScrollBar()->setValue(resultTop);
  LogView->verticalScrollBar()->setValue(logTop);
  SaveButton->setEnabled(!targetPath_.empty());
}

void ViewerDialog::DropResult() {
  PathTab->Clear();
  PathTab->SetSourceMap({}, {});
  Printing->PrintLines = QStringList();
  Printing->SelectionLines = QStringList();
  result_ = std::make_shared<const TextLines>();
  ResultView->SetLines(result_.get(), LineTextView::Encoding::ShiftJis);
  emit ResultDropped();
}

void ViewerDialog::setVisible(bool visible) {
  // Placed before the window is mapped, so that the window manager puts the
  // frame where it was closed.
  if (visible && !isVisible()) ApplyViewSettings();
  QDialog::setVisible(visible);
}

void ViewerDialog::ApplyViewSettings() {
  setFixedSize(std::max(settings_.View.Width, 200), std::max(settings_.View.Height, 150));
  move(FramePositionOnScreen(QPoint(settings_.View.Left, settings_.View.Top), size()));
  // Fixed pitch, so that the columns of the program line up.
  ResultView->setFont(JapaneseFont(Pitch::Fixed, settings_.View.FontSize));
  ResultView->SetLineNumbers(settings_.View.LineNumbers);
  Tabs->setCurrentIndex(0);
}

void ViewerDialog::StoreGeometry() {
  settings_.View.Left = pos().x();
  settings_.View.Top = pos().y();
  settings_.View.Width = width();
  settings_.View.Height = height();
}

void ViewerDialog::done(int result) {
  StoreGeometry();
  QDialog::done(result);
}

void ViewerDialog::SaveResult() {
  // The compiled lines themselves, each followed by CR LF; written to a
  // temporary file first and renamed over the target.
  std::string error;
  const std::filesystem::path path(std::u8string(targetPath_.begin(), targetPath_.end()));
  if (targetPath_.empty() || !SaveLines(path, *result_, &error)) {
    prompts_.ShowMessage(this, QStringLiteral("確認"),
                         QStringLiteral("ファイル %1 を作成できません\n%2")
                             .arg(QString::fromStdString(targetPath_), QString::fromStdString(error)),
                         MessageIcon::Stop);
    return;
  }
  SaveButton->setEnabled(false);
  emit ResultSaved();
}

void ViewerDialog::GoBack() {
  if (clearMainLog_) clearMainLog_();
  close();
}

}  // namespace vostrel::gui
