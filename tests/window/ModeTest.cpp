// The Standard and Advanced unit modes: the conversions both ways, the masks and limits, and the validators (with
// the OST track's, which holds in either mode).
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include <array>
#include <map>
#include <optional>

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
    // The track that the program shows is the file's own value, which a Save writes back; only typing is held.
    {"OSTTrack", false, "999", "999"},
    {"OSTTrack", true, "2007", "2007"},
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
    int beeps;
  } cases[] = {{"IntroLength", "6001", "5999", 1},
               {"OSTTrack", "999", "255", 1},
               // The bound fills the field, so the key after it is refused as well.
               {"OSTTrack", "2561", "255", 2},
               {"OSTTrack", "256", "255", 1},
               {"OSTTrack", "25", "25", 0}};
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
    EXPECT_EQ(D().beeps, c.beeps);
  }
}

// ---- The lengths and the amplification keep the values of the file's items until the user edits them

// What a Save wrote for IntroLength, LoopLength, EndLength and Amplification; nullopt where it wrote no item.
using Written = std::array<std::optional<int32_t>, 4>;
constexpr std::nullopt_t kNone = std::nullopt;
const char* const kUnitFields[] = {"IntroLength", "LoopLength", "EndLength", "Amplification"};

std::map<std::string, spctest::Xid6> CarriedFiles() {
  return {
      // 1.5 s, 1.5625 s, 0.5 s and 1.75x: no whole second and no whole tenth among them.
      {"fractions", spctest::Xid6().Long(0x30, 96000).Long(0x31, 100000).Long(0x32, 32000).Long(0x36, 114688)},
      // Values that the Standard units show as nothing once a switch has converted them.
      {"under a second", spctest::Xid6().Long(0x30, 63999).Long(0x36, 3276)},
      {"zeros", spctest::Xid6().Long(0x32, 0).Long(0x36, 0)},
      // Above the bounds of the Standard units (both) and of the Advanced units (the intro).
      {"above the bounds", spctest::Xid6().Long(0x30, 384000000).Long(0x36, 2147483647)},
      // A negative length, and one whose item holds a text that is no number.
      {"no count", spctest::Xid6().Long(0x30, 0xFFFFFFFF).String(0x31, "x")},
  };
}

struct CarriedCase {
  const char* file;
  bool advanced;      // the unit mode of the Open
  const char* steps;  // then, in order: A or S a switch, e the user's edit of all four fields, r Revert
  Written written;
};

constexpr bool kStd = false;
constexpr bool kAdv = true;
const Written kFractions = {96000, 100000, 32000, 114688};
// The texts of the Standard units: whole seconds (none for the end), the multiple rounded to tenths.
const Written kFractionsInSeconds = {64000, 64000, kNone, 117964};
const Written kUnderASecond = {63999, kNone, kNone, 3276};
const Written kZeros = {kNone, kNone, 0, 0};
const Written kHeldToStandard = {383936000, kNone, kNone, 2147477094};
const Written kNoCount = {-1, 0, kNone, kNone};
const Written kNothing = {kNone, kNone, kNone, kNone};

const CarriedCase kCarriedCases[] = {
    {"fractions", kStd, "", kFractions},
    {"fractions", kStd, "e", {64000, 64000, 0, 111411}},
    {"fractions", kStd, "A", kFractions},
    {"fractions", kStd, "Ae", kFractions},
    {"fractions", kStd, "AS", kFractions},
    {"fractions", kStd, "ASe", kFractionsInSeconds},
    {"fractions", kStd, "eA", {64000, 64000, kNone, 111411}},
    {"fractions", kStd, "er", kFractions},
    {"fractions", kAdv, "", kFractions},
    {"fractions", kAdv, "e", kFractions},
    {"fractions", kAdv, "S", kFractions},
    {"fractions", kAdv, "Se", kFractionsInSeconds},
    {"fractions", kAdv, "SA", kFractions},
    {"fractions", kAdv, "SeA", {64000, 64000, kNone, 117964}},
    {"under a second", kStd, "", kUnderASecond},
    {"under a second", kStd, "e", {0, kNone, kNone, 0}},
    {"under a second", kStd, "A", kUnderASecond},
    {"under a second", kStd, "Ae", kUnderASecond},
    {"under a second", kAdv, "", kUnderASecond},
    {"under a second", kAdv, "e", kUnderASecond},
    {"under a second", kAdv, "S", kUnderASecond},
    {"under a second", kAdv, "Se", kNothing},
    {"zeros", kStd, "", kZeros},
    {"zeros", kStd, "e", kZeros},
    {"zeros", kStd, "A", kZeros},
    {"zeros", kStd, "Ae", kNothing},
    {"zeros", kAdv, "", kZeros},
    {"zeros", kAdv, "e", kNothing},
    {"zeros", kAdv, "er", kZeros},
    {"zeros", kAdv, "S", kZeros},
    {"zeros", kAdv, "Se", kNothing},
    // A field that its bound held keeps the bound.
    {"above the bounds", kStd, "", kHeldToStandard},
    {"above the bounds", kStd, "e", kHeldToStandard},
    {"above the bounds", kStd, "A", kHeldToStandard},
    {"above the bounds", kStd, "Ae", kHeldToStandard},
    {"above the bounds", kAdv, "", {383999999, kNone, kNone, 2147483647}},
    {"above the bounds", kAdv, "e", {383999999, kNone, kNone, 2147483647}},
    {"above the bounds", kAdv, "S", kHeldToStandard},
    {"above the bounds", kAdv, "Se", kHeldToStandard},
    {"no count", kStd, "", kNoCount},
    {"no count", kStd, "e", {0, 0, kNone, kNone}},
    {"no count", kStd, "A", kNoCount},
    {"no count", kStd, "Ae", kNothing},
    {"no count", kAdv, "", kNoCount},
    {"no count", kAdv, "e", kNothing},
    {"no count", kAdv, "S", kNoCount},
    {"no count", kAdv, "Se", kNothing},
};

