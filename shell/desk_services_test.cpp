// Shortcuts written into a scratch home folder, the help file found by the
// program's base name, the version text.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTest>
#include <QTranslator>

#include <cstdlib>
#include <map>
#include <optional>

#include "gui_common/scripted_prompts.h"
#include "platform/app_files.h"
#include "platform/shortcut.h"
#include "platform/version_text.h"
#include "shell/desk_services.h"
#include "shell/qt_translations.h"
#include "tests/test_support.h"

namespace vostrel::gui {
namespace {

namespace fs = std::filesystem;
using platform::ShortcutPlace;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
 public:
  void Set(const char* name, const std::optional<std::string>& value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    for (const auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

struct Home {
  TempDir home;
  ScopedEnv env;
  fs::path exe = home / "opt" / "vostrel 1" / "vostrel";
  Home() {
    env.Set("HOME", home.path().string());
    env.Set("XDG_CONFIG_HOME", std::nullopt);
    env.Set("XDG_DATA_HOME", std::nullopt);
    env.Set("XDG_DESKTOP_DIR", std::nullopt);
  }
};

TEST(Shortcuts, DesktopLauncherStartsTheProgramFromItsFolder) {
  Home h;
  const fs::path path = h.home / "Desktop" / "Vostrel.desktop";
  EXPECT_EQ(platform::ShortcutPath(ShortcutPlace::Desktop), path);
  ASSERT_TRUE(platform::CreateShortcut(ShortcutPlace::Desktop, h.exe));
  const std::string text = ReadFile(path);
  EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
  const std::string dir = (h.home / "opt" / "vostrel 1").string();
  for (const std::string& line :
       {std::string("Type=Application"), std::string("Name=Vostrel"), "Exec=\"" + h.exe.string() + "\" %f", "Path=" + dir,
        "Icon=" + dir + "/vostrel.png", std::string("Terminal=false")})
    EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << line;
  EXPECT_EQ(text.find("MimeType="), std::string::npos);
  EXPECT_TRUE(QFileInfo(QString::fromStdString(path.string())).isExecutable());

  // Written twice: one file, rewritten.
  WriteFile(path, "stale");
  ASSERT_TRUE(platform::CreateShortcut(ShortcutPlace::Desktop, h.exe));
  EXPECT_EQ(ReadFile(path), text);
  EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), fs::directory_iterator()), 1);
}

TEST(Shortcuts, DesktopFolderComesFromTheUserDirsFile) {
  Home h;
  fs::create_directories(h.home / ".config");
  WriteFile(h.home / ".config" / "user-dirs.dirs",
            "# written by the desktop\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\nXDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n");
  EXPECT_EQ(platform::ShortcutPath(ShortcutPlace::Desktop), h.home / "デスクトップ" / "Vostrel.desktop");
  h.env.Set("XDG_DESKTOP_DIR", (h.home / "elsewhere").string());
  EXPECT_EQ(platform::ShortcutPath(ShortcutPlace::Desktop), h.home / "elsewhere" / "Vostrel.desktop");
}

TEST(Shortcuts, SendToEntryOffersTheProgramForNcAndTextFiles) {
  Home h;
  const fs::path path = h.home / ".local" / "share" / "applications" / "Vostrel.desktop";
  ASSERT_TRUE(platform::CreateShortcut(ShortcutPlace::SendTo, h.exe));
  const std::string text = ReadFile(path);
  EXPECT_NE(text.find("\nMimeType=text/plain;"), std::string::npos);
  EXPECT_NE(text.find("\nExec=\"" + h.exe.string() + "\" %f\n"), std::string::npos);

  h.env.Set("XDG_DATA_HOME", (h.home / "data").string());
  ASSERT_TRUE(platform::CreateShortcut(ShortcutPlace::SendTo, h.exe));
  EXPECT_TRUE(fs::exists(h.home / "data" / "applications" / "Vostrel.desktop"));
}

TEST(Shortcuts, SpecialCharactersInThePathAreQuoted) {
  Home h;
  const fs::path exe = h.home / "a$b\"c%d" / "vostrel";
  ASSERT_TRUE(platform::CreateShortcut(ShortcutPlace::Desktop, exe));
  const std::string text = ReadFile(h.home / "Desktop" / "Vostrel.desktop");
  // Inside the quotes $ and " get a backslash (itself escaped in the file), % is doubled.
  const std::string home = h.home.path().string();
  EXPECT_NE(text.find("\nExec=\"" + home + "/a\\\\$b\\\\\"c%%d/vostrel\" %f\n"), std::string::npos) << text;
}

TEST(Shortcuts, FailureIsSilent) {
  Home h;
  WriteFile(h.home / "Desktop", "a file where the folder should be");
  EXPECT_FALSE(platform::CreateShortcut(ShortcutPlace::Desktop, h.exe));
}

TEST(Help, FoundByTheProgramsBaseNameElseTheGuide) {
  TempDir dir;
  const fs::path exe = dir / "vostrel";
  EXPECT_EQ(platform::HelpFilePath(exe), dir / "vostrel.chm");
  EXPECT_EQ(platform::HelpFilePath(dir / "nc2.exe"), dir / "nc2.chm");
  EXPECT_EQ(platform::FindHelpFile(exe), fs::path());

  ScriptedPrompts prompts;
  std::vector<QUrl> opened;
  auto opener = [&](const QUrl& url, LaunchFailed) {
    opened.push_back(url);
    return true;
  };
  OpenHelp(nullptr, prompts, exe, opener);
  EXPECT_TRUE(opened.empty());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("ｴﾗｰ"));
  EXPECT_EQ(prompts.shown[0].text, QStringLiteral("ﾍﾙﾌﾟﾌｧｲﾙが見つかりません｡"));
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Warning);

  WriteFile(dir / platform::kGuideFileName, "<html></html>");
  OpenHelp(nullptr, prompts, exe, opener);
  WriteFile(dir / "vostrel.chm", "chm");
  WriteFile(dir / "renamed.chm", "chm");
  OpenHelp(nullptr, prompts, exe, opener);
  OpenHelp(nullptr, prompts, dir / "renamed", opener);
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[0].toLocalFile().toStdString(), (dir / platform::kGuideFileName).string());
  EXPECT_EQ(opened[1].toLocalFile().toStdString(), (dir / "vostrel.chm").string());
  EXPECT_EQ(opened[2].toLocalFile().toStdString(), (dir / "renamed.chm").string());
  EXPECT_EQ(prompts.shown.size(), 1u);
}

