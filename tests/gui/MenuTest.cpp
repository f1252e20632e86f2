#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

#include "GuiTestSupport.h"

namespace guitest {
namespace {

std::shared_ptr<fw::MenuItem> Item(const std::string& name, const std::string& text,
                                   const char* shortcut = nullptr, bool appleItem = false) {
  std::shared_ptr<fw::MenuItem> item =
      appleItem ? std::make_shared<fw::AppleMenuItem>() : std::make_shared<fw::MenuItem>();
  item->SetName(name);
  item->SetAutoEnable(true);
  item->SetText(text);
  if (shortcut != nullptr) item->SetKeyboardShortcut(shortcut);
  return item;
}

// A small menu bar built as the program builds its own.
std::shared_ptr<fw::MenuBar> SmallBar() {
  auto bar = std::make_shared<fw::MenuBar>();
  bar->Append(Item("FileMenu", "&File", ""));
  bar->Child("FileMenu")->Append(Item("FileOpen", "Open...", "Cmd+O"));
  bar->Child("FileMenu")->Append(Item("FileLine", "-"));
  bar->Child("FileMenu")->Append(Item("FileSave", "Save", "Cmd+S"));
  bar->Append(Item("EditMenu", "&Edit", ""));
  bar->Child("EditMenu")->Append(Item("EditCopy", "&Copy", "Cmd+C"));
  bar->Child("EditMenu")->Append(Item("EditClear", "Clear", ""));
  bar->Append(Item("ModeMenu", "Mode", ""));
  bar->Child("ModeMenu")->Append(Item("ModeStandard", "Standard", "Cmd+1"));
  bar->Child("ModeMenu")->Append(Item("AppleAbout", "About...", "", true));
  return bar;
}

class MenuTest : public GuiTest {
 protected:
  // A window with the small bar, a field, a button, and handlers for Open and Save; Save is enabled only while
  // saveAllowed holds, as the program's own EnableMenuItems decides.
  TestWindow& Make() {
    bar_ = SmallBar();
    TestWindow& window = Build<TestWindow>([this](TestWindow& w) {
      w.controls_ = {Field("F"), Button("Allow", "Allow")};
      w.bar = bar_;
      w.menuHandlers = {{"FileOpen", [this] { ran_.push_back("FileOpen"); return false; }},
                        {"FileSave", [this] { ran_.push_back("FileSave"); return false; }}};
      w.onEnable = [this, &w] {
        enableRuns_.push_back(ran_.size());
        w.GetMenuBar()->Lookup("FileSave")->SetEnabled(saveAllowed_);
      };
    });
    window.Find<fw::PushButton>("Allow").AddEventHandler("Action", [this] { saveAllowed_ = true; });
    return window;
  }

  QAction& Action(const fw::Window& window, const std::string& name) {
    QAction* action = fw::ActionOf(window, name);
    EXPECT_NE(action, nullptr) << name;
    return *action;
  }

