#include <QLineEdit>

#include <set>

#include "GuiTestSupport.h"
#include "Text.h"

namespace guitest {
namespace {

class TextFieldTest : public GuiTest {
 protected:
  fw::TextField& Make(const std::string& mask, int limit) {
    window_ = &Build<TestWindow>({}, std::vector<fw::ControlDesign>{Field("F", mask, limit)});
    return window_->Find<fw::TextField>("F");
  }
  QLineEdit& Edit(const fw::TextField& field) { return *qobject_cast<QLineEdit*>(fw::WidgetOf(field)); }

  TestWindow* window_ = nullptr;
};

// Clicks a key for each character as QTest::keyClicks does (an ASCII control character is its key: "\b" is
// Backspace), also for characters beyond Latin-1, each one a single key however many UTF-16 units it takes.
void KeyClicks(QWidget* widget, const QString& text) {
  for (char32_t c : text.toUcs4()) {
    const Qt::Key key = c < 0x80 ? QTest::asciiToKey(static_cast<char>(c)) : Qt::Key_unknown;
    QTest::sendKeyEvent(QTest::Click, widget, key, QString::fromUcs4(&c, 1), Qt::NoModifier);
  }
}

struct Typing {
  const char* mask;
  int limit;
  const char* typed;  // UTF-8
  const char* text;
  int beeps;  // one for each character the field refused
};

void PrintTo(const Typing& c, std::ostream* out) {
  *out << "mask \"" << c.mask << "\" limit " << c.limit << " typed \"" << c.typed << "\"";
}

class TypingTest : public TextFieldTest, public ::testing::WithParamInterface<Typing> {};

TEST_P(TypingTest, KeysGiveTextAndBeepForEachCharacterRefused) {
  const Typing& c = GetParam();
  fw::TextField& field = Make(c.mask, c.limit);
  KeyClicks(fw::WidgetOf(field), QString::fromUtf8(c.typed));
  EXPECT_EQ(field.Text(), c.text) << "mask \"" << c.mask << "\", typed \"" << c.typed << "\"";
  EXPECT_EQ(Edit(field).text(), ShownAs(c.text));
  EXPECT_EQ(dialogs_.Beeps(), c.beeps);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, TypingTest,
    ::testing::Values(
        // Dates: every part may stay short, and a separator may come early; a digit that belongs after the next
        // separator brings it in, which refuses nothing.
        Typing{"99/99/9999", 10, "3/7/2004", "3/7/2004", 0}, Typing{"99/99/9999", 10, "12/25/2004", "12/25/2004", 0},
        Typing{"99/99/9999", 10, "12252004", "12/25/2004", 0}, Typing{"99/99/9999", 10, "3/72004", "3/72/004", 0},
        Typing{"99/99/9999", 10, "123", "12/3", 0}, Typing{"99/99/9999", 10, "1/2/3/4", "1/2/34", 1},
        Typing{"99/99/9999", 10, "1//2/", "1//2", 1}, Typing{"99/99/9999", 10, "ab-", "", 3},
        Typing{"99/99/9999", 10, "1/2/20045", "1/2/2004", 1},
        Typing{"99/99/9999", 10, "2004-12-25", "20/04/1225", 2},
        // A number with one decimal, and whole seconds.
        Typing{"99999.9", 7, "1", "1", 0}, Typing{"99999.9", 7, "1.5", "1.5", 0},
        Typing{"99999.9", 7, "32767.9", "32767.9", 0}, Typing{"99999.9", 7, "123456", "12345.6", 0},
        Typing{"99999.9", 7, "1234567", "12345.6", 1},
        Typing{"99999.9", 7, "1.55", "1.5", 1}, Typing{"99999.9", 7, "1..5", "1.5", 1},
        Typing{"99999.9", 7, "-1e", "1", 2}, Typing{"####", 4, "1.5", "15", 1},
        // Digits, then a letter or digit.
        Typing{"#9a", 3, "7", "7", 0}, Typing{"#9a", 3, "12a", "12a", 0}, Typing{"#9a", 3, "123", "123", 0},
        Typing{"#9a", 3, "1234", "123", 1}, Typing{"#9a", 3, "12ab", "12a", 1}, Typing{"#9a", 3, "1a2", "1a", 1},
        Typing{"#9a", 3, "7!", "7", 1},
        // A mask limits on its own, and the limit may be tighter than the mask (and leave no room for a separator).
        Typing{"####", 0, "20045", "2004", 1}, Typing{"99999.9", 3, "1234", "123", 1},
        Typing{"99/99/9999", 4, "12252", "12/2", 2},
        // A full field takes Backspace without a beep, and then a key again.
        Typing{"####", 4, "20045\b6", "2006", 1},
        // No mask: only the limit, and the characters one byte holds (the Windows ones above 127 among them). A
        // character beyond UTF-16's first plane is one character, refused once.
        Typing{"", 5, "abcdefg", "abcde", 2}, Typing{"", 0, "any text at all", "any text at all", 0},
        Typing{"", 0, "€5 “…Œ”", "\x80" "5 \x93\x85\x8C\x94", 0}, Typing{"", 0, "ā日x", "x", 2},
        Typing{"", 0, "a😀b", "ab", 1}, Typing{"", 2, "é€ÿ", "\xE9\x80", 1}, Typing{"####", 4, "1日€", "1", 2}));

TEST_F(TextFieldTest, OnlyCharactersOneByteHoldsAreTyped) {
  fw::TextField& field = Make("", 20);
  Type(field, QString::fromUtf8("é€日\u00ff“…Œ"));
  EXPECT_EQ(field.Text(), "\xE9\x80\xFF\x93\x85\x8C");
  EXPECT_EQ(dialogs_.Beeps(), 1) << "the key that is not taken says so";
}

// An input method's text is typed: each character the field does not take beeps, and the rest goes in.
TEST_F(TextFieldTest, InputMethodTextIsTyped) {
  fw::TextField& field = Make("####", 4);
  Focus(field);
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8("7x日2"));
  QApplication::sendEvent(fw::WidgetOf(field), &commit);
  EXPECT_EQ(field.Text(), "72");
  EXPECT_EQ(dialogs_.Beeps(), 2);
}

// Keys that bring no text never beep, even where the field is full or holds a program's text beyond its mask (an
// undo there brings back a text that the mask would refuse).
TEST_F(TextFieldTest, KeysWithoutTextNeverBeep) {
  fw::TextField& field = Make("99999.9", 7);
  Activate(*window_);
  Focus(field);
  QWidget* widget = fw::WidgetOf(field);
  const std::pair<const char*, std::function<void()>> texts[] = {
      {"full", [&] { QTest::keyClicks(widget, "12345.6"); }},
      {"beyond the mask", [&] { field.SetText("123456789x"); }},
  };
  for (const auto& [what, setUp] : texts) {
    SCOPED_TRACE(what);
    field.SetText("");
    setUp();
    const int beeps = dialogs_.Beeps();
    Edit(field).end(false);
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End, Qt::Key_Backspace, Qt::Key_Delete,
                        Qt::Key_Return, Qt::Key_Escape}) {
      QTest::keyClick(widget, key);
    }
    for (QKeySequence::StandardKey keys : {QKeySequence::Undo, QKeySequence::Redo, QKeySequence::SelectAll,
                                           QKeySequence::Copy, QKeySequence::Undo}) {
      QTest::keySequence(widget, keys);
    }
    EXPECT_EQ(dialogs_.Beeps(), beeps);
  }
}

