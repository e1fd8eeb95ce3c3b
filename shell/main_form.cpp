#include "shell/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>
#include <new>

#include "gui_common/fonts.h"
#include "gui_common/prompts.h"
#include "gui_common/window_place.h"
#include "pipeline/compile.h"
#include "settings/data_folder.h"
#include "shell/busy_indicator.h"
#include "shell/word_list_editor.h"
#include "shell/desk_services.h"
#include "shell/finding_navigator.h"
#include "shell/path_rules.h"
#include "shell/settings_text.h"
#include "shell/user_extensions_dialog.h"
#include "shell/window_frame.h"
#include "text/path_text.h"
#include "text/sjis.h"
#include "version.h"
#include "viewer/line_text_view.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {

namespace fs = std::filesystem;

namespace {

QString Utf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string Utf8Bytes(const QString& text) { return text.toStdString(); }

// Forbidden characters of the output fields and the second line of their message.
struct KeyRule {
  QString forbidden;
  QString listed;
};

KeyRule FolderRule() {
#ifdef _WIN32
  return {QStringLiteral("/,;*?<>|."), QStringLiteral("/,;*?<>|.")};
#else
  // "/" separates folders here.
  return {QStringLiteral(",;*?<>|."), QStringLiteral(",;*?<>|.")};
#endif
}
KeyRule NameRule() { return {QStringLiteral("\\/:,;*?<>|."), QStringLiteral("\\/:,;*?<>|.")}; }
KeyRule ExtensionRule() { return {QStringLiteral("\\/:,;?<>|*."), QStringLiteral("\\/:,;?<>|.")}; }

}  // namespace

