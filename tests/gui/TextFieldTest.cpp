#include <QLineEdit>

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

struct Typing {
  const char* mask;
  int limit;
  const char* typed;
  const char* text;
};

void PrintTo(const Typing& c, std::ostream* out) {
  *out << "mask \"" << c.mask << "\" limit " << c.limit << " typed \"" << c.typed << "\"";
}

class TypingTest : public TextFieldTest, public ::testing::WithParamInterface<Typing> {};

TEST_P(TypingTest, KeysGiveText) {
  const Typing& c = GetParam();
  fw::TextField& field = Make(c.mask, c.limit);
  QTest::keyClicks(fw::WidgetOf(field), QString::fromLatin1(c.typed));
  EXPECT_EQ(field.Text(), c.text) << "mask \"" << c.mask << "\", typed \"" << c.typed << "\"";
  EXPECT_EQ(Edit(field).text().toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, TypingTest,
    ::testing::Values(
        // Dates: every part may stay short, and a separator may come early.
        Typing{"99/99/9999", 10, "3/7/2004", "3/7/2004"}, Typing{"99/99/9999", 10, "12/25/2004", "12/25/2004"},
        Typing{"99/99/9999", 10, "123", "12"}, Typing{"99/99/9999", 10, "1/2/3/4", "1/2/34"},
        Typing{"99/99/9999", 10, "1//2/", "1//2"}, Typing{"99/99/9999", 10, "ab-", ""},
        Typing{"99/99/9999", 10, "1/2/20045", "1/2/2004"},
        // A number with one decimal.
        Typing{"99999.9", 7, "1", "1"}, Typing{"99999.9", 7, "1.5", "1.5"},
        Typing{"99999.9", 7, "32767.9", "32767.9"}, Typing{"99999.9", 7, "123456", "12345"},
        Typing{"99999.9", 7, "1.55", "1.5"}, Typing{"99999.9", 7, "1..5", "1.5"}, Typing{"99999.9", 7, "-1e", "1"},
        // Digits, then a letter or digit.
        Typing{"#9a", 3, "7", "7"}, Typing{"#9a", 3, "12a", "12a"}, Typing{"#9a", 3, "123", "123"},
        Typing{"#9a", 3, "1234", "123"}, Typing{"#9a", 3, "12ab", "12a"}, Typing{"#9a", 3, "1a2", "1a"},
        Typing{"#9a", 3, "7!", "7"},
        // A mask limits on its own, and the limit may be tighter than the mask.
        Typing{"####", 0, "20045", "2004"}, Typing{"99999.9", 3, "1234", "123"},
        // No mask: only the limit.
        Typing{"", 5, "abcdefg", "abcde"}, Typing{"", 0, "any text at all", "any text at all"}));

TEST_F(TextFieldTest, OnlyLatin1CharactersAreTypedOrPasted) {
  fw::TextField& field = Make("", 20);
  Type(field, QString::fromUtf8("é€日\u00ff"));
  EXPECT_EQ(field.Text(), "\xE9\xFF");

  Paste(field, QString::fromUtf8("x€"));
  EXPECT_EQ(field.Text(), "\xE9\xFF") << "a paste holding any character one byte cannot hold is refused whole";
  Paste(field, QString::fromUtf8("ü!"));
  EXPECT_EQ(field.Text(), "\xE9\xFF\xFC!");
}

TEST_F(TextFieldTest, PastingIsHeldToMaskAndLimit) {
  fw::TextField& field = Make("99999.9", 7);
  Paste(field, "12x");
  EXPECT_EQ(field.Text(), "");
  Paste(field, "123.4");
  EXPECT_EQ(field.Text(), "123.4");
  Paste(field, "5");
  EXPECT_EQ(field.Text(), "123.4") << "one decimal only";

  fw::TextField& limited = Make("", 4);
  Paste(limited, "abcde");
  EXPECT_EQ(limited.Text(), "");
}

TEST_F(TextFieldTest, ProgramTextsComeBackByteForByte) {
  fw::TextField& field = Make("99999.9", 7);
  const std::string texts[] = {Bytes("a\0b", 3), "caf\xE9 \xA0\xFF\x80", "one\rtwo", "one\r\ntwo",
                               "far longer than the mask and the limit", ""};
  for (const std::string& text : texts) {
    field.SetText(text);
    EXPECT_EQ(field.Text(), text);
    EXPECT_EQ(Edit(field).text(), QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
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