// The values of the items 0x30, 0x31, 0x32 and 0x36 in a file's chunk.
Written WrittenUnitItems(const std::string& file) {
  Written written;
  if (file.size() <= spctest::kChunkStart) return written;
  EXPECT_EQ(file.substr(spctest::kChunkStart, 4), "xid6");
  auto le = [&file](size_t at, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(file.at(at + i));
    return value;
  };
  for (size_t at = spctest::kItemsStart; at + 4 <= file.size();) {
    const int id = static_cast<uint8_t>(file[at]);
    const int type = static_cast<uint8_t>(file[at + 1]);
    const uint32_t field = le(at + 2, 2);
    const size_t data = type == 0 ? 0 : type == 4 ? 4 : (field + 3) / 4 * 4;
    const int slot = id == 0x30 ? 0 : id == 0x31 ? 1 : id == 0x32 ? 2 : id == 0x36 ? 3 : -1;
    if (slot >= 0) {
      EXPECT_EQ(type, 4) << "item " << id;
      EXPECT_EQ(field, 4u) << "item " << id;
      written[static_cast<size_t>(slot)] = static_cast<int32_t>(le(at + 4, 4));
    }
    at += 4 + data;
  }
  return written;
}

std::string Describe(const Written& written) {
  std::string text;
  for (const auto& value : written) text += (value ? std::to_string(*value) : "-") + " ";
  return text;
}

class CarriedValueTest : public WindowTest {
 protected:
  // What a user does that leaves a field's text as it was: its last character deleted and typed again, or, in an
  // empty field, a digit typed and deleted.
  void EditLeavingTheText(const char* name) {
    auto* edit = qobject_cast<QLineEdit*>(fw::WidgetOf(Field(name)));
    ASSERT_NE(edit, nullptr);
    const std::string text = Field(name).Text();
    QTest::keyClick(edit, Qt::Key_End);
    if (text.empty()) {
      QTest::keyClicks(edit, "0");
      QTest::keyClick(edit, Qt::Key_Backspace);
    } else {
      QTest::keyClick(edit, Qt::Key_Backspace);
      QTest::keyClicks(edit, QString(QChar(text.back())));
    }
    ASSERT_EQ(Field(name).Text(), text);
  }
};

TEST_F(CarriedValueTest, ASaveWritesTheValuesOpenReadUntilTheUserEditsThem) {
  const auto files = CarriedFiles();
  W().Find<fw::TabPanel>("TheTabs").SetValue(1);
  for (const CarriedCase& c : kCarriedCases) {
    SCOPED_TRACE(std::string(c.file) + (c.advanced ? ", opened in Advanced, " : ", opened in Standard, ") +
                 "then \"" + c.steps + "\"");
    if (c.advanced != Advanced()) c.advanced ? ToAdvanced() : ToStandard();
    const std::string path =
        WriteSpc("carried.spc", spctest::SpcBuilder().Text({.song = "Carried"}).Chunk(files.at(c.file)));
    Open(path);
    for (const char* step = c.steps; *step != '\0'; ++step) {
      switch (*step) {
        case 'A': ToAdvanced(); break;
        case 'S': ToStandard(); break;
        case 'r': Button("RevertButton").Push(); break;
        case 'e':
          for (const char* name : kUnitFields) EditLeavingTheText(name);
          break;
      }
    }
    // In Advanced units each field shows exactly what the Save writes.
    std::array<std::string, 4> shown;
    for (size_t i = 0; i < 4; ++i) shown[i] = Text(kUnitFields[i]);
    Save();
    ASSERT_TRUE(D().messages.empty()) << D().messages.front();
    const Written written = WrittenUnitItems(testing_support::ReadFile(path));
    EXPECT_EQ(Describe(written), Describe(c.written));
    if (Advanced()) {
      for (size_t i = 0; i < 4; ++i) {
        const auto& value = c.written[i];
        EXPECT_EQ(shown[i], value && *value > 0 ? std::to_string(*value) : "") << kUnitFields[i];
      }
    }
  }
}

}  // namespace
}  // namespace windowtest
