#include "Dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include "Application.h"
#include "AreaEdit.h"
#include "FileType.h"
#include "FolderItem.h"
#include "QtText.h"

namespace fw {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!part.empty()) parts.push_back(part);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return parts;
}

// "SPCFiles (*.spc)" for each registered type named; types the framework does not know are left out.
QString FilterOf(const std::string& fileTypes) {
  QStringList filters;
  for (const std::string& name : Split(fileTypes, ';')) {
    const FileType* type = FindFileType(name);
    if (type == nullptr) continue;
    QStringList patterns;
    for (const std::string& extension : Split(type->Extensions, ';')) {
      patterns << QStringLiteral("*.") + detail::ShownText(extension);
    }
    if (patterns.isEmpty()) patterns << QStringLiteral("*");
    filters << detail::ShownText(type->Name) + QStringLiteral(" (") + patterns.join(u' ') + u')';
  }
  return filters.join(QStringLiteral(";;"));
}

class QtDialogs final : public Dialogs {
 public:
  std::shared_ptr<FolderItem> GetOpenFolderItem(const std::string& fileTypes) override {
    QString path = QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), lastFolder_,
                                                FilterOf(fileTypes));
    if (path.isEmpty()) return nullptr;
    lastFolder_ = QFileInfo(path).absolutePath();
    return GetFolderItem(QFile::encodeName(path).toStdString());
  }

  void MsgBox(const std::string& text) override { Show(text, QMessageBox::NoIcon); }
  void ReportFailure(const std::string& text) override { Show(text, QMessageBox::Warning); }
  void Beep() override { QApplication::beep(); }

 private:
  // Where the next open dialog starts: the folder of the file chosen last in this run, as the next file is most
  // likely beside it. Empty before the first, which leaves the start to Qt (the folder the program started in).
  QString lastFolder_;

  static void Show(const std::string& text, QMessageBox::Icon icon) {
    QString shown = detail::ShownFileText(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    QMessageBox box(QApplication::activeWindow());
    // Titled with the program's name, not the process's.
    if (!ApplicationName().empty()) box.setWindowTitle(detail::ShownFileText(ApplicationName()));
    box.setIcon(icon);
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
  }
};

std::unique_ptr<Dialogs>& Installed() {
  static std::unique_ptr<Dialogs> dialogs;
  return dialogs;
}

Dialogs& Current() {
  static QtDialogs qt;
  return Installed() ? *Installed() : static_cast<Dialogs&>(qt);
}

}  // namespace

void SetDialogs(std::unique_ptr<Dialogs> dialogs) { Installed() = std::move(dialogs); }

// A modal dialog runs while a command is under way: the window shows what the command set before it.
std::shared_ptr<FolderItem> GetOpenFolderItem(const std::string& fileTypes) {
  detail::ShowPendingTexts();
  return Current().GetOpenFolderItem(fileTypes);
}

void MsgBox(const std::string& text) {
  detail::ShowPendingTexts();
  Current().MsgBox(text);
}

void Beep() { Current().Beep(); }

void ReportFailure(const std::string& text) {
  detail::ShowPendingTexts();
  Current().ReportFailure(text);
}

}  // namespace fw
