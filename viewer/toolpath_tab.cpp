#include "viewer/toolpath_tab.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

#include "gui_common/fonts.h"
#include "text/sjis.h"
#include "toolpath/report.h"
#include "viewer/line_text_view.h"
#include "viewer/listing_printer.h"
#include "viewer/toolpath_view.h"

namespace vostrel::gui {

namespace tp = vostrel::toolpath;

// What the thread hands over: the path and its moves by program line.
struct ToolpathTab::Computed {
  tp::Result result;
  std::size_t lineCount = 0;  // of the program executed
  // Where the moves are not in the order of their lines (loops, calls):
  // the moves of line n (1-based) are byLine[lineStart[n] .. lineStart[n + 1]).
  // Both are empty where they are; a line's moves are then found among the
  // moves themselves.
  std::vector<std::uint32_t> lineStart;
  std::vector<std::uint32_t> byLine;
};

namespace {

QString ChooseSaveFile(QWidget* owner, const QString& caption, const QString& filter) {
  return QFileDialog::getSaveFileName(owner, caption, QString(), filter);
}

}  // namespace

ToolpathTab::ToolpathTab(LineTextView* result, ListingPrinter* printing, QWidget* parent)
    : QWidget(parent), result_(result), printing_(printing), chooseFile_(ChooseSaveFile) {
  setObjectName(QStringLiteral("ToolpathTab"));
  View = new ToolpathView(this);
  ViewButtons = new QButtonGroup(this);
  auto* top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  const tp::View views[] = {tp::View::XY, tp::View::XZ, tp::View::YZ, tp::View::Isometric};
  for (const tp::View view : views) {
    auto* button = new QPushButton(QString::fromLatin1(tp::ViewName(view)), this);
    button->setObjectName(QStringLiteral("View") + QString::fromLatin1(tp::ViewName(view)) + QStringLiteral("Button"));
    button->setCheckable(true);
    button->setAutoDefault(false);
    button->setChecked(view == tp::View::XY);
    ViewButtons->addButton(button, static_cast<int>(view));
    top->addWidget(button);
  }
  FitButton = new QPushButton(QStringLiteral("全体表示"), this);
  SvgButton = new QPushButton(QStringLiteral("SVG保存"), this);
  PngButton = new QPushButton(QStringLiteral("PNG保存"), this);
  FitButton->setObjectName(QStringLiteral("FitButton"));
  SvgButton->setObjectName(QStringLiteral("SvgButton"));
  PngButton->setObjectName(QStringLiteral("PngButton"));
  top->addSpacing(8);
  top->addWidget(FitButton);
  top->addStretch(1);
  for (QPushButton* button : {FitButton, SvgButton, PngButton}) button->setAutoDefault(false);
  top->addWidget(SvgButton);
  top->addWidget(PngButton);

  StatisticsPanel = new QPlainTextEdit(this);
  StatisticsPanel->setObjectName(QStringLiteral("StatisticsPanel"));
  StatisticsPanel->setReadOnly(true);
  StatisticsPanel->setLineWrapMode(QPlainTextEdit::NoWrap);
  StatisticsPanel->setFont(JapaneseFont(Pitch::Fixed, 9));
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->addWidget(View);
  splitter->addWidget(StatisticsPanel);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 1);