struct Pasting {
  const char* mask;
  int limit;
  const char* before;  // set by the program
  int cursor;          // -1: at the end; -2: the whole text selected
  QString pasted;
  std::string after;
  bool leftOut;  // something was left out, and the user hears it
};

void PrintTo(const Pasting& c, std::ostream* out) {
  *out << "mask \"" << c.mask << "\" limit " << c.limit << " before \"" << c.before << "\" pasted \""
       << c.pasted.left(20).toStdString() << "\"";
}

class PastingTest : public TextFieldTest, public ::testing::WithParamInterface<Pasting> {};

// A paste and a drop (which inserts the run where it falls) keep every character that fits, in order.
TEST_P(PastingTest, KeepsWhatFitsAndBeepsForTheRest) {
  const Pasting& c = GetParam();
  const std::function<void(fw::TextField&)> ways[] = {
      [&](fw::TextField& field) { Paste(field, c.pasted); },
      [&](fw::TextField& field) { Edit(field).insert(c.pasted); },
  };
  for (const auto& way : ways) {
    fw::TextField& field = Make(c.mask, c.limit);
    field.SetText(c.before);
    Focus(field);
    if (c.cursor == -2) {
      Edit(field).selectAll();
    } else {
      Edit(field).setCursorPosition(c.cursor == -1 ? static_cast<int>(Edit(field).text().size()) : c.cursor);
    }
    const int beeps = dialogs_.Beeps();
    way(field);
    EXPECT_EQ(field.Text(), c.after);
    EXPECT_EQ(Edit(field).text(), ShownAs(c.after));
    EXPECT_EQ(dialogs_.Beeps() - beeps, c.leftOut ? 1 : 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, PastingTest,
    ::testing::Values(
        // Too long for the room left: the characters that fit go in.
        Pasting{"", 255, "", -1, QString(256, u'a'), std::string(255, 'a'), true},
        Pasting{"", 4, "", -1, "abcde", "abcd", true}, Pasting{"", 5, "abcd", 2, "xyz", "abxcd", true},
        Pasting{"", 3, "ac", 1, "cx", "acc", true}, Pasting{"", 5, "abcde", -2, "123456", "12345", true},
        // The mask still holds: what would break it is left out, and what comes after it may still go in.
        Pasting{"99999.9", 7, "", -1, "12x", "12", true}, Pasting{"99999.9", 7, "", -1, "123.456", "123.4", true},
        Pasting{"99999.9", 7, "", -1, "x1", "1", true}, Pasting{"99999.9", 7, "", -1, "1 2,5", "125", true},
        Pasting{"99999.9", 7, "12", -1, "123.4", "12123.4", false},
        Pasting{"99/99/9999", 10, "12/", -1, "25/20045", "12/25/2004", true},
        // The mask's separators come in as they do for typing.
        Pasting{"99/99/9999", 10, "", -1, "12252004", "12/25/2004", false},
        Pasting{"99999.9", 7, "", -1, "123456", "12345.6", false},
        // Every character one byte can hold goes in, and only those.
        Pasting{"", 20, "\xE9", -1, QString::fromUtf8("x€y"), "\xE9x\x80y", false},
        Pasting{"", 0, "", -1, QString::fromUtf8("ü!"), "\xFC!", false},
        Pasting{"", 255, "", -1, QString::fromUtf8("Café ☕ 日本 end😀"), "Caf\xE9   end", true},
        Pasting{"", 255, "", -1, QString::fromUtf8("Œuvre – “quoted”"), "\x8Cuvre \x96 \x93quoted\x94", false},
        Pasting{"", 255, "", -1, QString::fromUtf8("\u0080\u0081"), "\x81", true},
        Pasting{"", 20, "", -1, QString::fromUtf8("€x"), "\x80x", false},
        // Nothing fits: the text stays as it was, a program's text beyond the limit or the mask included.
        Pasting{"", 3, "abc", -1, "d", "abc", true}, Pasting{"99999.9", 7, "1.5", -1, "5", "1.5", true},
        Pasting{"", 20, "", -1, QString::fromUtf8("日本"), "", true},
        Pasting{"", 3, "abcdef", -1, "x", "abcdef", true}, Pasting{"####", 0, "12345x", 2, "9", "12345x", true}));

TEST_F(TextFieldTest, AProgramsTextIsShownFromItsStart) {
  fw::TextField& field = Make("", 0);
  Activate(*window_);
  Focus(field);
  const std::string titles[] = {"A game title far longer than its box can show at once, ending here",
                                "Another title, just as long, that the next Open of a file brings in"};
  for (const std::string& title : titles) {
    field.SetText(title);
    EXPECT_EQ(Edit(field).cursorPosition(), 0);
    EXPECT_FALSE(Edit(field).hasSelectedText());
    // The first characters are on show: once drawn, the cursor at 0 sits at the box's left edge.
    fw::WidgetOf(field)->repaint();
    EXPECT_LT(Edit(field).inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), 10);
  }

  // Typing goes on where the user is.
  Edit(field).end(false);
  QTest::keyClicks(fw::WidgetOf(field), "!");
  EXPECT_EQ(field.Text(), titles[1] + "!");
  EXPECT_EQ(Edit(field).cursorPosition(), static_cast<int>(titles[1].size()) + 1);
}

TEST_F(TextFieldTest, ProgramTextsComeBackByteForByte) {
  fw::TextField& field = Make("99999.9", 7);
  const std::string texts[] = {Bytes("a\0b", 3), "caf\xE9 \xA0\xFF\x80", "one\rtwo", "one\r\ntwo",
                               "far longer than the mask and the limit", ""};
  for (const std::string& text : texts) {
    field.SetText(text);
    EXPECT_EQ(field.Text(), text);
    EXPECT_EQ(Edit(field).text(), ShownAs(text));
  }
}

// Each byte is one character on show, and an edit gives every byte back as it was.
TEST_F(TextFieldTest, EveryByteComesBackFromAnEdit) {
  fw::TextField& field = Make("", 0);
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  field.SetText(all);
  const QString shown = Edit(field).text();
  EXPECT_EQ(shown, ShownAs(all));
  EXPECT_EQ(std::set<QChar>(shown.begin(), shown.end()).size(), 256u);
  Edit(field).end(false);
  QTest::keyClicks(fw::WidgetOf(field), "z");
  EXPECT_EQ(field.Text(), all + "z");
}

// The bytes that Windows programs wrote above 127 show as their characters, and each character goes in as its byte.
TEST_F(TextFieldTest, HighBytesAreTheirWindowsCharacters) {
  const struct {
    char byte;
    const char* character;
  } cases[] = {
      {'\x80', "€"}, {'\x85', "…"}, {'\x8C', "Œ"}, {'\x9C', "œ"}, {'\x91', "‘"}, {'\x92', "’"},
      {'\x93', "“"}, {'\x94', "”"}, {'\x96', "–"}, {'\x97', "—"}, {'\x99', "™"}, {'\x9F', "Ÿ"},
      // Left undefined there, these stay the control characters of their code.
      {'\x81', "\u0081"}, {'\x8D', "\u008D"}, {'\x8F', "\u008F"}, {'\x90', "\u0090"}, {'\x9D', "\u009D"},
      {'\xA0', "\u00A0"}, {'\xE9', "é"}, {'\xFF', "ÿ"},
  };
  fw::TextField& field = Make("", 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.character);
    field.SetText(std::string(1, c.byte));
    EXPECT_EQ(Edit(field).text(), QString::fromUtf8(c.character));
    field.SetText("");
    Edit(field).insert(QString::fromUtf8(c.character));
    EXPECT_EQ(field.Text(), std::string(1, c.byte));
  }
}

