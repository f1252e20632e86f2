#include "Picture.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include "FolderItem.h"
#include "GuiPrivate.h"

namespace fw {

struct Picture::Impl {
  QImage image;
  int transparent = 0;
  // The image as drawn, made again after a change of the transparency.
  QImage shown;
  bool shownValid = false;
};

Picture::Picture(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Picture::~Picture() = default;

int Picture::Width() const { return impl_->image.width(); }
int Picture::Height() const { return impl_->image.height(); }
int Picture::Transparent() const { return impl_->transparent; }

void Picture::SetTransparent(int mode) {
  if (impl_->transparent == mode) return;
  impl_->transparent = mode;
  impl_->shownValid = false;
}

namespace detail {

const QImage& DisplayImage(const Picture& picture) {
  Picture::Impl& impl = picture.impl();
  if (impl.transparent != 1) return impl.image;
  if (!impl.shownValid) {
    impl.shown = impl.image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < impl.shown.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(impl.shown.scanLine(y));
      for (int x = 0; x < impl.shown.width(); ++x) {
        if ((line[x] & 0x00FFFFFFu) == 0x00FFFFFFu) line[x] = qRgba(255, 255, 255, 0);
      }
    }
    impl.shownValid = true;
  }
  return impl.shown;
}

}  // namespace detail

std::shared_ptr<Picture> FolderItem::OpenAsPicture() const {
  if (Directory()) return nullptr;
  QImageReader reader(QFile::decodeName(QByteArray::fromStdString(AbsolutePath())));
  auto impl = std::make_unique<Picture::Impl>();
  impl->image = reader.read();
  if (impl->image.isNull()) return nullptr;
  return std::make_shared<Picture>(std::move(impl));
}

}  // namespace fw