  std::shared_ptr<fw::MenuBar> bar_;
  std::vector<std::string> ran_;
  std::vector<size_t> enableRuns_;
  bool saveAllowed_ = false;
};

TEST_F(MenuTest, MenuBarShowsTheModel) {
  TestWindow& window = Make();
  QMenuBar* bar = fw::MenuBarOf(window);
  ASSERT_NE(bar, nullptr);
  // The model's three menus, then the Help menu that holds the About item where there is no application menu.
  ASSERT_EQ(bar->actions().size(), 4);
  EXPECT_EQ(bar->actions()[0]->text(), "&File");
  ASSERT_NE(bar->actions()[2]->menu(), nullptr);
  EXPECT_EQ(bar->actions()[2]->menu()->actions(), QList<QAction*>{&Action(window, "ModeStandard")});
  EXPECT_EQ(bar->actions()[3]->text(), "&Help");
  ASSERT_NE(bar->actions()[3]->menu(), nullptr);
  EXPECT_EQ(bar->actions()[3]->menu()->actions(), QList<QAction*>{&Action(window, "AppleAbout")});
  EXPECT_EQ(Action(window, "AppleAbout").text(), "About...");
  ASSERT_NE(bar->actions()[0]->menu(), nullptr);
  QList<QAction*> file = bar->actions()[0]->menu()->actions();
  ASSERT_EQ(file.size(), 3);
  EXPECT_EQ(file[0], &Action(window, "FileOpen"));
  EXPECT_TRUE(file[1]->isSeparator());
  EXPECT_EQ(file[2], &Action(window, "FileSave"));

  EXPECT_EQ(Action(window, "FileOpen").text(), "Open...");
  EXPECT_EQ(Action(window, "FileOpen").shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(Action(window, "ModeStandard").shortcut(), QKeySequence("Ctrl+1"));
  EXPECT_TRUE(Action(window, "EditClear").shortcut().isEmpty());
  EXPECT_EQ(Action(window, "AppleAbout").menuRole(), QAction::AboutRole);
  EXPECT_EQ(Action(window, "FileOpen").menuRole(), QAction::NoRole);
  EXPECT_FALSE(Action(window, "ModeStandard").isChecked());
}

TEST_F(MenuTest, ModelChangesShowAtOnceInEveryWindow) {
  TestWindow& first = Make();
  TestWindow& second = Build<TestWindow>([this](TestWindow& w) { w.bar = bar_; });
  auto standard = bar_->Lookup("ModeStandard");

  standard->SetChecked(true);
  standard->SetText("&Standard units");
  standard->SetKeyboardShortcut("Cmd+Shift+1");
  for (const fw::Window* window : {static_cast<fw::Window*>(&first), static_cast<fw::Window*>(&second)}) {
    QAction& action = Action(*window, "ModeStandard");
    EXPECT_TRUE(action.isCheckable());
    EXPECT_TRUE(action.isChecked());
    EXPECT_EQ(action.text(), "&Standard units");
    EXPECT_EQ(action.shortcut(), QKeySequence("Ctrl+Shift+1"));
  }
  standard->SetChecked(false);
  EXPECT_FALSE(Action(second, "ModeStandard").isChecked());

  // An item that does not enable itself keeps what the program sets.
  standard->SetAutoEnable(false);
  standard->SetEnabled(false);
  EXPECT_FALSE(Action(first, "ModeStandard").isEnabled());

  bar_->Child("ModeMenu")->Append(Item("ModeAdvanced", "Advanced", "Cmd+2"));
  QAction& added = Action(second, "ModeAdvanced");
  EXPECT_EQ(added.text(), "Advanced");
  EXPECT_EQ(added.shortcut(), QKeySequence("Ctrl+2"));
  EXPECT_TRUE(fw::MenuBarOf(second)->actions()[2]->menu()->actions().contains(&added));
  // Rebuilt, the bar still ends with the Help menu, whose About item follows the model like any other.
  QList<QAction*> menus = fw::MenuBarOf(second)->actions();
  ASSERT_EQ(menus.size(), 4);
  ASSERT_NE(menus[3]->menu(), nullptr);
  EXPECT_EQ(menus[3]->menu()->actions(), QList<QAction*>{&Action(second, "AppleAbout")});
  auto about = bar_->Lookup("AppleAbout");
  about->SetText("About Small...");
  about->SetAutoEnable(false);
  about->SetEnabled(false);
  EXPECT_EQ(Action(second, "AppleAbout").text(), "About Small...");
  EXPECT_FALSE(Action(first, "AppleAbout").isEnabled());
}

TEST_F(MenuTest, EnableMenuItemsFollowsTheHandlersThenTheProgram) {
  TestWindow& window = Make();
  // After construction: the handled items are enabled, an unhandled one is not, and the program had the last word.
  EXPECT_TRUE(bar_->Lookup("FileOpen")->Enabled());
  EXPECT_FALSE(bar_->Lookup("FileSave")->Enabled());
  EXPECT_FALSE(bar_->Lookup("ModeStandard")->Enabled());
  EXPECT_TRUE(bar_->Lookup("FileMenu")->Enabled()) << "a menu stays enabled";
  EXPECT_FALSE(Action(window, "ModeStandard").isEnabled());
  EXPECT_FALSE(Action(window, "FileSave").isEnabled());

  // Any event brings the actions up to date, before any menu is shown.
  window.Find<fw::PushButton>("Allow").Push();
  EXPECT_TRUE(Action(window, "FileSave").isEnabled());
}

TEST_F(MenuTest, ShortcutOfADisabledItemRunsNothing) {
  TestWindow& window = Make();
  Activate(window);
  QTest::keySequence(fw::WidgetOf(window), QKeySequence("Ctrl+S"));
  EXPECT_TRUE(ran_.empty());

  QTest::mouseClick(fw::WidgetOf(window.Find<fw::PushButton>("Allow")), Qt::LeftButton);
  enableRuns_.clear();
  QTest::keySequence(fw::WidgetOf(window), QKeySequence("Ctrl+S"));
  ASSERT_EQ(ran_, std::vector<std::string>{"FileSave"});
  ASSERT_FALSE(enableRuns_.empty());
  EXPECT_EQ(enableRuns_.front(), 0u) << "the items are enabled before the command runs";
}

TEST_F(MenuTest, ShortcutRunsOnlyIfItsItemIsEnabledAtThatMoment) {
  TestWindow& window = Make();
  Activate(window);
  window.Find<fw::PushButton>("Allow").Push();
  ASSERT_TRUE(Action(window, "FileSave").isEnabled());
  // The program's state changes behind the menu's back; the enabling at the key press sees it.
  saveAllowed_ = false;
  QTest::keySequence(fw::WidgetOf(window), QKeySequence("Ctrl+S"));
  EXPECT_TRUE(ran_.empty());
  EXPECT_FALSE(Action(window, "FileSave").isEnabled());

  QTest::keySequence(fw::WidgetOf(window), QKeySequence("Ctrl+O"));
  EXPECT_EQ(ran_, std::vector<std::string>{"FileOpen"});
}

TEST_F(MenuTest, ShortcutOfAnItemThatIsNowEnabledRuns) {
  TestWindow& window = Make();
  Activate(window);
  ASSERT_FALSE(Action(window, "FileSave").isEnabled());
  // The program's state allows Save now, though no event has enabled the items since: the key press does.
  saveAllowed_ = true;
  for (QWidget* target : {static_cast<QWidget*>(fw::WidgetOf(window)), fw::WidgetOf(window.Find<fw::TextField>("F"))}) {
    ran_.clear();
    Focus(window.Find<fw::TextField>("F"));
    window.GetMenuBar()->Lookup("FileSave")->SetEnabled(false);
    ASSERT_FALSE(Action(window, "FileSave").isEnabled());
    QTest::keySequence(target, QKeySequence("Ctrl+S"));
    EXPECT_EQ(ran_, std::vector<std::string>{"FileSave"});
  }
}

TEST_F(MenuTest, ChoosingACheckedItemKeepsTheModelsMark) {
  TestWindow& window = Make();
  window.AddMenuHandler("ModeStandard", [] { return false; });
  bar_->Lookup("ModeStandard")->SetChecked(true);
  Activate(window);
  QTest::keySequence(fw::WidgetOf(window), QKeySequence("Ctrl+1"));
  EXPECT_TRUE(bar_->Lookup("ModeStandard")->Checked());
  EXPECT_TRUE(Action(window, "ModeStandard").isChecked()) << "Qt's own toggle must not win over the model";
}

TEST_F(MenuTest, OpeningAMenuEnablesItsItems) {
  TestWindow& window = Make();
  Activate(window);
  saveAllowed_ = true;
  QMenuBar* bar = fw::MenuBarOf(window);
  QAction* fileMenu = bar->actions()[0];
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(fileMenu).center());
  EXPECT_TRUE(fileMenu->menu()->isVisible());
  EXPECT_TRUE(Action(window, "FileSave").isEnabled());
  fileMenu->menu()->close();
}

TEST_F(MenuTest, AFailureWhileEnablingIsReportedAndTheMenuStillOpens) {
  TestWindow& window = Make();
  Activate(window);
  window.onEnable = [] { throw fw::NilObjectException("The menu bar has no item named \"FileSave\"."); };
  QMenuBar* bar = fw::MenuBarOf(window);
  QAction* fileMenu = bar->actions()[0];
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(fileMenu).center());
  EXPECT_TRUE(fileMenu->menu()->isVisible());
  ASSERT_FALSE(dialogs_.Messages().empty());
  EXPECT_EQ(dialogs_.Messages().back(), "The menu bar has no item named \"FileSave\".");
  fileMenu->menu()->close();
  EXPECT_TRUE(window.IsOpen());
}

TEST_F(MenuTest, HandlerFailureIsReportedAndTheWindowGoesOn) {
  bar_ = SmallBar();
  TestWindow& window = Build<TestWindow>([this](TestWindow& w) {
    w.bar = bar_;
    w.menuHandlers = {{"FileOpen", []() -> bool { throw fw::IOException(5, "The file could not be read."); }}};
  });
  EXPECT_TRUE(window.RunMenuCommand("FileOpen"));
  EXPECT_EQ(dialogs_.Messages(), std::vector<std::string>{"The file could not be read."});
  EXPECT_TRUE(window.IsOpen());
  EXPECT_TRUE(window.RunMenuCommand("FileOpen"));
  EXPECT_EQ(dialogs_.Messages().size(), 2u);
}

TEST_F(MenuTest, EditItemsActOnTheFocusedTextField) {
  TestWindow& window = Make();
  Activate(window);
  auto& field = window.Find<fw::TextField>("F");
  int changes = 0;
  field.AddEventHandler("TextChange", [&] { ++changes; });
  field.SetText("hello");

  Focus(window.Find<fw::PushButton>("Allow"));
  window.EnableMenuItems();
  EXPECT_FALSE(bar_->Lookup("EditClear")->Enabled()) << "nothing to clear without a focused text field";
  EXPECT_FALSE(window.RunMenuCommand("EditClear"));

  Focus(field);
  qobject_cast<QLineEdit*>(fw::WidgetOf(field))->setSelection(1, 3);
  EXPECT_TRUE(bar_->Lookup("EditClear")->Enabled()) << "a focus change enables the items again";
  EXPECT_TRUE(window.RunMenuCommand("EditClear"));
  EXPECT_EQ(field.Text(), "ho");
  EXPECT_EQ(changes, 2);

  qobject_cast<QLineEdit*>(fw::WidgetOf(field))->selectAll();
  EXPECT_TRUE(window.RunMenuCommand("EditCopy"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "ho");
}

}  // namespace
}  // namespace guitest
