#pragma once
// The findings list: every finding of the last run as a row — file, line,
// column, severity, message — sorted by a click on a heading (at first by
// file, line and column), filtered by severity. A double click or Enter
// asks for the place in the source view; "エディタで開く" for the editor.
// The list keeps its own copy of the findings; the owner says which one is
// shown in the source view, and the list marks its row.

#include <QDialog>

#include <cstddef>
#include <vector>

#include "pipeline/finding.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace vostrel::gui {

class FindingsModel;

class FindingsList : public QDialog {
  Q_OBJECT
 public:
  explicit FindingsList(QWidget* parent = nullptr);

  void SetFindings(std::vector<Finding> findings);
  // Marks the row of finding `index` (the one the source view shows).
  void ShowCurrent(std::size_t index);
  // The findings as the rows show them now, top to bottom (indexes into the list given).
  std::vector<std::size_t> ShownOrder() const;
  // The finding of the selected row (SIZE_MAX: none).
  std::size_t SelectedFinding() const;

  QTableView* Table;
  QCheckBox* ErrorsBox;    // エラー
  QCheckBox* WarningsBox;  // 警告
  QCheckBox* NotesBox;     // 参考
  QLabel* CountLabel;
  QPushButton* SourceButton;  // ソースを表示
  QPushButton* EditorButton;  // エディタで開く
  QPushButton* CloseButton;   // 閉じる

 signals:
  void OpenFinding(std::size_t index);
  void OpenInEditor(std::size_t index);

 private:
  void ApplyFilter();

  FindingsModel* model_;
  QSortFilterProxyModel* sorted_;
};

}  // namespace vostrel::gui
