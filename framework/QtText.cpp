// Tag texts and the program's own texts to Qt's text and back.
#include "QtText.h"

#include <QFile>
#include <QString>

#include "Text.h"

namespace fw {

namespace detail {

QString ShownText(const std::string& bytes) {
  QString shown(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* out = shown.data();
  for (char byte : bytes) *out++ = QChar(static_cast<char16_t>(CharacterOfByte(static_cast<unsigned char>(byte))));
  return shown;
}

std::string BytesOf(const QString& shown) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(shown.size()));
  for (QChar c : shown) {
    const int byte = ByteOfCharacter(c.unicode());
    if (byte >= 0) bytes += static_cast<char>(byte);
  }
  return bytes;
}

bool HoldsAsByte(QChar c) { return ByteOfCharacter(c.unicode()) >= 0; }

QString ShownLines(const std::string& bytes) {
  QString shown = ShownText(bytes);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(u'\r', u'\n');
  return shown;
}

QString ShownFileText(const std::string& bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace detail

}  // namespace fw
