// Puts the tag model into the tag controls: the extended items first, on emptied controls, then the header values
// where the controls are still empty.
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "MainWindow.h"
#include "Text.h"

namespace {

int32_t N(const std::string& text) { return fw::CInt(fw::Val(text)); }

const char* const kChannels[] = {"Channel1", "Channel2", "Channel3", "Channel4",
                                 "Channel5", "Channel6", "Channel7", "Channel8"};

}  // namespace

void MainWindow::SetFieldTextIfEmpty(const std::string& name, const std::string& text) {
  if (FieldText(name).empty()) SetFieldText(name, text);
}

void MainWindow::ClearFields() {
  CarriedValues.clear();
  CarriedEmulator.reset();
  for (const char* name : {"SongTitle", "GameTitle", "SongArtist", "DumpedBy", "DumpedOn"}) SetFieldText(name, "");
  Find<fw::PopupMenu>("DumpedWith").SetListIndex(0);
  SetAreaText("Comments", "");
  SetFieldText("SongLength", "");
  SetFieldText("SongFade", "");
  for (const char* name : kChannels) Find<fw::CheckBox>(name).SetValue(false);
  SetAreaText("OSTTitle", "");
  for (const char* name : {"OSTDisc", "OSTTrack", "Publisher", "Copyright", "IntroLength", "LoopLength", "EndLength",
                           "LoopCount", "Amplification"})
    SetFieldText(name, "");
}

// A text that sorts before "3" names a row; one whose number is no row of the menu ("15", "-1") selects row 0.
void MainWindow::ShowEmulatorRow(const std::string& text) {
  if (text.compare("3") >= 0) return;
  int32_t row = N(text);
  if (row < 0 || row > 2) row = 0;
  Find<fw::PopupMenu>("DumpedWith").SetListIndex(row);
}

void MainWindow::ShowChannelBits(const std::string& text) {
  int32_t mask = N(text);
  for (int channel = 8; channel >= 2; --channel) {
    const int32_t divisor = 1 << (channel - 1);
    Find<fw::CheckBox>(kChannels[channel - 1]).SetValue(mask / divisor == 1);
    mask %= divisor;
  }
  Find<fw::CheckBox>("Channel1").SetValue(mask == 1);
}

void MainWindow::ShowTrack(const std::string& text) {
  const int32_t value = N(text);
  std::string track = fw::Str(static_cast<int32_t>(value / 256));
  const int32_t letter = value % 256;
  if (letter != 0) track += fw::Chr(letter);
  ShowCarried("OSTTrack", value, track);
}

void MainWindow::DisplayExtendedTags() {
  for (std::size_t i = 1; i < ExtendedData.size() && i < ExtendedIDs.size(); ++i) {
    const int32_t id = ExtendedIDs[i];
    const std::string v = ExtendedData[i];
    switch (id) {
      case 0x01: SetFieldText("SongTitle", v); break;
      case 0x02: SetFieldText("GameTitle", v); break;
      case 0x03: SetFieldText("SongArtist", v); break;
      case 0x04: SetFieldText("DumpedBy", v); break;
      case 0x05: SetFieldText("DumpedOn", v); break;
      case 0x06: ShowEmulatorRow(v); break;
      case 0x07: SetAreaText("Comments", v); break;
      case 0x10: SetAreaText("OSTTitle", v); break;
      case 0x11: SetFieldText("OSTDisc", v); break;
      case 0x12: ShowTrack(v); break;
      case 0x13: SetFieldText("Publisher", v); break;
      case 0x14: SetFieldText("Copyright", v); break;
      case 0x30:
      case 0x31:
      case 0x32: {
        const char* field = id == 0x30 ? "IntroLength" : id == 0x31 ? "LoopLength" : "EndLength";
        ShowCarried(field, N(v), StandardUnits() ? fw::Str(static_cast<int32_t>(N(v) / 64000)) : LongStr(fw::Val(v)));
        break;
      }
      case 0x33:
        SetFieldText("SongFade", StandardUnits() ? fw::Str(static_cast<int32_t>(N(v) / 64)) : v);
        break;
      case 0x34:
        ExtendedChannelDisables = true;
        ShowChannelBits(v);
        break;
      case 0x35: SetFieldText("LoopCount", v); break;
      case 0x36:
        ShowCarried("Amplification", N(v),
                    StandardUnits() ? fw::Str(static_cast<double>(N(v) / 6553) / 10.0) : LongStr(fw::Val(v)));
        break;
      default: break;
    }
  }
}

void MainWindow::DisplayStandardTags() {
  SetFieldTextIfEmpty("SongTitle", StandardTags[0]);
  SetFieldTextIfEmpty("GameTitle", StandardTags[1]);
  SetFieldTextIfEmpty("DumpedBy", StandardTags[2]);
  if (Find<fw::TextArea>("Comments").Text().empty()) SetAreaText("Comments", StandardTags[3]);
  SetFieldTextIfEmpty("DumpedOn", StandardTags[4]);
  SetFieldText("SongLength", StandardTags[5]);
  if (FieldText("SongFade").empty()) {
    SetFieldText("SongFade",
                 StandardUnits() ? StandardTags[6] : fw::Str(fw::CInt(fw::Val(StandardTags[6]) * 64.0)));
  }
  SetFieldTextIfEmpty("SongArtist", StandardTags[7]);
  if (!ExtendedChannelDisables) ShowChannelBits(StandardTags[8]);
  // A header that names no emulator gives way to the extended item that does.
  if (!HeaderEmulatorUnknown() || !ItemEmulatorCode()) ShowEmulatorRow(StandardTags[9]);
  CarriedEmulator = KeptEmulatorByte();
}

// The decimal digits of the whole part; "" when it is 0 or less. Exact for every finite value, however large.
std::string MainWindow::LongStr(double value) {
  const double whole = fw::Floor(value);
  if (!std::isfinite(whole) || whole < 1) return "";
  char digits[320];  // the largest double has 309 digits
  std::snprintf(digits, sizeof digits, "%.0f", whole);
  return digits;
}
