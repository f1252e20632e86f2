// Start-up: the one main window in its first state, the application object, the file type and the menu bar.
#include <QIcon>
#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

#include "App.h"
#include "FileType.h"
#include "FileTypes.h"
#include "Main.h"
#include "QtAccess.h"
#include "Resources.h"
#include "WindowTestSupport.h"
#include "support/ScriptedDialogs.h"

namespace windowtest {
namespace {

// Closing the main window that an earlier start-up made the default view asks for a quit, which stays pending until
// a loop runs: let it run out, so that the loop of the next test starts afresh.
void SettlePendingQuit() {
  QTimer ender;
  ender.setSingleShot(true);
  QObject::connect(&ender, &QTimer::timeout, [] { fw::Quit(0); });
  ender.start(0);
  fw::RuntimeRun();
}

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseAllWindows();
    SettlePendingQuit();
    auto dialogs = std::make_unique<RecordingDialogs>();
    dialogs_ = dialogs.get();
    fw::SetDialogs(std::move(dialogs));
    ResetModeMarks();
  }
  void TearDown() override {
    CloseAllWindows();
    SettlePendingQuit();
    fw::SetDialogs(nullptr);
  }
  RecordingDialogs* dialogs_ = nullptr;
};

TEST_F(StartupTest, LeavesOneMainWindowInItsFirstState) {
  Startup();

  ASSERT_EQ(OpenMainWindows().size(), 1u);
  MainWindow& w = *OpenMainWindows().front();
  EXPECT_EQ(&MainWindow::Instance(), &w);
  EXPECT_EQ(w.Title(), "Quenlet");
  EXPECT_EQ(w.Width(), 702);
  EXPECT_EQ(w.Height(), 299);
  EXPECT_FALSE(w.Resizeable());
  EXPECT_TRUE(w.IsVisible());
  auto& tabs = w.Find<fw::TabPanel>("TheTabs");
  EXPECT_EQ(tabs.Value(), 0);
  EXPECT_EQ(tabs.PageCaption(tabs.Value()), "ID666 Data");
  EXPECT_TRUE(fw::WidgetOf(w.Find<fw::TextField>("SongTitle"))->isVisible());
  EXPECT_FALSE(fw::WidgetOf(w.Find<fw::TextField>("Publisher"))->isVisible());

  for (int i = 0; i < w.ControlCount(); ++i) {
    fw::RectControl& c = w.ControlAt(i);
    SCOPED_TRACE(c.Name());
    if (auto* field = dynamic_cast<fw::TextField*>(&c)) {
      EXPECT_EQ(field->Text(), "");
    }
    if (auto* area = dynamic_cast<fw::TextArea*>(&c)) {
      EXPECT_EQ(area->Text(), "");
    }
    if (auto* box = dynamic_cast<fw::CheckBox*>(&c)) {
      EXPECT_FALSE(box->Value());
    }
    if (auto* button = dynamic_cast<fw::PushButton*>(&c)) {
      EXPECT_EQ(button->Enabled(), c.Name() == "OpenButton" || c.Name() == "QuitButton");
    }
  }
  EXPECT_EQ(w.Find<fw::PopupMenu>("DumpedWith").ListIndex(), 0);
  EXPECT_EQ(w.Find<fw::PopupMenu>("DumpedWith").List(0), "Unknown");
  EXPECT_TRUE(w.ModeStandard()->Checked());
  EXPECT_FALSE(w.ModeAdvanced()->Checked());

  // The application object and the window show the one shared bar.
  ASSERT_NE(dynamic_cast<App*>(fw::CurrentApplication()), nullptr);
  EXPECT_EQ(fw::CurrentApplication()->GetMenuBar(), w.GetMenuBar());
  EXPECT_EQ(w.GetMenuBar(), MenuBar1::Instance());

  // The open dialog offers SPC files by the type's name.
  ASSERT_NE(FileTypes::pSPCFiles, nullptr);
  const fw::FileType* type = fw::FindFileType("SPCFiles");
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->Extensions, "spc");
  EXPECT_EQ(type->MacType, "");
  EXPECT_EQ(type->MacCreator, "");

  // Building ran none of the handlers: no dialog, no beep, no message, no quit.
  EXPECT_TRUE(dialogs_->asked.empty());
  EXPECT_EQ(dialogs_->beeps, 0);
  EXPECT_TRUE(dialogs_->messages.empty());

  // The tag model before any Open.
  EXPECT_EQ(MainWindowProbe::StandardTags(w), std::vector<std::string>(10, ""));
  EXPECT_EQ(MainWindowProbe::ExtendedIDs(w), std::vector<int32_t>{0});
  EXPECT_EQ(MainWindowProbe::ExtendedData(w), std::vector<std::string>{""});
  EXPECT_FALSE(MainWindowProbe::BinaryFormat(w));
  EXPECT_FALSE(MainWindowProbe::ExtendedChannelDisables(w));
  EXPECT_EQ(MainWindowProbe::SPCFile(w), nullptr);
  EXPECT_EQ(MainWindowProbe::SPCStream(w), nullptr);
  EXPECT_EQ(MainWindowProbe::FileOut(w), nullptr);
  EXPECT_EQ(MainWindowProbe::SPCOut(w), nullptr);

  // A second request finds the same window: there is only ever one.
  MakeDefaultView();
  EXPECT_EQ(OpenMainWindows().size(), 1u);
}

