#include "Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QValidator>

#include <algorithm>
#include <limits>

#include "Application.h"
#include "Dialogs.h"
#include "Failures.h"
#include "GuiPrivate.h"
#include "Picture.h"
#include "Text.h"
#include "Window.h"

namespace fw {

namespace detail {

QString ShownText(const std::string& bytes) {
  QString shown(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* out = shown.data();
  for (char byte : bytes) *out++ = QChar(static_cast<char16_t>(CharacterOfByte(static_cast<unsigned char>(byte))));
  return shown;
}

std::string BytesOf(const QString& shown) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(shown.size()));
  for (QChar c : shown) {
    const int byte = ByteOfCharacter(c.unicode());
    if (byte >= 0) bytes += static_cast<char>(byte);
  }
  return bytes;
}

QString ShownFileText(const std::string& bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace detail

namespace {

using detail::BytesOf;
using detail::ShownText;

// Whether one byte of a tag text stands for the character.
bool HoldsAsByte(QChar c) { return ByteOfCharacter(c.unicode()) >= 0; }

// What a label or a tool tip shows for a text with "\r" (or "\r\n") line ends.
QString ShownLines(const std::string& bytes) {
  QString shown = ShownText(bytes);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(u'\r', u'\n');
  return shown;
}

std::vector<std::string> SplitRows(const std::string& text) {
  std::vector<std::string> rows;
  if (text.empty()) return rows;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\r', start);
    rows.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return rows;
}

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

class FieldValidator final : public QValidator {
 public:
  explicit FieldValidator(QObject* parent) : QValidator(parent) {}

  State validate(QString& input, int& pos) const override {
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
    bool leftOut = false;
    const QString kept = Kept(before, QStringView(input).mid(head, input.size() - head - tail), after, leftOut);
    // A key the field does not take is simply not taken; a paste that lost characters says so.
    if (leftOut && !typing) Beep();
    if (kept.isEmpty()) return Invalid;
    input = before + kept + after;
    pos = static_cast<int>(head + kept.size());
    return Acceptable;
  }

  void SetMask(const std::string& text) {
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

  QString shown;
  int32_t limit = 0;
  // True while a key press (other than the paste key) or an input method puts its text in.
  bool typing = false;

 private:
  bool Fits(const QString& text) const {
    if (!std::all_of(text.begin(), text.end(), HoldsAsByte)) return false;
    if (limit > 0 && text.size() > limit) return false;
    return !hasMask || mask.match(text).hasMatch();
  }

  // The characters of run that fit between before and after, taken one at a time; leftOut tells whether any did not.
  QString Kept(const QString& before, QStringView run, const QString& after, bool& leftOut) const {
    // No text longer than the mask matches it.
    qsizetype room = std::numeric_limits<qsizetype>::max();
    if (limit > 0) room = limit;
    if (hasMask) room = std::min(room, static_cast<qsizetype>(maskLength));
    room -= before.size() + after.size();
    QString kept;
    // The characters found not to fit since kept last grew: they cannot fit before it grows again, so a long run of
    // them costs no more than one.
    QString unfit;
    for (QChar c : run) {
      if (kept.size() >= room) {
        leftOut = true;
        break;
      }
      if (!HoldsAsByte(c) || (hasMask && (!admitted.contains(c) || unfit.contains(c)))) {
        leftOut = true;
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
        leftOut = true;
      }
    }
    return kept;
  }

  bool hasMask = false;
  size_t maskLength = 0;
  QRegularExpression mask;
  // The mask's separators, in the order it first has them, and every character that any mark of it takes.
  QString separators;
  QString admitted;
};

FieldValidator& ValidatorOf(QLineEdit& edit) {
  return *static_cast<FieldValidator*>(const_cast<QValidator*>(edit.validator()));
}

// Tells the validator what is typed from what is pasted or dropped: every way of pasting but the paste key comes
// from outside the keyboard (a menu, the mouse, a drop).
class FieldEdit final : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    Typed typed(*this, !event->matches(QKeySequence::Paste));
    QLineEdit::keyPressEvent(event);
  }
  void inputMethodEvent(QInputMethodEvent* event) override {
    Typed typed(*this, true);
    QLineEdit::inputMethodEvent(event);
  }

 private:
  struct Typed {
    Typed(FieldEdit& field, bool typing) : edit(&field) { ValidatorOf(field).typing = typing; }
    ~Typed() {
      if (edit) ValidatorOf(*edit).typing = false;
    }
    QPointer<FieldEdit> edit;
  };
};

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
    if (detail::DispatchDepth() > 0) {
      if (!queued_) {
        queued_ = true;
        PendingAreas().emplace_back(this);
      }
      return;
    }
    ShowPending();
  }

