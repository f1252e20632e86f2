// The single-line field's widget and its validator: the mask read leniently, the limit, the characters a tag can
// hold, and what a paste or a drop keeps. For the framework's GUI sources only.
#pragma once

#include <QRegularExpression>
#include <QString>
#include <QValidator>

#include <cstddef>
#include <cstdint>
#include <string>

class QLineEdit;
class QWidget;

namespace fw {

namespace detail {

class FieldValidator final : public QValidator {
 public:
  explicit FieldValidator(QObject* parent) : QValidator(parent) {}

  State validate(QString& input, int& pos) const override;
  void SetMask(const std::string& text);

  // The text on show: the program's, whatever it holds, or the last edit that stood.
  QString shown;
  int32_t limit = 0;
  // True while a key press (other than the paste key) or an input method puts its text in.
  bool typing = false;

 private:
  bool Fits(const QString& text) const;
  QString Kept(const QString& before, QStringView run, const QString& after, bool& leftOut) const;

  bool hasMask = false;
  size_t maskLength = 0;
  QRegularExpression mask;
  // The mask's separators, in the order it first has them, and every character that any mark of it takes.
  QString separators;
  QString admitted;
};

// A line edit on parent held to a FieldValidator of its own, which it tells what is typed from what is pasted.
QLineEdit* NewFieldEdit(QWidget* parent);
// The validator of a line edit that NewFieldEdit made.
FieldValidator& ValidatorOf(QLineEdit& edit);

}  // namespace detail

}  // namespace fw
