// The unit modes and the validators of the five fields that hold numbers in the mode's units, and of the OST track.
// The mode lives only in the check marks of the Mode menu; each switch moves both marks before it converts a field,
// so a validator raised by a converted text already tests against the new mode's bound.
//
// The lengths and the amplification also carry the value of the file's item for as long as they show the text the
// program derived from it: a Save writes that value, and a switch to Advanced shows it, exactly. The user's edit and
// a bound that holds the text end it; a switch to Standard and the events of the texts the program sets do not.
// The OST track carries its item's value the same way, and the emulator menu the header's code until the user
// chooses a row.
#include "Dialogs.h"
#include "MainWindow.h"
#include "Text.h"

void MainWindow::ShowCarried(const std::string& field, int32_t value, const std::string& text) {
  // In place before the text is set, so that a bound holding the text drops it.
  CarriedValues[field] = {value, text};
  SetDerivedText(field, text);
}

void MainWindow::SetDerivedText(const std::string& field, const std::string& text) {
  SetFieldText(field, text);
  auto carried = CarriedValues.find(field);
  if (carried != CarriedValues.end()) carried->second.text = FieldText(field);
}

void MainWindow::DropCarriedOnEdit(const std::string& field) {
  if (Find<fw::TextField>(field).UserEditing()) CarriedValues.erase(field);
}

std::optional<int32_t> MainWindow::CarriedValue(const std::string& control) {
  if (control == "DumpedWith")
    return Find<fw::PopupMenu>(control).UserChose() ? std::nullopt : CarriedEmulator;
  auto carried = CarriedValues.find(control);
  // Whatever else set the text since, it is no longer the one derived from the value.
  if (carried == CarriedValues.end() || FieldText(control) != carried->second.text) return std::nullopt;
  return carried->second.value;
}

void MainWindow::HoldToBound(const std::string& field, double bound, const char* boundText) {
  if (fw::Val(FieldText(field)) > bound) {
    CarriedValues.erase(field);
    fw::Beep();
    SetFieldText(field, boundText);
  }
}

void MainWindow::SongFade_TextChange() {
  if (!IsChecked(ModeAdvanced(), "ModeAdvanced")) return;
  HoldToBound("SongFade", 6399936.0, "6399936");
}

void MainWindow::Amplification_TextChange() {
  DropCarriedOnEdit("Amplification");
  if (IsChecked(ModeStandard(), "ModeStandard"))
    HoldToBound("Amplification", 32767.9, "32767.9");
  else
    HoldToBound("Amplification", 2147483647.0, "2147483647");
}

// The three lengths share one bound: 5999 seconds, or the ticks whose whole seconds are 5999.
void MainWindow::HoldLengthToBound(const std::string& field) {
  if (IsChecked(ModeStandard(), "ModeStandard"))
    HoldToBound(field, 5999.0, "5999");
  else
    HoldToBound(field, 383999999.0, "383999999");
}

void MainWindow::IntroLength_TextChange() {
  DropCarriedOnEdit("IntroLength");
  HoldLengthToBound("IntroLength");
}

void MainWindow::LoopLength_TextChange() {
  DropCarriedOnEdit("LoopLength");
  HoldLengthToBound("LoopLength");
}

void MainWindow::EndLength_TextChange() {
  DropCarriedOnEdit("EndLength");
  HoldLengthToBound("EndLength");
}

// A Save keeps one byte of the track number, so what the user types is held to 255 in either mode; a letter after
// it stays. A track the program shows is the file's value, which a Save writes back as it is.
void MainWindow::OSTTrack_TextChange() {
  DropCarriedOnEdit("OSTTrack");
  if (!Find<fw::TextField>("OSTTrack").UserEditing()) return;
  const std::string track = FieldText("OSTTrack");
  if (fw::Val(track) <= 255.0) return;
  fw::Beep();
  const std::string last = fw::Right(track, 1);
  SetFieldText("OSTTrack", last >= "0" && last <= "9" ? "255" : "255" + last);
}

void MainWindow::LengthToStandard(const std::string& field) {
  const int32_t seconds = fw::CInt(fw::Val(FieldText(field))) / 64000;
  SetDerivedText(field, LongStr(seconds));
  auto& control = Find<fw::TextField>(field);
  control.SetMask("####");
  control.SetLimitText(4);
}

void MainWindow::LengthToAdvanced(const std::string& field) {
  auto& control = Find<fw::TextField>(field);
  control.SetLimitText(9);
  control.SetMask("#########");
  // Whole seconds would lose what a value read from the file holds beyond them.
  const std::optional<int32_t> carried = CarriedValue(field);
  const double ticks = carried ? *carried : fw::Val(FieldText(field)) * 64000.0;
  SetDerivedText(field, LongStr(ticks));
}

bool MainWindow::ModeStandard_Action() {
  if (!IsChecked(ModeAdvanced(), "ModeAdvanced")) return false;
  SetChecked(ModeStandard(), "ModeStandard", true);
  SetChecked(ModeAdvanced(), "ModeAdvanced", false);

  const int32_t fade = fw::CInt(fw::Val(FieldText("SongFade"))) / 64;
  SetFieldText("SongFade", LongStr(fade));
  Find<fw::TextField>("SongFade").SetMask("#####");
  Find<fw::TextField>("SongFade").SetLimitText(5);

  double multiple = fw::Val(FieldText("Amplification")) / 65536.0;
  multiple = fw::Round(multiple * 10.0) / 10.0;
  SetFieldText("Amplification", "");
  Find<fw::TextField>("Amplification").SetMask("99999.9");
  Find<fw::TextField>("Amplification").SetLimitText(7);
  SetDerivedText("Amplification", multiple > 0 ? fw::Str(multiple) : "");
  // An Advanced value of 2147480372 or more rounds to 32768, above the Standard bound. The field's own validator
  // holds it there when the text raises its event; holding it here as well keeps that true without the event, and
  // finds nothing left to do after it.
  HoldToBound("Amplification", 32767.9, "32767.9");

  LengthToStandard("IntroLength");
  LengthToStandard("LoopLength");
  LengthToStandard("EndLength");
  return false;
}

bool MainWindow::ModeAdvanced_Action() {
  if (!IsChecked(ModeStandard(), "ModeStandard")) return false;
  SetChecked(ModeStandard(), "ModeStandard", false);
  SetChecked(ModeAdvanced(), "ModeAdvanced", true);

  Find<fw::TextField>("SongFade").SetMask("#########");
  Find<fw::TextField>("SongFade").SetLimitText(9);
  SetFieldText("SongFade", LongStr(fw::Val(FieldText("SongFade")) * 64.0));

  const std::optional<int32_t> carried = CarriedValue("Amplification");
  const double raw = carried ? *carried : fw::Val(FieldText("Amplification")) * 65536.0;
  SetFieldText("Amplification", "");
  Find<fw::TextField>("Amplification").SetLimitText(10);
  Find<fw::TextField>("Amplification").SetMask("9999999999");
  SetDerivedText("Amplification", LongStr(raw));

  LengthToAdvanced("IntroLength");
  LengthToAdvanced("LoopLength");
  LengthToAdvanced("EndLength");
  return false;
}
