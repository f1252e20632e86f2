#include "Main.h"

#include <exception>
#include <memory>

#include "App.h"
#include "Application.h"
#include "FileTypes.h"
#include "MainWindow.h"
#include "MenuBar1.h"

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

int QuenletMain(int argc, char** argv) {
  fw::RuntimeInit(argc, argv);
  Main();
  ReleaseModuleObjects();
  return fw::RuntimeExit();
}
