#include <QImage>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "FolderItem.h"
#include "GuiTestSupport.h"
#include "Picture.h"

namespace guitest {
namespace {

class PictureTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    folder_ = std::filesystem::temp_directory_path() / ("fw-picture-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    std::filesystem::remove_all(folder_);
    GuiTest::TearDown();
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  // A 4 by 4 white picture with a red top left pixel.
  std::string WritePng(const std::string& name) const {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    EXPECT_TRUE(image.save(QString::fromStdString(Path(name)), "PNG"));
    return Path(name);
  }

  std::filesystem::path folder_;
};

TEST_F(PictureTest, OpensAPictureAndNothingElse) {
  auto picture = fw::GetFolderItem(WritePng("icon.png"))->OpenAsPicture();
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Width(), 4);
  EXPECT_EQ(picture->Height(), 4);
  EXPECT_EQ(picture->Transparent(), 0);

  std::ofstream(Path("not.png")) << "this is no picture";
  EXPECT_EQ(fw::GetFolderItem(Path("not.png"))->OpenAsPicture(), nullptr);
  EXPECT_EQ(fw::GetFolderItem(Path("missing.png"))->OpenAsPicture(), nullptr);
  EXPECT_EQ(fw::GetFolderItem(folder_.string() + "/")->OpenAsPicture(), nullptr);
}

TEST_F(PictureTest, CanvasDrawsItsBackdropAtTheTopLeftUnscaled) {
  auto picture = fw::GetFolderItem(WritePng("icon.png"))->OpenAsPicture();
  ASSERT_NE(picture, nullptr);
  TestWindow& window = Build<TestWindow>(
      {}, std::vector<fw::ControlDesign>{Design("Canvas", fw::ControlClass::Canvas, 10, 10, 20, 20)});
  auto& canvas = window.Find<fw::Canvas>("Canvas");
  QImage empty = fw::WidgetOf(canvas)->grab().toImage();
  const QRgb background = empty.pixel(10, 10);
  ASSERT_NE(background, qRgb(255, 255, 255)) << "the test needs a background other than white";

  canvas.SetBackdrop(picture);
  EXPECT_EQ(canvas.Backdrop(), picture);
  QImage drawn = fw::WidgetOf(canvas)->grab().toImage();
  EXPECT_EQ(drawn.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(drawn.pixel(3, 3), qRgb(255, 255, 255));
  EXPECT_EQ(drawn.pixel(4, 4), background) << "drawn at its own size";

  picture->SetTransparent(1);
  QImage transparent = fw::WidgetOf(canvas)->grab().toImage();
  EXPECT_EQ(transparent.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(transparent.pixel(3, 3), background) << "white is see-through";

  canvas.SetBackdrop(nullptr);
  EXPECT_EQ(fw::WidgetOf(canvas)->grab().toImage().pixel(0, 0), background);
}

}  // namespace
}  // namespace guitest
