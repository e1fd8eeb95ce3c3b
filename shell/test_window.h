#pragma once
// The main window as the window tests drive it: its own settings file in a
// scratch folder, scripted message boxes, and helpers to fill the fields,
// press "開始" and act in the viewer while it is shown.

#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "gui_common/scripted_prompts.h"
#include "shell/busy_indicator.h"
#include "shell/main_form.h"
#include "tests/test_support.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui::window_test {

inline QString Q(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

struct Window {
  vostrel::test::TempDir dir;
  ScriptedPrompts prompts;
  std::unique_ptr<TMainForm> form;

  explicit Window(QStringList arguments = {}, const std::string& ini = {}) {
    if (!ini.empty()) vostrel::test::WriteFile(dir / "vostrel.INI", ini);
    Open(std::move(arguments));
  }

  // (Re)creates the window, as a new start of the program would.
  void Open(QStringList arguments = {}) {
    TMainForm::Options options;
    options.settingsPath = dir / "vostrel.INI";
    options.exeDir = dir.path();
    options.arguments = std::move(arguments);
    options.prompts = &prompts;
    options.wordListPath = VOSTREL_WORD_LIST;
    form = std::make_unique<TMainForm>(std::move(options));
  }

  void Fill(const QString& source, const QString& folder, const QString& name, const QString& ext) {
    form->LabeledEdit1->setText(source);
    form->LabeledEdit2->setText(folder);
    form->LabeledEdit3->setText(name);
    form->LabeledEdit4->setText(ext);
  }
  QStringList Fields() const {
    return {form->LabeledEdit1->text(), form->LabeledEdit2->text(), form->LabeledEdit3->text(),
            form->LabeledEdit4->text()};
  }
  std::string DirPath() const { return form->Settings().DirPath; }

  // Presses 開始; `inViewer` runs while the viewer is shown, then the viewer
  // is left with "戻る" (`back`) or its close box.
  bool viewerShown = false;
  std::pair<bool, bool> ButtonsWhileShowing{true, true};
  void Start(std::function<void(ViewerDialog&)> inViewer = {}, bool back = true) {
    viewerShown = false;
    QTimer::singleShot(0, form.get(), [&] { WatchViewer(inViewer, back); });
    form->Button3Click();
  }
  void WatchViewer(std::function<void(ViewerDialog&)> inViewer, bool back) {
    ViewerDialog* viewer = form->ViewForm();
    if (form->Running() && !viewer->isVisible()) {  // the run goes on: look again soon
      QTimer::singleShot(5, form.get(), [=, this] { WatchViewer(inViewer, back); });
      return;
    }
    if (!viewer->isVisible()) return;
    viewerShown = true;
    ButtonsWhileShowing = {form->Button3->isEnabled(), form->Button5->isEnabled()};
    if (inViewer) inViewer(*viewer);
    if (back) viewer->BackButton->click();
    else viewer->close();
  }

  bool Idle() const {
    return form->Button3->isEnabled() && !form->Button4->isEnabled() && form->Button5->isEnabled() &&
           !form->ScreenSaverInhibited() && !form->Animate1->isVisible();
  }
};

}  // namespace vostrel::gui::window_test
