// The control classes: a control's state and geometry, its events, and what each class shows of its text.
#include "Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>
#include <utility>

#include "AreaEdit.h"
#include "Application.h"
#include "Failures.h"
#include "FieldValidator.h"
#include "GuiPrivate.h"
#include "QtText.h"
#include "Window.h"

namespace fw {

namespace {

using detail::BytesOf;
using detail::ShownLines;
using detail::ShownText;

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

// The window whose control raised the event that the outermost dispatch runs now: what its handlers changed decides
// which menu commands (and so which shortcuts) are available, so its items are enabled again as that dispatch ends.
Window* gRaisedIn = nullptr;

void EnableMenuItemsOfRaisedWindow() {
  if (Window* window = std::exchange(gRaisedIn, nullptr)) detail::EnableMenuItemsSafely(*window);
}

void EnableMenuItemsAfterDispatch(Window& window) {
  static const bool hooked =
      (detail::OnOutermostDispatchEnd(detail::AfterDispatch::EnableMenuItems, EnableMenuItemsOfRaisedWindow), true);
  (void)hooked;
  gRaisedIn = &window;
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
  const bool outermost = detail::DispatchDepth() == 0;
  for (size_t i = 0; i < bound.size(); ++i) {
    // Each handler is a dispatch of its own; the menu items are enabled again as the last one ends.
    if (outermost && i + 1 == bound.size()) EnableMenuItemsAfterDispatch(owner);
    Dispatch(bound[i]);
  }
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
  detail::FieldValidator& validator = detail::ValidatorOf(edit);
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
  detail::ValidatorOf(WidgetAs<QLineEdit>(*this)).SetMask(mask);
}

int32_t TextField::LimitText() const { return impl().limit; }

void TextField::SetLimitText(int32_t characters) {
  impl().limit = characters;
  detail::ValidatorOf(WidgetAs<QLineEdit>(*this)).limit = characters;
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
  detail::ShowAreaText(*impl().widget, text);
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
  impl().userChose = false;
}

bool PopupMenu::UserChose() const { return impl().userChose; }

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

}  // namespace fw
