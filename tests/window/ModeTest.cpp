// The Standard and Advanced unit modes: the conversions both ways, the masks and limits, and the validators (with
// the OST track's, which holds in either mode).
#include <QKeyEvent>
#include <QLineEdit>

#include <map>

#include "GuiPrivate.h"
#include "QtAccess.h"
#include "WindowTestSupport.h"

namespace windowtest {
namespace {

struct Conversion {
  const char* field;
  bool toAdvanced;
  std::string before;
  std::string after;
  int beeps = 0;
};

const Conversion kConversions[] = {
    // Standard to Advanced: ticks, and the raw amplification (65536 = 1x).
    {"SongFade", true, "99999", "6399936"},
    {"SongFade", true, "1", "64"},
    {"SongFade", true, "", ""},
    {"SongFade", true, "0", ""},
    {"IntroLength", true, "5999", "383936000"},
    {"LoopLength", true, "1", "64000"},
    {"EndLength", true, "0", ""},
    {"Amplification", true, "1.5", "98304"},
    {"Amplification", true, "0.1", "6553"},
    {"Amplification", true, "32767.9", "2147477094"},
    {"Amplification", true, "", ""},
    {"Amplification", true, "0", ""},
    // Advanced to Standard: whole milliseconds and seconds, the multiple rounded to tenths.
    {"SongFade", false, "6399936", "99999"},
    {"SongFade", false, "100", "1"},
    {"SongFade", false, "63", ""},
    {"SongFade", false, "", ""},
    {"IntroLength", false, "383999999", "5999"},
    {"IntroLength", false, "63999", ""},
    {"LoopLength", false, "64000", "1"},
    {"EndLength", false, "0", ""},
    {"Amplification", false, "98304", "1.5"},
    {"Amplification", false, "65536", "1"},
    {"Amplification", false, "32768", "0.5"},
    {"Amplification", false, "3276", ""},
    {"Amplification", false, "3277", "0.1"},
    {"Amplification", false, "16384", "0.3"},  // 2.5 tenths: halves away from zero
    {"Amplification", false, "2147480371", "32767.9"},
    // These land on 32768, above the Standard bound: the validator puts the bound there, with a beep.
    {"Amplification", false, "2147480372", "32767.9", 1},
    {"Amplification", false, "2147483647", "32767.9", 1},
    {"Amplification", false, "", ""},
    {"Amplification", false, "0", ""},
    {"IntroLength", true, "", ""},
    {"IntroLength", false, "", ""},
    {"SongFade", false, "0", ""},
};

class UnitModeTest : public WindowTest {
 protected:
  void StartOver() {
    ResetModeMarks();
    W().ModeStandard()->SetChecked(true);
    MainWindowProbe::ClearFields(W());
    D().beeps = 0;
  }
  // What the five fields' masks and limits say, in the order SongFade, Amplification, Intro, Loop, End.
  std::string Masks() {
    std::string all;
    for (const char* name : {"SongFade", "Amplification", "IntroLength", "LoopLength", "EndLength"})
      all += Field(name).Mask() + "/" + std::to_string(Field(name).LimitText()) + " ";
    return all;
  }
};

TEST_F(UnitModeTest, ConvertsTheFieldsBothWays) {
  for (const Conversion& c : kConversions) {
    SCOPED_TRACE(std::string(c.field) + " " + (c.toAdvanced ? "to Advanced: " : "to Standard: ") + c.before);
    StartOver();
    if (!c.toAdvanced) ToAdvanced();
    Field(c.field).SetText(c.before);
    ASSERT_EQ(Field(c.field).Text(), c.before);
    D().beeps = 0;
    if (c.toAdvanced)
      ToAdvanced();
    else
      ToStandard();
    EXPECT_EQ(Field(c.field).Text(), c.after);
    EXPECT_EQ(D().beeps, c.beeps);
    EXPECT_EQ(Standard(), !c.toAdvanced);
    EXPECT_EQ(Advanced(), c.toAdvanced);
  }
}

TEST_F(UnitModeTest, EachSwitchSetsTheMasksAndLimitsOfItsMode) {
  const std::string standard = "#####/5 99999.9/7 ####/4 ####/4 ####/4 ";
  const std::string advanced = "#########/9 9999999999/10 #########/9 #########/9 #########/9 ";
  EXPECT_EQ(Masks(), standard);
  ToAdvanced();
  EXPECT_EQ(Masks(), advanced);
  ToStandard();
  EXPECT_EQ(Masks(), standard);
  EXPECT_TRUE(Standard());
  EXPECT_FALSE(Advanced());
}

// The amplification that the display showed above the bound never stays there, whichever way it arrives.
TEST_F(UnitModeTest, AnAmplificationNeverStaysAboveTheStandardBound) {
  for (const char* raw : {"2147480372", "2147483000", "2147483647"}) {
    StartOver();
    ToAdvanced();
    Field("Amplification").SetText(raw);
    ToStandard();
    EXPECT_LE(fw::Val(Field("Amplification").Text()), 32767.9) << raw;
    EXPECT_EQ(D().beeps, 1) << raw;
  }
}

// Where a text set by the program raises no "TextChange", the switch itself keeps the amplification within bound.
TEST_F(UnitModeTest, AnAmplificationIsHeldToTheStandardBoundWithoutItsEvent) {
  ToAdvanced();
  Field("Amplification").SetText("2147483647");
  Field("Amplification").impl().handlers.clear();
  D().beeps = 0;
  ToStandard();
  EXPECT_EQ(Field("Amplification").Text(), "32767.9");
  EXPECT_EQ(D().beeps, 1);
}

// Both marks move before any field is converted, ModeStandard first, so every converted text meets the new mode.
TEST_F(UnitModeTest, BothMarksMoveBeforeAnyField) {
  std::vector<std::string> seen;
  std::map<std::string, bool> last = {{"ModeStandard", Standard()}, {"ModeAdvanced", Advanced()}};
  std::vector<std::pair<std::shared_ptr<fw::MenuItem>, int>> watched;
  for (const char* name : {"ModeStandard", "ModeAdvanced"}) {
    auto item = W().GetMenuBar()->Lookup(name);
    const int id = item->AddObserver([&, name = std::string(name)](fw::MenuItem& changed) {
      if (changed.Name() != name || changed.Checked() == last[name]) return;
      last[name] = changed.Checked();
      seen.push_back(name + (changed.Checked() ? "+" : "-") + " fade=" + Field("SongFade").Text());
    });
    watched.emplace_back(item, id);
  }
  Field("SongFade").SetText("1");
  EXPECT_FALSE(W().ModeAdvanced_Action());
  EXPECT_FALSE(W().ModeStandard_Action());
  for (auto& [item, id] : watched) item->RemoveObserver(id);
  const std::vector<std::string> expected = {"ModeStandard- fade=1", "ModeAdvanced+ fade=1",
                                             "ModeStandard+ fade=64", "ModeAdvanced- fade=64"};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(Field("SongFade").Text(), "1");
}

// Each text a switch sets meets the mask and limit in place at its step: a time text always the Advanced ones, the
// amplification's empty text the old mode's and its value the new mode's.
TEST_F(UnitModeTest, EachTextIsSetUnderTheMaskAndLimitOfItsStep) {
  struct Step {
    const char* field;
    bool toAdvanced;
    const char* before;
    std::vector<std::string> texts;  // each text set, with the mask and limit then in place
  };
  const Step steps[] = {
      {"SongFade", true, "1", {"64 #########/9"}},
      {"SongFade", false, "6400", {"100 #########/9"}},
      {"Amplification", true, "1.5", {" 99999.9/7", "98304 9999999999/10"}},
      {"Amplification", false, "98304", {" 9999999999/10", "1.5 99999.9/7"}},
      {"IntroLength", true, "1", {"64000 #########/9"}},
      {"IntroLength", false, "64000", {"1 #########/9"}},
      {"LoopLength", true, "2", {"128000 #########/9"}},
      {"EndLength", false, "128000", {"2 #########/9"}},
  };
  std::vector<std::string> texts;
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.field) + (step.toAdvanced ? " to Advanced" : " to Standard"));
    CloseAllWindows();
    ResetModeMarks();
    window_ = &MainWindow::Instance();
    if (!step.toAdvanced) ToAdvanced();
    fw::TextField& field = Field(step.field);
    field.SetText(step.before);
    texts.clear();
    field.AddEventHandler("TextChange", [&] {
      texts.push_back(field.Text() + " " + field.Mask() + "/" + std::to_string(field.LimitText()));
    });
    if (step.toAdvanced)
      ToAdvanced();
    else
      ToStandard();
    EXPECT_EQ(texts, step.texts);
  }
}

