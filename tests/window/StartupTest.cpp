// Start-up: the one main window in its first state, the application object, the file type and the menu bar.
#include "App.h"
#include "FileType.h"
#include "FileTypes.h"
#include "Main.h"
#include "WindowTestSupport.h"

namespace windowtest {
namespace {

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseAllWindows();
    auto dialogs = std::make_unique<RecordingDialogs>();
    dialogs_ = dialogs.get();
    fw::SetDialogs(std::move(dialogs));
    ResetModeMarks();
  }
  void TearDown() override {
    CloseAllWindows();
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
  EXPECT_EQ(w.Find<fw::TabPanel>("TheTabs").Value(), 0);

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

}  // namespace
}  // namespace windowtest
