// The six menu items that the main window handles, and their enabled states.
#include "About.h"
#include "MainWindow.h"

void MainWindow::AddMenuHandlers(fw::Window& window) {
  auto* self = dynamic_cast<MainWindow*>(&window);
  if (!self) throw fw::NilObjectException("The menu handlers belong to a main window.");
  self->AddMenuHandler("AppleAbout", [self] { return self->AppleAbout_Action(); });
  self->AddMenuHandler("FileOpen", [self] { return self->FileOpen_Action(); });
  self->AddMenuHandler("FileRevert", [self] { return self->FileRevert_Action(); });
  self->AddMenuHandler("FileSave", [self] { return self->FileSave_Action(); });
  self->AddMenuHandler("ModeStandard", [self] { return self->ModeStandard_Action(); });
  self->AddMenuHandler("ModeAdvanced", [self] { return self->ModeAdvanced_Action(); });
}

namespace {

void Enable(const std::shared_ptr<fw::MenuItem>& item, const char* name, bool value) {
  if (!item) throw fw::NilObjectException(std::string("The menu bar has no item named \"") + name + "\".");
  item->SetEnabled(value);
}

}  // namespace

// Save needs an opened file: its item follows the Save button, which the first successful Open enables.
void MainWindow::Event_EnableMenuItems() {
  Enable(AppleAbout(), "AppleAbout", true);
  Enable(FileOpen(), "FileOpen", true);
  Enable(FileRevert(), "FileRevert", true);
  Enable(FileSave(), "FileSave", Find<fw::PushButton>("SaveButton").Enabled());
  Enable(ModeStandard(), "ModeStandard", true);
  Enable(ModeAdvanced(), "ModeAdvanced", true);
}

bool MainWindow::AppleAbout_Action() {
  About::Instance().Show();
  return false;
}

bool MainWindow::FileOpen_Action() {
  OpenSPC();
  return false;
}

bool MainWindow::FileRevert_Action() {
  RevertSPC();
  return false;
}

bool MainWindow::FileSave_Action() {
  SaveSPC();
  return false;
}
