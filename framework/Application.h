// The application: runtime, event loop, quitting, and the report of unhandled failures.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace fw {

class FolderItem;
class MenuBar;
class Window;

class Application {
 public:
  Application();
  virtual ~Application();
  std::shared_ptr<MenuBar> GetMenuBar() const { return menuBar_; }
  void SetMenuBar(std::shared_ptr<MenuBar> bar) { menuBar_ = std::move(bar); }

 private:
  std::shared_ptr<MenuBar> menuBar_;
};

// Starts the runtime (Qt's application object). Qt takes its own arguments, such as -platform, from argv.
void RuntimeInit(int& argc, char** argv);
// The program's name and icon, as a bundle's metadata gives them: message boxes are titled with the name, and the
// picture in the file is every window's icon (read when a window first shows it). nullptr keeps Qt's icon.
void SetApplicationIdentity(const std::string& name, const std::shared_ptr<FolderItem>& iconFile);
// The name given to SetApplicationIdentity; "" before.
std::string ApplicationName();
// Makes the object the application object; the framework keeps it until RuntimeExit.
void RegisterAppObject(std::unique_ptr<Application> app);
Application* CurrentApplication();
// Closing this window quits, as after Quit(0).
void SetDefaultView(Window& window);
// Runs the event loop until Quit; returns the code given to Quit.
int RuntimeRun();
// Ends the event loop; RuntimeRun then returns the code.
void Quit(int code = 0);
// Destroys the windows and the application object and ends the runtime; returns the exit code of the run.
int RuntimeExit();

// The report of an unhandled failure: a message box saying what failed. The event loop goes on.
void UnhandledException(const std::exception& failure);
void UnhandledException();
// Runs a handler so that no failure leaves it: whatever it lets through goes to UnhandledException.
void Dispatch(const std::function<void()>& handler);

}  // namespace fw
