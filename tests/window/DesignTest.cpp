// Every control of the main window where its row puts it, with its class, page, text, mask, limit, help tag, tab
// order and state.
#include <QRect>
#include <QWidget>

#include "QtAccess.h"
#include "WindowTestSupport.h"

namespace windowtest {
namespace {

using C = fw::ControlClass;

struct ControlRow {
  const char* name;
  C cls;
  int page;  // 0 window, 1 "ID666 Data", 2 "Extended Data"
  int left, top, width, height, tab;
  std::string text;  // text, caption, rows or pages ("\r" between them)
  std::string mask;
  int limit;
  std::string help;
};

const std::string kFade = "Length of this Song's fade out.\r\rStandard: milliseconds\rAdvanced: 1/64000 seconds";
const std::string kSeconds = "\r\rStandard: seconds\rAdvanced: 1/64000 seconds";

const ControlRow kControls[] = {
    {"TheTabs", C::TabPanel, 0, 20, 14, 662, 239, 0, "ID666 Data\rExtended Data", "", 0, ""},
    {"LabelSongTitle", C::StaticText, 1, 40, 53, 85, 20, 0, "Song Title:", "", 0, ""},
    {"SongTitle", C::TextField, 1, 137, 52, 200, 22, 1, "", "", 255, "Title of this Song.\rID666 Limit: 32 characters"},
    {"LabelGameTitle", C::StaticText, 1, 40, 85, 85, 20, 2, "Game Title:", "", 0, ""},
    {"GameTitle", C::TextField, 1, 137, 84, 200, 22, 3, "", "", 255,
     "Game this Song is from.\rID666 Length: 32 characters."},
    {"LabelSongArtist", C::StaticText, 1, 40, 117, 85, 20, 4, "Song Artist:", "", 0, ""},
    {"SongArtist", C::TextField, 1, 137, 116, 200, 22, 5, "", "", 255,
     "Artist of this Song.\rID666 Length: 32 characters."},
    {"LabelDumpedBy", C::StaticText, 1, 40, 149, 85, 20, 6, "Dumped By:", "", 0, ""},
    {"DumpedBy", C::TextField, 1, 137, 148, 200, 22, 7, "", "", 255,
     "Person who dumped this Song.\rID666 Length: 16 characters."},
    {"LabelDumpedOn", C::StaticText, 1, 40, 181, 85, 20, 8, "Dumped On:", "", 0, ""},
    {"DumpedOn", C::TextField, 1, 137, 180, 200, 22, 9, "", "99/99/9999", 10, "Date this Song was dumped."},
    {"LabelDumpedWith", C::StaticText, 1, 40, 213, 85, 20, 10, "Dumped With:", "", 0, ""},
    {"DumpedWith", C::PopupMenu, 1, 137, 213, 200, 20, 11, "Unknown\rZSNES\rSNES9x", "", 0,
     "Program used to dump this Song."},
    {"LabelComments", C::StaticText, 1, 365, 53, 85, 20, 12, "Comments:", "", 0, ""},
    {"Comments", C::TextArea, 1, 462, 52, 200, 86, 13, "", "", 255,
     "Comments for this Song.\rID666 Length: 32 characters."},
    {"LabelSongLength", C::StaticText, 1, 365, 148, 85, 20, 14, "Song Length:", "", 0, ""},
    {"SongLength", C::TextField, 1, 462, 147, 40, 22, 15, "", "###", 3, "Length of this Song (in seconds)."},
    {"LabelSongFade", C::StaticText, 1, 515, 149, 55, 20, 16, "Fade:", "", 0, ""},
    {"SongFade", C::TextField, 1, 582, 148, 80, 22, 17, "", "#####", 5, kFade},
    {"LabelDisableChannel", C::StaticText, 1, 365, 181, 85, 52, 18, "Disable Channel:", "", 0, ""},
    {"Channel1", C::CheckBox, 1, 462, 181, 40, 20, 19, "1", "", 0, "When checked, Channel 1 is disabled."},
    {"Channel2", C::CheckBox, 1, 514, 181, 40, 20, 20, "2", "", 0, "When checked, Channel 2 is disabled."},
    {"Channel3", C::CheckBox, 1, 566, 181, 40, 20, 21, "3", "", 0, "When checked, Channel 3 is disabled."},
    {"Channel4", C::CheckBox, 1, 618, 181, 40, 20, 22, "4", "", 0, "When checked, Channel 4 is disabled."},
    {"Channel5", C::CheckBox, 1, 462, 213, 40, 20, 23, "5", "", 0, "When checked, Channel 5 is disabled."},
    {"Channel6", C::CheckBox, 1, 514, 213, 40, 20, 24, "6", "", 0, "When checked, Channel 6 is disabled."},
    {"Channel7", C::CheckBox, 1, 566, 213, 40, 20, 25, "7", "", 0, "When checked, Channel 7 is disabled."},
    {"Channel8", C::CheckBox, 1, 618, 213, 40, 20, 26, "8", "", 0, "When checked, Channel 8 is disabled."},
    {"LabelOSTTitle", C::StaticText, 2, 40, 53, 85, 20, 0, "OST Title:", "", 0, ""},
    {"OSTTitle", C::TextArea, 2, 137, 52, 200, 118, 1, "", "", 255, "Original Soundtrack Title for this Song."},
    {"LabelPublisher", C::StaticText, 2, 365, 53, 85, 20, 2, "Publisher:", "", 0, ""},
    {"Publisher", C::TextField, 2, 462, 52, 200, 22, 3, "", "", 255, "Publisher of this Song's Original Soundtrack."},
    {"LabelOSTDisc", C::StaticText, 2, 365, 85, 85, 20, 4, "OST Disc:", "", 0, ""},
    {"OSTDisc", C::TextField, 2, 462, 84, 40, 22, 5, "", "#", 1,
     "Which disc of the Original Soundtrack this Song is found on."},
    {"LabelOSTTrack", C::StaticText, 2, 525, 86, 85, 20, 6, "OST Track:", "", 0, ""},
    {"OSTTrack", C::TextField, 2, 622, 84, 40, 22, 7, "", "#9a", 3, "Which track of the disc this Song is found at."},
    {"LabelCopyright", C::StaticText, 2, 365, 117, 85, 20, 8, "Copyright:", "", 0, ""},
    {"Copyright", C::TextField, 2, 462, 116, 40, 22, 9, "", "####", 4, "Copyright year for the Original Soundtrack."},
    {"LabelAmplification", C::StaticText, 2, 365, 149, 85, 20, 10, "Amplification:", "", 0, ""},
    {"Amplification", C::TextField, 2, 462, 148, 120, 22, 11, "", "99999.9", 7,
     "Amplification level to play this Song at.\r\rStandard: 1x, 1.5x, etc.\rAdvanced: 65535 = 1x; max = "
     "4294967295"},
    {"Separator1", C::Separator, 2, 40, 189, 622, 4, 12, "", "", 0, ""},
    {"LabelIntroLength", C::StaticText, 2, 40, 213, 45, 20, 13, "Intro:", "", 0, ""},
    {"IntroLength", C::TextField, 2, 97, 212, 80, 22, 14, "", "####", 4, "Introduction length for this Song." + kSeconds},
    {"LabelLoopLength", C::StaticText, 2, 200, 213, 45, 20, 15, "Loop:", "", 0, ""},
    {"LoopLength", C::TextField, 2, 257, 213, 80, 22, 16, "", "####", 4,
     "Length of the looping part of this Song." + kSeconds},
    {"LabelEndLength", C::StaticText, 2, 405, 213, 45, 20, 17, "Ending:", "", 0, ""},
    {"EndLength", C::TextField, 2, 462, 212, 80, 22, 18, "", "####", 4,
     "Length of the ending part of this Song." + kSeconds},
    {"LabelLoopCount", C::StaticText, 2, 565, 213, 45, 20, 19, "Loops:", "", 0, ""},
    {"LoopCount", C::TextField, 2, 622, 212, 40, 22, 20, "", "#", 1,
     "How many times to play the looping section of this Song."},
    {"OpenButton", C::PushButton, 0, 20, 265, 100, 20, 1, "Open...", "", 0, "Open a SPC file."},
    {"RevertButton", C::PushButton, 0, 207, 265, 100, 20, 2, "Revert", "", 0,
     "Set all the fields back to when the SPC was first loaded."},
    {"SaveButton", C::PushButton, 0, 395, 265, 100, 20, 3, "Save", "", 0, "Save the changes to the SPC file."},
    {"QuitButton", C::PushButton, 0, 582, 265, 100, 20, 4, "Quit", "", 0, "Exits this program."},
};

// What a control shows as its text, caption, rows or pages, joined by "\r".
std::string Shown(fw::RectControl& c) {
  std::string joined;
  auto join = [&joined](const std::string& part) { joined += (joined.empty() ? "" : "\r") + part; };
  if (auto* t = dynamic_cast<fw::StaticText*>(&c)) return t->Text();
  if (auto* f = dynamic_cast<fw::TextField*>(&c)) return f->Text();
  if (auto* a = dynamic_cast<fw::TextArea*>(&c)) return a->Text();
  if (auto* b = dynamic_cast<fw::CheckBox*>(&c)) return b->Caption();
  if (auto* p = dynamic_cast<fw::PushButton*>(&c)) return p->Caption();
  if (auto* m = dynamic_cast<fw::PopupMenu*>(&c)) {
    for (int i = 0; i < m->ListCount(); ++i) join(m->List(i));
  }
  if (auto* tabs = dynamic_cast<fw::TabPanel*>(&c)) {
    for (int i = 0; i < tabs->PageCount(); ++i) join(tabs->PageCaption(i));
  }
  return joined;
}

class ControlDesignTest : public WindowTest {};

TEST_F(ControlDesignTest, EveryControlStandsWhereItsRowPutsIt) {
  ASSERT_EQ(W().ControlCount(), static_cast<int>(std::size(kControls)));
  for (int i = 0; i < W().ControlCount(); ++i) {
    const ControlRow& row = kControls[i];
    fw::RectControl& c = W().ControlAt(i);
    SCOPED_TRACE(row.name);
    EXPECT_EQ(c.Name(), row.name);
    EXPECT_EQ(c.Class(), row.cls);
    EXPECT_EQ(W().Control(row.name), &c);
    EXPECT_EQ(c.TabPanelIndex(), row.page);
    EXPECT_EQ(c.Left(), row.left);
    EXPECT_EQ(c.Top(), row.top);
    EXPECT_EQ(c.Width(), row.width);
    EXPECT_EQ(c.Height(), row.height);
    EXPECT_EQ(c.TabIndex(), row.tab);
    EXPECT_EQ(Shown(c), row.text);
    EXPECT_EQ(c.HelpTag(), row.help);
    // What the user sees: the widget at that place and size, the help tag as its tool tip.
    QWidget* widget = fw::WidgetOf(c);
    EXPECT_EQ(widget->geometry(), QRect(row.left, row.top, row.width, row.height));
    EXPECT_EQ(widget->toolTip(), QString::fromLatin1(row.help).replace(u'\r', u'\n'));
    EXPECT_EQ(c.Enabled(), row.name != std::string("RevertButton") && row.name != std::string("SaveButton"));
    EXPECT_TRUE(c.Visible());
    if (row.cls == C::Separator) {
      EXPECT_EQ(c.TextSize(), 0);
    } else {
      EXPECT_EQ(c.TextSize(), 12);
      EXPECT_EQ(c.TextUnit(), 0);
    }
    if (auto* field = dynamic_cast<fw::TextField*>(&c)) {
      EXPECT_EQ(field->Mask(), row.mask);
      EXPECT_EQ(field->LimitText(), row.limit);
    }
    if (auto* area = dynamic_cast<fw::TextArea*>(&c)) {
      EXPECT_EQ(area->LimitText(), row.limit);
    }
    if (auto* label = dynamic_cast<fw::StaticText*>(&c)) {
      EXPECT_EQ(label->TextAlign(), 2);
      EXPECT_EQ(label->Multiline(), row.name == std::string("LabelDisableChannel"));
      // A label is named after the next control and its box ends 12 pixels before it.
      const ControlRow& named = kControls[i + 1];
      EXPECT_EQ(std::string(row.name), "Label" + std::string(named.name == std::string("Channel1")
                                                                     ? "DisableChannel"
                                                                     : named.name));
      EXPECT_EQ(c.Left() + c.Width() + 12, named.left);
      EXPECT_TRUE(TextFitsItsBox(*label));
    }
  }
}

// The Tab key goes through the window's own controls in their order, and from the tab panel through the controls of
// its pages, each page in its own order; labels and the separator take no focus.
TEST_F(ControlDesignTest, FocusFollowsTheTabOrderOfEachContainer) {
  std::vector<std::string> expected;
  for (int page : {1, 2}) {
    for (const ControlRow& row : kControls) {
      if (row.page == page && row.cls != C::StaticText && row.cls != C::Separator) expected.push_back(row.name);
    }
  }
  expected.insert(expected.begin(), "TheTabs");
  for (const char* button : {"OpenButton", "RevertButton", "SaveButton", "QuitButton"}) expected.push_back(button);

  std::vector<std::string> chain;
  QWidget* first = fw::WidgetOf(W().Find<fw::TabPanel>("TheTabs"));
  QWidget* next = first;
  do {
    for (int i = 0; i < W().ControlCount(); ++i) {
      if (fw::WidgetOf(W().ControlAt(i)) == next && (next->focusPolicy() & Qt::TabFocus) != 0) {
        chain.push_back(W().ControlAt(i).Name());
      }
    }
    next = next->nextInFocusChain();
  } while (next != first && chain.size() <= expected.size());
  EXPECT_EQ(chain, expected);
}

}  // namespace
}  // namespace windowtest