TEST_F(UnitModeTest, ChoosingTheModeInForceChangesNothing) {
  const std::pair<const char*, const char*> values[] = {
      {"SongFade", "1234"}, {"Amplification", "1.5"}, {"IntroLength", "12"}, {"LoopLength", "0"}, {"EndLength", ""}};
  for (bool advanced : {false, true}) {
    StartOver();
    if (advanced) ToAdvanced();
    for (const auto& [name, text] : values) Field(name).SetText(text);
    const std::string masks = Masks();
    D().beeps = 0;
    if (advanced)
      ToAdvanced();
    else
      ToStandard();
    for (const auto& [name, text] : values) EXPECT_EQ(Field(name).Text(), text) << name;
    EXPECT_EQ(Masks(), masks);
    EXPECT_EQ(Standard(), !advanced);
    EXPECT_EQ(Advanced(), advanced);
    EXPECT_EQ(D().beeps, 0);
  }
}

struct Bound {
  const char* field;
  bool advanced;
  const char* typed;
  const char* kept;  // what the field holds afterwards
};

const Bound kBounds[] = {
    {"IntroLength", false, "5999", "5999"},
    {"IntroLength", false, "6000", "5999"},
    {"LoopLength", false, "5999", "5999"},
    {"LoopLength", false, "6000", "5999"},
    {"EndLength", false, "5999", "5999"},
    {"EndLength", false, "6000", "5999"},
    {"Amplification", false, "32767.9", "32767.9"},
    {"Amplification", false, "32768", "32767.9"},
    {"SongFade", false, "99999", "99999"},
    {"SongFade", false, "9999999", "9999999"},  // the Standard fade has no bound of its own
    {"SongFade", true, "6399936", "6399936"},
    {"SongFade", true, "6399937", "6399936"},
    {"IntroLength", true, "383999999", "383999999"},
    {"IntroLength", true, "384000000", "383999999"},
    {"LoopLength", true, "383999999", "383999999"},
    {"LoopLength", true, "384000000", "383999999"},
    {"EndLength", true, "383999999", "383999999"},
    {"EndLength", true, "384000000", "383999999"},
    {"Amplification", true, "32768", "32768"},  // the Standard bound no longer holds
    {"Amplification", true, "2147483647", "2147483647"},
    {"Amplification", true, "2147483648", "2147483647"},
    // The track number is saved in one byte, in either mode; a letter after it stays.
    {"OSTTrack", false, "255", "255"},
    {"OSTTrack", false, "25", "25"},
    {"OSTTrack", false, "12a", "12a"},
    {"OSTTrack", false, "256", "255"},
    {"OSTTrack", false, "999", "255"},
    {"OSTTrack", false, "300b", "255b"},
    {"OSTTrack", true, "999", "255"},
};

