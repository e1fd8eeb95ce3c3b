#pragma once
// The small services of the main window's menus: help, the home page, the
// about box and the application icon.

#include <QIcon>
#include <QString>
#include <QUrl>

#include <filesystem>
#include <functional>

class QWidget;

namespace vostrel::gui {

class UserPrompts;

// Opens a file or an address with the desktop's default application.
using UrlOpener = std::function<bool(const QUrl&)>;
UrlOpener DefaultUrlOpener();

// "ヘルプ目次": the help file of `exePath` (see FindHelpFile), or the
// message that there is none. When the desktop cannot open it, a message
// gives its path, so the user can open it by hand.
void OpenHelp(QWidget* owner, UserPrompts& prompts, const std::filesystem::path& exePath,
              const UrlOpener& open = DefaultUrlOpener());

// The author's home page as set in the build; empty when there is none.
QString HomePageAddress();

// "作者ホームページ": opens `address`; when the desktop cannot, a message
// gives the address.
void OpenHomePage(QWidget* owner, UserPrompts& prompts, const QString& address,
                  const UrlOpener& open = DefaultUrlOpener());

// The version text of the running program (see ReadVersionText).
QString VersionText();

// "Vostrel Ver" followed by the version text: the caption of the main
// window and the first line of the about box.
QString VersionCaption(const QString& versionText);

// "バージョン": the about box with the application's icon.
void ShowAbout(QWidget* owner, const QString& versionText);

// The application icon shipped beside the program (empty when missing).
QIcon ApplicationIcon(const std::filesystem::path& exeDir);

}  // namespace vostrel::gui
