#include "engine/mdx/lexer.h"

#include <gtest/gtest.h>

#include "platform/com/com_error.h"

namespace orvex::engine::mdx {
namespace {

// Tokens as "kind:text" joined by blanks, so a whole stream compares at once.
std::string Render(std::string_view text) {
  std::string out;
  for (const Token& token : Lexer(text).Tokenize()) {
    static const char* kKinds[] = {"end", "id", "qid", "key", "num", "str", "sym"};
    if (!out.empty()) out += ' ';
    out += std::string(kKinds[static_cast<int>(token.kind)]) + ":" + token.text;
  }
  return out;
}

TEST(LexerTest, SplitsNamesNumbersStringsAndSymbols) {
  struct Case {
    const char* text;
    const char* tokens;
  } cases[] = {
      {"[Time].[1997]", "qid:Time sym:. qid:1997 end:"},
      {"[A]]B].&[12]", "qid:A]B sym:. key:12 end:"},
      {"x <> 1.5e3 <= y >= z", "id:x sym:<> num:1.5e3 sym:<= id:y sym:>= id:z end:"},
      {"'it''s' \"say \"\"hi\"\"\"", "str:it's str:say \"hi\" end:"},
      {"a--comment\nb // more\nc /* block\n */ d", "id:a id:b id:c id:d end:"},
      {".5 + 3", "num:.5 sym:+ num:3 end:"},
      {"[USA].[CA] - {}", "qid:USA sym:. qid:CA sym:- sym:{ sym:} end:"},
      {"[Unit Sales]", "qid:Unit Sales end:"},
      {"Caf\xC3\xA9s", "id:Caf\xC3\xA9s end:"},
      {"", "end:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Render(c.text), c.tokens);
  }
}

TEST(LexerTest, TracksLinesAndColumns) {
  auto tokens = Lexer("SELECT\n  {x}\n\tON 0").Tokenize();
  ASSERT_GE(tokens.size(), 6u);
  EXPECT_EQ(tokens[1].pos.line, 2u);
  EXPECT_EQ(tokens[1].pos.column, 3u);
  EXPECT_EQ(tokens[4].text, "ON");
  EXPECT_EQ(tokens[4].pos.line, 3u);
  EXPECT_EQ(tokens[4].pos.column, 2u);
}

TEST(LexerTest, UnterminatedTokensNameTheirStart) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"SELECT [Time", "line 1, column 8: the name is not closed with ']'."},
      {"x\n 'abc", "line 2, column 2: the string is not closed with '."},
      {"a /* b", "line 1, column 3: the comment is not closed."},
      {"a ; b", "line 1, column 3: unexpected character ';'."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      (void)Lexer(c.text).Tokenize();
      ADD_FAILURE() << "no error";
    } catch (const ComError& error) {
      EXPECT_NE(error.description().find(c.message), std::string::npos) << error.description();
    }
  }
}

}  // namespace
}  // namespace orvex::engine::mdx
