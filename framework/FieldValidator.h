// The single-line field's widget and its validator: the mask read leniently, the limit, the characters a tag can
// hold, what a paste or a drop keeps, and the beeps for what is left out. For the framework's GUI sources only.
#pragma once

#include <QRegularExpression>
#include <QString>
#include <QValidator>

#include <cstddef>
#include <cstdint>
#include <string>

class QKeyEvent;
class QLineEdit;
class QWidget;

namespace fw {

namespace detail {

class FieldValidator final : public QValidator {
 public:
  explicit FieldValidator(QObject* parent) : QValidator(parent) {}

  State validate(QString& input, int& pos) const override;
  void SetMask(const std::string& text);

  // How the text that comes in now was put in. Typing (a key's text, an input method's) beeps once for every
  // character the field does not take, a paste or a drop once when it left anything out; another key (an undo, a
  // redo) only brings back a text the field had, and says nothing.
  enum class Entry { Paste, Typing, Key };

  // The text on show: the program's, whatever it holds, or the last edit that stood.
  QString shown;
  int32_t limit = 0;
  // Typing or Key while a key press or an input method puts its text in; Paste otherwise.
  Entry entry = Entry::Paste;

 private:
  bool Fits(const QString& text) const;
  QString Kept(const QString& before, QStringView run, const QString& after, qsizetype& refused) const;

  bool hasMask = false;
  size_t maskLength = 0;
  QRegularExpression mask;
  // The mask's separators, in the order it first has them, and every character that any mark of it takes.
  QString separators;
  QString admitted;
};

// What typing is to both kinds of field, the multi-line one too.
// The text that a key press types into a field, as Qt's editors take it; "" for a key that brings none (an arrow,
// Backspace, a shortcut). A multi-line field also takes a Tab, and Return or Enter as a line end ("\n").
QString TypedText(const QKeyEvent& press, bool multiline);
// Whether text[i] begins a character, as all but the second half of a surrogate pair do.
bool StartsCharacter(QStringView text, qsizetype i);
// One beep for each character that typing brought and the field did not take.
void BeepRefused(qsizetype characters);

// A line edit on parent held to a FieldValidator of its own, which it tells what is typed from what is pasted.
QLineEdit* NewFieldEdit(QWidget* parent);
// The validator of a line edit that NewFieldEdit made.
FieldValidator& ValidatorOf(QLineEdit& edit);

}  // namespace detail

}  // namespace fw