TEST_F(TextFieldTest, ProgramTextBeyondMaskCanBeEditedDownButNotUp) {
  fw::TextField& field = Make("99999.9", 7);
  field.SetText("123456789x");
  Focus(field);
  Edit(field).end(false);
  QTest::keyClick(fw::WidgetOf(field), Qt::Key_Backspace);
  EXPECT_EQ(field.Text(), "123456789");
  QTest::keyClicks(fw::WidgetOf(field), "9");
  EXPECT_EQ(field.Text(), "123456789") << "typing still follows the mask";
  Edit(field).setCursorPosition(0);
  QTest::keyClick(fw::WidgetOf(field), Qt::Key_Delete);
  EXPECT_EQ(field.Text(), "23456789");
}

TEST_F(TextFieldTest, UserEditKeepsBytesAbove127) {
  fw::TextField& field = Make("", 0);
  field.SetText("\xA0\xE9\xFF");
  Edit(field).end(false);
  QTest::keyClicks(fw::WidgetOf(field), "z");
  EXPECT_EQ(field.Text(), "\xA0\xE9\xFFz");
}

TEST_F(TextFieldTest, ALongProgramTextSurvivesAnEdit) {
  // An extended item may hold up to 65535 bytes; the widget must not cut it where the user edits.
  fw::TextField& field = Make("", 0);
  const std::string text(65535, 'x');
  field.SetText(text);
  Edit(field).end(false);
  QTest::keyClick(fw::WidgetOf(field), Qt::Key_Backspace);
  EXPECT_EQ(field.Text().size(), 65534u);
  EXPECT_TRUE(field.Text() == std::string(65534, 'x'));
}

