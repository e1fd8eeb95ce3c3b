// The main window's menu items for the word-list editor, the shortcuts,
// help, the home page and the version.

#include "platform/exe_path.h"
#include "platform/shortcut.h"
#include "shell/word_list_editor.h"
#include "shell/desk_services.h"
#include "shell/main_form.h"

namespace vostrel::gui {

void TMainForm::ChkListClick() { chk_->exec(); }

void TMainForm::DeskTop_setClick() {
  platform::CreateShortcut(platform::ShortcutPlace::Desktop, platform::ExecutablePath());
}

void TMainForm::SendTo_setClick() {
  platform::CreateShortcut(platform::ShortcutPlace::SendTo, platform::ExecutablePath());
}

void TMainForm::Menu_help1Click() {
  // The help file goes by the running program's name, in its folder.
  std::filesystem::path exe = platform::ExecutablePath().filename();
  if (exe.empty()) exe = "vostrel";
  OpenHelp(this, *prompts_, options_.exeDir / exe);
}

void TMainForm::Menu_hpClick() { OpenHomePage(this, *prompts_, HomePageAddress()); }

void TMainForm::Menu_verClick() { ShowAbout(this, VersionText()); }

}  // namespace vostrel::gui