  void ShowPending() {
    queued_ = false;
    QString shown = ShownText(pending_);
    pending_.clear();
    pending_.shrink_to_fit();
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
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

  // Whether replacing the selection by this text keeps the field within its characters and its limit.
  bool Allows(const QString& inserted) const {
    if (!std::all_of(inserted.begin(), inserted.end(), HoldsInArea)) return false;
    int32_t limit = control_.impl().limit;
    if (limit <= 0) return true;
    qsizetype now = ByteLength(accepted_);
    qsizetype after = now - ByteLength(textCursor().selectedText()) + ByteLength(inserted);
    return after <= limit || after <= now;
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    QString inserted;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      inserted = QStringLiteral("\n");
    } else if (!event->text().isEmpty() && (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) == 0 &&
               (event->text().at(0).isPrint() || event->text().at(0) == u'\t')) {
      inserted = event->text();
    }
    if (!inserted.isEmpty() && !Allows(inserted)) {
      event->accept();
      return;
    }
    QPlainTextEdit::keyPressEvent(event);
  }

  void insertFromMimeData(const QMimeData* source) override {
    if (source == nullptr || !source->hasText()) return;
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    // Every character that fits goes in, in order; one that one byte cannot hold, or that the limit has no room
    // for, is left out, and the user hears that something was.
    qsizetype budget = std::numeric_limits<qsizetype>::max();
    if (int32_t limit = control_.impl().limit; limit > 0) {
      // Replacing the selection by no more than it held is always allowed, as in a text beyond the limit.
      qsizetype selected = ByteLength(textCursor().selectedText());
      budget = selected + std::max<qsizetype>(0, limit - ByteLength(accepted_));
    }
    const qsizetype lineEndSize = static_cast<qsizetype>(control_.impl().lineEnd.size());
    QString kept;
    bool leftOut = false;
    qsizetype used = 0;
    for (QChar c : text) {
      const qsizetype size = IsLineEnd(c) ? lineEndSize : 1;
      if (!HoldsInArea(c) || used + size > budget) {
        leftOut = true;
        continue;
      }
      used += size;
      kept += c;
    }
    if (leftOut) Beep();
    if (!kept.isEmpty()) insertPlainText(kept);
  }

 private:
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

class CanvasWidget final : public QWidget {
 public:
  CanvasWidget(QWidget* parent, RectControl::Impl& impl) : QWidget(parent), impl_(impl) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!impl_.backdrop) return;
    QPainter painter(this);
    painter.drawImage(0, 0, detail::DisplayImage(*impl_.backdrop));
  }

 private:
  RectControl::Impl& impl_;
};

Qt::Alignment AlignmentOf(int textAlign, bool multiline) {
  Qt::Alignment vertical = multiline ? Qt::AlignTop : Qt::AlignVCenter;
  switch (textAlign) {
    case 1:
      return Qt::AlignHCenter | vertical;
    case 2:
      return Qt::AlignRight | vertical;
    default:
      return Qt::AlignLeft | vertical;
  }
}

template <class W>
W& WidgetAs(const RectControl& control) {
  return *static_cast<W*>(control.impl().widget);
}

}  // namespace

// ----- RectControl

