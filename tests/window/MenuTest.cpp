// The six menu handlers, the enabled states, and the commands reached through the menus' actions and shortcuts.
#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>

#include <functional>
#include <memory>

#include "About.h"
#include "QtAccess.h"
#include "WindowTestSupport.h"

namespace windowtest {
namespace {

const char* const kHandled[] = {"AppleAbout", "FileOpen", "FileRevert", "FileSave", "ModeStandard", "ModeAdvanced"};

class MenuHandlerTest : public WindowTest {
 protected:
  std::map<std::string, bool> EnabledStates() {
    W().EnableMenuItems();
    std::map<std::string, bool> states;
    for (const char* name : kHandled) states[name] = W().GetMenuBar()->Lookup(name)->Enabled();
    return states;
  }
  bool SaveEnabled() { return EnabledStates()["FileSave"]; }
  // Presses the keys in the active main window, as the user does.
  void Press(Qt::Key key) {
    QMainWindow* window = fw::WidgetOf(W());
    QTest::keyClick(window, key, Qt::ControlModifier);
  }
  void Activate() {
    QMainWindow* window = fw::WidgetOf(W());
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  }
  bool AboutIsOpen() {
    for (fw::Window* window : fw::OpenWindows())
      if (dynamic_cast<About*>(window)) return true;
    return false;
  }
};

TEST_F(MenuHandlerTest, EveryHandlerReturnsFalse) {
  D().answers.push_back("");
  EXPECT_FALSE(W().AppleAbout_Action());
  EXPECT_FALSE(W().FileOpen_Action());
  EXPECT_FALSE(W().FileRevert_Action());
  EXPECT_FALSE(W().FileSave_Action());
  EXPECT_FALSE(W().ModeAdvanced_Action());
  EXPECT_FALSE(W().ModeStandard_Action());
  EXPECT_FALSE(W().ModeStandard_Action());
  EXPECT_TRUE(Standard());

  // The mode already in force, and the commands with a file open.
  const std::string path = WriteSpc("a.spc", spctest::SpcBuilder());
  D().answers.push_back(path);
  EXPECT_FALSE(W().FileOpen_Action());
  EXPECT_FALSE(W().ModeAdvanced_Action());
  EXPECT_FALSE(W().ModeAdvanced_Action());
  EXPECT_FALSE(W().FileSave_Action());
  EXPECT_FALSE(W().FileRevert_Action());
  EXPECT_TRUE(Advanced());
  EXPECT_TRUE(D().messages.empty());
}

// The handlers are registered on the window that is built, which must be a main window.
TEST_F(MenuHandlerTest, HandlersBelongToAMainWindow) {
  fw::Window other;
  EXPECT_THROW(W().AddMenuHandlers(other), fw::NilObjectException);
}

TEST_F(MenuHandlerTest, SaveIsEnabledOnlyOnceAnOpenHasSucceeded) {
  const std::map<std::string, bool> before = {{"AppleAbout", true}, {"FileOpen", true},     {"FileRevert", true},
                                              {"FileSave", false},  {"ModeStandard", true}, {"ModeAdvanced", true}};
  EXPECT_EQ(EnabledStates(), before);
  EXPECT_FALSE(Button("SaveButton").Enabled());
  // Each of the six is registered by its item's name: the command reaches a handler where the item is enabled.
  for (const char* name : kHandled) EXPECT_EQ(W().RunMenuCommand(name), std::string(name) != "FileSave") << name;

  Open("");
  EXPECT_FALSE(SaveEnabled());
  const std::string bad = Scratch("bad.spc");
  testing_support::WriteFile(bad, "no");
  Open(bad);
  EXPECT_FALSE(SaveEnabled());
  EXPECT_FALSE(Button("SaveButton").Enabled());

  Open(WriteSpc("a.spc", spctest::SpcBuilder()));
  EXPECT_TRUE(SaveEnabled());
  EXPECT_TRUE(Button("SaveButton").Enabled());
  // The item follows the button, whatever enabled it.
  Button("SaveButton").SetEnabled(false);
  EXPECT_FALSE(SaveEnabled());
  Button("SaveButton").SetEnabled(true);
  auto after = before;
  after["FileSave"] = true;
  EXPECT_EQ(EnabledStates(), after);
}

TEST_F(MenuHandlerTest, TheItemsCarryTheirShortcuts) {
  const std::pair<const char*, const char*> shortcuts[] = {{"FileOpen", "Ctrl+O"},     {"FileRevert", "Ctrl+R"},
                                                           {"FileSave", "Ctrl+S"},     {"ModeStandard", "Ctrl+1"},
                                                           {"ModeAdvanced", "Ctrl+2"}, {"AppleAbout", ""}};
  for (const auto& [name, keys] : shortcuts) {
    QAction* action = fw::ActionOf(W(), name);
    ASSERT_NE(action, nullptr) << name;
    EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(keys))) << name;
  }
}