TEST_F(TextFieldTest, TextChangeIsRaisedExactlyWhenTheTextChanges) {
  fw::TextField& field = Make("", 0);
  std::vector<std::string> seen;
  field.AddEventHandler("TextChange", [&] { seen.push_back(field.Text()); });

  field.SetText("x");
  field.SetText("x");
  field.SetText("");
  field.SetText("");
  QTest::keyClicks(fw::WidgetOf(field), "ab");
  field.SetText("ab");
  QTest::keyClick(fw::WidgetOf(field), Qt::Key_Backspace);
  EXPECT_EQ(seen, (std::vector<std::string>{"x", "", "a", "ab", "a"}));
}

// Every way a user changes the text is told apart from a text the program sets, the Edit menu's commands too.
TEST_F(TextFieldTest, TellsTheUsersChangesFromTheProgramsTexts) {
  auto bar = OneMenuBar("EditMenu", "Edit", {"EditUndo", "EditCut", "EditPaste", "EditClear"});
  window_ = &Build<TestWindow>([&](TestWindow& w) {
    w.controls_ = {Field("F")};
    w.bar = bar;
  });
  fw::TextField& field = window_->Find<fw::TextField>("F");
  QLineEdit& line = Edit(field);
  QWidget* widget = &line;
  Activate(*window_);
  Focus(field);
  std::vector<bool> seen;
  field.AddEventHandler("TextChange", [&] { seen.push_back(field.UserEditing()); });
  const auto command = [this](const char* item) { EXPECT_TRUE(window_->RunMenuCommand(item)) << item; };
  const auto clipboard = [](const char* text) { QGuiApplication::clipboard()->setText(text); };
  const auto type = [widget] { QTest::keyClicks(widget, "d"); };

  const struct {
    const char* what;
    std::function<void()> change;
    std::string text;
    size_t changes;
  } ways[] = {
      {"typing", type, "abcd", 1},
      {"Backspace", [&] { QTest::keyClick(widget, Qt::Key_Backspace); }, "ab", 1},
      {"Delete", [&] { line.home(false); QTest::keyClick(widget, Qt::Key_Delete); }, "bc", 1},
      {"the cut key", [&] { line.selectAll(); QTest::keySequence(widget, QKeySequence::Cut); }, "", 1},
      {"the paste key", [&] { clipboard("p"); QTest::keySequence(widget, QKeySequence::Paste); }, "abcp", 1},
      {"the undo key", [&] { type(); QTest::keySequence(widget, QKeySequence::Undo); }, "abc", 2},
      {"the redo key",
       [&] {
         type();
         QTest::keySequence(widget, QKeySequence::Undo);
         QTest::keySequence(widget, QKeySequence::Redo);
       },
       "abcd", 3},
      {"a drop", [&] { line.insert("x"); }, "abcx", 1},
      {"Edit > Undo", [&] { type(); command("EditUndo"); }, "abc", 2},
      {"Edit > Cut", [&] { line.selectAll(); command("EditCut"); }, "", 1},
      {"Edit > Paste", [&] { clipboard("p"); command("EditPaste"); }, "abcp", 1},
      {"Edit > Clear", [&] { line.setSelection(0, 2); command("EditClear"); }, "c", 1},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.what);
    field.SetText("");
    seen.clear();
    field.SetText("abc");
    EXPECT_EQ(seen, std::vector<bool>{false});
    seen.clear();
    line.end(false);
    way.change();
    EXPECT_EQ(field.Text(), way.text);
    EXPECT_EQ(seen, std::vector<bool>(way.changes, true));
    EXPECT_FALSE(field.UserEditing());
  }
}

