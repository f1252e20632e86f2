// The main window's design and its 53 control designs, as data, in creation order.
#include <vector>

#include "MainWindow.h"

namespace {

using fw::ControlClass;
using fw::ControlDesign;

constexpr int kWindow = 0;
constexpr int kID666 = 1;
constexpr int kExtended = 2;

ControlDesign Row(const char* name, ControlClass cls, int page, int left, int top, int width, int height, int tab) {
  ControlDesign design = fw::Placed(name, cls, left, top, width, height);
  design.TabPanelIndex = page;
  design.Parent = page == kWindow ? "" : "TheTabs";
  design.TabIndex = tab;
  return design;
}

ControlDesign Label(const char* name, int page, int left, int top, int width, int height, int tab, const char* text) {
  ControlDesign design = Row(name, ControlClass::StaticText, page, left, top, width, height, tab);
  design.Text = text;
  design.TextAlign = 2;
  design.Multiline = height > 20;
  return design;
}

ControlDesign Field(const char* name, int page, int left, int top, int width, int tab, const char* mask, int limit,
                    const char* help) {
  ControlDesign design = Row(name, ControlClass::TextField, page, left, top, width, 22, tab);
  design.Mask = mask;
  design.LimitText = limit;
  design.HelpTag = help;
  return design;
}

ControlDesign Area(const char* name, int page, int left, int top, int width, int height, int tab, const char* help) {
  ControlDesign design = Row(name, ControlClass::TextArea, page, left, top, width, height, tab);
  design.LimitText = 255;
  design.HelpTag = help;
  design.Multiline = true;
  return design;
}

ControlDesign Channel(int n, int left, int top) {
  static const char* const names[] = {"Channel1", "Channel2", "Channel3", "Channel4",
                                      "Channel5", "Channel6", "Channel7", "Channel8"};
  ControlDesign design = Row(names[n - 1], ControlClass::CheckBox, kID666, left, top, 40, 20, 18 + n);
  design.Text = std::to_string(n);
  design.HelpTag = "When checked, Channel " + std::to_string(n) + " is disabled.";
  return design;
}

ControlDesign Button(const char* name, int left, int tab, const char* caption, const char* help, bool enabled) {
  ControlDesign design = Row(name, ControlClass::PushButton, kWindow, left, 265, 100, 20, tab);
  design.Text = caption;
  design.HelpTag = help;
  design.Enabled = enabled;
  return design;
}

std::vector<ControlDesign> BuildRows() {
  std::vector<ControlDesign> rows;
  ControlDesign tabs = Row("TheTabs", ControlClass::TabPanel, kWindow, 20, 14, 662, 239, 0);
  tabs.Text = "ID666 Data\rExtended Data";
  rows.push_back(tabs);

  rows.push_back(Label("LabelSongTitle", kID666, 40, 53, 85, 20, 0, "Song Title:"));
  rows.push_back(Field("SongTitle", kID666, 137, 52, 200, 1, "", 255, "Title of this Song.\rID666 Limit: 32 characters"));
  rows.push_back(Label("LabelGameTitle", kID666, 40, 85, 85, 20, 2, "Game Title:"));
  rows.push_back(
      Field("GameTitle", kID666, 137, 84, 200, 3, "", 255, "Game this Song is from.\rID666 Length: 32 characters."));
  rows.push_back(Label("LabelSongArtist", kID666, 40, 117, 85, 20, 4, "Song Artist:"));
  rows.push_back(
      Field("SongArtist", kID666, 137, 116, 200, 5, "", 255, "Artist of this Song.\rID666 Length: 32 characters."));
  rows.push_back(Label("LabelDumpedBy", kID666, 40, 149, 85, 20, 6, "Dumped By:"));
  rows.push_back(Field("DumpedBy", kID666, 137, 148, 200, 7, "", 255,
                       "Person who dumped this Song.\rID666 Length: 16 characters."));
  rows.push_back(Label("LabelDumpedOn", kID666, 40, 181, 85, 20, 8, "Dumped On:"));
  rows.push_back(Field("DumpedOn", kID666, 137, 180, 200, 9, "99/99/9999", 10, "Date this Song was dumped."));
  rows.push_back(Label("LabelDumpedWith", kID666, 40, 213, 85, 20, 10, "Dumped With:"));
  ControlDesign dumpedWith = Row("DumpedWith", ControlClass::PopupMenu, kID666, 137, 213, 200, 20, 11);
  // Each row is the format's code for its emulator.
  dumpedWith.Text = "Unknown\rZSNES\rSNES9x";
  dumpedWith.HelpTag = "Program used to dump this Song.";
  rows.push_back(dumpedWith);
  rows.push_back(Label("LabelComments", kID666, 365, 53, 85, 20, 12, "Comments:"));
  rows.push_back(
      Area("Comments", kID666, 462, 52, 200, 86, 13, "Comments for this Song.\rID666 Length: 32 characters."));
  rows.push_back(Label("LabelSongLength", kID666, 365, 148, 85, 20, 14, "Song Length:"));
  rows.push_back(Field("SongLength", kID666, 462, 147, 40, 15, "###", 3, "Length of this Song (in seconds)."));
  rows.push_back(Label("LabelSongFade", kID666, 515, 149, 55, 20, 16, "Fade:"));
  rows.push_back(Field("SongFade", kID666, 582, 148, 80, 17, "#####", 5,
                       "Length of this Song's fade out.\r\rStandard: milliseconds\rAdvanced: 1/64000 seconds"));
  rows.push_back(Label("LabelDisableChannel", kID666, 365, 181, 85, 52, 18, "Disable Channel:"));
  rows.push_back(Channel(1, 462, 181));
  rows.push_back(Channel(2, 514, 181));
  rows.push_back(Channel(3, 566, 181));
  rows.push_back(Channel(4, 618, 181));
  rows.push_back(Channel(5, 462, 213));
  rows.push_back(Channel(6, 514, 213));
  rows.push_back(Channel(7, 566, 213));
  rows.push_back(Channel(8, 618, 213));

  rows.push_back(Label("LabelOSTTitle", kExtended, 40, 53, 85, 20, 0, "OST Title:"));
  rows.push_back(Area("OSTTitle", kExtended, 137, 52, 200, 118, 1, "Original Soundtrack Title for this Song."));
  rows.push_back(Label("LabelPublisher", kExtended, 365, 53, 85, 20, 2, "Publisher:"));
  rows.push_back(
      Field("Publisher", kExtended, 462, 52, 200, 3, "", 255, "Publisher of this Song's Original Soundtrack."));
  rows.push_back(Label("LabelOSTDisc", kExtended, 365, 85, 85, 20, 4, "OST Disc:"));
  rows.push_back(Field("OSTDisc", kExtended, 462, 84, 40, 5, "#", 1,
                       "Which disc of the Original Soundtrack this Song is found on."));
  rows.push_back(Label("LabelOSTTrack", kExtended, 525, 86, 85, 20, 6, "OST Track:"));
  rows.push_back(
      Field("OSTTrack", kExtended, 622, 84, 40, 7, "#9a", 3, "Which track of the disc this Song is found at."));
  rows.push_back(Label("LabelCopyright", kExtended, 365, 117, 85, 20, 8, "Copyright:"));
  rows.push_back(
      Field("Copyright", kExtended, 462, 116, 40, 9, "####", 4, "Copyright year for the Original Soundtrack."));
  rows.push_back(Label("LabelAmplification", kExtended, 365, 149, 85, 20, 10, "Amplification:"));
  rows.push_back(Field("Amplification", kExtended, 462, 148, 120, 11, "99999.9", 7,
                       "Amplification level to play this Song at.\r\rStandard: 1x, 1.5x, etc.\r"
                       "Advanced: 65535 = 1x; max = 4294967295"));
  ControlDesign separator = Row("Separator1", ControlClass::Separator, kExtended, 40, 189, 622, 4, 12);
  separator.TextSize = 0;
  rows.push_back(separator);
  rows.push_back(Label("LabelIntroLength", kExtended, 40, 213, 45, 20, 13, "Intro:"));
  rows.push_back(Field("IntroLength", kExtended, 97, 212, 80, 14, "####", 4,
                       "Introduction length for this Song.\r\rStandard: seconds\rAdvanced: 1/64000 seconds"));
  rows.push_back(Label("LabelLoopLength", kExtended, 200, 213, 45, 20, 15, "Loop:"));
  rows.push_back(Field("LoopLength", kExtended, 257, 213, 80, 16, "####", 4,
                       "Length of the looping part of this Song.\r\rStandard: seconds\rAdvanced: 1/64000 seconds"));
  rows.push_back(Label("LabelEndLength", kExtended, 405, 213, 45, 20, 17, "Ending:"));
  rows.push_back(Field("EndLength", kExtended, 462, 212, 80, 18, "####", 4,
                       "Length of the ending part of this Song.\r\rStandard: seconds\rAdvanced: 1/64000 seconds"));
  rows.push_back(Label("LabelLoopCount", kExtended, 565, 213, 45, 20, 19, "Loops:"));
  rows.push_back(Field("LoopCount", kExtended, 622, 212, 40, 20, "#", 1,
                       "How many times to play the looping section of this Song."));

  rows.push_back(Button("OpenButton", 20, 1, "Open...", "Open a SPC file.", true));
  rows.push_back(
      Button("RevertButton", 207, 2, "Revert", "Set all the fields back to when the SPC was first loaded.", false));
  rows.push_back(Button("SaveButton", 395, 3, "Save", "Save the changes to the SPC file.", false));
  rows.push_back(Button("QuitButton", 582, 4, "Quit", "Exits this program.", true));
  return rows;
}

}  // namespace

const fw::WindowDesign& MainWindowDesign() {
  static const fw::WindowDesign design{702, 299, "Quenlet", true, true, false, false, false, true};
  return design;
}

const std::vector<fw::ControlDesign>& MainWindowControls() {
  static const std::vector<fw::ControlDesign> rows = BuildRows();
  return rows;
}
