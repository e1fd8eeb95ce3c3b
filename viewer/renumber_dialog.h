#pragma once
// "番号振り直し": the options of a renumbering of the viewer's result, with
// a preview of the first lines as they would be, and what stands against
// it (a jump that cannot be followed).

#include <QDialog>

#include "pipeline/text_lines.h"
#include "renumber/renumber.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace vostrel::gui {

class RenumberDialog : public QDialog {
  Q_OBJECT
 public:
  // `program` must outlive the dialog.
  RenumberDialog(const TextLines& program, const renumber::Options& initial, QWidget* parent = nullptr);

  // The options as set in the fields.
  renumber::Options Chosen() const;
  // Recomputes the preview now (the fields do so shortly after a change).
  void UpdatePreview();

  static constexpr int kPreviewLines = 40;

  QSpinBox* StartField;      // 開始番号
  QSpinBox* StepField;       // 増分
  QComboBox* BlocksBox;      // 番号を振るブロック
  QCheckBox* SkipLinesBox;   // O番号・%・空行には振らない
  QSpinBox* WidthField;      // 桁数 (0: 詰めない)
  QCheckBox* ForceBox;       // 飛び先を追えなくても振り直す
  QPlainTextEdit* Preview;   // the first lines
  QPlainTextEdit* Findings;  // what was found, line by line
  QPushButton* RunButton;    // 実行
  QPushButton* CancelButton; // キャンセル

 private:
  const TextLines& program_;
  QTimer* previewTimer_;
};

}  // namespace vostrel::gui
