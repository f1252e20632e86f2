#pragma once

#include <memory>

namespace fw {

class Picture {
 public:
  struct Impl;
  explicit Picture(std::unique_ptr<Impl> impl);
  ~Picture();

  int Width() const;
  int Height() const;
  // 1: white pixels are drawn transparent; 0: the picture is drawn as it is.
  int Transparent() const;
  void SetTransparent(int mode);

  Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace fw
