// The About window: the product's name, version, copyright and contact lines, a description and the picture.
#pragma once

#include <memory>

#include "Picture.h"
#include "Window.h"

class About : public fw::Window {
 public:
  void Layout() override;
  void CreateControls() override;
  void CreateControls0();

  // The open About window, or a new one: there is never more than one.
  static About& Instance();
};

// The picture "icon.png" from the bundle's resources, loaded once and kept in pic for the rest of the run. A file
// that cannot be read as a picture gives nullptr, and the next call tries again.
std::shared_ptr<fw::Picture> icon();
extern std::shared_ptr<fw::Picture> pic;
