// Makes a control of each class from its design's class: the control object, its Qt widget on the window's content,
// and the signals that raise the control's events.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>

#include "AreaEdit.h"
#include "Controls.h"
#include "Failures.h"
#include "FieldValidator.h"
#include "GuiPrivate.h"
#include "QtText.h"
#include "Window.h"

namespace fw {

namespace {

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

}  // namespace

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
      QLineEdit* edit = NewFieldEdit(content);
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
      state.widget = NewAreaEdit(content, *control);
      break;
    }
    case ControlClass::PopupMenu: {
      auto* combo = new QComboBox(content);
      state.widget = combo;
      control = ControlFactory::Make<PopupMenu>(std::move(impl));
      // Qt reports every row the user picks (with the mouse, the keys or the wheel), the one already shown too.
      RectControl* menu = control.get();
      QObject::connect(combo, &QComboBox::activated, combo, [menu] { menu->impl().userChose = true; });
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

}  // namespace detail

}  // namespace fw
