// The shared menu bar and the window's accessors to its items.
#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <optional>

#include "QtAccess.h"
#include "WindowTestSupport.h"

namespace windowtest {
namespace {

struct ItemRow {
  const char* parent;
  const char* name;
  const char* text;
  std::optional<std::string> shortcut;  // nullopt: never set
};

const ItemRow kTree[] = {
    {"", "FileMenu", "&File", ""},
    {"FileMenu", "FileOpen", "Open...", "Cmd+O"},
    {"FileMenu", "UntitledMenu1", "-", std::nullopt},
    {"FileMenu", "FileRevert", "Revert", "Cmd+R"},
    {"FileMenu", "FileSave", "Save", "Cmd+S"},
    {"", "EditMenu", "&Edit", ""},
    {"EditMenu", "EditUndo", "&Undo", "Cmd+Z"},
    {"EditMenu", "UntitledMenu0", "-", std::nullopt},
    {"EditMenu", "EditCut", "Cu&t", "Cmd+X"},
    {"EditMenu", "EditCopy", "&Copy", "Cmd+C"},
    {"EditMenu", "EditPaste", "&Paste", "Cmd+V"},
    {"EditMenu", "EditClear", "Clear", ""},
    {"", "ModeMenu", "Mode", ""},
    {"ModeMenu", "ModeStandard", "Standard", "Cmd+1"},
    {"ModeMenu", "ModeAdvanced", "Advanced", "Cmd+2"},
    {"ModeMenu", "AppleAbout", "About Quenlet...", ""},
};

TEST(MenuBar1Test, BuildsTheThreeMenusAndTheirItemsInOrder) {
  auto bar = std::make_shared<MenuBar1>();
  bar->Constructor();

  ASSERT_EQ(bar->Count(), 3);
  int menu = -1;
  int child = 0;
  for (const ItemRow& row : kTree) {
    SCOPED_TRACE(row.name);
    std::shared_ptr<fw::MenuItem> item;
    if (std::string(row.parent).empty()) {
      item = bar->Item(++menu);
      child = 0;
    } else {
      item = bar->Item(menu)->Item(child++);
      ASSERT_EQ(bar->Item(menu)->Name(), row.parent);
    }
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Name(), row.name);
    EXPECT_EQ(item->Text(), row.text);
    EXPECT_EQ(item->KeyboardShortcut(), row.shortcut);
    EXPECT_TRUE(item->AutoEnable());
    EXPECT_FALSE(item->Checked());
    EXPECT_EQ(dynamic_cast<fw::AppleMenuItem*>(item.get()) != nullptr, std::string(row.name) == "AppleAbout");
  }
  EXPECT_EQ(bar->Item(0)->Count(), 4);
  EXPECT_EQ(bar->Item(1)->Count(), 6);
  EXPECT_EQ(bar->Item(2)->Count(), 3);
}

TEST(MenuBar1Test, TheImplicitInstanceIsOneObject) { EXPECT_EQ(MenuBar1::Instance(), MenuBar1::Instance()); }

class MenuItemAccessorTest : public WindowTest {};

TEST_F(MenuItemAccessorTest, EachAccessorFindsItsItemInTheWindowsBar) {
  auto bar = W().GetMenuBar();
  const std::pair<std::shared_ptr<fw::MenuItem>, const char*> accessors[] = {
      {W().ModeMenu(), "ModeMenu"},       {W().AppleAbout(), "AppleAbout"},   {W().ModeAdvanced(), "ModeAdvanced"},
      {W().ModeStandard(), "ModeStandard"}, {W().EditMenu(), "EditMenu"},     {W().EditClear(), "EditClear"},
      {W().EditPaste(), "EditPaste"},     {W().EditCopy(), "EditCopy"},       {W().EditCut(), "EditCut"},
      {W().UntitledMenu0(), "UntitledMenu0"}, {W().EditUndo(), "EditUndo"},   {W().FileMenu(), "FileMenu"},
      {W().FileSave(), "FileSave"},       {W().FileRevert(), "FileRevert"},   {W().UntitledMenu1(), "UntitledMenu1"},
      {W().FileOpen(), "FileOpen"},
  };
  for (const auto& [item, name] : accessors) {
    SCOPED_TRACE(name);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item, bar->Lookup(name));
  }
  EXPECT_EQ(W().UntitledMenu2(), nullptr);
}

