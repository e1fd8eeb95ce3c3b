#pragma once
// The small services of the main window's menus: help, the home page, the
// about box and the application icon; and programs started for the user
// (launcher, editor), watched until they end.

#include <QIcon>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <filesystem>
#include <functional>

class QWidget;

namespace vostrel::gui {

class UserPrompts;

// Runs when a program that was started gives up afterwards (its exit
// status is not 0): a launcher that finds no application, an editor that
// cannot open the file.
using LaunchFailed = std::function<void()>;

// Starts `program` with `arguments` without waiting for it; false when it
// cannot be started, `failed` when it ends with a status other than 0.
bool StartWatched(const QString& program, const QStringList& arguments, LaunchFailed failed);

// Opens a file or an address with the desktop's default application: false
// when that fails at once, `failed` when the launcher gives up later.
using UrlOpener = std::function<bool(const QUrl&, LaunchFailed failed)>;
// The desktop's launcher (xdg-open) where there is one, watched to its
// end; else the window system's own way.
UrlOpener DefaultUrlOpener();

// "ヘルプ目次": the help file of `exePath` (see FindHelpFile), or the
// message that there is none. When the desktop cannot open it, at once or
// when its launcher gives up, a message gives its path, so the user can
// open it by hand.
void OpenHelp(QWidget* owner, UserPrompts& prompts, const std::filesystem::path& exePath,
              const UrlOpener& open = DefaultUrlOpener());

// The author's home page as set in the build; empty when there is none.
QString HomePageAddress();

// "作者ホームページ": opens `address`; when the desktop cannot (at once or
// when its launcher gives up), a message gives the address.
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
