#include "MenuBar1.h"

#include "Failures.h"

std::shared_ptr<MenuBar1> MenuBar1::implicitInstance;

std::shared_ptr<MenuBar1> MenuBar1::Instance() {
  if (!implicitInstance) {
    auto bar = std::make_shared<MenuBar1>();
    bar->Constructor();
    implicitInstance = std::move(bar);
  }
  return implicitInstance;
}

void MenuBar1::ImplicitInstanceExit() { implicitInstance.reset(); }

void MenuBar1::Constructor() {
  Untitled1();
  Untitled2();
  Untitled3();
}

// parent nullptr: a menu on the bar itself. shortcut nullptr: never set (separators), as opposed to "".
void MenuBar1::AddItem(const char* parent, std::shared_ptr<fw::MenuItem> item, const char* name, const char* text,
                       const char* shortcut) {
  item->SetName(name);
  item->SetAutoEnable(true);
  item->SetText(text);
  if (shortcut) item->SetKeyboardShortcut(shortcut);
  if (!parent) {
    Append(std::move(item));
    return;
  }
  auto menu = Child(parent);
  if (!menu) throw fw::NilObjectException(std::string("The menu bar has no menu named \"") + parent + "\".");
  menu->Append(std::move(item));
}

void MenuBar1::Untitled1() {
  AddItem(nullptr, std::make_shared<fw::MenuItem>(), "FileMenu", "&File", "");
  AddItem("FileMenu", std::make_shared<fw::MenuItem>(), "FileOpen", "Open...", "Cmd+O");
  AddItem("FileMenu", std::make_shared<fw::MenuItem>(), "UntitledMenu1", "-", nullptr);
  AddItem("FileMenu", std::make_shared<fw::MenuItem>(), "FileRevert", "Revert", "Cmd+R");
  AddItem("FileMenu", std::make_shared<fw::MenuItem>(), "FileSave", "Save", "Cmd+S");
}

void MenuBar1::Untitled2() {
  AddItem(nullptr, std::make_shared<fw::MenuItem>(), "EditMenu", "&Edit", "");
  AddItem("EditMenu", std::make_shared<fw::MenuItem>(), "EditUndo", "&Undo", "Cmd+Z");
  AddItem("EditMenu", std::make_shared<fw::MenuItem>(), "UntitledMenu0", "-", nullptr);
  AddItem("EditMenu", std::make_shared<fw::MenuItem>(), "EditCut", "Cu&t", "Cmd+X");
  AddItem("EditMenu", std::make_shared<fw::MenuItem>(), "EditCopy", "&Copy", "Cmd+C");
  AddItem("EditMenu", std::make_shared<fw::MenuItem>(), "EditPaste", "&Paste", "Cmd+V");
  AddItem("EditMenu", std::make_shared<fw::MenuItem>(), "EditClear", "Clear", "");
}

void MenuBar1::Untitled3() {
  AddItem(nullptr, std::make_shared<fw::MenuItem>(), "ModeMenu", "Mode", "");
  AddItem("ModeMenu", std::make_shared<fw::MenuItem>(), "ModeStandard", "Standard", "Cmd+1");
  AddItem("ModeMenu", std::make_shared<fw::MenuItem>(), "ModeAdvanced", "Advanced", "Cmd+2");
  AddItem("ModeMenu", std::make_shared<fw::AppleMenuItem>(), "AppleAbout", "About Quenlet...", "");
}