// Without a launcher (no xdg-open, no browser) the user is told where the
// help file or the home page is, to open it by hand.
TEST(Help, WhatCannotBeOpenedIsNamedInAMessage) {
  TempDir dir;
  WriteFile(dir / "vostrel.chm", "chm");
  ScriptedPrompts prompts;
  std::vector<QUrl> tried;
  auto failing = [&](const QUrl& url, LaunchFailed) {
    tried.push_back(url);
    return false;
  };
  OpenHelp(nullptr, prompts, dir / "vostrel", failing);
  OpenHomePage(nullptr, prompts, QStringLiteral("https://nc.example.jp/vostrel/"), failing);
  OpenHomePage(nullptr, prompts, QString(), failing);  // none set: nothing to open
  ASSERT_EQ(tried.size(), 2u);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_TRUE(prompts.shown[0].text.endsWith("\n" + QString::fromStdString((dir / "vostrel.chm").string())));
  EXPECT_TRUE(prompts.shown[1].text.endsWith(QStringLiteral("\nhttps://nc.example.jp/vostrel/")));
  for (const auto& shown : prompts.shown) EXPECT_EQ(shown.caption, QStringLiteral("ｴﾗｰ"));
}

// A launcher that is there but gives up (xdg-open without a browser exits
// with 3) is told like a missing one: the message names the file or address.
TEST(Help, ALauncherThatGivesUpIsNamedInAMessage) {
  TempDir dir;
  WriteFile(dir / "xdg-open", "#!/bin/sh\nexit 3\n");
  fs::permissions(dir / "xdg-open", fs::perms::owner_all);
  ScopedEnv env;
  env.Set("PATH", dir.path().string() + ":" + std::getenv("PATH"));
  WriteFile(dir / "vostrel.chm", "chm");
  ScriptedPrompts prompts;
  OpenHelp(nullptr, prompts, dir / "vostrel");
  OpenHomePage(nullptr, prompts, QStringLiteral("https://nc.example.jp/vostrel/"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.shown.size() == 2; }, 10000));
  // The two launchers give up in either order.
  QStringList texts{prompts.shown[0].text, prompts.shown[1].text};
  if (texts[0].endsWith(QStringLiteral("/vostrel/"))) texts.swapItemsAt(0, 1);
  EXPECT_EQ(texts[0], QStringLiteral("ﾍﾙﾌﾟﾌｧｲﾙを開けません｡次のﾌｧｲﾙを直接開いてください｡\n") +
                          QString::fromStdString((dir / "vostrel.chm").string()));
  EXPECT_TRUE(texts[1].endsWith(QStringLiteral("\nhttps://nc.example.jp/vostrel/")));
}

TEST(QtDialogs, SpeakJapanese) {
  if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm")))
    GTEST_SKIP() << "Qt's Japanese translations are not installed (Debian package qt6-translations-l10n)";
  ASSERT_TRUE(InstallQtTranslations(*QCoreApplication::instance()));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("アドレス:"));
  EXPECT_NE(QCoreApplication::translate("QPrintDialog", "Print"), QStringLiteral("Print"));
  EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
  for (auto* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
    QCoreApplication::removeTranslator(translator);  // the other tests see Qt's own words
    delete translator;
  }
}

TEST(Version, TextOfThisReleaseInTheCaption) {
  const std::string version = platform::ReadVersionText(fs::path("/nonexistent/vostrel"));
  EXPECT_EQ(version, "1.20.0.0");
  EXPECT_EQ(VersionCaption(QString::fromStdString(version)), QStringLiteral("Vostrel Ver1.20.0.0"));
  EXPECT_EQ(VersionCaption(QString()), QStringLiteral("Vostrel Ver"));
}

}  // namespace
}  // namespace vostrel::gui
