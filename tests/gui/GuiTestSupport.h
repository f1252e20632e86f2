// Small windows built from small design tables, and a user's hands: typing, pasting, shortcuts, clicks.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Application.h"
#include "Controls.h"
#include "Menu.h"
#include "QtAccess.h"
#include "Text.h"
#include "Window.h"
#include "support/ScriptedDialogs.h"

namespace guitest {

inline fw::ControlDesign Design(const std::string& name, fw::ControlClass cls, int left, int top, int width,
                                int height) {
  return fw::Placed(name, cls, left, top, width, height);
}

inline fw::ControlDesign Field(const std::string& name, const std::string& mask = "", int limit = 0) {
  fw::ControlDesign design = Design(name, fw::ControlClass::TextField, 10, 10, 150, 22);
  design.Mask = mask;
  design.LimitText = limit;
  return design;
}

inline fw::ControlDesign Area(const std::string& name, int limit = 255) {
  fw::ControlDesign design = Design(name, fw::ControlClass::TextArea, 10, 40, 200, 60);
  design.LimitText = limit;
  return design;
}

inline fw::ControlDesign Button(const std::string& name, const std::string& caption, int left = 10) {
  fw::ControlDesign design = Design(name, fw::ControlClass::PushButton, left, 110, 80, 20);
  design.Text = caption;
  return design;
}

// A menu bar of one menu, holding items of those names that enable themselves as the program's do.
inline std::shared_ptr<fw::MenuBar> OneMenuBar(const std::string& name, const std::string& text,
                                               const std::vector<std::string>& items = {}) {
  auto bar = std::make_shared<fw::MenuBar>();
  auto menu = std::make_shared<fw::MenuItem>();
  menu->SetName(name);
  menu->SetText(text);
  bar->Append(menu);
  for (const std::string& itemName : items) {
    auto item = std::make_shared<fw::MenuItem>();
    item->SetName(itemName);
    item->SetText(itemName);
    item->SetAutoEnable(true);
    menu->Append(item);
  }
  return bar;
}

// A window whose design, controls and handlers the test gives; it records the events it gets.
class TestWindow : public fw::Window {
 public:
  TestWindow() = default;
  explicit TestWindow(std::vector<fw::ControlDesign> controls) : controls_(std::move(controls)) {}

  fw::WindowDesign design{300, 140, "Test", true};
  std::vector<fw::ControlDesign> controls_;
  std::shared_ptr<fw::MenuBar> bar;
  std::vector<std::pair<std::string, std::function<bool()>>> menuHandlers;
  std::function<void()> onCreate;
  std::function<void()> onOpen;
  std::function<void()> onEnable;
  std::vector<std::string> events;

  void Layout() override {
    events.push_back("Layout");
    if (bar) SetMenuBar(bar);
    ApplyDesign(design);
  }
  void CreateControls() override {
    events.push_back("CreateControls");
    for (const auto& control : controls_) AddControl(control);
    if (onCreate) onCreate();
  }
  void AddMenuHandlers(fw::Window& window) override {
    events.push_back("AddMenuHandlers");
    for (const auto& [name, handler] : menuHandlers) window.AddMenuHandler(name, handler);
  }
  void Event_Open() override {
    events.push_back(IsVisible() ? "Open (shown)" : "Open (hidden)");
    if (onOpen) onOpen();
  }
  void Event_EnableMenuItems() override {
    events.push_back("EnableMenuItems");
    if (onEnable) onEnable();
  }

  int Count(const std::string& event) const { return static_cast<int>(std::count(events.begin(), events.end(), event)); }
};

// Lets the framework destroy the windows closed so far.
inline void FlushClosedWindows() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
}

inline void CloseAllWindows() {
  for (fw::Window* window : fw::OpenWindows()) window->Close();
  FlushClosedWindows();
}

// Builds a window as the program does: handed to the framework, then constructed.
template <class T = TestWindow, class... Args>
T& Build(std::function<void(T&)> prepare = {}, Args&&... args) {
  auto created = std::make_unique<T>(std::forward<Args>(args)...);
  T& window = *created;
  if (prepare) prepare(window);
  fw::AdoptWindow(std::move(created));
  window.Constructor();
  return window;
}

inline void Activate(const fw::Window& window) {
  QMainWindow* widget = fw::WidgetOf(window);
  widget->show();
  widget->activateWindow();
  QApplication::setActiveWindow(widget);
  ASSERT_TRUE(QTest::qWaitForWindowActive(widget));
}

inline void Focus(const fw::RectControl& control) {
  QWidget* widget = fw::WidgetOf(control);
  widget->setFocus(Qt::OtherFocusReason);
  QCoreApplication::processEvents();
}

// Types the text one character at a time, as a keyboard does, whatever the characters are.
inline void Type(const fw::RectControl& control, const QString& text) {
  QWidget* widget = fw::WidgetOf(control);
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
  }
}

inline void Paste(const fw::RectControl& control, const QString& text) {
  QGuiApplication::clipboard()->setText(text);
  QTest::keySequence(fw::WidgetOf(control), QKeySequence::Paste);
}

inline std::string Bytes(const char* data, size_t size) { return std::string(data, size); }

// What a field shows for the bytes of a tag text: one character each.
inline QString ShownAs(const std::string& bytes) {
  QString shown;
  for (char byte : bytes) shown += QChar(static_cast<char16_t>(fw::CharacterOfByte(static_cast<unsigned char>(byte))));
  return shown;
}

// Closes whatever the test left open and installs a scripted dialog seam for it.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override { CloseAllWindows(); }
  void TearDown() override { CloseAllWindows(); }

  testing_support::ScriptedDialogsGuard dialogs_;
};

}  // namespace guitest
