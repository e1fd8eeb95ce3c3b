#include "viewer/findings_list.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <array>
#include <tuple>

namespace vostrel::gui {

namespace {

enum Column { kFile, kLine, kColumn, kSeverity, kMessage, kColumns };

QString SeverityText(Severity severity) {
  switch (severity) {
    case Severity::Error: return QStringLiteral("エラー");
    case Severity::Warning: return QStringLiteral("警告");
    case Severity::Note: return QStringLiteral("参考");
  }
  return {};
}

}  // namespace

class FindingsModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void Set(std::vector<Finding> findings) {
    beginResetModel();
    findings_ = std::move(findings);
    endResetModel();
  }
  const std::vector<Finding>& Findings() const { return findings_; }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(findings_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kColumns; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Finding& f = findings_[static_cast<std::size_t>(index.row())];
    const QString file = QString::fromStdString(f.file);
    if (role == Qt::ToolTipRole && index.column() == kFile) return file;
    if (role == Qt::ToolTipRole && index.column() == kMessage) return QString::fromStdString(f.message);
    if (role == Qt::TextAlignmentRole && (index.column() == kLine || index.column() == kColumn))
      return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
      case kFile: return QFileInfo(file).fileName();
      case kLine: return f.line > 0 ? QVariant(f.line) : QVariant(QString());
      case kColumn: return f.column > 0 ? QVariant(f.column) : QVariant(QString());
      case kSeverity: return SeverityText(f.severity);
      case kMessage: return QString::fromStdString(f.message);
    }
    return {};
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kHeadings[kColumns] = {"ファイル", "行", "桁", "重大度", "メッセージ"};
    return QString::fromUtf8(kHeadings[section]);
  }

 private:
  std::vector<Finding> findings_;
};

namespace {

// Sorting by any column, ties broken by file, line and column and at last
// by the run's order, so that the order is the same on every sort; and
// the severities the boxes leave out filtered away.
class FindingsOrder : public QSortFilterProxyModel {
 public:
  FindingsOrder(const FindingsModel& model, QObject* parent) : QSortFilterProxyModel(parent), model_(model) {}
  std::array<bool, 3> shown{true, true, true};  // by Severity

  void Refilter() { invalidateFilter(); }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex&) const override {
    return shown[static_cast<std::size_t>(model_.Findings()[static_cast<std::size_t>(row)].severity)];
  }

  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
    const Finding& a = model_.Findings()[static_cast<std::size_t>(left.row())];
    const Finding& b = model_.Findings()[static_cast<std::size_t>(right.row())];
    const auto place = [](const Finding& f, int row) { return std::tie(f.file, f.line, f.column, row); };
    const auto byPlace = [&] { return place(a, left.row()) < place(b, right.row()); };
    switch (left.column()) {
      case kLine:
        if (a.line != b.line) return a.line < b.line;
        break;
      case kColumn:
        if (a.column != b.column) return a.column < b.column;
        break;
      case kSeverity:
        if (a.severity != b.severity) return a.severity < b.severity;
        break;
      case kMessage:
        if (a.message != b.message) return a.message < b.message;
        break;
    }
    return byPlace();
  }

 private:
  const FindingsModel& model_;
};

}  // namespace

