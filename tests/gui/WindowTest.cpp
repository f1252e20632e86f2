#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

#include <stdexcept>

#include "Failures.h"
#include "GuiTestSupport.h"

namespace guitest {
namespace {

int liveNotes = 0;

// A window class of its own, for its implicit instance.
class NotesWindow : public TestWindow {
 public:
  NotesWindow() : TestWindow({Field("Note")}) { ++liveNotes; }
  ~NotesWindow() override { --liveNotes; }
};

using WindowTest = GuiTest;

TEST_F(WindowTest, OneImplicitInstancePerClassAndANewOneAfterClose) {
  NotesWindow& first = fw::ImplicitWindow<NotesWindow>();
  EXPECT_EQ(&fw::ImplicitWindow<NotesWindow>(), &first);
  EXPECT_EQ(liveNotes, 1);
  EXPECT_NE(static_cast<fw::Window*>(&Build<TestWindow>()), static_cast<fw::Window*>(&first))
      << "another class has its own windows";

  first.Close();
  EXPECT_FALSE(first.IsOpen());
  EXPECT_FALSE(first.IsVisible());
  std::vector<fw::Window*> open = fw::OpenWindows();
  EXPECT_EQ(std::count(open.begin(), open.end(), &first), 0);
  NotesWindow& second = fw::ImplicitWindow<NotesWindow>();
  EXPECT_NE(&second, &first);
  EXPECT_TRUE(second.IsOpen());
  FlushClosedWindows();
  EXPECT_EQ(liveNotes, 1) << "the closed window is gone once its event is over";
}

TEST_F(WindowTest, ConstructionRunsItsEventsInOrder) {
  TestWindow& window = Build<TestWindow>();
  EXPECT_EQ(window.events, (std::vector<std::string>{"Layout", "CreateControls", "AddMenuHandlers", "Open (shown)",
                                                     "EnableMenuItems"}));
  EXPECT_TRUE(window.IsVisible());

  TestWindow& hidden = Build<TestWindow>([](TestWindow& w) { w.design.Visible = false; });
  EXPECT_FALSE(hidden.IsVisible());
  hidden.Show();
  EXPECT_TRUE(hidden.IsVisible());
}

TEST_F(WindowTest, FailedConstructionDropsTheWindowAndPassesTheFailureOn) {
  auto failing = [](TestWindow& w) { w.onCreate = [] { throw fw::NilObjectException("No such control."); }; };
  EXPECT_THROW(Build<TestWindow>(failing), fw::NilObjectException);
  EXPECT_TRUE(fw::OpenWindows().empty());
  EXPECT_TRUE(dialogs_.Messages().empty()) << "construction reports nothing itself: the caller decides";

  // A page control whose tab panel is missing is a failure of its design.
  fw::ControlDesign orphan = Field("Orphan");
  orphan.TabPanelIndex = 1;
  orphan.Parent = "NoTabs";
  EXPECT_THROW(Build<TestWindow>({}, std::vector<fw::ControlDesign>{orphan}), fw::NilObjectException);
  EXPECT_TRUE(fw::OpenWindows().empty());
}

TEST_F(WindowTest, ContentKeepsTheDesignsSizeAndTheWindowIsNotResizable) {
  auto bar = OneMenuBar("FileMenu", "&File");
  TestWindow& window = Build<TestWindow>([&](TestWindow& w) {
    w.design = {321, 123, "Sized", true};
    w.bar = bar;
  });
  EXPECT_EQ(window.Width(), 321);
  EXPECT_EQ(window.Height(), 123);
  EXPECT_FALSE(window.Resizeable());
  QMainWindow* widget = fw::WidgetOf(window);
  EXPECT_EQ(widget->centralWidget()->size(), QSize(321, 123));
  EXPECT_EQ(widget->minimumSize(), widget->maximumSize());
  EXPECT_GE(widget->height(), 123 + fw::MenuBarOf(window)->sizeHint().height());
  Qt::WindowFlags flags = widget->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
}

TEST_F(WindowTest, TitleShowsAFileNameAsTheFileSystemSpellsIt) {
  TestWindow& window = Build<TestWindow>();
  const std::string title = "Quenlet - Caf\xC3\xA9 \xE3\x83\x9D\xE3\x82\xB1\xE3\x83\xA2\xE3\x83\xB3[*].spc";
  window.SetTitle(title);
  EXPECT_EQ(window.Title(), title) << "the bytes set come back";
  QMainWindow* widget = fw::WidgetOf(window);
  EXPECT_EQ(widget->windowTitle(), QString::fromUtf8("Quenlet - Café ポケモン[*][*].spc"));
  ASSERT_NE(widget->windowHandle(), nullptr);
  EXPECT_EQ(widget->windowHandle()->title(), QString::fromUtf8("Quenlet - Café ポケモン[*].spc"));
}

TEST_F(WindowTest, QuitKeysQuitWithZeroFromAFocusedField) {
  TestWindow& window = Build<TestWindow>({}, std::vector<fw::ControlDesign>{Field("F"), Area("A")});
  Activate(window);
  for (const char* name : {"F", "A"}) {
    SCOPED_TRACE(name);
    Focus(*window.Control(name));
    QTimer::singleShot(0, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { fw::Quit(99); });
    guard.start(5000);
    EXPECT_EQ(fw::RuntimeRun(), 0);
  }
  EXPECT_TRUE(window.IsOpen()) << "quitting ends the loop; the exit sequence closes the windows";
}

TEST_F(WindowTest, PageKeysSwitchTheTabPanelFromAnywhereInTheWindow) {
  fw::ControlDesign tabs = Design("Tabs", fw::ControlClass::TabPanel, 5, 5, 290, 100);
  tabs.Text = "One\rTwo\rThree";
  auto onPage = [](fw::ControlDesign design, int page) {
    design.TabPanelIndex = page;
    design.Parent = "Tabs";
    return design;
  };
  TestWindow& window = Build<TestWindow>(
      {}, std::vector<fw::ControlDesign>{tabs, onPage(Field("OnOne"), 1), onPage(Area("Notes"), 2),
                                         onPage(Field("OnThree"), 3), Button("Below", "Below")});
  Activate(window);
  auto& panel = window.Find<fw::TabPanel>("Tabs");
  struct Step {
    const char* focus;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int page;
  } steps[] = {
      {"OnOne", Qt::Key_Tab, Qt::ControlModifier, 1},
      {"Notes", Qt::Key_Tab, Qt::ControlModifier, 2},
      // From outside the panel, the window's first panel; past the last page, the first.
      {"Below", Qt::Key_PageDown, Qt::ControlModifier, 0},
      {"OnOne", Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 2},
      {"OnThree", Qt::Key_PageUp, Qt::ControlModifier, 1},
      {"Notes", Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier, 0},
      {"OnOne", Qt::Key_PageUp, Qt::ControlModifier, 2},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.focus) + " to page " + std::to_string(step.page));
    Focus(*window.Control(step.focus));
    ASSERT_EQ(QApplication::focusWidget(), fw::WidgetOf(*window.Control(step.focus)));
    QTest::keyClick(QApplication::focusWidget(), step.key, step.modifiers);
    EXPECT_EQ(panel.Value(), step.page);
  }
  EXPECT_TRUE(fw::WidgetOf(*window.Control("Notes"))->isVisible() == (panel.Value() == 1));
}

