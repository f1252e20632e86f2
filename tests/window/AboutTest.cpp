// The About window: one at a time, its texts, and the picture loaded once.
#include <QMainWindow>
#include <QTest>
#include <QWindow>

#include "About.h"
#include "Picture.h"
#include "Resources.h"
#include "WindowTestSupport.h"

namespace windowtest {
namespace {

std::vector<About*> OpenAboutWindows() {
  std::vector<About*> found;
  for (fw::Window* window : fw::OpenWindows())
    if (auto* about = dynamic_cast<About*>(window)) found.push_back(about);
  return found;
}

class AboutWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // The picture the build lays out beside the test program.
    auto resources = fw::GetApplicationBundleResources();
    ASSERT_NE(resources, nullptr);
    icon_ = testing_support::ReadFile(resources->Child("icon.png")->AbsolutePath());
    ASSERT_FALSE(icon_.empty());
    resources_ = Scratch("Resources");
    std::filesystem::create_directories(resources_);
    fw::SetBundleResourcesForTesting(resources_);
    pic.reset();
  }
  void TearDown() override {
    fw::SetBundleResourcesForTesting("");
    pic.reset();
    WindowTest::TearDown();
  }
  void PutIcon(const std::string& bytes) { testing_support::WriteFile(resources_ + "/icon.png", bytes); }
  About& ShowAbout() {
    EXPECT_TRUE(W().RunMenuCommand("AppleAbout"));
    auto open = OpenAboutWindows();
    EXPECT_EQ(open.size(), 1u);
    return *open.front();
  }
  void CloseAbout() {
    for (About* about : OpenAboutWindows()) about->Close();
    for (int i = 0; i < 3; ++i) {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      QCoreApplication::processEvents();
    }
    EXPECT_TRUE(OpenAboutWindows().empty());
  }

  std::string icon_;
  std::string resources_;
};

