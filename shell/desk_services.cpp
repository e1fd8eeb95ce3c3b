#include "shell/desk_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>

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

bool StartWatched(const QString& program, const QStringList& arguments, LaunchFailed failed) {
  auto* process = new QProcess;
  process->setProgram(program);
  process->setArguments(arguments);
  // Nothing reads what it writes: it goes where ours goes.
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  process->setStandardInputFile(QProcess::nullDevice());
  process->start();
  if (!process->waitForStarted()) {
    delete process;
    return false;
  }
  QObject::connect(process, &QProcess::finished, process,
                   [process, failed = std::move(failed)](int exitCode, QProcess::ExitStatus status) {
                     if ((status != QProcess::NormalExit || exitCode != 0) && failed) failed();
                     process->deleteLater();
                   });
  return true;
}

UrlOpener DefaultUrlOpener() {
  return [](const QUrl& url, LaunchFailed failed) {
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (launcher.isEmpty()) return QDesktopServices::openUrl(url);
    return StartWatched(launcher, {url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)},
                        std::move(failed));
  };
}

namespace {

// Shows `text` now and, when the launcher gives up later, then (while the
// owner is still there).
void OpenOrSay(QWidget* owner, UserPrompts& prompts, const QUrl& url, const QString& text, const UrlOpener& open) {
  auto say = [owner, &prompts, text] {
    prompts.ShowMessage(owner, QStringLiteral("ｴﾗｰ"), text, MessageIcon::Warning);
  };
  const QPointer<QWidget> guard(owner);
  if (!open(url, [guard, owner, say] {
        if (guard || !owner) say();
      }))
    say();
}

}  // namespace

void OpenHelp(QWidget* owner, UserPrompts& prompts, const std::filesystem::path& exePath, const UrlOpener& open) {
  const std::filesystem::path help = platform::FindHelpFile(exePath);
  if (help.empty()) {
    prompts.ShowMessage(owner, QStringLiteral("ｴﾗｰ"), QStringLiteral("ﾍﾙﾌﾟﾌｧｲﾙが見つかりません｡"),
                        MessageIcon::Warning);
    return;
  }
  // Without a launcher, or when it finds no application, the user opens
  // the file by hand.
  OpenOrSay(owner, prompts, QUrl::fromLocalFile(PathText(help)),
            QStringLiteral("ﾍﾙﾌﾟﾌｧｲﾙを開けません｡次のﾌｧｲﾙを直接開いてください｡\n") + PathText(help), open);
}

QString HomePageAddress() { return QStringLiteral(VOSTREL_HOME_PAGE); }

void OpenHomePage(QWidget* owner, UserPrompts& prompts, const QString& address, const UrlOpener& open) {
  if (address.isEmpty()) return;
  OpenOrSay(owner, prompts, QUrl(address),
            QStringLiteral("ﾎｰﾑﾍﾟｰｼﾞを開けません｡次のｱﾄﾞﾚｽをﾌﾞﾗｳｻﾞで開いてください｡\n") + address, open);
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