FindingsList::FindingsList(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FindingsList"));
  setWindowTitle(QStringLiteral("指摘一覧"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setModal(false);

  model_ = new FindingsModel(this);
  auto* order = new FindingsOrder(*model_, this);
  order->setSourceModel(model_);
  sorted_ = order;
  Table = new QTableView(this);
  Table->setObjectName(QStringLiteral("FindingsTable"));
  Table->setModel(sorted_);
  Table->setSortingEnabled(true);
  Table->sortByColumn(kFile, Qt::AscendingOrder);
  Table->setSelectionBehavior(QAbstractItemView::SelectRows);
  Table->setSelectionMode(QAbstractItemView::SingleSelection);
  Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Table->setWordWrap(false);
  Table->verticalHeader()->hide();
  Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().lineSpacing() + 6);
  Table->horizontalHeader()->setStretchLastSection(true);
  Table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  const int digit = Table->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  Table->setColumnWidth(kFile, digit * 16);
  Table->setColumnWidth(kLine, digit * 7);
  Table->setColumnWidth(kColumn, digit * 5);
  Table->setColumnWidth(kSeverity, digit * 8);

  auto box = [this](const char* name, const QString& caption) {
    auto* b = new QCheckBox(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setChecked(true);
    connect(b, &QCheckBox::toggled, this, &FindingsList::ApplyFilter);
    return b;
  };
  ErrorsBox = box("ErrorsBox", QStringLiteral("エラー(&E)"));
  WarningsBox = box("WarningsBox", QStringLiteral("警告(&W)"));
  NotesBox = box("NotesBox", QStringLiteral("参考(&R)"));
  CountLabel = new QLabel(this);
  CountLabel->setObjectName(QStringLiteral("FindingsShown"));
  auto button = [this](const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
  };
  SourceButton = button("SourceButton", QStringLiteral("ソースを表示(&S)"));
  EditorButton = button("EditorButton", QStringLiteral("エディタで開く(&O)"));
  CloseButton = button("CloseButton", QStringLiteral("閉じる"));

  auto* filters = new QHBoxLayout;
  filters->addWidget(new QLabel(QStringLiteral("表示:"), this));
  filters->addWidget(ErrorsBox);
  filters->addWidget(WarningsBox);
  filters->addWidget(NotesBox);
  filters->addStretch(1);
  filters->addWidget(CountLabel);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(new QLabel(QStringLiteral("F4: 次の指摘　Shift+F4: 前の指摘"), this), 1);
  buttons->addWidget(SourceButton);
  buttons->addWidget(EditorButton);
  buttons->addWidget(CloseButton);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(filters);
  layout->addWidget(Table, 1);
  layout->addLayout(buttons);
  resize(620, 340);

  connect(Table, &QTableView::activated, this, [this](const QModelIndex& index) {
    emit OpenFinding(static_cast<std::size_t>(sorted_->mapToSource(index).row()));
  });
  connect(SourceButton, &QPushButton::clicked, this, [this] {
    if (const std::size_t at = SelectedFinding(); at != SIZE_MAX) emit OpenFinding(at);
  });
  connect(EditorButton, &QPushButton::clicked, this, [this] {
    if (const std::size_t at = SelectedFinding(); at != SIZE_MAX) emit OpenInEditor(at);
  });
  connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
  ApplyFilter();
}

void FindingsList::SetFindings(std::vector<Finding> findings) {
  model_->Set(std::move(findings));
  ApplyFilter();
  if (sorted_->rowCount() > 0) Table->selectRow(0);
}

void FindingsList::ApplyFilter() {
  auto* order = static_cast<FindingsOrder*>(sorted_);
  order->shown = {ErrorsBox->isChecked(), WarningsBox->isChecked(), NotesBox->isChecked()};
  order->Refilter();
  CountLabel->setText(QStringLiteral("%1 / %2 件").arg(sorted_->rowCount()).arg(model_->rowCount()));
  const bool any = sorted_->rowCount() > 0;
  SourceButton->setEnabled(any);
  EditorButton->setEnabled(any);
}

void FindingsList::ShowCurrent(std::size_t index) {
  if (index >= model_->Findings().size()) return;
  const QModelIndex shown = sorted_->mapFromSource(model_->index(static_cast<int>(index), 0));
  if (!shown.isValid()) return Table->clearSelection();  // filtered out
  Table->selectRow(shown.row());
  Table->scrollTo(shown);
}

std::vector<std::size_t> FindingsList::ShownOrder() const {
  std::vector<std::size_t> order;
  for (int row = 0; row < sorted_->rowCount(); ++row)
    order.push_back(static_cast<std::size_t>(sorted_->mapToSource(sorted_->index(row, 0)).row()));
  return order;
}

std::size_t FindingsList::SelectedFinding() const {
  const QModelIndexList rows = Table->selectionModel()->selectedRows();
  if (rows.isEmpty()) return SIZE_MAX;
  return static_cast<std::size_t>(sorted_->mapToSource(rows.front()).row());
}

}  // namespace vostrel::gui
