#include "Main.h"

#include <exception>
#include <memory>

#include "App.h"
#include "Application.h"
#include "FileTypes.h"
#include "MainWindow.h"
#include "MenuBar1.h"
#include "Resources.h"

void InitFileTypes() { FileTypes::Initialize(); }

void NewAppInstance() {
  auto app = std::make_unique<App>();
  app->SetMenuBar(MenuBar1::Instance());
  fw::RegisterAppObject(std::move(app));
}

void ApplicationAddMenuHandlers() {}

void MakeDefaultView() { fw::SetDefaultView(MainWindow::Instance()); }

void Startup() {
  InitFileTypes();
  NewAppInstance();
  ApplicationAddMenuHandlers();
  MakeDefaultView();
}

void Main() {
  try {
    Startup();
    fw::RuntimeRun();
  } catch (const std::exception& failure) {
    fw::UnhandledException(failure);
  } catch (...) {
    fw::UnhandledException();
  }
}

void ReleaseModuleObjects() {
  FileTypes::pSPCFilesExit();
  MenuBar1::ImplicitInstanceExit();
}

void SetIdentity() {
  // The About picture is the program's icon too; it is read only when a window first shows it.
  auto resources = fw::GetApplicationBundleResources();
  fw::SetApplicationIdentity("Quenlet", resources ? resources->Child("icon.png") : nullptr);
}

int QuenletMain(int argc, char** argv) {
  fw::RuntimeInit(argc, argv);
  SetIdentity();
  Main();
  ReleaseModuleObjects();
  return fw::RuntimeExit();
}