TEST_F(WindowTest, DefaultViewsCloseBoxQuitsWithZero) {
  TestWindow& other = Build<TestWindow>();
  TestWindow& main = Build<TestWindow>();
  fw::SetDefaultView(main);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { fw::Quit(99); });
  guard.start(5000);

  // Another window's close box does not quit.
  QTimer::singleShot(0, [&] { fw::WidgetOf(other)->close(); });
  QTimer::singleShot(10, [] { fw::Quit(3); });
  EXPECT_EQ(fw::RuntimeRun(), 3);
  // The loop has destroyed the closed window by now.
  EXPECT_EQ(fw::OpenWindows(), std::vector<fw::Window*>{&main});

  QTimer::singleShot(0, [&] { fw::WidgetOf(main)->close(); });
  EXPECT_EQ(fw::RuntimeRun(), 0);
  EXPECT_TRUE(fw::OpenWindows().empty());
}

TEST_F(WindowTest, QuitBeforeTheLoopEndsItAtOnce) {
  fw::Quit(4);
  EXPECT_EQ(fw::RuntimeRun(), 4);
}

TEST_F(WindowTest, HandlerFailuresAreReportedAndTheLoopGoesOn) {
  TestWindow& window =
      Build<TestWindow>({}, std::vector<fw::ControlDesign>{Button("Fails", "Fails"), Button("Quits", "Quits", 100)});
  auto& fails = window.Find<fw::PushButton>("Fails");
  int attempts = 0;
  fails.AddEventHandler("Action", [&] {
    ++attempts;
    switch (attempts) {
      case 1:
        throw fw::IOException(28, "The disk is full: the file could not be saved.");
      case 2:
        throw std::runtime_error("");
      default:
        throw 42;
    }
  });
  window.Find<fw::PushButton>("Quits").AddEventHandler("Action", [] { fw::Quit(7); });

  for (int delay : {0, 1, 2}) {
    QTimer::singleShot(delay, [&] { QTest::mouseClick(fw::WidgetOf(fails), Qt::LeftButton); });
  }
  QTimer::singleShot(5, [&] { QTest::mouseClick(fw::WidgetOf(window.Find<fw::PushButton>("Quits")), Qt::LeftButton); });
  QTimer::singleShot(5000, [] { fw::Quit(99); });
  EXPECT_EQ(fw::RuntimeRun(), 7);
  EXPECT_EQ(attempts, 3);
  ASSERT_EQ(dialogs_.Messages().size(), 3u);
  EXPECT_EQ(dialogs_.Messages()[0], "The disk is full: the file could not be saved.");
  // Failures without a text of their own get a plain sentence, never an empty box.
  EXPECT_FALSE(dialogs_.Messages()[1].empty());
  EXPECT_EQ(dialogs_.Messages()[2], dialogs_.Messages()[1]);
}