TEST_F(AboutWindowTest, ShowsTheNameVersionDescriptionAndPicture) {
  PutIcon(icon_);
  About& about = ShowAbout();
  EXPECT_EQ(about.Title(), "About Quenlet");
  EXPECT_EQ(about.Width(), 340);
  EXPECT_EQ(about.Height(), 283);
  EXPECT_FALSE(about.Resizeable());
  EXPECT_TRUE(about.IsVisible());
  EXPECT_EQ(about.GetMenuBar(), nullptr);
  ASSERT_EQ(about.ControlCount(), 4);

  auto& heading = about.Find<fw::StaticText>("StaticText1");
  EXPECT_EQ(heading.Text(), "Quenlet");
  EXPECT_EQ(heading.TextSize(), 24);
  EXPECT_EQ(heading.TextAlign(), 1);

  auto& version = about.Find<fw::StaticText>("StaticText2");
  const std::string lines = version.Text();
  EXPECT_EQ(lines.rfind("Version 1.1.1\r", 0), 0u);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\r'), 2);
  EXPECT_NE(lines.back(), '\r');
  EXPECT_EQ(version.TextSize(), 12);
  EXPECT_EQ(version.TextAlign(), 1);

  auto& description = about.Find<fw::StaticText>("StaticText3");
  EXPECT_EQ(description.Text(),
            "Edit the ID666 tags for your SPC files!\rSupports the Extended ID666 tags.\r\rMade for SPC collections.");
  EXPECT_EQ(description.Text().size(), 100u);
  EXPECT_EQ(description.TextSize(), 12);
  EXPECT_EQ(description.TextAlign(), 0);

  auto& canvas = about.Find<fw::Canvas>("Canvas1");
  EXPECT_EQ(canvas.Left(), 20);
  EXPECT_EQ(canvas.Top(), 65);
  EXPECT_EQ(canvas.Width(), 128);
  EXPECT_EQ(canvas.Height(), 128);
  ASSERT_NE(canvas.Backdrop(), nullptr);
  EXPECT_EQ(canvas.Backdrop(), pic);
  EXPECT_EQ(canvas.Backdrop()->Width(), 128);
  EXPECT_EQ(canvas.Backdrop()->Transparent(), 1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(about.ControlAt(i).TabIndex(), i);
  // Every line can be read: nothing is wrapped away below the bottom of its box.
  for (const char* name : {"StaticText1", "StaticText2", "StaticText3"}) {
    EXPECT_TRUE(TextFitsItsBox(about.Find<fw::StaticText>(name)));
  }
}

// Wherever the main window stands, the About window opens centred over it and stays in front of it; Escape closes
// the About window and nothing else.
TEST_F(AboutWindowTest, OpensOverTheMainWindowAndEscapeClosesIt) {
  QMainWindow* main = fw::WidgetOf(W());
  for (const QPoint& at : {QPoint(90, 250), QPoint(0, 0)}) {
    SCOPED_TRACE(at.x());
    main->move(at);
    About& about = ShowAbout();
    QMainWindow* shown = fw::WidgetOf(about);
    ASSERT_NE(shown->windowHandle(), nullptr);
    EXPECT_EQ(shown->windowHandle()->transientParent(), main->windowHandle());
    EXPECT_LE((shown->geometry().center() - main->geometry().center()).manhattanLength(), 2)
        << shown->geometry().center().x() << "," << shown->geometry().center().y();

    QApplication::setActiveWindow(shown);
    ASSERT_TRUE(QTest::qWaitForWindowActive(shown));
    QTest::keyClick(shown, Qt::Key_Escape);
    for (int i = 0; i < 3; ++i) {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      QCoreApplication::processEvents();
    }
    EXPECT_TRUE(OpenAboutWindows().empty());
    EXPECT_TRUE(W().IsOpen());
  }
  // Escape in the main window closes nothing.
  QApplication::setActiveWindow(main);
  ASSERT_TRUE(QTest::qWaitForWindowActive(main));
  QTest::keyClick(main, Qt::Key_Escape);
  QCoreApplication::processEvents();
  EXPECT_TRUE(W().IsOpen());
}

TEST_F(AboutWindowTest, ThereIsOneAtATimeAndTheNextOneReusesThePicture) {
  PutIcon(icon_);
  About& first = ShowAbout();
  first.SetTitle("the first one");
  auto picture = first.Find<fw::Canvas>("Canvas1").Backdrop();
  ASSERT_NE(picture, nullptr);

  About& again = ShowAbout();
  EXPECT_EQ(&again, &first);
  EXPECT_EQ(again.Title(), "the first one");

  CloseAbout();
  // The file is not read again: the cached picture serves the new window.
  std::filesystem::remove(resources_ + "/icon.png");
  About& second = ShowAbout();
  EXPECT_EQ(second.Title(), "About Quenlet");
  EXPECT_EQ(second.Find<fw::Canvas>("Canvas1").Backdrop(), picture);
}

TEST_F(AboutWindowTest, AnUnreadablePictureLeavesTheCanvasEmptyAndIsTriedAgain) {
  PutIcon("this is no picture");
  About& first = ShowAbout();
  EXPECT_EQ(first.Find<fw::Canvas>("Canvas1").Backdrop(), nullptr);
  EXPECT_EQ(first.Find<fw::StaticText>("StaticText1").Text(), "Quenlet");
  EXPECT_EQ(pic, nullptr);
  EXPECT_TRUE(D().messages.empty());
  CloseAbout();

  PutIcon(icon_);
  About& second = ShowAbout();
  EXPECT_NE(second.Find<fw::Canvas>("Canvas1").Backdrop(), nullptr);
  EXPECT_EQ(second.Find<fw::Canvas>("Canvas1").Backdrop(), pic);
}

TEST_F(AboutWindowTest, AMissingPictureLeavesTheCanvasEmpty) {
  About& about = ShowAbout();
  EXPECT_EQ(about.Find<fw::Canvas>("Canvas1").Backdrop(), nullptr);
  EXPECT_TRUE(D().messages.empty());
}

}  // namespace
}  // namespace windowtest
