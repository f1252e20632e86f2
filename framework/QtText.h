// Texts at the Qt boundary: a tag text's bytes to Qt's text and back, and the program's own texts (titles,
// messages, file names) as they are shown. For the framework's GUI sources only.
#pragma once

#include <string>

class QChar;
class QString;

namespace fw {

namespace detail {

// A tag text's bytes to Qt text and back, one character each as CharacterOfByte says (never through a C string or
// UTF-8). A character that no byte stands for has no byte, and is left out.
QString ShownText(const std::string& bytes);
std::string BytesOf(const QString& shown);
// Whether one byte of a tag text stands for the character.
bool HoldsAsByte(QChar c);
// A tag text as a label, a tool tip or a multi-line field shows it: each "\r" and "\r\n" as one line end.
QString ShownLines(const std::string& bytes);

// A title's or a message's bytes as shown: they hold the program's own texts and file names, never tag texts, so
// they are decoded as the file system spells names (QFile::decodeName).
QString ShownFileText(const std::string& bytes);

}  // namespace detail

}  // namespace fw