TMainForm::TMainForm(Options options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)), prompts_(options_.prompts) {
  if (!prompts_) {
    ownPrompts_ = std::make_unique<DialogPrompts>();
    prompts_ = ownPrompts_.get();
  }
  setObjectName(QStringLiteral("MainForm"));
  run_.ExeDir = options_.exeDir;
  run_.IncludeHomeFolders = settings::IncludeHomeFolders(options_.exeDir);
  BuildWindow();
  BuildMenus();
  run_.RunLog.assign(1, std::string(kLogHeading));  // the log pane's heading until the first run
  Memo1->LinesChanged();
  // Fixed size: the design's client area below the menu bar. Set before the
  // window is first shown: a size change while it is being mapped would
  // place it by its client area instead of its frame.
  setFixedSize(493, 426 + menuBar()->sizeHint().height());
  LoadSettings();
  // The other windows are created now and shown later, modally.
  viewer_ = new ViewerDialog(settings_, *prompts_, this);
  viewer_->SetClearMainLog([this] {
    run_.RunLog.clear();
    Memo1->LinesChanged();
  });
  findings_ = NewFindingNavigator(*this, *viewer_, *prompts_);
  user_ = new UserExtensionsDialog(settings_, *prompts_, this);
  chk_ = new WordListEditor(options_.exeDir, *prompts_, this, this);
  setAcceptDrops(true);
  StatusText->setText(options_.startNotice);
  RefreshRecentMenu();
  setWindowTitle(VersionCaption(VersionText()));
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildWindow() {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  auto* central = new QWidget(this);
  setCentralWidget(central);

  auto edit = [this](const char* name) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(name));
    return field;
  };
  auto button = [this](const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
  };
  LabeledEdit1 = edit("LabeledEdit1");
  LabeledEdit2 = edit("LabeledEdit2");
  LabeledEdit3 = edit("LabeledEdit3");
  LabeledEdit4 = edit("LabeledEdit4");
  for (QLineEdit* field : {LabeledEdit2, LabeledEdit3, LabeledEdit4}) field->installEventFilter(this);
  Button1 = button("Button1", QStringLiteral("..."));
  Button2 = button("Button2", QStringLiteral("..."));
  Button3 = button("Button3", QStringLiteral("開始"));
  Button4 = button("Button4", QStringLiteral("中止"));
  Button5 = button("Button5", QStringLiteral("終了"));
  for (QPushButton* small : {Button1, Button2}) small->setFixedWidth(28);
  for (QPushButton* b : {Button3, Button4, Button5}) b->setFixedWidth(58);
  Button4->setEnabled(false);
  Animate1 = new BusyIndicator(this);
  Animate1->setObjectName(QStringLiteral("Animate1"));

  Label1 = new QLabel(QStringLiteral("名前:"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setTextFormat(Qt::PlainText);
  RichEdit1 = new LineTextView(this);
  RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
  RichEdit1->setFont(JapaneseFont(Pitch::Fixed, 9));
  RichEdit1->SetLines(&run_.WorkLines, LineTextView::Encoding::ShiftJis);
  Memo1 = new LineTextView(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->SetLines(&run_.RunLog, LineTextView::Encoding::Utf8);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(1);
  grid->addWidget(new QLabel(QStringLiteral("ｿｰｽﾌｧｲﾙ名"), this), 0, 0, 1, 4);
  grid->addWidget(LabeledEdit1, 1, 0, 1, 3);
  grid->addWidget(Button1, 1, 3);
  grid->addItem(new QSpacerItem(1, 4), 2, 0);
  grid->addWidget(new QLabel(QStringLiteral("ﾌｫﾙﾀﾞ（ｺﾝﾊﾟｲﾙ後）"), this), 3, 0, 1, 4);
  grid->addWidget(LabeledEdit2, 4, 0, 1, 3);
  grid->addWidget(Button2, 4, 3);
  grid->addItem(new QSpacerItem(1, 4), 5, 0);
  grid->addWidget(new QLabel(QStringLiteral("ﾌｧｲﾙ名（ｺﾝﾊﾟｲﾙ後)"), this), 6, 0);
  grid->addWidget(new QLabel(QStringLiteral("拡張子(ｺﾝﾊﾟｲﾙ後)"), this), 6, 1);
  grid->addWidget(LabeledEdit3, 7, 0);
  LabeledEdit4->setFixedWidth(96);
  grid->addWidget(LabeledEdit4, 7, 1);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  buttons->addStretch(1);
  buttons->addWidget(Animate1);
  buttons->addWidget(Button3);
  buttons->addWidget(Button4);
  buttons->addWidget(Button5);
  grid->addLayout(buttons, 7, 2, 1, 2);
  grid->setColumnStretch(0, 1);

  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(6, 4, 6, 2);
  layout->setSpacing(3);
  layout->addLayout(grid);
  layout->addSpacing(2);
  layout->addWidget(Label1);
  layout->addWidget(RichEdit1, 3);
  layout->addWidget(Memo1, 2);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setFixedWidth(100);
  ProgressBar1->setRange(0, 1);
  ProgressBar1->setValue(0);
  StatusText = new QLabel(this);
  StatusText->setObjectName(QStringLiteral("StatusText"));
  StatusText->setTextFormat(Qt::PlainText);
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addWidget(ProgressBar1);
  statusBar()->addWidget(StatusText, 1);

  connect(Button1, &QPushButton::clicked, this, &TMainForm::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TMainForm::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TMainForm::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TMainForm::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &QWidget::close);
}

void TMainForm::BuildMenus() {
  auto action = [this](QMenu* menu, const char* name, const QString& caption) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル"));
  DeskTop_set = action(file, "DeskTop_set", QStringLiteral("ﾃﾞｨｽｸﾄｯﾌﾟにｼｮｰﾄｶｯﾄ作成"));
  SendTo_set = action(file, "SendTo_set", QStringLiteral("SendTo(送る)に登録"));
  file->addSeparator();
  for (int i = 0; i < 5; ++i) {
    MenuFile[i] = action(file, "", QString());
    MenuFile[i]->setObjectName(QStringLiteral("MenuFile%1").arg(i));
    const int tag = i + 1;
    connect(MenuFile[i], &QAction::triggered, this, [this, tag] { RecentFileClick(tag); });
  }
  file->addSeparator()->setVisible(false);
  FileExit1 = action(file, "FileExit1", QStringLiteral("終了"));
  connect(FileExit1, &QAction::triggered, this, &QWidget::close);

  QMenu* options = menuBar()->addMenu(QStringLiteral("ｵﾌﾟｼｮﾝ"));
  op1 = action(options, "op1", QStringLiteral("ｺﾝﾊﾟｲﾙ後ﾌｧｲﾙをｿｰｽﾌｧｲﾙﾌｫﾙﾀﾞ"));
  MacroA = action(options, "MacroA", QStringLiteral("マクロＡに変換"));
  endchg = action(options, "endchg", QStringLiteral("改行ｺｰﾄﾞ変換"));
  chg16_10 = action(options, "chg16_10", QStringLiteral("16進から１０進変換"));
  op2 = action(options, "op2", QStringLiteral("ﾃﾞｰﾀの無い行も残す"));
  for (QAction* item : {op1, MacroA, endchg, chg16_10, op2}) item->setCheckable(true);
  // The handlers toggle the check mark themselves.
  connect(op1, &QAction::triggered, this, [this] { op1->setChecked(!op1->isChecked()), op1Click(); });
  connect(MacroA, &QAction::triggered, this, [this] { MacroA->setChecked(!MacroA->isChecked()), MacroAClick(); });
  connect(endchg, &QAction::triggered, this, [this] { endchg->setChecked(!endchg->isChecked()), endchgClick(); });
  connect(chg16_10, &QAction::triggered, this,
          [this] { chg16_10->setChecked(!chg16_10->isChecked()), chg16_10Click(); });
  connect(op2, &QAction::triggered, this, [this] { op2->setChecked(!op2->isChecked()), op2Click(); });

  QMenu* setting = menuBar()->addMenu(QStringLiteral("設定"));
  User_op = action(setting, "User_op", QStringLiteral("ﾕｰｻﾞ定義(拡張子)"));
  ChkList = action(setting, "ChkList", QStringLiteral("構文ﾁｪｯｸﾘｽﾄ編集"));
  connect(User_op, &QAction::triggered, this, &TMainForm::User_opClick);

  QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ"));
  Menu_help1 = action(help, "Menu_help1", QStringLiteral("ヘルプ目次"));
  help->addSeparator();
  Menu_hp = action(help, "Menu_hp", QStringLiteral("作者ホームページ"));
  Menu_hp->setEnabled(!HomePageAddress().isEmpty());  // no made-up address
  help->addSeparator();
  Menu_ver = action(help, "Menu_ver", QStringLiteral("バージョン"));
  connect(ChkList, &QAction::triggered, this, &TMainForm::ChkListClick);
  connect(DeskTop_set, &QAction::triggered, this, &TMainForm::DeskTop_setClick);
  connect(SendTo_set, &QAction::triggered, this, &TMainForm::SendTo_setClick);
  connect(Menu_help1, &QAction::triggered, this, &TMainForm::Menu_help1Click);
  connect(Menu_hp, &QAction::triggered, this, &TMainForm::Menu_hpClick);
  connect(Menu_ver, &QAction::triggered, this, &TMainForm::Menu_verClick);
}

void TMainForm::LoadSettings() {
  settings::IniFile& file = settingsFile_;
  // An unreadable file reads as no file, and is not overwritten at the
  // close without asking.
  if (!file.Load(options_.settingsPath, &settingsReadError_) && settingsReadError_.empty())
    settingsReadError_ = "unreadable";
  settings::ReadMainPosition(file, settings_);
  // The frame's top-left corner, as saved at close.
  move(FramePositionOnScreen(QPoint(settings_.Main.Left, settings_.Main.Top), frameGeometry().size()));
  settings::ReadRemainingSettings(file, settings_);
  fileFilters_ = settings::FileFilterList(settings_);
  Animate1->Stop();
  op1->setChecked(IsOn(settings_.ChgPath_Flg));
  MacroA->setChecked(IsOn(settings_.Run.Chg_MacroA));
  endchg->setChecked(IsOn(settings_.Run.EndChar));
  chg16_10->setChecked(IsOn(settings_.Run.chg16_10));
  op2->setChecked(IsOn(settings_.Run.End_set));
  ReadCommandLine(options_.arguments);
}

void TMainForm::ReadCommandLine(const QStringList& arguments) {
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    // A path, or the name of a file in the current folder (vostrel O1000.nc).
    const bool isPath = argument.contains(QLatin1Char('/'))
#ifdef _WIN32
                        || argument.contains(QLatin1Char('\\'))
#endif
                        || QFileInfo(argument).isFile();
    if (isPath) {
      SelectSource(QFileInfo(argument).isRelative() ? QFileInfo(argument).absoluteFilePath() : argument);
      return;
    }
    if (i < static_cast<int>(run_.RunArguments.size())) run_.RunArguments[i] = ToCp932(argument);
  }
}

// ---- source selection ----

void TMainForm::SelectSource(const QString& path) {
  LabeledEdit1->setText(path);
  if (IsOn(settings_.ChgPath_Flg) || settings_.DirPath == settings_.ChgPath)
    LabeledEdit2->setText(FolderWithSeparator(path));
  else
    LabeledEdit2->setText(FromCp932(settings_.ChgPath));
  LabeledEdit3->setText(NameWithoutExtension(path));
  LabeledEdit4->setText(FromCp932(settings_.Mask));
  settings_.DirPath = ToCp932(FolderWithoutSeparator(path));
}

void TMainForm::AddRecentFile(const QString& path) {
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

void TMainForm::RefreshRecentMenu() {
  for (int i = 0; i < 5; ++i) {
    QAction* item = MenuFile[i];
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

void TMainForm::RecentFileClick(int tag) {
  if (tag < 1 || tag > 5) return;
  const QString path = FromCp932(settings_.RecentFiles[tag - 1]);
  if (QFileInfo::exists(path)) SelectSource(path);
  AddRecentFile(path);
}

void TMainForm::DropFiles(const QStringList& paths) {
  if (paths.size() != 1) {
    prompts_->ShowMessage(this, QStringLiteral("確認"), QStringLiteral("複数は不可です。"), MessageIcon::Stop);
    return;
  }
  const QString path = WithoutTrailingSeparator(paths.front());  // a dropped folder
  SelectSource(path);
  AddRecentFile(path);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    paths << (url.isLocalFile() ? url.toLocalFile() : QString());
  if (paths.size() == 1 && paths.front().isEmpty()) return;  // not a file
  DropFiles(paths);
  event->acceptProposedAction();
}

void TMainForm::Button1Click() {
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

void TMainForm::Button2Click() {
  QString start = FromCp932(settings_.ChgPath);
  if (!QFileInfo(start).isDir()) start.clear();
  QString path = start;
  if (auto picked = prompts_->ChooseFolder(this, QStringLiteral("現ﾃﾞｨﾚｸﾄﾘ ") + FromCp932(settings_.ChgPath), start)) {
    path = WithoutTrailingSeparator(*picked);
  }
  settings_.ChgPath = ToCp932(path);
  LabeledEdit2->setText(path);
}

// ---- key rules of the output fields ----

bool TMainForm::OutputFieldKey(QLineEdit* field, const QString& typed) {
  const KeyRule rule = field == LabeledEdit2 ? FolderRule() : field == LabeledEdit3 ? NameRule() : ExtensionRule();
  for (QChar c : typed) {
    if (rule.forbidden.contains(c)) {
      prompts_->ShowMessage(this, QStringLiteral("確認"), QStringLiteral("この文字は拡張子に使えません。\n") + rule.listed,
                            MessageIcon::Stop);
      return true;  // discarded
    }
  }
  return false;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field && (field == LabeledEdit2 || field == LabeledEdit3 || field == LabeledEdit4))
      return OutputFieldKey(field, static_cast<QKeyEvent*>(event)->text());
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---- options ----

void TMainForm::ToggleFlag(QAction* item, std::string& flag) {
  item->setChecked(!item->isChecked());
  flag = item->isChecked() ? "Y" : "N";
}

void TMainForm::MacroAClick() { ToggleFlag(MacroA, settings_.Run.Chg_MacroA); }
void TMainForm::endchgClick() { ToggleFlag(endchg, settings_.Run.EndChar); }
void TMainForm::chg16_10Click() { ToggleFlag(chg16_10, settings_.Run.chg16_10); }
void TMainForm::op2Click() { ToggleFlag(op2, settings_.Run.End_set); }

void TMainForm::op1Click() {
  const QString source = LabeledEdit1->text();
  if (op1->isChecked()) {
    op1->setChecked(false);
    settings_.ChgPath_Flg = "N";
    LabeledEdit2->setText(settings_.DirPath == settings_.ChgPath ? FolderWithSeparator(source)
                                                                 : FromCp932(settings_.ChgPath));
  } else {
    op1->setChecked(true);
    settings_.ChgPath_Flg = "Y";
    LabeledEdit2->setText(FolderWithSeparator(source));
  }
  settings_.DirPath = ToCp932(FolderWithoutSeparator(source));
}

void TMainForm::User_opClick() {
  user_->exec();
  fileFilters_ = settings::FileFilterList(settings_);
}

// ---- the compile run ----

void TMainForm::EndOfRunState() {
  Button3->setEnabled(true);
  Button5->setEnabled(true);
  Button4->setEnabled(false);
  Animate1->Stop();
  screenSaver_.Allow();
}

void TMainForm::Button4Click() {
  screenSaver_.Allow();
  run_.CancelFlag = true;
  Button4->setEnabled(false);
}

void TMainForm::Button3Click() {
  if (running_) return;
  running_ = true;
  try {
    RunCompile();
  } catch (const std::bad_alloc&) {
    // Outside the stages (which name themselves): loading or the hand-off.
    prompts_->ShowMessage(this, QStringLiteral("確認"),
                          QStringLiteral("ソースの読み込みか結果の受け渡しでメモリが足りなくなりました。\n"
                                         "コンパイルを中止します。"),
                          MessageIcon::Stop);
    EndOfRunState();
  } catch (const std::exception& failure) {
    // Nothing may escape into the event loop: end the run and say why.
    prompts_->ShowMessage(this, QStringLiteral("確認"),
                          QStringLiteral("コンパイル中に異常が発生しました。\n") + Utf8(failure.what()) +
                              QStringLiteral("\nコンパイルを中止します。"),
                          MessageIcon::Stop);
    EndOfRunState();
  }
  running_ = false;
  RichEdit1->LinesChanged();
  Memo1->LinesChanged();
  if (closeAfterRun_) QTimer::singleShot(0, this, &QWidget::close);
}

void TMainForm::RunCompile() {
  screenSaver_.Inhibit();
  run_.CancelFlag = false;
  Button4->setEnabled(true);

  // Every field must be filled; the last empty one gets the focus.
  bool complete = true;
  for (QLineEdit* field : {LabeledEdit1, LabeledEdit2, LabeledEdit3, LabeledEdit4}) {
    if (field->text().isEmpty()) {
      field->setFocus();
      complete = false;
    }
  }
  if (!complete) return EndOfRunState();

  AddRecentFile(LabeledEdit1->text());
  const QString target =
      TargetFolderPart(LabeledEdit2->text()) + LabeledEdit3->text() + QLatin1Char('.') + LabeledEdit4->text();
  run_.TargetPath = Utf8Bytes(target);

  run_.Reset();
  findings_->Clear();
  RichEdit1->LinesChanged();
  Memo1->LinesChanged();

  WindowFrame frame(run_, *this);
  if (QFileInfo::exists(target)) {
    if (!prompts_->AskYesNo(this, QStringLiteral("確認"),
                            QStringLiteral("すでに") + target + QStringLiteral("が有ります。\n上書きしますか？"))) {
      run_.TargetPath.clear();
      LabeledEdit3->setFocus();
      return EndOfRunState();
    }
  }

  Button3->setEnabled(false);
  Button5->setEnabled(false);
  Label1->setText(QStringLiteral("名前:") + target);
  run_.WordListPath = options_.wordListPath.empty() ? settings::WordListFilePath(options_.exeDir)
                                                    : options_.wordListPath;

  const QString source = LabeledEdit1->text();
  const fs::path sourcePath(source.toStdU16String());
  if (!LoadSource(sourcePath, run_, frame, platform::Pipes::Refuse)) {
    std::error_code ec;
    prompts_->ShowMessage(this, QStringLiteral("確認"),
                          QStringLiteral("ファイル %1 ").arg(source) +
                              (fs::exists(sourcePath, ec) ? QStringLiteral("を読み込めません。")
                                                          : QStringLiteral("が見つかりません。")),
                          MessageIcon::Stop);
    LabeledEdit1->setFocus();
    return EndOfRunState();
  }
  const RunResult result = RunStages(run_, frame);
  findings_->ShowCounts();
  if (result != RunResult::Completed) {
    frame.ShowPending();
    return;  // the frame has shown the end and restored the buttons
  }

  frame.LetEventsRun();
  viewer_->HandOff(std::move(run_.WorkLines), run_.RunLog, run_.TargetPath);
  run_.WorkLines.clear();
  RichEdit1->LinesChanged();
  frame.ShowPending();
  screenSaver_.Allow();
  viewer_->exec();
  EndOfRunState();
}

// ---- closing ----

bool TMainForm::SaveSettings() {
  settings_.Main.Left = pos().x();
  settings_.Main.Top = pos().y();
  const QString path = QString::fromStdString(PathToUtf8(options_.settingsPath));
  if (!settingsReadError_.empty()) {
    // Writing would replace whatever that file holds by the settings alone.
    if (!prompts_->AskYesNo(this, QStringLiteral("確認"),
                            QStringLiteral("%1 は起動時に読み込めませんでした（%2）。\n今の設定で上書きしますか？")
                                .arg(path, QString::fromStdString(settingsReadError_)))) {
      screenSaver_.Allow();
      return true;  // closes without writing
    }
    settingsReadError_.clear();
  }
  // What was loaded at start, with every setting merged in: comments,
  // unknown keys and the order of the file stay, even when the file cannot
  // be read any more.
  settings::WriteAppSettings(settings_, settingsFile_);
  std::string error;
  if (!settingsFile_.Save(options_.settingsPath, &error)) {
    prompts_->ShowMessage(this, QStringLiteral("確認"),
                          QStringLiteral("%1 に書き込めません\n%2").arg(path, QString::fromStdString(error)),
                          MessageIcon::Stop);
    return false;
  }
  screenSaver_.Allow();
  return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (running_) {
    // Never close under the running handler: cancel, and close when the run is over.
    closeAfterRun_ = true;
    if (Button4->isEnabled()) Button4Click();
    event->ignore();
    return;
  }
  closeAfterRun_ = false;
  if (!SaveSettings()) {
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace vostrel::gui