RectControl::RectControl(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

RectControl::~RectControl() {
  for (RectControl* page : impl_->pageControls) page->impl().panel = nullptr;
  if (impl_->panel != nullptr) {
    auto& pages = impl_->panel->impl().pageControls;
    pages.erase(std::remove(pages.begin(), pages.end(), this), pages.end());
  }
  delete impl_->widget;
}

const std::string& RectControl::Name() const { return impl_->name; }
Window& RectControl::Owner() const { return *impl_->owner; }

bool RectControl::Enabled() const { return impl_->enabled; }

void RectControl::SetEnabled(bool value) {
  impl_->enabled = value;
  impl_->widget->setEnabled(value);
}

bool RectControl::Visible() const { return impl_->visible; }

void RectControl::SetVisible(bool value) {
  impl_->visible = value;
  impl_->UpdateShown();
  for (RectControl* page : impl_->pageControls) page->impl().UpdateShown();
}

void RectControl::Impl::UpdateShown() {
  bool shown = visible;
  if (tabPanelIndex > 0 && panel != nullptr) {
    shown = shown && panel->impl().visible && panel->Value() == tabPanelIndex - 1;
  }
  widget->setVisible(shown);
}

std::string RectControl::HelpTag() const { return impl_->helpTag; }

void RectControl::SetHelpTag(const std::string& text) {
  impl_->helpTag = text;
  impl_->widget->setToolTip(ShownLines(text));
}

int RectControl::Left() const { return impl_->left; }
int RectControl::Top() const { return impl_->top; }
int RectControl::Width() const { return impl_->width; }
int RectControl::Height() const { return impl_->height; }
int RectControl::TabIndex() const { return impl_->tabIndex; }
int RectControl::TabPanelIndex() const { return impl_->tabPanelIndex; }

double RectControl::TextSize() const { return impl_->textSize; }

void RectControl::SetTextSize(double points) {
  impl_->textSize = points;
  if (points <= 0) return;
  // The face stays the platform's own ("System"). The size is in pixels, as the boxes that the designs give the
  // texts are: as points it would grow with the screen's dots per inch, and the texts would no longer fit.
  QFont font = impl_->widget->font();
  font.setPixelSize(std::max(1, qRound(points)));
  impl_->widget->setFont(font);
}

int RectControl::TextUnit() const { return impl_->textUnit; }
void RectControl::SetTextUnit(int unit) { impl_->textUnit = unit; }

void RectControl::AddEventHandler(const std::string& event, std::function<void()> handler) {
  impl_->handlers.emplace_back(event, std::move(handler));
}

void RectControl::RaiseEvent(const std::string& event) {
  // A copy: a handler may bind further handlers while it runs.
  std::vector<std::function<void()>> bound;
  for (const auto& entry : impl_->handlers) {
    if (entry.first == event) bound.push_back(entry.second);
  }
  if (bound.empty()) return;
  Window& owner = *impl_->owner;
  bool outermost = detail::DispatchDepth() == 0;
  for (const auto& handler : bound) Dispatch(handler);
  // What the handlers changed decides which menu commands (and so which shortcuts) are available now.
  if (outermost) detail::EnableMenuItemsSafely(owner);
}

void RectControl::ApplyDesign(const ControlDesign& design) {
  impl_->left = design.Left;
  impl_->top = design.Top;
  impl_->width = design.Width;
  impl_->height = design.Height;
  impl_->tabIndex = design.TabIndex;
  impl_->tabPanelIndex = design.TabPanelIndex;
  impl_->widget->setGeometry(design.Left, design.Top, design.Width, design.Height);
  if (design.TabPanelIndex > 0) {
    auto* panel = dynamic_cast<TabPanel*>(impl_->owner->Control(design.Parent));
    if (panel == nullptr) {
      throw NilObjectException("The control \"" + design.Name + "\" belongs to a tab panel \"" + design.Parent +
                               "\" that the window does not have.");
    }
    if (impl_->panel != panel) {
      impl_->panel = panel;
      panel->impl().pageControls.push_back(this);
    }
    // Page controls lie over the panel's empty pages.
    impl_->widget->raise();
  }
  SetHelpTag(design.HelpTag);
  SetEnabled(design.Enabled);
  impl_->UpdateShown();
}

// ----- TabPanel

int TabPanel::Value() const { return WidgetAs<QTabWidget>(*this).currentIndex(); }

void TabPanel::SetValue(int page) { WidgetAs<QTabWidget>(*this).setCurrentIndex(page); }

int TabPanel::PageCount() const { return WidgetAs<QTabWidget>(*this).count(); }

std::string TabPanel::PageCaption(int page) const {
  return BytesOf(WidgetAs<QTabWidget>(*this).tabText(page));
}

void TabPanel::ApplyDesign(const ControlDesign& design) {
  RectControl::ApplyDesign(design);
  auto& tabs = WidgetAs<QTabWidget>(*this);
  while (tabs.count() > 0) {
    QWidget* page = tabs.widget(0);
    tabs.removeTab(0);
    delete page;
  }
  for (const std::string& caption : SplitRows(design.Text)) tabs.addTab(new QWidget, ShownText(caption));
  tabs.setCurrentIndex(tabs.count() > 0 ? 0 : -1);
}

// ----- StaticText

std::string StaticText::Text() const { return impl().text; }

void StaticText::SetText(const std::string& text) {
  impl().text = text;
  WidgetAs<QLabel>(*this).setText(ShownLines(text));
}

int StaticText::TextAlign() const { return impl().textAlign; }
bool StaticText::Multiline() const { return impl().multiline; }

void StaticText::ApplyDesign(const ControlDesign& design) {
  RectControl::ApplyDesign(design);
  impl().textAlign = design.TextAlign;
  impl().multiline = design.Multiline;
  auto& label = WidgetAs<QLabel>(*this);
  label.setAlignment(AlignmentOf(design.TextAlign, design.Multiline));
  label.setWordWrap(design.Multiline);
  SetText(design.Text);
}

// ----- TextField

std::string TextField::Text() const { return impl().text; }

void TextField::SetText(const std::string& text) {
  if (text == impl().text) return;
  impl().text = text;
  auto& edit = WidgetAs<QLineEdit>(*this);
  FieldValidator& validator = ValidatorOf(edit);
  validator.shown = ShownText(text);
  {
    QSignalBlocker quiet(&edit);
    edit.setText(validator.shown);
    // Shown from its first character, as a long title must be; a text set while the user types in this very field
    // (a handler that replaces what was typed) keeps the cursor at its end, where typing goes on.
    if (!impl().userEditing) edit.home(false);
  }
  validator.shown = edit.text();
  RaiseEvent("TextChange");
}

std::string TextField::Mask() const { return impl().mask; }

void TextField::SetMask(const std::string& mask) {
  impl().mask = mask;
  ValidatorOf(WidgetAs<QLineEdit>(*this)).SetMask(mask);
}

int32_t TextField::LimitText() const { return impl().limit; }

void TextField::SetLimitText(int32_t characters) {
  impl().limit = characters;
  ValidatorOf(WidgetAs<QLineEdit>(*this)).limit = characters;
}

void TextField::ApplyDesign(const ControlDesign& design) {
  RectControl::ApplyDesign(design);
  SetMask(design.Mask);
  SetLimitText(design.LimitText);
  SetText(design.Text);
}

bool TextField::UserEditing() const { return impl().userEditing; }

// ----- TextArea

std::string TextArea::Text() const { return impl().text; }

void TextArea::SetText(const std::string& text) {
  if (text == impl().text) return;
  impl().text = text;
  impl().lineEnd = text.find("\r\n") != std::string::npos ? "\r\n"
                   : text.find('\r') != std::string::npos ? "\r"
                                                          : "\n";
  static_cast<AreaEdit*>(impl().widget)->Show(text);
  RaiseEvent("TextChange");
}

int32_t TextArea::LimitText() const { return impl().limit; }
void TextArea::SetLimitText(int32_t characters) { impl().limit = characters; }

void TextArea::ApplyDesign(const ControlDesign& design) {
  RectControl::ApplyDesign(design);
  SetLimitText(design.LimitText);
  SetText(design.Text);
}

// ----- PopupMenu

int PopupMenu::ListIndex() const { return WidgetAs<QComboBox>(*this).currentIndex(); }

void PopupMenu::SetListIndex(int row) {
  auto& combo = WidgetAs<QComboBox>(*this);
  QSignalBlocker quiet(&combo);
  combo.setCurrentIndex(row >= 0 && row < combo.count() ? row : -1);
}

int PopupMenu::ListCount() const { return WidgetAs<QComboBox>(*this).count(); }

std::string PopupMenu::List(int row) const {
  auto& combo = WidgetAs<QComboBox>(*this);
  if (row < 0 || row >= combo.count()) return "";
  return BytesOf(combo.itemText(row));
}

void PopupMenu::ApplyDesign(const ControlDesign& design) {
  RectControl::ApplyDesign(design);
  auto& combo = WidgetAs<QComboBox>(*this);
  QSignalBlocker quiet(&combo);
  combo.clear();
  for (const std::string& row : SplitRows(design.Text)) combo.addItem(ShownText(row));
  combo.setCurrentIndex(combo.count() > 0 ? 0 : -1);
}

// ----- CheckBox

bool CheckBox::Value() const { return WidgetAs<QCheckBox>(*this).isChecked(); }

void CheckBox::SetValue(bool checked) {
  auto& box = WidgetAs<QCheckBox>(*this);
  QSignalBlocker quiet(&box);
  box.setChecked(checked);
}

std::string CheckBox::Caption() const { return impl().text; }

void CheckBox::ApplyDesign(const ControlDesign& design) {
  RectControl::ApplyDesign(design);
  impl().text = design.Text;
  WidgetAs<QCheckBox>(*this).setText(ShownText(design.Text));
}

// ----- PushButton

std::string PushButton::Caption() const { return impl().text; }

void PushButton::ApplyDesign(const ControlDesign& design) {
  RectControl::ApplyDesign(design);
  impl().text = design.Text;
  WidgetAs<QPushButton>(*this).setText(ShownText(design.Text));
}

void PushButton::Push() {
  if (Enabled()) WidgetAs<QPushButton>(*this).click();
}

// ----- Canvas

std::shared_ptr<Picture> Canvas::Backdrop() const { return impl().backdrop; }

void Canvas::SetBackdrop(std::shared_ptr<Picture> picture) {
  impl().backdrop = std::move(picture);
  impl().widget->update();
}

// ----- Creation

struct ControlFactory {
  template <class T>
  static std::unique_ptr<RectControl> Make(std::unique_ptr<RectControl::Impl> impl) {
    return std::unique_ptr<RectControl>(new T(std::move(impl)));
  }
};

namespace detail {

std::unique_ptr<RectControl> CreateControl(ControlClass cls, Window& owner, const std::string& name) {
  auto impl = std::make_unique<RectControl::Impl>();
  impl->owner = &owner;
  impl->name = name;
  RectControl::Impl& state = *impl;
  QWidget* content = owner.impl().content;
  std::unique_ptr<RectControl> control;
  switch (cls) {
    case ControlClass::TabPanel: {
      auto* tabs = new QTabWidget(content);
      state.widget = tabs;
      control = ControlFactory::Make<TabPanel>(std::move(impl));
      QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [&state] {
        for (RectControl* page : state.pageControls) page->impl().UpdateShown();
      });
      break;
    }
    case ControlClass::StaticText: {
      auto* label = new QLabel(content);
      label->setTextFormat(Qt::PlainText);
      state.widget = label;
      control = ControlFactory::Make<StaticText>(std::move(impl));
      break;
    }
    case ControlClass::TextField: {
      auto* edit = new FieldEdit(content);
      // Qt's own cap (32767) would cut a longer text where the user edits it; the limit is the validator's.
      edit->setMaxLength(std::numeric_limits<int>::max());
      edit->setValidator(new FieldValidator(edit));
      state.widget = edit;
      control = ControlFactory::Make<TextField>(std::move(impl));
      RectControl* field = control.get();
      QObject::connect(edit, &QLineEdit::textEdited, edit, [field, edit](const QString& shown) {
        ValidatorOf(*edit).shown = shown;
        std::string bytes = BytesOf(shown);
        if (bytes == field->impl().text) return;
        field->impl().text = bytes;
        bool outer = !field->impl().userEditing;
        field->impl().userEditing = true;
        struct Done {
          RectControl* field;
          bool outer;
          ~Done() {
            if (outer) field->impl().userEditing = false;
          }
        } done{field, outer};
        field->RaiseEvent("TextChange");
      });
      break;
    }
    case ControlClass::TextArea: {
      // The widget needs its control, which needs its widget: the control is made first, around the impl.
      control = ControlFactory::Make<TextArea>(std::move(impl));
      state.widget = new AreaEdit(content, *control);
      break;
    }
    case ControlClass::PopupMenu: {
      auto* combo = new QComboBox(content);
      state.widget = combo;
      control = ControlFactory::Make<PopupMenu>(std::move(impl));
      break;
    }
    case ControlClass::CheckBox: {
      auto* box = new QCheckBox(content);
      state.widget = box;
      control = ControlFactory::Make<CheckBox>(std::move(impl));
      break;
    }
    case ControlClass::PushButton: {
      auto* button = new QPushButton(content);
      button->setAutoDefault(false);
      state.widget = button;
      control = ControlFactory::Make<PushButton>(std::move(impl));
      RectControl* push = control.get();
      QObject::connect(button, &QPushButton::clicked, button, [push] { push->RaiseEvent("Action"); });
      break;
    }
    case ControlClass::Separator: {
      auto* line = new QFrame(content);
      line->setFrameShape(QFrame::HLine);
      line->setFrameShadow(QFrame::Sunken);
      state.widget = line;
      control = ControlFactory::Make<Separator>(std::move(impl));
      break;
    }
    case ControlClass::Canvas: {
      state.widget = new CanvasWidget(content, state);
      control = ControlFactory::Make<Canvas>(std::move(impl));
      break;
    }
  }
  if (!control) throw NilObjectException("The framework has no control of that class.");
  state.UpdateShown();
  return control;
}

namespace {

QWidget* FocusedText(const Window& window) {
  QWidget* focused = window.impl().qwin->focusWidget();
  if (focused == nullptr || !focused->isEnabled()) return nullptr;
  if (qobject_cast<QLineEdit*>(focused) != nullptr || qobject_cast<QPlainTextEdit*>(focused) != nullptr) {
    return focused;
  }
  return nullptr;
}

}  // namespace

bool HasFocusedTextWidget(const Window& window) { return FocusedText(window) != nullptr; }

void ShowPendingTexts() {
  // Showing a text sets no text of another field, but take the list first all the same.
  std::vector<QPointer<AreaEdit>> areas;
  areas.swap(AreaEdit::PendingAreas());
  for (const auto& area : areas) {
    if (area) area->ShowPending();
  }
}

bool RunTextCommand(const Window& window, const std::string& itemName) {
  QWidget* focused = FocusedText(window);
  if (auto* line = qobject_cast<QLineEdit*>(focused)) {
    if (itemName == "EditUndo") {
      line->undo();
    } else if (itemName == "EditCut") {
      line->cut();
    } else if (itemName == "EditCopy") {
      line->copy();
    } else if (itemName == "EditPaste") {
      line->paste();
    } else if (itemName == "EditClear") {
      if (line->hasSelectedText()) line->del();
    } else {
      return false;
    }
    return true;
  }
  if (auto* area = qobject_cast<QPlainTextEdit*>(focused)) {
    if (itemName == "EditUndo") {
      area->undo();
    } else if (itemName == "EditCut") {
      area->cut();
    } else if (itemName == "EditCopy") {
      area->copy();
    } else if (itemName == "EditPaste") {
      area->paste();
    } else if (itemName == "EditClear") {
      QTextCursor cursor = area->textCursor();
      cursor.removeSelectedText();
      area->setTextCursor(cursor);
    } else {
      return false;
    }
    return true;
  }
  return false;
}

}  // namespace detail

}  // namespace fw