  StepSlider = new QSlider(Qt::Horizontal, this);
  StepSlider->setObjectName(QStringLiteral("StepSlider"));
  StepSlider->setRange(0, 0);
  StepLabel = new QLabel(this);
  StepLabel->setObjectName(QStringLiteral("StepLabel"));
  StepLabel->setMinimumWidth(StepLabel->fontMetrics().horizontalAdvance(QStringLiteral("0000000 / 0000000 移動")));
  auto* steps = new QHBoxLayout;
  steps->setContentsMargins(0, 0, 0, 0);
  steps->addWidget(StepSlider, 1);
  steps->addWidget(StepLabel);
  StatusLabel = new QLabel(this);
  StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
  StatusLabel->setTextFormat(Qt::PlainText);
  StatusLabel->setText(QStringLiteral("→ ← : 次/前の移動　ドラッグ: 移動　ホイール: 拡大縮小　ダブルクリック: ソース表示"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(top);
  layout->addWidget(splitter, 1);
  layout->addLayout(steps);
  layout->addWidget(StatusLabel);

  connect(ViewButtons, &QButtonGroup::idClicked, this, [this](int id) { View->SetView(static_cast<tp::View>(id)); });
  connect(FitButton, &QPushButton::clicked, View, &ToolpathView::FitAll);
  connect(SvgButton, &QPushButton::clicked, this, [this] { ExportFile(true); });
  connect(PngButton, &QPushButton::clicked, this, [this] { ExportFile(false); });
  connect(StepSlider, &QSlider::valueChanged, this, [this](int value) {
    View->SetDrawnCount(static_cast<std::size_t>(value));
    if (StepSlider->isSliderDown()) View->SetCurrentMove(value - 1);
    ShowStep();
  });
  connect(View, &ToolpathView::MoveClicked, this, &ToolpathTab::SelectMove);
  connect(View, &ToolpathView::MoveActivated, this, &ToolpathTab::OpenMoveSource);
  connect(result_, &LineTextView::CaretLineChanged, this, &ToolpathTab::ShowLine);
  // Keys that step through the moves in the order of cutting.
  const std::pair<QKeySequence, int> keys[] = {{QKeySequence(Qt::Key_Right), 1}, {QKeySequence(Qt::Key_Left), -1}};
  for (const auto& [key, step] : keys) {
    auto* shortcut = new QShortcut(key, this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, step] { StepMove(step); });
  }
}

ToolpathTab::~ToolpathTab() {
  if (worker_.joinable()) worker_.join();
  View->SetPath(nullptr);  // its drawing thread stops before the path goes
}

void ToolpathTab::Clear() {
  if (worker_.joinable()) worker_.join();
  ++generation_;
  pending_ = false;
  View->SetPath(nullptr);  // before the path it draws goes
  computed_.reset();
  path_.reset();
  StatisticsPanel->clear();
  StepSlider->setRange(0, 0);
  ShowStep();
}

void ToolpathTab::SetProgram(std::shared_ptr<const TextLines> lines) {
  Clear();
  StatisticsPanel->setPlainText(QStringLiteral("経路を計算しています..."));
  program_ = std::move(lines);
  pending_ = true;
  StartExecution();
}

void ToolpathTab::SetSourceMap(std::string sourceFile, std::vector<std::int32_t> sourceLines) {
  sourceFile_ = std::move(sourceFile);
  sourceLines_ = std::move(sourceLines);
}

namespace {

// Whether a line holds a line end of its own: the interpreter, which reads
// a stored program, takes it for two lines.
bool HoldsLineEnd(const TextLines& lines) {
  for (const std::string_view line : lines)
    if (line.find_first_of("\r\n") != std::string_view::npos) return true;
  return false;
}

}  // namespace

void ToolpathTab::StartExecution() {
  worker_ = std::thread([this, generation = generation_, program = std::move(program_)] {
    auto computed = std::make_shared<Computed>();
    std::size_t lineCount = program->size();
    if (HoldsLineEnd(*program)) {
      const std::string text = JoinLines(*program);
      const std::vector<std::string_view> lines = tp::SplitProgramLines(text);
      computed->result = tp::Run(lines);
      lineCount = lines.size();
    } else {
      computed->result = tp::Run(tp::ProgramLines(*program));
    }
    computed->lineCount = lineCount;
    // The moves by line, unless they came in the order of their lines:
    // counted at the end of their line's range, then placed from the last
    // move back, which leaves each range's start.
    const std::vector<tp::Motion>& motions = computed->result.motions;
    const auto byLineOrder = [](const tp::Motion& a, const tp::Motion& b) { return a.line < b.line; };
    if (!std::is_sorted(motions.begin(), motions.end(), byLineOrder)) {
      std::vector<std::uint32_t>& lineStart = computed->lineStart;
      lineStart.assign(lineCount + 2, 0);
      const auto onProgramLine = [lineCount](std::int32_t line) {
        return line >= 1 && static_cast<std::size_t>(line) <= lineCount;
      };
      for (const tp::Motion& m : motions)
        if (onProgramLine(m.line)) ++lineStart[static_cast<std::size_t>(m.line)];
      for (std::size_t i = 1; i < lineStart.size(); ++i) lineStart[i] += lineStart[i - 1];
      computed->byLine.resize(lineStart.back());
      for (std::size_t i = motions.size(); i-- > 0;) {
        const std::int32_t line = motions[i].line;
        if (onProgramLine(line))
          computed->byLine[--lineStart[static_cast<std::size_t>(line)]] = static_cast<std::uint32_t>(i);
      }
    }
    QMetaObject::invokeMethod(this, [this, generation, computed] { Deliver(generation, computed); },
                              Qt::QueuedConnection);
  });
}

void ToolpathTab::Deliver(std::uint64_t generation, std::shared_ptr<Computed> computed) {
  if (generation != generation_ || !pending_) return;
  pending_ = false;
  computed_ = std::move(computed);
  path_ = std::shared_ptr<const tp::Result>(computed_, &computed_->result);
  ShowPath();
  std::vector<Finding> findings;
  findings.reserve(path_->findings.size());
  for (const tp::ToolpathFinding& f : path_->findings) {
    const Finding place = SourcePlace(f.line);
    findings.push_back(tp::RunFinding(f, place.file, place.line));
  }
  if (!findings.empty()) emit FindingsFound(findings);
}

void ToolpathTab::WaitForPath() {
  if (worker_.joinable()) worker_.join();
  if (pending_) QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void ToolpathTab::ShowPath() {
  View->SetView(static_cast<tp::View>(std::max(0, ViewButtons->checkedId())));
  View->SetPath(path_.get());
  std::string text = tp::StatisticsText(*path_);
  if (!path_->findings.empty()) {
    text += "\n";
    for (const tp::ToolpathFinding& f : path_->findings)
      text += (f.severity == Severity::Error ? "error" : "warning") + std::string(" line ") + std::to_string(f.line) +
              ": " + f.message + "\n";
  }
  StatisticsPanel->setPlainText(QString::fromStdString(text));
  const int count = static_cast<int>(std::min<std::size_t>(path_->motions.size(), INT32_MAX));
  StepSlider->setRange(0, count);
  StepSlider->setValue(count);
  StepSlider->setPageStep(std::max(1, count / 20));
  ShowStep();
}

void ToolpathTab::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  View->setFocus();
}

std::vector<std::uint32_t> ToolpathTab::MovesOfLine(std::int32_t line) const {
  if (!computed_ || line < 1 || static_cast<std::size_t>(line) > computed_->lineCount) return {};
  if (computed_->lineStart.empty()) {
    const std::vector<tp::Motion>& motions = computed_->result.motions;
    const auto first = std::partition_point(motions.begin(), motions.end(),
                                            [line](const tp::Motion& m) { return m.line < line; });
    const auto last = std::partition_point(first, motions.end(), [line](const tp::Motion& m) { return m.line == line; });
    std::vector<std::uint32_t> moves(static_cast<std::size_t>(last - first));
    std::iota(moves.begin(), moves.end(), static_cast<std::uint32_t>(first - motions.begin()));
    return moves;
  }
  const auto begin = computed_->byLine.begin();
  return {begin + computed_->lineStart[static_cast<std::size_t>(line)],
          begin + computed_->lineStart[static_cast<std::size_t>(line) + 1]};
}

Finding ToolpathTab::SourcePlace(std::int32_t line) const {
  Finding place;
  place.severity = Severity::Note;
  place.file = sourceFile_;
  if (sourceLines_.empty()) place.line = line;
  else if (line >= 1 && static_cast<std::size_t>(line) <= sourceLines_.size())
    place.line = sourceLines_[static_cast<std::size_t>(line - 1)];
  return place;
}

void ToolpathTab::ShowLine(int index) {
  if (!path_ || settingCaret_) return;
  std::vector<std::uint32_t> moves = MovesOfLine(index + 1);
  if (!moves.empty()) View->BringIntoView(moves);
  View->SetLitMoves(std::move(moves));
}

void ToolpathTab::SelectMove(std::int64_t move) {
  if (!path_ || move < 0 || static_cast<std::size_t>(move) >= path_->motions.size()) return;
  View->SetCurrentMove(move);
  const std::int32_t line = path_->motions[static_cast<std::size_t>(move)].line;
  View->SetLitMoves(MovesOfLine(line));
  settingCaret_ = true;
  result_->HighlightLine(line - 1);
  settingCaret_ = false;
  ShowStep();
}

void ToolpathTab::OpenMoveSource(std::int64_t move) {
  if (!path_ || move < 0 || static_cast<std::size_t>(move) >= path_->motions.size()) return;
  SelectMove(move);
  if (openSource_) openSource_(SourcePlace(path_->motions[static_cast<std::size_t>(move)].line));
}

void ToolpathTab::StepMove(int step) {
  if (!path_ || path_->motions.empty()) return;
  const std::int64_t last = static_cast<std::int64_t>(path_->motions.size()) - 1;
  const std::int64_t move = std::clamp<std::int64_t>(View->CurrentMove() + step, 0, last);
  StepSlider->setValue(static_cast<int>(move + 1));
  SelectMove(move);
  View->BringIntoView({static_cast<std::uint32_t>(move)});
}

void ToolpathTab::ShowStep() {
  const int total = StepSlider->maximum();
  QString text = QStringLiteral("%1 / %2 移動").arg(StepSlider->value()).arg(total);
  const std::int64_t move = View->CurrentMove();
  if (path_ && move >= 0) {
    const std::int32_t line = path_->motions[static_cast<std::size_t>(move)].line;
    text += QStringLiteral("　%1 行目").arg(line);
    if (line >= 1 && line <= result_->LineCount()) text += QStringLiteral(": ") + result_->LineText(line - 1).left(60);
  }
  StepLabel->setText(text);
}

void ToolpathTab::Print(const QString& label) {
  WaitForPath();  // a print asked for at once prints the path, not nothing
  if (!path_) return;
  printing_->PrintPicture([this](QPainter& painter, const QRectF& area) { View->Render(painter, area, false); },
                          label, this);
}

bool ToolpathTab::SaveSvg(const QString& path) {
  if (!path_) return false;
  const tp::View view = View->CurrentView();
  const std::string svg = tp::SvgDrawing(*path_, tp::ProjectionOf(view), tp::ViewName(view));
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         file.write(svg.data(), static_cast<qint64>(svg.size())) == static_cast<qint64>(svg.size()) && file.flush();
}

bool ToolpathTab::SavePng(const QString& path) {
  if (!path_) return false;
  // The view as shown, at twice its size.
  QImage image(View->size() * 2, QImage::Format_ARGB32_Premultiplied);
  image.setDotsPerMeterX(7559);  // 192 dpi
  image.setDotsPerMeterY(7559);
  image.fill(Qt::white);
  QPainter painter(&image);
  View->Render(painter, QRectF(QPointF(0, 0), QSizeF(image.size())), false);
  painter.end();
  return image.save(path, "PNG");
}

void ToolpathTab::ExportFile(bool svg) {
  WaitForPath();
  if (!path_) return;
  const QString path = chooseFile_(this, svg ? QStringLiteral("SVG保存") : QStringLiteral("PNG保存"),
                                   svg ? QStringLiteral("SVG (*.svg)") : QStringLiteral("PNG (*.png)"));
  if (path.isEmpty()) return;
  if (!(svg ? SaveSvg(path) : SavePng(path)))
    StatusLabel->setText(path + QStringLiteral(" を書き込めません。"));
  else
    StatusLabel->setText(path + QStringLiteral(" に保存しました。"));
}

}  // namespace vostrel::gui
