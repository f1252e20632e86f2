#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "Failures.h"
#include "FileType.h"
#include "FolderItem.h"
#include "GuiTestSupport.h"

namespace guitest {
namespace {

// Waits for the modal dialog of that class, then lets the test answer it; it stops waiting when the test ends.
template <class Dialog>
std::unique_ptr<QTimer> WhenShown(std::function<void(Dialog&)> answer) {
  auto poll = std::make_unique<QTimer>();
  QTimer* timer = poll.get();
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      timer->stop();
      answer(*dialog);
    }
  });
  timer->start(5);
  return poll;
}

// Chooses a file as a user who types its path does. selectFile would leave the name to the list of the folder,
// which Qt reads in the background: an accept before that list is read chooses nothing and the dialog stays up.
void Choose(QFileDialog& dialog, const std::string& path) {
  auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(name, nullptr);
  name->setText(QFile::decodeName(path.c_str()));
  static_cast<QDialog&>(dialog).accept();
}

// Qt's own dialogs, as the program shows them (no scripted seam).
class QtDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { fw::SetDialogs(nullptr); }
};

TEST_F(QtDialogsTest, OpenDialogOffersTheNamedFileTypes) {
  fw::RegisterFileType({"SPCFiles", "spc", "", ""});
  fw::RegisterFileType({"Dumps", "spc;sp2", "", ""});
  QStringList filters;
  auto answering = WhenShown<QFileDialog>([&](QFileDialog& dialog) {
    filters = dialog.nameFilters();
    dialog.reject();
  });
  EXPECT_EQ(fw::GetOpenFolderItem("SPCFiles;NoSuchType;Dumps"), nullptr) << "a cancel gives no file";
  EXPECT_EQ(filters, QStringList({"SPCFiles (*.spc)", "Dumps (*.spc *.sp2)"}));
}

TEST_F(QtDialogsTest, OpenDialogGivesTheChosenFile) {
  fw::RegisterFileType({"SPCFiles", "spc", "", ""});
  std::string path = (std::filesystem::temp_directory_path() / ("fw-dialog-" + std::to_string(::getpid()) + ".spc")).string();
  std::ofstream(path) << "x";
  auto answering = WhenShown<QFileDialog>([&](QFileDialog& dialog) { Choose(dialog, path); });
  auto chosen = fw::GetOpenFolderItem("SPCFiles");
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->AbsolutePath(), path);
  std::filesystem::remove(path);
}

// Each open dialog starts in the folder of the file chosen last in this run, not where the program was started.
TEST_F(QtDialogsTest, OpenDialogStartsInTheFolderOfTheFileChosenLast) {
  fw::RegisterFileType({"SPCFiles", "spc", "", ""});
  const std::filesystem::path base =
      std::filesystem::temp_directory_path() / ("fw-dialog-folders-" + std::to_string(::getpid()));
  std::vector<std::string> started;
  for (const char* folder : {"first", "second"}) {
    const std::filesystem::path chosen = base / folder / "song.spc";
    std::filesystem::create_directories(chosen.parent_path());
    std::ofstream(chosen) << "x";
    auto answering = WhenShown<QFileDialog>([&](QFileDialog& dialog) {
      started.push_back(QFile::encodeName(dialog.directory().absolutePath()).toStdString());
      Choose(dialog, chosen.string());
    });
    auto item = fw::GetOpenFolderItem("SPCFiles");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->AbsolutePath(), chosen.string());
  }
  // A dialog cancelled after browsing elsewhere leaves the folder as it was.
  for (int i = 0; i < 2; ++i) {
    auto answering = WhenShown<QFileDialog>([&](QFileDialog& dialog) {
      started.push_back(QFile::encodeName(dialog.directory().absolutePath()).toStdString());
      dialog.setDirectory(QFile::decodeName(base.c_str()));
      dialog.reject();
    });
    EXPECT_EQ(fw::GetOpenFolderItem("SPCFiles"), nullptr);
  }
  ASSERT_EQ(started.size(), 4u);
  EXPECT_EQ(started[1], (base / "first").string());
  EXPECT_EQ(started[2], (base / "second").string());
  EXPECT_EQ(started[3], (base / "second").string());
  std::filesystem::remove_all(base);
}

TEST_F(QtDialogsTest, DialogsStillWorkAfterAQuitBeforeTheLoop) {
  // A quit during start-up ends the run at once; it must not leave Qt's modal loops dead meanwhile.
  fw::Quit(0);
  bool answered = false;
  auto answering = WhenShown<QMessageBox>([&](QMessageBox& box) {
    answered = true;
    box.accept();
  });
  fw::MsgBox("Shown and answered.");
  EXPECT_TRUE(answered);
  EXPECT_EQ(fw::RuntimeRun(), 0);
}

// A message holds the program's words and file names: a name spelled in UTF-8 shows as such. The box is titled
// with the program's name; the report of a failure shows as a warning, a plain message with no icon.
TEST_F(QtDialogsTest, MessageBoxesShowTheirTextTitledWithTheProgramsName) {
  fw::SetApplicationIdentity("Quenlet", nullptr);
  struct Case {
    std::function<void()> show;
    QString text;
    QMessageBox::Icon icon;
  } cases[] = {
      {[] { fw::MsgBox("Caf\xC3\xA9 \xE3\x83\x9D.spc\rnext line"); }, QString::fromUtf8("Café ポ.spc\nnext line"),
       QMessageBox::NoIcon},
      {[] { fw::UnhandledException(fw::IOException(28, "The disk is full: \"Caf\xC3\xA9.spc\" was not saved.")); },
       QString::fromUtf8("The disk is full: \"Café.spc\" was not saved."), QMessageBox::Warning},
  };
  for (const Case& c : cases) {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::Critical;
    auto answering = WhenShown<QMessageBox>([&](QMessageBox& box) {
      text = box.text();
      title = box.windowTitle();
      icon = box.icon();
      box.accept();
    });
    c.show();
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(title, "Quenlet");
    EXPECT_EQ(icon, c.icon);
  }
}

}  // namespace
}  // namespace guitest
