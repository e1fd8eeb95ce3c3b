#pragma once
// The word-list editor: the allowed words of the syntax check, one per
// line, edited and saved to ChkData.lst in the data folder.

#include <QDialog>

#include <filesystem>
#include <optional>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace vostrel::gui {

class UserPrompts;

class WordListEditor : public QDialog {
  Q_OBJECT
 public:
  // `exeDir`: the program's folder (the shipped list and the data-folder
  // rule); `mainWindow`: the window whose top-left corner the dialog takes.
  WordListEditor(std::filesystem::path exeDir, UserPrompts& prompts, QWidget* mainWindow, QWidget* parent = nullptr);

  QPlainTextEdit* WordsEdit;  // the words, one per line
  QPushButton* SaveButton;    // 保存
  QPushButton* CancelButton;  // ｷｬﾝｾﾙ
  QPushButton* BackButton;    // 戻る

  // The file the editor shows: the user's list, else the shipped one.
  std::filesystem::path LoadPath() const;
  // The file "保存" writes: ChkData.lst in the data folder.
  std::filesystem::path SavePath() const;

  // At every showing: the list loaded, the dialog placed, "保存" off.
  void LoadList();
  // An edit turns "保存" on.
  void TextEdited();
  void SaveList();
  // ｷｬﾝｾﾙ and 戻る both close without saving.
  void Cancel();
  void GoBack();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::filesystem::path exeDir_;
  UserPrompts& prompts_;
  QWidget* mainWindow_;
};

// The file bytes of the editor's text: Shift-JIS, lines joined by CR LF,
// no break after the last line. When a line holds a character Shift-JIS
// cannot hold, nullopt and `badLine` (1-based) names that line.
std::optional<std::string> WordListBytes(const QString& text, int* badLine);

// The text of a word-list file for the editor: Shift-JIS decoded, CR LF,
// lone CR and lone LF all made line breaks.
QString WordListText(const std::string& bytes);

}  // namespace vostrel::gui