// "Cmd" is the command key where there is one and Ctrl here; an empty or unset shortcut binds no key.
TEST_F(MenuItemAccessorTest, TheWindowShowsEachShortcutAsACtrlKey) {
  for (const ItemRow& row : kTree) {
    SCOPED_TRACE(row.name);
    QAction* action = fw::ActionOf(W(), row.name);
    ASSERT_NE(action, nullptr);
    if (row.shortcut && !row.shortcut->empty()) {
      ASSERT_EQ(row.shortcut->rfind("Cmd+", 0), 0u);
      EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromStdString("Ctrl+" + row.shortcut->substr(4))));
    } else {
      EXPECT_TRUE(action->shortcut().isEmpty());
    }
  }
}

TEST_F(MenuItemAccessorTest, ShortcutsRunTheWindowsCommands) {
  QMainWindow* widget = fw::WidgetOf(W());
  widget->activateWindow();
  QApplication::setActiveWindow(widget);
  ASSERT_TRUE(QTest::qWaitForWindowActive(widget));

  QTest::keySequence(widget, QKeySequence(Qt::CTRL | Qt::Key_2));
  EXPECT_TRUE(Advanced());
  EXPECT_FALSE(Standard());
  QTest::keySequence(widget, QKeySequence(Qt::CTRL | Qt::Key_1));
  EXPECT_TRUE(Standard());
  EXPECT_FALSE(Advanced());

  D().answers.push_back("");
  QTest::keySequence(widget, QKeySequence(Qt::CTRL | Qt::Key_O));
  EXPECT_EQ(D().asked, std::vector<std::string>{"SPCFiles"});
}

// The model keeps its three menus; the window's bar shows the About item at the end of a Help menu of its own.
TEST_F(MenuItemAccessorTest, TheWindowsBarEndsWithHelpAboutQuenlet) {
  auto model = W().GetMenuBar();
  ASSERT_EQ(model->Count(), 3);
  EXPECT_EQ(model->Item(0)->Count() + model->Item(1)->Count() + model->Item(2)->Count(), 13);
  EXPECT_EQ(model->Item(2)->Item(2)->Name(), "AppleAbout");

  QList<QAction*> menus = fw::MenuBarOf(W())->actions();
  ASSERT_EQ(menus.size(), 4);
  const char* const titles[] = {"&File", "&Edit", "Mode", "&Help"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(menus[i]->text(), titles[i]);
  EXPECT_FALSE(menus[2]->menu()->actions().contains(fw::ActionOf(W(), "AppleAbout")));
  ASSERT_EQ(menus[3]->menu()->actions().size(), 1);
  QAction* about = menus[3]->menu()->actions()[0];
  EXPECT_EQ(about, fw::ActionOf(W(), "AppleAbout"));
  EXPECT_EQ(about->text(), "About Quenlet...");
  EXPECT_TRUE(about->isEnabled());
  about->trigger();
  bool shown = false;
  for (fw::Window* window : fw::OpenWindows()) shown = shown || window->Title() == "About Quenlet";
  EXPECT_TRUE(shown);
}

TEST_F(MenuItemAccessorTest, AWindowWithoutItsBarRaisesNilObject) {
  auto bar = W().GetMenuBar();
  W().SetMenuBar(nullptr);
  EXPECT_THROW(W().ModeStandard(), fw::NilObjectException);
  W().SetMenuBar(std::make_shared<fw::MenuBar>());
  EXPECT_EQ(W().ModeStandard(), nullptr);
  // The validators and switches need the marks: a missing item is a nil-object failure, not a guess.
  EXPECT_THROW(W().ModeAdvanced_Action(), fw::NilObjectException);
  W().SetMenuBar(bar);
}

}  // namespace
}  // namespace windowtest