TEST_F(TextFieldTest, RejectedKeysRaiseNothing) {
  fw::TextField& field = Make("9", 1);
  int changes = 0;
  field.AddEventHandler("TextChange", [&] { ++changes; });
  QTest::keyClicks(fw::WidgetOf(field), "x5y6");
  EXPECT_EQ(field.Text(), "5");
  EXPECT_EQ(changes, 1);
}

TEST_F(TextFieldTest, HandlerMaySetItsFieldsTextWhileTyping) {
  fw::TextField& field = Make("#####", 5);
  int changes = 0;
  // A bound held as the user types, as the program's validators do.
  field.AddEventHandler("TextChange", [&] {
    ++changes;
    if (fw::Val(field.Text()) > 100) field.SetText("100");
  });
  QTest::keyClicks(fw::WidgetOf(field), "150");
  EXPECT_EQ(field.Text(), "100");
  EXPECT_EQ(Edit(field).text(), "100");
  EXPECT_EQ(changes, 4) << "three keys and the handler's own change";

  QTest::keyClicks(fw::WidgetOf(field), "7");
  EXPECT_EQ(field.Text(), "100");
  QTest::keyClick(fw::WidgetOf(field), Qt::Key_Backspace);
  EXPECT_EQ(field.Text(), "10");
}

}  // namespace
}  // namespace guitest
