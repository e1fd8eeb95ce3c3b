// The main window's start: what it is made of, its layout and its menus.

#include "shell/main_window.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QVBoxLayout>

#include "gui_common/fonts.h"
#include "gui_common/prompts.h"
#include "pipeline/compile.h"
#include "settings/data_folder.h"
#include "shell/busy_indicator.h"
#include "shell/desk_services.h"
#include "shell/finding_navigator.h"
#include "shell/user_extensions_dialog.h"
#include "shell/word_list_editor.h"
#include "viewer/line_text_view.h"
#include "viewer/viewer_dialog.h"

namespace vostrel::gui {

MainWindow::MainWindow(Options options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)), prompts_(options_.prompts) {
  if (!prompts_) {
    ownPrompts_ = std::make_unique<DialogPrompts>();
    prompts_ = ownPrompts_.get();
  }
  setObjectName(QStringLiteral("MainWindow"));
  run_.ExeDir = options_.exeDir;
  run_.IncludeHomeFolders = settings::IncludeHomeFolders(options_.exeDir);

  BuildLayout();
  BuildMenus();
  ShowLogHeading();
  FixSize();
  LoadSettings();   // with the command line: main_window_settings.cpp
  CreateDialogs();  // created now, shown later, modally
  setAcceptDrops(true);  // a dropped file is the source: main_window_fields.cpp
  StatusText->setText(options_.startNotice);
  RefreshRecentMenu();
  setWindowTitle(VersionCaption(VersionText()));
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildLayout() {
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
  SourceField = edit("SourceField");
  OutputFolderField = edit("OutputFolderField");
  OutputNameField = edit("OutputNameField");
  OutputExtensionField = edit("OutputExtensionField");
  // The key rules of the output fields: main_window_fields.cpp.
  for (QLineEdit* field : {OutputFolderField, OutputNameField, OutputExtensionField}) field->installEventFilter(this);
  ChooseSourceButton = button("ChooseSourceButton", QStringLiteral("..."));
  ChooseFolderButton = button("ChooseFolderButton", QStringLiteral("..."));
  StartButton = button("StartButton", QStringLiteral("開始"));
  CancelButton = button("CancelButton", QStringLiteral("中止"));
  ExitButton = button("ExitButton", QStringLiteral("終了"));
  for (QPushButton* small : {ChooseSourceButton, ChooseFolderButton}) small->setFixedWidth(28);
  for (QPushButton* b : {StartButton, CancelButton, ExitButton}) b->setFixedWidth(58);
  CancelButton->setEnabled(false);
  BusyAnimation = new BusyIndicator(this);
  BusyAnimation->setObjectName(QStringLiteral("BusyAnimation"));

  TargetLabel = new QLabel(QStringLiteral("名前:"), this);
  TargetLabel->setObjectName(QStringLiteral("TargetLabel"));
  TargetLabel->setTextFormat(Qt::PlainText);
  WorkingTextView = new LineTextView(this);
  WorkingTextView->setObjectName(QStringLiteral("WorkingTextView"));
  WorkingTextView->setFont(JapaneseFont(Pitch::Fixed, 9));
  WorkingTextView->SetLines(&run_.WorkLines, LineTextView::Encoding::ShiftJis);
  LogView = new LineTextView(this);
  LogView->setObjectName(QStringLiteral("LogView"));
  LogView->SetLines(&run_.RunLog, LineTextView::Encoding::Utf8);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(1);
  grid->addWidget(new QLabel(QStringLiteral("ｿｰｽﾌｧｲﾙ名"), this), 0, 0, 1, 4);
  grid->addWidget(SourceField, 1, 0, 1, 3);
  grid->addWidget(ChooseSourceButton, 1, 3);
  grid->addItem(new QSpacerItem(1, 4), 2, 0);
  grid->addWidget(new QLabel(QStringLiteral("ﾌｫﾙﾀﾞ（ｺﾝﾊﾟｲﾙ後）"), this), 3, 0, 1, 4);
  grid->addWidget(OutputFolderField, 4, 0, 1, 3);
  grid->addWidget(ChooseFolderButton, 4, 3);
  grid->addItem(new QSpacerItem(1, 4), 5, 0);
  grid->addWidget(new QLabel(QStringLiteral("ﾌｧｲﾙ名（ｺﾝﾊﾟｲﾙ後)"), this), 6, 0);
  grid->addWidget(new QLabel(QStringLiteral("拡張子(ｺﾝﾊﾟｲﾙ後)"), this), 6, 1);
  grid->addWidget(OutputNameField, 7, 0);
  OutputExtensionField->setFixedWidth(96);
  grid->addWidget(OutputExtensionField, 7, 1);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  buttons->addStretch(1);
  buttons->addWidget(BusyAnimation);
  buttons->addWidget(StartButton);
  buttons->addWidget(CancelButton);
  buttons->addWidget(ExitButton);
  grid->addLayout(buttons, 7, 2, 1, 2);
  grid->setColumnStretch(0, 1);

  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(6, 4, 6, 2);
  layout->setSpacing(3);
  layout->addLayout(grid);
  layout->addSpacing(2);
  layout->addWidget(TargetLabel);
  layout->addWidget(WorkingTextView, 3);
  layout->addWidget(LogView, 2);

  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
  ProgressBar->setTextVisible(false);
  ProgressBar->setFixedWidth(100);
  ProgressBar->setRange(0, 1);
  ProgressBar->setValue(0);
  StatusText = new QLabel(this);
  StatusText->setObjectName(QStringLiteral("StatusText"));
  StatusText->setTextFormat(Qt::PlainText);
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addWidget(ProgressBar);
  statusBar()->addWidget(StatusText, 1);

  connect(ChooseSourceButton, &QPushButton::clicked, this, &MainWindow::ChooseSource);
  connect(ChooseFolderButton, &QPushButton::clicked, this, &MainWindow::ChooseOutputFolder);
  connect(StartButton, &QPushButton::clicked, this, &MainWindow::StartCompile);
  connect(CancelButton, &QPushButton::clicked, this, &MainWindow::CancelCompile);
  connect(ExitButton, &QPushButton::clicked, this, &QWidget::close);
  // F5 or Ctrl+Enter starts, Esc cancels, from any field (a disabled
  // button ignores its key).
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_Return),
                                   QKeySequence(Qt::CTRL | Qt::Key_Enter)})
    connect(new QShortcut(keys, this), &QShortcut::activated, StartButton, &QPushButton::click);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, CancelButton,
          &QPushButton::click);
  connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, ChooseSourceButton, &QPushButton::click);
  ChooseSourceButton->setToolTip(QStringLiteral("Ctrl+O"));
}