// The designs set texts, rows and states, but no handler is bound yet: none runs, so in particular the Quit button's
// does not end the run before it starts.
TEST_F(StartupTest, BuildingTheWindowRunsNoHandler) {
  Startup();
  QTimer probe;
  probe.setSingleShot(true);
  QObject::connect(&probe, &QTimer::timeout, [] { fw::Quit(5); });
  probe.start(0);
  EXPECT_EQ(fw::RuntimeRun(), 5) << "the loop ran until the probe ended it";
  EXPECT_TRUE(dialogs_->asked.empty());
  EXPECT_EQ(dialogs_->beeps, 0);
  EXPECT_TRUE(dialogs_->messages.empty());
}

TEST_F(StartupTest, TheMainWindowsCloseBoxQuitsWithZero) {
  Startup();
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { fw::Quit(99); });
  guard.start(5000);
  QTimer::singleShot(0, [] { fw::WidgetOf(*OpenMainWindows().front())->close(); });
  EXPECT_EQ(fw::RuntimeRun(), 0);
  EXPECT_TRUE(OpenMainWindows().empty());
}

// The About picture is the icon of every window, the title bar's and the task switcher's.
TEST_F(StartupTest, EveryWindowShowsTheProgramsIcon) {
  SetIdentity();
  Startup();
  QImage expected(QString::fromStdString(fw::GetApplicationBundleResources()->Child("icon.png")->AbsolutePath()));
  ASSERT_FALSE(expected.isNull());
  QIcon icon = fw::WidgetOf(MainWindow::Instance())->windowIcon();
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.pixmap(expected.size()).toImage().convertToFormat(expected.format()), expected);
  EXPECT_EQ(fw::ApplicationName(), "Quenlet");
}

// Main runs start-up and the loop inside its catch-all; a quit asked for before the loop ends it at once.
TEST_F(StartupTest, MainRunsStartupAndTheLoopThenReturns) {
  fw::Quit(0);
  Main();
  EXPECT_EQ(OpenMainWindows().size(), 1u);
  EXPECT_TRUE(dialogs_->messages.empty());
}

TEST_F(StartupTest, ReleasingTheModuleObjectsEmptiesThem) {
  InitFileTypes();
  auto bar = MenuBar1::Instance();
  ReleaseModuleObjects();
  EXPECT_EQ(FileTypes::pSPCFiles, nullptr);
  EXPECT_EQ(MenuBar1::implicitInstance, nullptr);
  // A later request builds a new bar.
  EXPECT_NE(MenuBar1::Instance(), bar);
}

// The whole run, from entry to exit, with a start-up that fails; it ends Qt, so it runs in a process of its own,
// and says on its way out what became of the failure, the loop and the module-level objects.
[[noreturn]] void RunWithAFailingStartup() {
  auto log = std::make_shared<testing_support::DialogLog>();
  fw::SetDialogs(std::make_unique<testing_support::ScriptedDialogs>(log));
  // A menu bar whose items were never built: the main window's Open event finds no ModeStandard.
  MenuBar1::implicitInstance = std::make_shared<MenuBar1>();
  static bool looped = false;
  auto* probe = new QTimer;  // never deleted: the run has ended Qt by the time the process ends
  probe->setSingleShot(true);
  QObject::connect(probe, &QTimer::timeout, [] {
    looped = true;
    fw::Quit(9);
  });
  probe->start(0);
  char name[] = "quenlet";
  char* argv[] = {name, nullptr};
  int code = QuenletMain(1, argv);
  std::fprintf(stderr, "code=%d messages=%zu looped=%d files=%d bar=%d\n", code, log->messages.size(),
               looped ? 1 : 0, FileTypes::pSPCFiles ? 1 : 0, MenuBar1::implicitInstance ? 1 : 0);
  if (!log->messages.empty()) std::fprintf(stderr, "message: %s\n", log->messages.front().c_str());
  std::fflush(stderr);
  std::_Exit(0);
}

// A failure during start-up is reported once, the event loop never starts, and the clean-up and exit still run.
TEST(StartupFailureTest, IsReportedOnceAndTheRunStillEnds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(RunWithAFailingStartup(), ::testing::ExitedWithCode(0),
              "code=0 messages=1 looped=0 files=0 bar=0\nmessage: .*ModeStandard");
}

}  // namespace
}  // namespace windowtest
