// The single-line field's validator and widget: typing held to the mask and the limit, and what a paste keeps.
#include "FieldValidator.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

#include <algorithm>
#include <limits>

#include "Dialogs.h"
#include "QtText.h"

namespace fw {

namespace detail {

namespace {

// The mask read leniently: a run of n digit marks is up to n digits, "a" an optional letter or digit, and any other
// character a separator that opens an optional group holding the rest of the mask.
QString MaskPattern(const std::string& mask) {
  QString pattern;
  int groups = 0;
  for (size_t i = 0; i < mask.size();) {
    char mark = mask[i];
    if (mark == '#' || mark == '9') {
      int run = 0;
      while (i < mask.size() && (mask[i] == '#' || mask[i] == '9')) {
        ++run;
        ++i;
      }
      pattern += QStringLiteral("[0-9]{0,%1}").arg(run);
    } else if (mark == 'a') {
      pattern += QStringLiteral("[A-Za-z0-9]?");
      ++i;
    } else {
      pattern += u'(' + QRegularExpression::escape(QString(QChar(static_cast<uchar>(mark))));
      ++groups;
      ++i;
    }
  }
  for (int i = 0; i < groups; ++i) pattern += QStringLiteral(")?");
  return pattern;
}

// True when after is before with one run of characters taken out.
bool OnlyRemoves(const QString& before, const QString& after) {
  if (after.size() >= before.size()) return false;
  qsizetype prefix = 0;
  while (prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
  return before.endsWith(QStringView(after).mid(prefix));
}

// Tells the validator what is typed from what is pasted or dropped: every way of pasting but the paste key comes
// from outside the keyboard (a menu, the mouse, a drop).
class FieldEdit final : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    using Entry = FieldValidator::Entry;
    const Entry entry = event->matches(QKeySequence::Paste)  ? Entry::Paste
                        : TypedText(*event, false).isEmpty() ? Entry::Key
                                                             : Entry::Typing;
    Entering entering(*this, entry);
    QLineEdit::keyPressEvent(event);
  }
  void inputMethodEvent(QInputMethodEvent* event) override {
    Entering entering(*this, FieldValidator::Entry::Typing);
    QLineEdit::inputMethodEvent(event);
  }

 private:
  struct Entering {
    Entering(FieldEdit& field, FieldValidator::Entry entry) : edit(&field) { ValidatorOf(field).entry = entry; }
    ~Entering() {
      if (edit) ValidatorOf(*edit).entry = FieldValidator::Entry::Paste;
    }
    QPointer<FieldEdit> edit;
  };
};

}  // namespace

QString TypedText(const QKeyEvent& press, bool multiline) {
  if (multiline && (press.key() == Qt::Key_Return || press.key() == Qt::Key_Enter)) return QStringLiteral("\n");
  const QString text = press.text();
  if (text.isEmpty()) return {};
  const QChar first = text.front();
  // Some keyboards type a joiner or a direction mark with Ctrl and Shift; otherwise a key held with Ctrl (and not
  // with Alt, as AltGr comes on some systems) is a shortcut.
  if (first.category() == QChar::Other_Format) return text;
  const Qt::KeyboardModifiers modifiers = press.modifiers();
  if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) return {};
  const bool typed = first.isPrint() || first.category() == QChar::Other_PrivateUse ||
                     (first.isHighSurrogate() && text.size() > 1 && text[1].isLowSurrogate()) ||
                     (multiline && first == u'\t');
  return typed ? text : QString();
}

bool StartsCharacter(QStringView text, qsizetype i) {
  return !text[i].isLowSurrogate() || i == 0 || !text[i - 1].isHighSurrogate();
}

void BeepRefused(qsizetype characters) {
  for (qsizetype i = 0; i < characters; ++i) Beep();
}

