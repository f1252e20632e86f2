#include "About.h"

#include <vector>

#include "Resources.h"

std::shared_ptr<fw::Picture> pic;

namespace {

// It opens over the window it was asked from, and Escape closes it, as a dialog's does.
const fw::WindowDesign kAboutDesign{340, 283, "About Quenlet", true, true, false, false, false, true, 1, true};

fw::ControlDesign Text(const char* name, int left, int top, int width, int height, int tabIndex, const char* text,
                       int align, double size) {
  fw::ControlDesign design = fw::Placed(name, fw::ControlClass::StaticText, left, top, width, height);
  design.TabIndex = tabIndex;
  design.Text = text;
  design.TextAlign = align;
  design.Multiline = true;
  design.TextSize = size;
  return design;
}

const std::vector<fw::ControlDesign>& AboutControls() {
  static const std::vector<fw::ControlDesign> rows = [] {
    std::vector<fw::ControlDesign> list;
    list.push_back(Text("StaticText1", 20, 14, 300, 30, 0, "Quenlet", 1, 24));
    list.push_back(Text("StaticText2", 160, 65, 160, 48, 1,
                        "Version 1.1.1\r"
                        "(c) 2026 Quenlet authors\r"
                        "Issues: see README",
                        1, 12));
    list.push_back(Text("StaticText3", 20, 205, 300, 64, 2,
                        "Edit the ID666 tags for your SPC files!\r"
                        "Supports the Extended ID666 tags.\r"
                        "\r"
                        "Made for SPC collections.",
                        0, 12));
    fw::ControlDesign canvas = fw::Placed("Canvas1", fw::ControlClass::Canvas, 20, 65, 128, 128);
    canvas.TabIndex = 3;
    canvas.TextSize = 0;
    list.push_back(canvas);
    return list;
  }();
  return rows;
}

}  // namespace

std::shared_ptr<fw::Picture> icon() {
  if (pic) return pic;
  if (auto resources = fw::GetApplicationBundleResources()) {
    auto file = resources->Child("icon.png");
    if (!file) throw fw::NilObjectException("The resources folder has no item \"icon.png\".");
    pic = file->OpenAsPicture();
  }
  if (pic) pic->SetTransparent(1);
  return pic;
}

About& About::Instance() { return fw::ImplicitWindow<About>(); }

void About::Layout() { ApplyDesign(kAboutDesign); }

void About::CreateControls() { CreateControls0(); }

void About::CreateControls0() {
  for (const fw::ControlDesign& design : AboutControls()) {
    AddControl(design);
    if (design.Class == fw::ControlClass::Canvas) Find<fw::Canvas>(design.Name).SetBackdrop(icon());
  }
}
