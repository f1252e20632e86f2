// The multi-line field's widget: line ends, characters and limit as the user edits, and the deferred layout.
#include "AreaEdit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextCursor>

#include <algorithm>
#include <limits>
#include <vector>

#include "Dialogs.h"
#include "FieldValidator.h"
#include "GuiPrivate.h"
#include "QtText.h"
#include "Text.h"

namespace fw {

namespace detail {

namespace {

bool IsLineEnd(QChar c) { return c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator; }
bool HoldsInArea(QChar c) { return HoldsAsByte(c) || IsLineEnd(c); }

// A multi-line field shows every line end as one; the bytes keep the style of the text the program gave.
class AreaEdit final : public QPlainTextEdit {
 public:
  AreaEdit(QWidget* parent, RectControl& control) : QPlainTextEdit(parent), control_(control) {
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The designs' multi-line fields keep their vertical scroll bar, text or not.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int) { changedAt_ = position; });
    connect(this, &QPlainTextEdit::textChanged, this, [this] { OnTextChanged(); });
  }

  // Laying a long text out costs milliseconds, so a command that sets this field again and again (an Open whose
  // extended chunk repeats an item) lays out only the last text, once the command is over.
  void Show(const std::string& bytes) {
    pending_ = bytes;
    if (DispatchDepth() > 0) {
      if (!queued_) {
        queued_ = true;
        Queue(this);
      }
      return;
    }
    ShowPending();
  }

  void ShowPending() {
    queued_ = false;
    QString shown = ShownLines(pending_);
    pending_.clear();
    pending_.shrink_to_fit();
    // A run without a place to break wraps at the box's edge either way; word wrapping would look for a break
    // across the whole run on every line it makes, which for a run of thousands of characters takes seconds.
    const QTextOption::WrapMode wrap =
        HasLongRun(shown) ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
    if (wrap != wordWrapMode()) {
      // Emptied first, so that the text on show is not laid out again in the other mode.
      SetQuietly(QString());
      setWordWrapMode(wrap);
    }
    SetQuietly(shown);
    // A text the program gives is shown from its first line.
    setTextCursor(QTextCursor(document()));
    verticalScrollBar()->setValue(verticalScrollBar()->minimum());
  }

  static std::vector<QPointer<AreaEdit>>& PendingAreas() {
    static std::vector<QPointer<AreaEdit>> areas;
    return areas;
  }

  std::string BytesFor(const QString& raw) const {
    const std::string& lineEnd = control_.impl().lineEnd;
    std::string bytes;
    bytes.reserve(static_cast<size_t>(raw.size()));
    for (QChar c : raw) {
      if (IsLineEnd(c)) {
        bytes += lineEnd;
      } else if (const int byte = ByteOfCharacter(c.unicode()); byte >= 0) {
        bytes += static_cast<char>(byte);
      }
    }
    return bytes;
  }

  qsizetype ByteLength(const QString& raw) const {
    qsizetype extra = static_cast<qsizetype>(control_.impl().lineEnd.size()) - 1;
    return raw.size() + extra * std::count_if(raw.begin(), raw.end(), IsLineEnd);
  }

  // The characters of text that fit in place of the selection, in order: each one that one byte can hold, up to
  // the limit, each line end counting as the bytes it will be; refused counts the characters left out.
  QString Fitting(const QString& text, qsizetype& refused) const {
    // Most keys bring no text, and a long text costs its length to measure.
    if (text.isEmpty()) return text;
    qsizetype budget = std::numeric_limits<qsizetype>::max();
    if (int32_t limit = control_.impl().limit; limit > 0) {
      // Replacing the selection by no more than it held is always allowed, as in a text beyond the limit.
      qsizetype selected = ByteLength(textCursor().selectedText());
      budget = selected + std::max<qsizetype>(0, limit - ByteLength(accepted_));
    }
    const qsizetype lineEndSize = static_cast<qsizetype>(control_.impl().lineEnd.size());
    QString kept;
    qsizetype used = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
      const QChar c = text[i];
      const qsizetype size = IsLineEnd(c) ? lineEndSize : 1;
      if (!HoldsInArea(c) || used + size > budget) {
        refused += StartsCharacter(text, i);
        continue;
      }
      used += size;
      kept += c;
    }
    return kept;
  }