QValidator::State FieldValidator::validate(QString& input, int& pos) const {
  // The text on show (the program's, whatever it holds) stands, and taking characters out of it is always allowed.
  if (input == shown || OnlyRemoves(shown, input)) return Acceptable;
  if (Fits(input)) return Acceptable;
  // What came in (a key, a paste, a drop) keeps each of its characters that the field can hold, in order, with a
  // separator of the mask put in front of a character that belongs after it. Qt takes the text changed here as
  // the edit; a run none of which fits is refused, leaving the text as it was. The cursor stands right after what
  // came in, so what follows it is what was there before.
  qsizetype tail = std::clamp<qsizetype>(input.size() - pos, 0, std::min(input.size(), shown.size()));
  if (!shown.endsWith(QStringView(input).right(tail))) tail = 0;
  qsizetype head = 0;
  while (head < input.size() - tail && head < shown.size() - tail && input[head] == shown[head]) ++head;
  const QString before = input.left(head);
  const QString after = input.right(tail);
  qsizetype refused = 0;
  const QString kept = Kept(before, QStringView(input).mid(head, input.size() - head - tail), after, refused);
  // Qt asks again only about a text changed here, which fits, so what came in is told about once. A separator
  // put in for the user is no refusal.
  if (entry == Entry::Typing) {
    BeepRefused(refused);
  } else if (entry == Entry::Paste && refused > 0) {
    Beep();
  }
  if (kept.isEmpty()) return Invalid;
  input = before + kept + after;
  pos = static_cast<int>(head + kept.size());
  return Acceptable;
}

void FieldValidator::SetMask(const std::string& text) {
  hasMask = !text.empty();
  maskLength = text.size();
  mask = QRegularExpression(QRegularExpression::anchoredPattern(MaskPattern(text)));
  separators.clear();
  admitted.clear();
  for (char mark : text) {
    if (mark == '#' || mark == '9') {
      admitted += QStringLiteral("0123456789");
    } else if (mark == 'a') {
      admitted += QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    } else {
      const QChar separator(static_cast<uchar>(mark));
      if (!separators.contains(separator)) separators += separator;
      admitted += separator;
    }
  }
}

bool FieldValidator::Fits(const QString& text) const {
  if (!std::all_of(text.begin(), text.end(), HoldsAsByte)) return false;
  if (limit > 0 && text.size() > limit) return false;
  return !hasMask || mask.match(text).hasMatch();
}

// The characters of run that fit between before and after, taken one at a time; refused counts those that did not.
QString FieldValidator::Kept(const QString& before, QStringView run, const QString& after, qsizetype& refused) const {
  // No text longer than the mask matches it.
  qsizetype room = std::numeric_limits<qsizetype>::max();
  if (limit > 0) room = limit;
  if (hasMask) room = std::min(room, static_cast<qsizetype>(maskLength));
  room -= before.size() + after.size();
  QString kept;
  // The characters found not to fit since kept last grew: they cannot fit before it grows again, so a long run of
  // them costs no more than one.
  QString unfit;
  for (qsizetype i = 0; i < run.size(); ++i) {
    const QChar c = run[i];
    if (kept.size() >= room) {
      for (qsizetype rest = i; rest < run.size(); ++rest) refused += StartsCharacter(run, rest);
      break;
    }
    if (!HoldsAsByte(c) || (hasMask && (!admitted.contains(c) || unfit.contains(c)))) {
      refused += StartsCharacter(run, i);
      continue;
    }
    if (!hasMask || Fits(before + kept + c + after)) {
      kept += c;
      unfit.clear();
      continue;
    }
    bool placed = false;
    for (QChar separator : separators) {
      if (Fits(before + kept + separator + c + after)) {
        kept += separator;
        kept += c;
        unfit.clear();
        placed = true;
        break;
      }
    }
    if (!placed) {
      unfit += c;
      ++refused;
    }
  }
  return kept;
}

QLineEdit* NewFieldEdit(QWidget* parent) {
  auto* edit = new FieldEdit(parent);
  // Qt's own cap (32767) would cut a longer text where the user edits it; the limit is the validator's.
  edit->setMaxLength(std::numeric_limits<int>::max());
  edit->setValidator(new FieldValidator(edit));
  return edit;
}

FieldValidator& ValidatorOf(QLineEdit& edit) {
  return *static_cast<FieldValidator*>(const_cast<QValidator*>(edit.validator()));
}

}  // namespace detail

}  // namespace fw