TEST_F(WindowTest, TabPagesShowOnlyTheirOwnControls) {
  fw::ControlDesign tabs = Design("Tabs", fw::ControlClass::TabPanel, 5, 5, 290, 100);
  tabs.Text = "One\rTwo";
  fw::ControlDesign first = Field("OnFirst");
  first.TabPanelIndex = 1;
  first.Parent = "Tabs";
  fw::ControlDesign second = Design("OnSecond", fw::ControlClass::CheckBox, 20, 60, 100, 20);
  second.TabPanelIndex = 2;
  second.Parent = "Tabs";
  second.Text = "Box";
  TestWindow& window =
      Build<TestWindow>({}, std::vector<fw::ControlDesign>{tabs, first, second, Button("Below", "Below")});
  auto& panel = window.Find<fw::TabPanel>("Tabs");
  QWidget* onFirst = fw::WidgetOf(window.Find<fw::TextField>("OnFirst"));
  QWidget* onSecond = fw::WidgetOf(window.Find<fw::CheckBox>("OnSecond"));
  QWidget* below = fw::WidgetOf(window.Find<fw::PushButton>("Below"));

  EXPECT_EQ(panel.PageCount(), 2);
  EXPECT_EQ(panel.PageCaption(1), "Two");
  EXPECT_EQ(panel.Value(), 0);
  EXPECT_TRUE(onFirst->isVisible());
  EXPECT_FALSE(onSecond->isVisible());
  EXPECT_TRUE(below->isVisible());
  // Placed in the window's coordinates, whatever page they are on.
  EXPECT_EQ(onSecond->geometry(), QRect(20, 60, 100, 20));

  auto* tabBar = qobject_cast<QTabWidget*>(fw::WidgetOf(panel))->tabBar();
  QTest::mouseClick(tabBar, Qt::LeftButton, {}, tabBar->tabRect(1).center());
  EXPECT_EQ(panel.Value(), 1);
  EXPECT_FALSE(onFirst->isVisible());
  EXPECT_TRUE(onSecond->isVisible());
  EXPECT_TRUE(below->isVisible());

  // A control the program hides stays hidden when its page comes to the front.
  window.Find<fw::TextField>("OnFirst").SetVisible(false);
  panel.SetValue(0);
  EXPECT_FALSE(onFirst->isVisible());
  EXPECT_FALSE(onSecond->isVisible());
}

