#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include "GuiTestSupport.h"

namespace guitest {
namespace {

class TextAreaTest : public GuiTest {
 protected:
  fw::TextArea& Make(int limit = 255) {
    window_ = &Build<TestWindow>({}, std::vector<fw::ControlDesign>{Area("A", limit)});
    return window_->Find<fw::TextArea>("A");
  }
  QPlainTextEdit& Edit(const fw::TextArea& area) { return *qobject_cast<QPlainTextEdit*>(fw::WidgetOf(area)); }
  void ToEnd(const fw::TextArea& area) { Edit(area).moveCursor(QTextCursor::End); }

  TestWindow* window_ = nullptr;
};

TEST_F(TextAreaTest, ProgramTextsComeBackByteForByte) {
  fw::TextArea& area = Make();
  const std::string texts[] = {Bytes("a\0b", 3), "one\rtwo\rthree", "one\r\ntwo", "mixed\r\nends\rand\nmore",
                               "caf\xE9\xA0\xFF", "\r\r\n\n", ""};
  for (const std::string& text : texts) {
    area.SetText(text);
    EXPECT_EQ(area.Text(), text);
  }
}

TEST_F(TextAreaTest, ShowsEveryLineEndAsOne) {
  fw::TextArea& area = Make();
  area.SetText("one\r\ntwo\rthree\nfour");
  EXPECT_EQ(Edit(area).blockCount(), 4);
  EXPECT_EQ(Edit(area).toPlainText(), "one\ntwo\nthree\nfour");
}

struct LineEnds {
  const char* given;
  const char* afterTyping;
};

void PrintTo(const LineEnds& c, std::ostream* out) { *out << ::testing::PrintToString(std::string(c.given)); }

class TypedLineEndTest : public TextAreaTest, public ::testing::WithParamInterface<LineEnds> {};

TEST_P(TypedLineEndTest, TakesTheStyleOfTheText) {
  fw::TextArea& area = Make();
  area.SetText(GetParam().given);
  ToEnd(area);
  QTest::keyClick(fw::WidgetOf(area), Qt::Key_Return);
  QTest::keyClicks(fw::WidgetOf(area), "z");
  EXPECT_EQ(area.Text(), GetParam().afterTyping);
}

INSTANTIATE_TEST_SUITE_P(Styles, TypedLineEndTest,
                         ::testing::Values(LineEnds{"a\r\nb", "a\r\nb\r\nz"}, LineEnds{"a\rb", "a\rb\rz"},
                                           LineEnds{"a\nb", "a\nb\nz"}, LineEnds{"ab", "ab\nz"},
                                           LineEnds{"", "\nz"},
                                           // A text with both takes "\r\n" throughout.
                                           LineEnds{"a\rb\r\nc", "a\r\nb\r\nc\r\nz"}));

TEST_F(TextAreaTest, UserEditKeepsNulsAndBytesAbove127) {
  fw::TextArea& area = Make();
  area.SetText(Bytes("a\0\xA0\xFF\r\nb", 7));
  ToEnd(area);
  QTest::keyClicks(fw::WidgetOf(area), "c");
  EXPECT_EQ(area.Text(), Bytes("a\0\xA0\xFF\r\nbc", 8));
}

TEST_F(TextAreaTest, EditsBeyondTheLimitAreUndone) {
  fw::TextArea& area = Make(5);
  QTest::keyClicks(fw::WidgetOf(area), "abcdefg");
  EXPECT_EQ(area.Text(), "abcde");
  Paste(area, "xy");
  EXPECT_EQ(area.Text(), "abcde");
  QTest::keyClick(fw::WidgetOf(area), Qt::Key_Return);
  EXPECT_EQ(area.Text(), "abcde");
  QTest::keyClick(fw::WidgetOf(area), Qt::Key_Backspace);
  EXPECT_EQ(area.Text(), "abcd");

  // A "\r\n" text counts both bytes of each line end.
  area.SetText("ab\r\nc");
  ToEnd(area);
  QTest::keyClicks(fw::WidgetOf(area), "de");
  EXPECT_EQ(area.Text(), "ab\r\nc");
}

TEST_F(TextAreaTest, ProgramTextBeyondTheLimitCanBeEditedDown) {
  fw::TextArea& area = Make(3);
  area.SetText("abcdef");
  ToEnd(area);
  QTest::keyClick(fw::WidgetOf(area), Qt::Key_Backspace);
  EXPECT_EQ(area.Text(), "abcde");
  QTest::keyClicks(fw::WidgetOf(area), "x");
  EXPECT_EQ(area.Text(), "abcde");
}

TEST_F(TextAreaTest, OnlyCharactersOneByteHoldsAreTyped) {
  fw::TextArea& area = Make();
  Type(area, QString::fromUtf8("é€日ÿ“…Œ"));
  EXPECT_EQ(area.Text(), "\xE9\x80\xFF\x93\x85\x8C");
  EXPECT_EQ(dialogs_.Beeps(), 1);
}

// Each typed character that the field does not take beeps once; line ends count as the bytes they will be, and keys
// that bring no text never beep.
TEST_F(TextAreaTest, EachRefusedKeyBeeps) {
  struct Case {
    int limit;
    std::string before;
    QString typed;  // "\n" is Return, "\b" Backspace, "<" the left arrow
    std::string after;
    int beeps;
  } cases[] = {
      {3, "", "abcd", "abc", 1},
      {0, "", QString::fromUtf8("ā€日x"), "\x80x", 2},
      {2, "ab", "\n<\bxyz", "xb", 3},
      // A line end of two bytes has no room where one character still has.
      {5, "a\r\nb", "\nc", "a\r\nbc", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before + " + " + c.typed.toStdString());
    fw::TextArea& area = Make(c.limit);
    area.SetText(c.before);
    ToEnd(area);
    const int beeps = dialogs_.Beeps();
    for (QChar key : c.typed) {
      if (key == u'\n') {
        QTest::keyClick(fw::WidgetOf(area), Qt::Key_Return);
      } else if (key == u'\b') {
        QTest::keyClick(fw::WidgetOf(area), Qt::Key_Backspace);
      } else if (key == u'<') {
        QTest::keyClick(fw::WidgetOf(area), Qt::Key_Left);
      } else {
        Type(area, key);
      }
    }
    EXPECT_EQ(area.Text(), c.after);
    EXPECT_EQ(dialogs_.Beeps() - beeps, c.beeps);
  }
}

TEST_F(TextAreaTest, InputMethodTextIsTyped) {
  fw::TextArea& area = Make(4);
  area.SetText("ab");
  ToEnd(area);
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8("日cde"));
  QApplication::sendEvent(fw::WidgetOf(area), &commit);
  EXPECT_EQ(area.Text(), "abcd");
  EXPECT_EQ(dialogs_.Beeps(), 2);
}

// Each byte but the line ends (which take the style of the text) is one character, and an edit gives it back.
TEST_F(TextAreaTest, EveryByteComesBackFromAnEdit) {
  fw::TextArea& area = Make(0);
  std::string all;
  for (int byte = 0; byte < 256; ++byte) {
    if (byte != '\n' && byte != '\r') all += static_cast<char>(byte);
  }
  area.SetText(all);
  EXPECT_EQ(Edit(area).document()->toRawText(), ShownAs(all));
  ToEnd(area);
  QTest::keyClicks(fw::WidgetOf(area), "z");
  EXPECT_EQ(area.Text(), all + "z");
}

// A paste keeps every character that fits, in order: each one one byte can hold, up to the limit, each line end
// counting as the bytes it will be. The user hears when something was left out.
TEST_F(TextAreaTest, APasteKeepsWhatFitsAndBeepsForTheRest) {
  struct Case {
    int limit;
    std::string before;
    QString pasted;
    std::string after;
    bool leftOut;
  } cases[] = {
      {255, "", QString(256, u'a'), std::string(255, 'a'), true},
      {255, std::string(250, 'c'), "0123456789", std::string(250, 'c') + "01234", true},
      {255, "\xE9", QString::fromUtf8("ok€no"), "\xE9ok\x80no", false},
      {255, "", "one\r\ntwo", "one\ntwo", false},
      {8, "ab\r\nc", "x\ny\nz", "ab\r\ncx\r\n", true},
      // A line end too big for the room left is left out; the character after it still fits.
      {8, "ab\r\nc", "xy\nz", "ab\r\ncxyz", true},
      {8, "ab\r\nc", "\n\n", "ab\r\nc\r\n", true},
      {5, "abcde", "xy", "abcde", true},
      {255, "", QString::fromUtf8("Café ☕\n日本 end😀"), "Caf\xE9 \n end", true},
      {255, "", QString::fromUtf8("Œuvre – “quoted”…"), "\x8Cuvre \x96 \x93quoted\x94\x85", false},
      {255, "", QString::fromUtf8("日本"), "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before + " + " + c.pasted.left(20).toStdString());
    fw::TextArea& area = Make(c.limit);
    area.SetText(c.before);
    ToEnd(area);
    const int beeps = dialogs_.Beeps();
    Paste(area, c.pasted);
    EXPECT_EQ(area.Text(), c.after);
    EXPECT_EQ(dialogs_.Beeps() - beeps, c.leftOut ? 1 : 0);
  }
}

TEST_F(TextAreaTest, APasteOverASelectionMayTakeItsRoom) {
  fw::TextArea& area = Make(4);
  area.SetText("abcdef");
  Edit(area).selectAll();
  Paste(area, "123456");
  EXPECT_EQ(area.Text(), "123456") << "beyond the limit, the selection's own room";
  Edit(area).selectAll();
  Paste(area, "xy");
  EXPECT_EQ(area.Text(), "xy");
  ToEnd(area);
  Paste(area, "zzz");
  EXPECT_EQ(area.Text(), "xyzz");
}

TEST_F(TextAreaTest, AProgramsTextIsShownFromItsFirstLineWithTheScrollBarAlwaysThere) {
  fw::TextArea& area = Make();
  Activate(*window_);
  QScrollBar* bar = Edit(area).verticalScrollBar();
  EXPECT_EQ(Edit(area).verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(bar->isVisible()) << "even with no text";

  std::string lines;
  for (int i = 0; i < 30; ++i) lines += "line " + std::to_string(i) + "\r";
  area.SetText(lines);
  ToEnd(area);
  Edit(area).ensureCursorVisible();
  ASSERT_GT(bar->value(), 0);
  area.SetText(lines + "more");
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(Edit(area).textCursor().position(), 0);
  EXPECT_FALSE(Edit(area).textCursor().hasSelection());
}

TEST_F(TextAreaTest, AnEditThatSlipsPastTheChecksIsUndone) {
  fw::TextArea& area = Make();
  area.SetText("keep");
  // An edit through the widget's own cursor comes without a key, an input method's text or a paste that the field
  // could check first.
  ToEnd(area);
  Edit(area).textCursor().insertText(QString::fromUtf8("日"));
  EXPECT_EQ(area.Text(), "keep");
  EXPECT_EQ(Edit(area).toPlainText(), "keep");
}

TEST_F(TextAreaTest, TextChangeIsRaisedExactlyWhenTheTextChanges) {
  fw::TextArea& area = Make(3);
  std::vector<std::string> seen;
  area.AddEventHandler("TextChange", [&] { seen.push_back(area.Text()); });
  area.SetText("a\rb");
  area.SetText("a\rb");
  // Same words, other line ends: a different text.
  area.SetText("a\nb");
  ToEnd(area);
  QTest::keyClicks(fw::WidgetOf(area), "cd");
  EXPECT_EQ(seen, (std::vector<std::string>{"a\rb", "a\nb"}));
}

// Laying out is put off to the end of the outermost command, and comes early for a dialog the command shows; a text
// set outside any command shows at once.
TEST_F(TextAreaTest, ACommandsTextIsLaidOutAsItEndsAndBeforeItsDialogs) {
  fw::TextArea& area = Make();
  area.SetText("before");
  EXPECT_EQ(Edit(area).toPlainText(), "before");
  std::string shownWithTheMessage;
  fw::Dispatch([&] {
    area.SetText("first");
    fw::Dispatch([&] { area.SetText("second"); });
    EXPECT_EQ(Edit(area).toPlainText(), "before") << "laid out before the outermost command ends";
    fw::MsgBox("look");
    shownWithTheMessage = Edit(area).toPlainText().toStdString();
    area.SetText("third");
  });
  EXPECT_EQ(shownWithTheMessage, "second");
  EXPECT_EQ(Edit(area).toPlainText(), "third");
}

// When an event's handlers are over, the texts they set are laid out, then the menu items are enabled once for what
// they changed.
TEST_F(TextAreaTest, AnEventLaysOutItsTextsThenEnablesTheMenuItemsOnce) {
  TestWindow& window = Build<TestWindow>({}, std::vector<fw::ControlDesign>{Area("A"), Button("B", "Set")});
  auto& area = window.Find<fw::TextArea>("A");
  auto& button = window.Find<fw::PushButton>("B");
  std::string shownWhileEnabling;
  window.onEnable = [&] { shownWhileEnabling = Edit(area).toPlainText().toStdString(); };
  button.AddEventHandler("Action", [&] { area.SetText("one"); });
  button.AddEventHandler("Action", [&] { area.SetText(area.Text() + " two"); });
  const int enabled = window.Count("EnableMenuItems");
  button.Push();
  EXPECT_EQ(window.Count("EnableMenuItems"), enabled + 1);
  EXPECT_EQ(shownWhileEnabling, "one two");
}

}  // namespace
}  // namespace guitest
