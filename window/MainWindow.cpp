#include "MainWindow.h"

#include <utility>

#include "BinaryStream.h"
#include "FolderItem.h"
#include "MenuBar1.h"

MainWindow::MainWindow() {
  StandardTags.assign(10, "");
  ExtendedData.assign(1, "");
  ExtendedIDs.assign(1, 0);
}

MainWindow::~MainWindow() {
  SPCFile.reset();
  SPCStream.reset();
  StandardTags.clear();
  ExtendedData.clear();
  ExtendedIDs.clear();
  FileOut.reset();
  SPCOut.reset();
}

MainWindow& MainWindow::Instance() { return fw::ImplicitWindow<MainWindow>(); }

void MainWindow::Layout() {
  SetMenuBar(MenuBar1::Instance());
  ApplyDesign(MainWindowDesign());
}

void MainWindow::CreateControls() {
  CreateControls0();
  CreateControls1();
}

void MainWindow::CreateControls0() { CreateControlRows(0, 30); }

void MainWindow::CreateControls1() { CreateControlRows(30, MainWindowControls().size()); }

// Each control is bound only after its design is applied, so nothing the design sets reaches a handler.
void MainWindow::CreateControlRows(std::size_t first, std::size_t last) {
  static const std::pair<const char*, std::pair<const char*, void (MainWindow::*)()>> bindings[] = {
      {"SongFade", {"TextChange", &MainWindow::SongFade_TextChange}},
      {"Amplification", {"TextChange", &MainWindow::Amplification_TextChange}},
      {"IntroLength", {"TextChange", &MainWindow::IntroLength_TextChange}},
      {"LoopLength", {"TextChange", &MainWindow::LoopLength_TextChange}},
      {"EndLength", {"TextChange", &MainWindow::EndLength_TextChange}},
      {"OSTTrack", {"TextChange", &MainWindow::OSTTrack_TextChange}},
      {"OpenButton", {"Action", &MainWindow::OpenButton_Action}},
      {"RevertButton", {"Action", &MainWindow::RevertButton_Action}},
      {"SaveButton", {"Action", &MainWindow::SaveButton_Action}},
      {"QuitButton", {"Action", &MainWindow::QuitButton_Action}},
  };
  const auto& rows = MainWindowControls();
  for (std::size_t i = first; i < last && i < rows.size(); ++i) {
    AddControl(rows[i]);
    for (const auto& [name, binding] : bindings) {
      if (rows[i].Name != name) continue;
      auto handler = binding.second;
      Find<fw::RectControl>(name).AddEventHandler(binding.first, [this, handler] { (this->*handler)(); });
    }
  }
}

void MainWindow::Event_Open() { SetChecked(ModeStandard(), "ModeStandard", true); }

// Menu items.

std::shared_ptr<fw::MenuItem> MainWindow::MenuItemNamed(const std::string& name) {
  auto bar = GetMenuBar();
  if (!bar) throw fw::NilObjectException("The window has no menu bar.");
  return bar->Lookup(name);
}

bool MainWindow::IsChecked(std::shared_ptr<fw::MenuItem> item, const char* name) {
  if (!item) throw fw::NilObjectException(std::string("The menu bar has no item named \"") + name + "\".");
  return item->Checked();
}

void MainWindow::SetChecked(std::shared_ptr<fw::MenuItem> item, const char* name, bool value) {
  if (!item) throw fw::NilObjectException(std::string("The menu bar has no item named \"") + name + "\".");
  item->SetChecked(value);
}

std::shared_ptr<fw::MenuItem> MainWindow::ModeMenu() { return MenuItemNamed("ModeMenu"); }
std::shared_ptr<fw::AppleMenuItem> MainWindow::AppleAbout() {
  return std::dynamic_pointer_cast<fw::AppleMenuItem>(MenuItemNamed("AppleAbout"));
}
std::shared_ptr<fw::MenuItem> MainWindow::ModeAdvanced() { return MenuItemNamed("ModeAdvanced"); }
std::shared_ptr<fw::MenuItem> MainWindow::ModeStandard() { return MenuItemNamed("ModeStandard"); }
std::shared_ptr<fw::MenuItem> MainWindow::EditMenu() { return MenuItemNamed("EditMenu"); }
std::shared_ptr<fw::MenuItem> MainWindow::EditClear() { return MenuItemNamed("EditClear"); }
std::shared_ptr<fw::MenuItem> MainWindow::EditPaste() { return MenuItemNamed("EditPaste"); }
std::shared_ptr<fw::MenuItem> MainWindow::EditCopy() { return MenuItemNamed("EditCopy"); }
std::shared_ptr<fw::MenuItem> MainWindow::EditCut() { return MenuItemNamed("EditCut"); }
std::shared_ptr<fw::MenuItem> MainWindow::UntitledMenu0() { return MenuItemNamed("UntitledMenu0"); }
std::shared_ptr<fw::MenuItem> MainWindow::EditUndo() { return MenuItemNamed("EditUndo"); }
std::shared_ptr<fw::MenuItem> MainWindow::FileMenu() { return MenuItemNamed("FileMenu"); }
std::shared_ptr<fw::MenuItem> MainWindow::FileSave() { return MenuItemNamed("FileSave"); }
std::shared_ptr<fw::MenuItem> MainWindow::FileRevert() { return MenuItemNamed("FileRevert"); }
std::shared_ptr<fw::MenuItem> MainWindow::UntitledMenu1() { return MenuItemNamed("UntitledMenu1"); }
std::shared_ptr<fw::MenuItem> MainWindow::FileOpen() { return MenuItemNamed("FileOpen"); }
std::shared_ptr<fw::MenuItem> MainWindow::UntitledMenu2() { return MenuItemNamed("UntitledMenu2"); }

// The four questions of the format layer.

std::string MainWindow::TagText(const std::string& control) {
  fw::RectControl* found = Control(control);
  if (auto* field = dynamic_cast<fw::TextField*>(found)) return field->Text();
  if (auto* area = dynamic_cast<fw::TextArea*>(found)) return area->Text();
  throw fw::NilObjectException("The window has no text field named \"" + control + "\".");
}

bool MainWindow::TagChecked(const std::string& control) { return Find<fw::CheckBox>(control).Value(); }

int32_t MainWindow::TagRow(const std::string& control) { return Find<fw::PopupMenu>(control).ListIndex(); }

bool MainWindow::StandardUnits() { return IsChecked(ModeStandard(), "ModeStandard"); }

// Control helpers.

std::string MainWindow::FieldText(const std::string& name) const { return Find<fw::TextField>(name).Text(); }

void MainWindow::SetFieldText(const std::string& name, const std::string& text) {
  Find<fw::TextField>(name).SetText(text);
}

void MainWindow::SetAreaText(const std::string& name, const std::string& text) {
  Find<fw::TextArea>(name).SetText(text);
}