TEST_F(WindowTest, TabKeyFollowsTheTabOrderOfEachContainer) {
  fw::ControlDesign tabs = Design("Tabs", fw::ControlClass::TabPanel, 5, 5, 290, 100);
  tabs.Text = "One\rTwo";
  tabs.TabIndex = 0;
  auto onPage = [](const std::string& name, int page, int tabIndex, int top) {
    fw::ControlDesign design = Field(name);
    design.Top = top;
    design.TabPanelIndex = page;
    design.Parent = "Tabs";
    design.TabIndex = tabIndex;
    return design;
  };
  fw::ControlDesign last = Button("Last", "Last", 10);
  last.TabIndex = 2;
  fw::ControlDesign first = Button("First", "First", 100);
  first.TabIndex = 1;
  TestWindow& window = Build<TestWindow>(
      {}, std::vector<fw::ControlDesign>{tabs, onPage("B", 1, 1, 40), onPage("A", 1, 0, 70), onPage("C", 2, 0, 40),
                                         last, first});
  Activate(window);
  auto chain = [&] {
    std::vector<std::string> names;
    Focus(window.Find<fw::TabPanel>("Tabs"));
    for (int i = 0; i < 4; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      for (int c = 0; c < window.ControlCount(); ++c) {
        QWidget* widget = fw::WidgetOf(window.ControlAt(c));
        QWidget* focused = QApplication::focusWidget();
        if (widget == focused || widget->isAncestorOf(focused)) names.push_back(window.ControlAt(c).Name());
      }
    }
    return names;
  };
  EXPECT_EQ(chain(), (std::vector<std::string>{"A", "B", "First", "Last"}));
  window.Find<fw::TabPanel>("Tabs").SetValue(1);
  EXPECT_EQ(chain(), (std::vector<std::string>{"C", "First", "Last", "Tabs"}));
}

TEST_F(WindowTest, ControlsTakeTheirDesigns) {
  fw::ControlDesign label = Design("Label", fw::ControlClass::StaticText, 10, 10, 100, 40);
  label.Text = "one\rtwo";
  label.TextAlign = 2;
  label.Multiline = true;
  label.TextSize = 24;
  fw::ControlDesign popup = Design("Rows", fw::ControlClass::PopupMenu, 10, 60, 100, 20);
  popup.Text = "Unknown\rSNES9x\rZSNES";
  fw::ControlDesign line = Design("Line", fw::ControlClass::Separator, 10, 90, 200, 4);
  line.TextSize = 0;
  fw::ControlDesign field = Field("Tip");
  field.HelpTag = "first\rsecond";
  field.Enabled = false;
  TestWindow& window = Build<TestWindow>({}, std::vector<fw::ControlDesign>{label, popup, line, field});

  auto& text = window.Find<fw::StaticText>("Label");
  auto* qlabel = qobject_cast<QLabel*>(fw::WidgetOf(text));
  EXPECT_EQ(text.Text(), "one\rtwo");
  EXPECT_EQ(qlabel->text(), "one\ntwo");
  EXPECT_TRUE(qlabel->alignment().testFlag(Qt::AlignRight));
  EXPECT_DOUBLE_EQ(text.TextSize(), 24);
  EXPECT_EQ(qlabel->font().pixelSize(), 24) << "in pixels, like the box it is laid out in";
  EXPECT_EQ(qlabel->font().family(), QApplication::font().family());

  auto& rows = window.Find<fw::PopupMenu>("Rows");
  EXPECT_EQ(rows.ListCount(), 3);
  EXPECT_EQ(rows.ListIndex(), 0);
  EXPECT_EQ(rows.List(2), "ZSNES");
  rows.SetListIndex(5);
  EXPECT_EQ(rows.ListIndex(), -1);

  EXPECT_DOUBLE_EQ(window.Find<fw::Separator>("Line").TextSize(), 0);
  auto& tip = window.Find<fw::TextField>("Tip");
  EXPECT_EQ(fw::WidgetOf(tip)->toolTip(), "first\nsecond");
  EXPECT_FALSE(fw::WidgetOf(tip)->isEnabled());
  EXPECT_DOUBLE_EQ(tip.TextSize(), 12);
  EXPECT_EQ(tip.TextUnit(), 0);
  EXPECT_THROW(window.Find<fw::CheckBox>("Tip"), fw::NilObjectException);
  EXPECT_EQ(window.Control("Nothing"), nullptr);
}

}  // namespace
}  // namespace guitest