 protected:
  // A typed character that the field does not take beeps, one beep for each; what it does take goes in as Qt
  // would put it.
  void keyPressEvent(QKeyEvent* event) override {
    qsizetype refused = 0;
    const QString kept = Fitting(TypedText(*event, true), refused);
    if (refused == 0) {
      QPlainTextEdit::keyPressEvent(event);
      return;
    }
    event->accept();
    BeepRefused(refused);
    if (!kept.isEmpty()) insertPlainText(kept);
  }

  void inputMethodEvent(QInputMethodEvent* event) override {
    qsizetype refused = 0;
    const QString kept = Fitting(event->commitString(), refused);
    if (refused == 0) {
      QPlainTextEdit::inputMethodEvent(event);
      return;
    }
    BeepRefused(refused);
    QInputMethodEvent fitted(event->preeditString(), event->attributes());
    fitted.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&fitted);
    event->accept();
  }

  void insertFromMimeData(const QMimeData* source) override {
    if (source == nullptr || !source->hasText()) return;
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    // Every character that fits goes in, in order, and the user hears once that something was left out.
    qsizetype refused = 0;
    const QString kept = Fitting(text, refused);
    if (refused > 0) Beep();
    if (!kept.isEmpty()) insertPlainText(kept);
  }

 private:
  // Waits for the end of the command; the first area that waits hooks the texts' layout onto that end.
  static void Queue(AreaEdit* area) {
    static const bool hooked = (OnOutermostDispatchEnd(AfterDispatch::ShowTexts, ShowPendingTexts), true);
    (void)hooked;
    PendingAreas().emplace_back(area);
  }

  void SetQuietly(const QString& shown) {
    quiet_ = true;
    setPlainText(shown);
    accepted_ = document()->toRawText();
    quiet_ = false;
  }

  void OnTextChanged() {
    if (quiet_) return;
    QString raw = document()->toRawText();
    int32_t limit = control_.impl().limit;
    bool foreign = !std::all_of(raw.begin(), raw.end(), HoldsInArea);
    qsizetype length = ByteLength(raw);
    if (foreign || (limit > 0 && length > limit && length > ByteLength(accepted_))) {
      // Whatever way it came in (typing and pasting are checked before), the edit does not stand.
      int position = std::min(changedAt_, static_cast<int>(accepted_.size()));
      SetQuietly(accepted_);
      QTextCursor cursor(document());
      cursor.setPosition(std::max(0, position));
      setTextCursor(cursor);
      return;
    }
    accepted_ = raw;
    std::string bytes = BytesFor(raw);
    if (bytes == control_.impl().text) return;
    control_.impl().text = bytes;
    control_.RaiseEvent("TextChange");
  }

  // Whether the text holds a run of more characters than any box shows on a line with no space or line end in it.
  static bool HasLongRun(const QString& text) {
    constexpr qsizetype kLongRun = 1024;
    qsizetype run = 0;
    for (QChar c : text) {
      run = c.isSpace() ? 0 : run + 1;
      if (run > kLongRun) return true;
    }
    return false;
  }

  RectControl& control_;
  QString accepted_;
  bool quiet_ = false;
  int changedAt_ = 0;
  // The text set during a command, not shown yet.
  std::string pending_;
  bool queued_ = false;
};

}  // namespace

QWidget* NewAreaEdit(QWidget* parent, RectControl& control) { return new AreaEdit(parent, control); }

void ShowAreaText(QWidget& area, const std::string& bytes) { static_cast<AreaEdit&>(area).Show(bytes); }

void ShowPendingTexts() {
  // Showing a text sets no text of another field, but take the list first all the same. Only memory can run out
  // here; at the end of a dispatch the fields then show their earlier texts until they are set again.
  std::vector<QPointer<AreaEdit>> areas;
  areas.swap(AreaEdit::PendingAreas());
  for (const auto& area : areas) {
    if (area) area->ShowPending();
  }
}

}  // namespace detail

}  // namespace fw