TEST_F(MenuHandlerTest, ChoosingTheItemsRunsTheirCommands) {
  fw::ActionOf(W(), "AppleAbout")->trigger();
  EXPECT_TRUE(AboutIsOpen());

  D().answers.push_back("");
  fw::ActionOf(W(), "FileOpen")->trigger();
  EXPECT_EQ(D().asked.size(), 1u);

  const std::string path = WriteSpc("a.spc", spctest::SpcBuilder().Text({.song = "Menu song"}));
  D().answers.push_back(path);
  fw::ActionOf(W(), "FileOpen")->trigger();
  EXPECT_EQ(Text("SongTitle"), "Menu song");

  Field("SongTitle").SetText("Saved from the menu");
  fw::ActionOf(W(), "FileSave")->trigger();
  EXPECT_EQ(testing_support::ReadFile(path).substr(0x2E, 19), "Saved from the menu");

  Field("SongTitle").SetText("edited");
  fw::ActionOf(W(), "FileRevert")->trigger();
  EXPECT_EQ(Text("SongTitle"), "Menu song");

  fw::ActionOf(W(), "ModeAdvanced")->trigger();
  EXPECT_TRUE(Advanced());
  EXPECT_FALSE(Standard());
  fw::ActionOf(W(), "ModeStandard")->trigger();
  EXPECT_TRUE(Standard());
  EXPECT_FALSE(Advanced());
  EXPECT_TRUE(D().messages.empty());
}

TEST_F(MenuHandlerTest, ShortcutsRunTheCommandsThatAreEnabled) {
  Activate();
  // Counts the Saves that reach the handler, and runs it.
  int saves = 0;
  W().AddMenuHandler("FileSave", [this, &saves] {
    ++saves;
    return W().FileSave_Action();
  });
  Field("SongTitle").SetText("typed");
  Press(Qt::Key_S);  // no file yet: Save is disabled
  EXPECT_EQ(saves, 0);
  EXPECT_FALSE(fw::ActionOf(W(), "FileSave")->isEnabled());
  EXPECT_EQ(Text("SongTitle"), "typed");
  Press(Qt::Key_R);
  EXPECT_EQ(Text("SongTitle"), "");

  Press(Qt::Key_2);
  EXPECT_TRUE(Advanced());
  Press(Qt::Key_1);
  EXPECT_TRUE(Standard());

  const std::string path = WriteSpc("a.spc", spctest::SpcBuilder().Text({.song = "Keyed"}));
  D().answers.push_back(path);
  Press(Qt::Key_O);
  EXPECT_EQ(D().asked.size(), 1u);
  EXPECT_EQ(Text("SongTitle"), "Keyed");
  Field("SongTitle").SetText("Saved by keys");
  Press(Qt::Key_S);
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(testing_support::ReadFile(path).substr(0x2E, 13), "Saved by keys");
  EXPECT_TRUE(D().messages.empty());

  // A failure inside a command is reported and the program goes on.
  std::filesystem::remove(path);
  Press(Qt::Key_S);
  ASSERT_EQ(D().messages.size(), 1u);
  EXPECT_EQ(D().messages[0], "The file \"a.spc\" was not saved: No such file or directory.");
  Press(Qt::Key_2);
  EXPECT_TRUE(Advanced());
}

// However the user pastes into a single-line or a multi-line field, it keeps what a tag can hold and beeps for the
// rest.
TEST_F(MenuHandlerTest, EveryWayOfPastingKeepsWhatATagHolds) {
  Activate();
  const QString pasted = QString::fromUtf8("Café ☕ 日本 “end”");
  const std::string kept = "Caf\xE9   \x93" "end\x94";
  // The field, its widget, where a drop lands in it, and its context menu.
  struct Target {
    std::string name;
    QWidget* focus;
    QWidget* dropOn;
    std::function<QMenu*()> contextMenu;
    std::function<void()> clear;
  };
  auto* line = qobject_cast<QLineEdit*>(fw::WidgetOf(Field("SongTitle")));
  auto* area = qobject_cast<QPlainTextEdit*>(fw::WidgetOf(Area("Comments")));
  ASSERT_NE(line, nullptr);
  ASSERT_NE(area, nullptr);
  const Target targets[] = {
      {"SongTitle", line, line, [line] { return line->createStandardContextMenu(); },
       [this] { Field("SongTitle").SetText(""); }},
      {"Comments", area, area->viewport(), [area] { return area->createStandardContextMenu(); },
       [this] { Area("Comments").SetText(""); }}};
  const std::pair<const char*, std::function<void(const Target&)>> ways[] = {
      {"paste key", [](const Target& t) { QTest::keySequence(t.focus, QKeySequence::Paste); }},
      {"Edit > Paste", [this](const Target&) { fw::ActionOf(W(), "EditPaste")->trigger(); }},
      {"context menu",
       [](const Target& t) {
         std::unique_ptr<QMenu> menu(t.contextMenu());
         QAction* paste = nullptr;
         for (QAction* action : menu->actions()) {
           if (action->text().section(u'\t', 0, 0) == QStringLiteral("&Paste")) paste = action;
         }
         ASSERT_NE(paste, nullptr);
         paste->trigger();
       }},
      {"drop",
       [&pasted](const Target& t) {
         QMimeData data;
         data.setText(pasted);
         const QPoint at(5, 5);
         QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
         QCoreApplication::sendEvent(t.dropOn, &enter);
         QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
         QCoreApplication::sendEvent(t.dropOn, &move);
         QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
         QCoreApplication::sendEvent(t.dropOn, &drop);
       }},
  };
  // A middle click pastes the selection, which the offscreen platform does not have; it reaches the same insertion
  // as a drop.
  for (const Target& target : targets) {
    for (const auto& [way, paste] : ways) {
      SCOPED_TRACE(target.name + ", " + way);
      target.clear();
      target.focus->setFocus();
      QGuiApplication::clipboard()->setText(pasted);
      D().beeps = 0;
      paste(target);
      EXPECT_EQ(Text(target.name), kept);
      EXPECT_EQ(D().beeps, 1);
    }
  }
}

}  // namespace
}  // namespace windowtest
