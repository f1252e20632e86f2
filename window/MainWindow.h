// The main window: the 53 controls on which the tags are shown and edited, and all of the tag logic (the readers and
// writers come from SPCFormat, which asks the window for the values of its controls).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Menu.h"
#include "SPCFormat.h"
#include "Window.h"

class MainWindow : public fw::Window, public SPCFormat {
 public:
  MainWindow();
  ~MainWindow() override;

  // The open main window, or a new one.
  static MainWindow& Instance();

  // Window events.
  void Layout() override;
  void CreateControls() override;
  void CreateControls0();
  void CreateControls1();
  void AddMenuHandlers(fw::Window& window) override;
  void Event_EnableMenuItems() override;
  void Event_Open() override;

  // Control events.
  void SongFade_TextChange();
  void Amplification_TextChange();
  void IntroLength_TextChange();
  void LoopLength_TextChange();
  void EndLength_TextChange();
  void OSTTrack_TextChange();
  void OpenButton_Action();
  void RevertButton_Action();
  void SaveButton_Action();
  void QuitButton_Action();

  // Menu items of the window's menu bar, looked up by name at each call; nullptr when there is none.
  std::shared_ptr<fw::MenuItem> ModeMenu();
  std::shared_ptr<fw::AppleMenuItem> AppleAbout();
  std::shared_ptr<fw::MenuItem> ModeAdvanced();
  std::shared_ptr<fw::MenuItem> ModeStandard();
  std::shared_ptr<fw::MenuItem> EditMenu();
  std::shared_ptr<fw::MenuItem> EditClear();
  std::shared_ptr<fw::MenuItem> EditPaste();
  std::shared_ptr<fw::MenuItem> EditCopy();
  std::shared_ptr<fw::MenuItem> EditCut();
  std::shared_ptr<fw::MenuItem> UntitledMenu0();
  std::shared_ptr<fw::MenuItem> EditUndo();
  std::shared_ptr<fw::MenuItem> FileMenu();
  std::shared_ptr<fw::MenuItem> FileSave();
  std::shared_ptr<fw::MenuItem> FileRevert();
  std::shared_ptr<fw::MenuItem> UntitledMenu1();
  std::shared_ptr<fw::MenuItem> FileOpen();
  std::shared_ptr<fw::MenuItem> UntitledMenu2();

  // Menu handlers; each returns false.
  bool AppleAbout_Action();
  bool FileOpen_Action();
  bool FileRevert_Action();
  bool FileSave_Action();
  bool ModeStandard_Action();
  bool ModeAdvanced_Action();

 protected:
  // The four questions of the format layer, answered from the controls.
  std::string TagText(const std::string& control) override;
  bool TagChecked(const std::string& control) override;
  int32_t TagRow(const std::string& control) override;
  bool StandardUnits() override;
  std::optional<int32_t> CarriedValue(const std::string& control) override;

  // Display.
  void DisplayStandardTags();
  void DisplayExtendedTags();
  void ClearFields();
  static std::string LongStr(double value);

  // File commands.
  void OpenSPC();
  void RevertSPC();
  void SaveSPC();

 private:
  friend struct MainWindowProbe;  // tests

  std::shared_ptr<fw::MenuItem> MenuItemNamed(const std::string& name);
  // A checked menu item's mark; raises NilObjectException when the item is missing.
  bool IsChecked(std::shared_ptr<fw::MenuItem> item, const char* name);
  void SetChecked(std::shared_ptr<fw::MenuItem> item, const char* name, bool value);
  // The text of a single-line field.
  std::string FieldText(const std::string& name) const;
  void SetFieldText(const std::string& name, const std::string& text);
  void SetAreaText(const std::string& name, const std::string& text);
  void SetFieldTextIfEmpty(const std::string& name, const std::string& text);
  void ShowChannelBits(const std::string& text);
  void ShowEmulatorRow(const std::string& text);
  void ShowTrack(const std::string& text);
  // Shows a field's text derived from the value of the file's item (a unit field's, the track's), and carries
  // that value.
  void ShowCarried(const std::string& field, int32_t value, const std::string& text);
  // Sets a unit field's text converted by the program; a field that carries a value goes on carrying it.
  void SetDerivedText(const std::string& field, const std::string& text);
  // Run by the unit fields' "TextChange": an edit of the user's drops the carried value.
  void DropCarriedOnEdit(const std::string& field);
  // Holds a field to its bound: a value above it beeps and becomes the bound, and it carries no value any more.
  void HoldToBound(const std::string& field, double bound, const char* boundText);
  void HoldLengthToBound(const std::string& field);
  void LengthToStandard(const std::string& field);
  void LengthToAdvanced(const std::string& field);
  void CreateControlRows(std::size_t first, std::size_t last);

  // The unit fields (IntroLength, LoopLength, EndLength, Amplification) that carry the value of the file's item:
  // the value and the text derived from it. Whole seconds and tenths cannot hold most lengths and amplifications
  // exactly, so a field the user leaves alone must give back the value itself.
  struct Carried {
    int32_t value;
    std::string text;
  };
  std::map<std::string, Carried> CarriedValues;
  // The byte that the header's emulator field keeps while the user chooses no row (KeptEmulatorByte of the model
  // shown): the menu has rows for two emulators only, and other programs' codes must survive a Save.
  std::optional<int32_t> CarriedEmulator;
};

// The designs: the main window's and its 53 controls', in creation order.
const fw::WindowDesign& MainWindowDesign();
const std::vector<fw::ControlDesign>& MainWindowControls();
