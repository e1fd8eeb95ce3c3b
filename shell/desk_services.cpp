#include "shell/desk_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>

#include "gui_common/prompts.h"
#include "platform/app_files.h"
#include "platform/exe_path.h"
#include "platform/version_text.h"
#include "version.h"

namespace vostrel::gui {

namespace {

QString PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return QString::fromUtf8(reinterpret_cast<const char*>(text.data()), static_cast<qsizetype>(text.size()));
}

}  // namespace

UrlOpener DefaultUrlOpener() {
  return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

void OpenHelp(QWidget* owner, UserPrompts& prompts, const std::filesystem::path& exePath, const UrlOpener& open) {
  const std::filesystem::path help = platform::FindHelpFile(exePath);
  if (help.empty()) {
    prompts.ShowMessage(owner, QStringLiteral("ｴﾗｰ"), QStringLiteral("ﾍﾙﾌﾟﾌｧｲﾙが見つかりません｡"),
                        MessageIcon::Warning);
    return;
  }
  // Once handed over, opening is the desktop's business; without a launcher
  // the user opens the file by hand.
  if (!open(QUrl::fromLocalFile(PathText(help))))
    prompts.ShowMessage(owner, QStringLiteral("ｴﾗｰ"),
                        QStringLiteral("ﾍﾙﾌﾟﾌｧｲﾙを開けません｡次のﾌｧｲﾙを直接開いてください｡\n") + PathText(help),
                        MessageIcon::Warning);
}

QString HomePageAddress() { return QStringLiteral(VOSTREL_HOME_PAGE); }

void OpenHomePage(QWidget* owner, UserPrompts& prompts, const QString& address, const UrlOpener& open) {
  if (address.isEmpty()) return;
  if (!open(QUrl(address)))
    prompts.ShowMessage(owner, QStringLiteral("ｴﾗｰ"),
                        QStringLiteral("ﾎｰﾑﾍﾟｰｼﾞを開けません｡次のｱﾄﾞﾚｽをﾌﾞﾗｳｻﾞで開いてください｡\n") + address,
                        MessageIcon::Warning);
}

QString VersionText() {
  return QString::fromStdString(platform::ReadVersionText(platform::ExecutablePath()));
}

QString VersionCaption(const QString& versionText) { return QStringLiteral("Vostrel Ver") + versionText; }

void ShowAbout(QWidget* owner, const QString& versionText) {
  // The about box shows the owner's window icon: the application's.
  QMessageBox::about(owner, QStringLiteral("バージョン情報"),
                     VersionCaption(versionText) + QStringLiteral("\nCNC パートプログラム コンパイラ"));
}

QIcon ApplicationIcon(const std::filesystem::path& exeDir) {
  QIcon icon;
  const std::filesystem::path png = platform::ShippedFilesDir(exeDir) / platform::kIconFileName;
  std::error_code ec;
  if (std::filesystem::is_regular_file(png, ec)) icon.addFile(PathText(png));
  std::filesystem::path svg = png;
  svg.replace_extension(".svg");
  if (std::filesystem::is_regular_file(svg, ec)) icon.addFile(PathText(svg));
  return icon;
}

}  // namespace vostrel::gui
