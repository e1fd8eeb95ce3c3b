#include "gui_common/prompts.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSortFilterProxyModel>

namespace vostrel::gui {

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Stop: return QMessageBox::Critical;
    case MessageIcon::Information: break;
  }
  return QMessageBox::Information;
}

// Filters the dialog's file list by the filter in use; folders always pass.
class SourceFilterProxy : public QSortFilterProxyModel {
 public:
  void SetPatterns(const QStringList& patterns) {
    patterns_ = patterns;
    invalidateFilter();
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    auto* model = qobject_cast<QFileSystemModel*>(sourceModel());
    if (!model) return true;
    const QModelIndex index = model->index(row, 0, parent);
    if (model->isDir(index)) return true;
    return SourceFilterAccepts(model->fileName(index), patterns_);
  }

 private:
  QStringList patterns_;
};

}  // namespace

bool SourceFilterAccepts(const QString& fileName, const QStringList& patterns) {
  if (patterns.isEmpty()) return !fileName.contains(QLatin1Char('.'));
  for (const QString& pattern : patterns) {
    if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*")) return true;  // every file
    if (QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive).match(fileName).hasMatch()) return true;
  }
  return false;
}

bool DialogPrompts::AskYesNo(QWidget* owner, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::NoButton, owner);
  QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
  box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  if (owner) {
    box.adjustSize();
    box.move(owner->window()->frameGeometry().topLeft() + QPoint(50, 50));
  }
  box.exec();
  return box.clickedButton() == yes;
}

void DialogPrompts::ShowMessage(QWidget* owner, const QString& caption, const QString& text, MessageIcon icon) {
  QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::Ok, owner);
  box.exec();
}

std::optional<SourceDialogResult> DialogPrompts::ChooseSourceFile(QWidget* owner,
                                                                  const SourceDialogRequest& request) {
  QFileDialog dialog(owner, request.title, request.initialFolder);
  // The list is filtered by our own proxy (case-insensitive patterns, and
  // "no dot" for files without extension), so the dialog's own name filters
  // only carry the display names.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setDefaultSuffix(request.defaultSuffix);
  QStringList names;
  for (const auto& filter : request.filters) names << filter.display + QStringLiteral(" (*)");
  dialog.setNameFilters(names);
  auto* proxy = new SourceFilterProxy;
  dialog.setProxyModel(proxy);
  // The filter in use is the position in the dialog's file-type list: the
  // texts it shows and reports are stripped of their patterns, and two
  // user-defined filters may read the same.
  auto* fileTypes = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  auto inUse = [&] { return fileTypes ? fileTypes->currentIndex() : request.selectedFilter; };
  auto apply = [&] {
    const int index = inUse();
    proxy->SetPatterns(index >= 0 && index < request.filters.size() ? request.filters[index].patterns
                                                                     : QStringList{QStringLiteral("*")});
  };
  if (fileTypes) QObject::connect(fileTypes, &QComboBox::currentIndexChanged, &dialog, apply);
  if (request.selectedFilter >= 0 && request.selectedFilter < names.size())
    dialog.selectNameFilter(names[request.selectedFilter]);
  apply();
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  SourceDialogResult result;
  result.path = QDir::toNativeSeparators(dialog.selectedFiles().front());  // "C:\NC\A.NC" on Windows
  result.filter = std::max(inUse(), 0);
  return result;
}

std::optional<QString> DialogPrompts::ChooseFolder(QWidget* owner, const QString& prompt, const QString& start) {
  const QString folder = QFileDialog::getExistingDirectory(owner, prompt, start, QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(folder);
}

}  // namespace vostrel::gui
