// The one menu bar, shared by the application object and the main window.
#pragma once

#include <memory>

#include "Menu.h"

class MenuBar1 : public fw::MenuBar {
 public:
  // Builds the File, Edit and Mode menus.
  void Constructor();
  void Untitled1();
  void Untitled2();
  void Untitled3();

  // The shared bar, created on the first call.
  static std::shared_ptr<MenuBar1> Instance();
  // Released once, by the clean-up after the event loop.
  static std::shared_ptr<MenuBar1> implicitInstance;
  static void ImplicitInstanceExit();

 private:
  void AddItem(const char* parent, std::shared_ptr<fw::MenuItem> item, const char* name, const char* text,
               const char* shortcut);
};