void MainWindow::BuildMenus() {
  auto action = [this](QMenu* menu, const char* name, const QString& caption) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  DesktopShortcutAction = action(file, "DesktopShortcutAction", QStringLiteral("ﾃﾞｨｽｸﾄｯﾌﾟにｼｮｰﾄｶｯﾄ作成(&D)"));
  SendToAction = action(file, "SendToAction", QStringLiteral("SendTo(送る)に登録(&T)"));
  ToolpathAction = action(file, "ToolpathAction", QStringLiteral("経路表示(&P)"));
  ToolpathAction->setEnabled(false);  // until a run has a result
  connect(ToolpathAction, &QAction::triggered, this, &MainWindow::ShowToolpath);
  file->addSeparator();
  for (int i = 0; i < 5; ++i) {
    RecentFileActions[i] = action(file, "", QString());
    RecentFileActions[i]->setObjectName(QStringLiteral("RecentFileAction%1").arg(i));
    const int number = i + 1;
    connect(RecentFileActions[i], &QAction::triggered, this, [this, number] { OpenRecentFile(number); });
  }
  file->addSeparator()->setVisible(false);
  ExitAction = action(file, "ExitAction", QStringLiteral("終了(&X)"));
  connect(ExitAction, &QAction::triggered, this, &QWidget::close);

  QMenu* options = menuBar()->addMenu(QStringLiteral("ｵﾌﾟｼｮﾝ(&O)"));
  OutputBesideSourceAction = action(options, "OutputBesideSourceAction", QStringLiteral("ｺﾝﾊﾟｲﾙ後ﾌｧｲﾙをｿｰｽﾌｧｲﾙﾌｫﾙﾀﾞ(&S)"));
  MacroAAction = action(options, "MacroAAction", QStringLiteral("マクロＡに変換(&M)"));
  LineEndConversionAction = action(options, "LineEndConversionAction", QStringLiteral("改行ｺｰﾄﾞ変換(&L)"));
  HexToDecimalAction = action(options, "HexToDecimalAction", QStringLiteral("16進から１０進変換(&H)"));
  KeepEmptyLinesAction = action(options, "KeepEmptyLinesAction", QStringLiteral("ﾃﾞｰﾀの無い行も残す(&K)"));
  // The handlers toggle the check mark themselves: the triggered item is
  // put back first.
  const std::pair<QAction*, void (MainWindow::*)()> toggles[] = {
      {OutputBesideSourceAction, &MainWindow::ToggleOutputBesideSource},
      {MacroAAction, &MainWindow::ToggleMacroA},
      {LineEndConversionAction, &MainWindow::ToggleLineEndConversion},
      {HexToDecimalAction, &MainWindow::ToggleHexToDecimal},
      {KeepEmptyLinesAction, &MainWindow::ToggleKeepEmptyLines},
  };
  for (auto [item, toggle] : toggles) {
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, item, toggle] {
      item->setChecked(!item->isChecked());
      (this->*toggle)();
    });
  }

  QMenu* setting = menuBar()->addMenu(QStringLiteral("設定(&S)"));
  UserExtensionsAction = action(setting, "UserExtensionsAction", QStringLiteral("ﾕｰｻﾞ定義(拡張子)(&U)"));
  EditWordListAction = action(setting, "EditWordListAction", QStringLiteral("構文ﾁｪｯｸﾘｽﾄ編集(&W)"));

  QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
  HelpContentsAction = action(help, "HelpContentsAction", QStringLiteral("ヘルプ目次(&C)"));
  help->addSeparator();
  HomePageAction = action(help, "HomePageAction", QStringLiteral("作者ホームページ(&A)"));
  HomePageAction->setEnabled(!HomePageAddress().isEmpty());  // no made-up address
  help->addSeparator();
  VersionAction = action(help, "VersionAction", QStringLiteral("バージョン(&V)"));

  connect(UserExtensionsAction, &QAction::triggered, this, &MainWindow::EditUserExtensions);
  connect(EditWordListAction, &QAction::triggered, this, &MainWindow::EditWordList);
  connect(DesktopShortcutAction, &QAction::triggered, this, &MainWindow::CreateDesktopShortcut);
  connect(SendToAction, &QAction::triggered, this, &MainWindow::AddToSendTo);
  connect(HelpContentsAction, &QAction::triggered, this, &MainWindow::OpenHelpContents);
  connect(HomePageAction, &QAction::triggered, this, &MainWindow::OpenAuthorHomePage);
  connect(VersionAction, &QAction::triggered, this, &MainWindow::ShowVersion);
}

void MainWindow::ShowLogHeading() {
  run_.RunLog.assign(1, std::string(kLogHeading));  // the log pane's heading until the first run
  LogView->LinesChanged();
}

void MainWindow::FixSize() {
  // Fixed size: the design's client area below the menu bar. Set before the
  // window is first shown: a size change while it is being mapped would
  // place it by its client area instead of its frame.
  setFixedSize(493, 426 + menuBar()->sizeHint().height());
}

void MainWindow::CreateDialogs() {
  viewer_ = new ViewerDialog(settings_, *prompts_, this);
  viewer_->SetClearMainLog([this] {
    run_.RunLog.clear();
    LogView->LinesChanged();
  });
  findings_ = NewFindingNavigator(*this, *viewer_, *prompts_);
  extensions_ = new UserExtensionsDialog(settings_, *prompts_, this);
  wordEditor_ = new WordListEditor(options_.exeDir, *prompts_, this, this);
}

}  // namespace vostrel::gui
