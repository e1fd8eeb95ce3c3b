// The main window's file fields: the source and where its result goes, the
// "..." buttons beside them, the keys the output fields refuse, the recent
// files and dropped files.

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>

#include <algorithm>

#include "gui_common/prompts.h"
#include "shell/main_window.h"
#include "shell/path_rules.h"
#include "shell/settings_text.h"

namespace vostrel::gui {

namespace {

// Forbidden characters of the output fields and the second line of their message.
struct KeyRule {
  QString forbidden;
  QString listed;
};

// A folder name may hold ".", as every file system allows.
KeyRule FolderRule() {
#ifdef _WIN32
  return {QStringLiteral("/,;*?<>|"), QStringLiteral("/,;*?<>|")};
#else
  // "/" separates folders here.
  return {QStringLiteral(",;*?<>|"), QStringLiteral(",;*?<>|")};
#endif
}
KeyRule NameRule() { return {QStringLiteral("\\/:,;*?<>|."), QStringLiteral("\\/:,;*?<>|.")}; }
KeyRule ExtensionRule() { return {QStringLiteral("\\/:,;?<>|*."), QStringLiteral("\\/:,;?<>|.")}; }

}  // namespace

// ---- the source ----

void MainWindow::SelectSource(const QString& path) {
  SourceField->setText(path);
  if (IsOn(settings_.ChgPath_Flg) || settings_.DirPath == settings_.ChgPath)
    OutputFolderField->setText(FolderWithSeparator(path));
  else
    OutputFolderField->setText(FromCp932(settings_.ChgPath));
  OutputNameField->setText(NameWithoutExtension(path));
  OutputExtensionField->setText(FromCp932(settings_.Mask));
  settings_.DirPath = ToCp932(FolderWithoutSeparator(path));
}

void MainWindow::ChooseSource() {
  SourceDialogRequest request;
  request.title = QStringLiteral("ｿｰｽﾌｧｲﾙ選択");
  request.initialFolder = FromCp932(settings_.DirPath);
  request.defaultSuffix = QStringLiteral("nc0");
  const QStringList parts = FromCp932(fileFilters_).split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    SourceDialogRequest::Filter filter;
    filter.display = parts[i];
    for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
      filter.patterns << pattern.trimmed();
    request.filters << filter;
  }
  request.selectedFilter = std::clamp(settings_.Mask_No, 1, static_cast<int>(request.filters.size())) - 1;
  const auto chosen = prompts_->ChooseSourceFile(this, request);
  if (!chosen) return;
  SelectSource(chosen->path);
  settings_.Mask_No = chosen->filter + 1;
  AddRecentFile(chosen->path);
}

void MainWindow::ChooseOutputFolder() {
  QString start = FromCp932(settings_.ChgPath);
  if (!QFileInfo(start).isDir()) start.clear();
  QString path = start;
  if (auto picked = prompts_->ChooseFolder(this, QStringLiteral("現ﾃﾞｨﾚｸﾄﾘ ") + FromCp932(settings_.ChgPath), start)) {
    path = WithoutTrailingSeparator(*picked);
  }
  settings_.ChgPath = ToCp932(path);
  OutputFolderField->setText(path);
}

// ---- key rules of the output fields ----

bool MainWindow::RefuseOutputFieldKey(QLineEdit* field, const QString& typed) {
  const KeyRule rule = field == OutputFolderField ? FolderRule()
                       : field == OutputNameField ? NameRule()
                                                  : ExtensionRule();
  for (QChar c : typed) {
    if (rule.forbidden.contains(c)) {
      prompts_->ShowMessage(this, QStringLiteral("確認"), QStringLiteral("この文字は拡張子に使えません。\n") + rule.listed,
                            MessageIcon::Stop);
      return true;  // discarded
    }
  }
  return false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field && (field == OutputFolderField || field == OutputNameField || field == OutputExtensionField))
      return RefuseOutputFieldKey(field, static_cast<QKeyEvent*>(event)->text());
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---- recent files ----

void MainWindow::AddRecentFile(const QString& path) {
  auto& recent = settings_.RecentFiles;
  std::size_t index = recent.size() - 1;
  for (std::size_t i = 0; i < recent.size(); ++i) {
    if (FromCp932(recent[i]).compare(path, Qt::CaseInsensitive) == 0) {
      index = i;
      break;
    }
  }
  for (std::size_t i = index; i > 0; --i) recent[i] = std::move(recent[i - 1]);
  recent[0] = ToCp932(path);
  RefreshRecentMenu();
}

void MainWindow::RefreshRecentMenu() {
  for (int i = 0; i < 5; ++i) {
    QAction* item = RecentFileActions[i];
    const std::string& entry = settings_.RecentFiles[i];
    if (!entry.empty()) {
      QString shown = FromCp932(entry);
      shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
      item->setText(QStringLiteral("&%1 ").arg(i + 1) + shown);
      item->setVisible(true);
      item->setEnabled(true);
    } else if (i > 0) {
      item->setVisible(false);
    } else {
      item->setText(QStringLiteral("最近使ったﾌｧｲﾙ"));
      item->setVisible(true);
      item->setEnabled(false);
    }
  }
}

void MainWindow::OpenRecentFile(int number) {
  if (number < 1 || number > 5) return;
  const QString path = FromCp932(settings_.RecentFiles[number - 1]);
  if (QFileInfo::exists(path)) SelectSource(path);
  AddRecentFile(path);
}

// ---- dropped files ----

void MainWindow::DropFiles(const QStringList& paths) {
  if (paths.size() != 1) {
    prompts_->ShowMessage(this, QStringLiteral("確認"), QStringLiteral("複数は不可です。"), MessageIcon::Stop);
    return;
  }
  const QString path = WithoutTrailingSeparator(paths.front());  // a dropped folder
  SelectSource(path);
  AddRecentFile(path);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    paths << (url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : QString());
  if (paths.size() == 1 && paths.front().isEmpty()) return;  // not a file
  DropFiles(paths);
  event->acceptProposedAction();
}

}  // namespace vostrel::gui