TEST_F(UnitModeTest, ValidatorsHoldEachFieldToItsBound) {
  for (const Bound& b : kBounds) {
    SCOPED_TRACE(std::string(b.field) + (b.advanced ? " Advanced " : " Standard ") + b.typed);
    StartOver();
    if (b.advanced) ToAdvanced();
    D().beeps = 0;
    Field(b.field).SetText(b.typed);
    EXPECT_EQ(Field(b.field).Text(), b.kept);
    EXPECT_EQ(D().beeps, std::string(b.typed) == b.kept ? 0 : 1);
  }
}

// Typed keys reach the validator as the program's own texts do.
TEST_F(UnitModeTest, TypingPastTheBoundLeavesTheBound) {
  W().Find<fw::TabPanel>("TheTabs").SetValue(1);
  const struct {
    const char* field;
    const char* keys;
    const char* kept;
  } cases[] = {{"IntroLength", "6001", "5999"}, {"OSTTrack", "999", "255"}, {"OSTTrack", "2561", "255"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + c.keys);
    Field(c.field).SetText("");
    D().beeps = 0;
    auto* edit = qobject_cast<QLineEdit*>(fw::WidgetOf(Field(c.field)));
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    for (char key : std::string(c.keys)) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (key - '0'), Qt::NoModifier, QString(QChar(key)));
      QCoreApplication::sendEvent(edit, &press);
    }
    EXPECT_EQ(Field(c.field).Text(), c.kept);
    EXPECT_EQ(D().beeps, 1);
  }
}

}  // namespace
}  // namespace windowtest
