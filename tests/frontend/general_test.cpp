#include "html/general.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/asp/memory_request.h"
#include "platform/asp/memory_response.h"
#include "platform/com/com_error.h"
#include "platform/runtime/runtime.h"

namespace orvex::frontend {
namespace {

// Runs `body` on a new thread whose locale is `locale`, so that the thread's
// language is chosen afresh.
template <class Body>
void OnThread(int32_t locale, Body body) {
  std::thread([&] {
    runtime::SetThreadLocale(locale);
    body();
  }).join();
}

TEST(ReadStringTest, LanguageFollowsTheThreadLocaleOfTheFirstCall) {
  struct Case {
    int32_t locale;
    int number;
    std::string text;
  };
  const Case cases[] = {
      {1043, 8, "Toepassen"},
      {2067, 8, "Apply"},
      {1033, 8, "Apply"},
      {1043, 53, "Voeg variabele toe ann 'Kolom'."},
      {1033, 85, "There are no cells in this view."},
      {1043, 1, "Brannock"},
      {1033, 1, "Powered by Brannock"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.locale) + "/" + std::to_string(c.number));
    std::string text;
    OnThread(c.locale, [&] { text = ReadString(c.number); });
    EXPECT_EQ(text, c.text);
  }
}

TEST(ReadStringTest, AThreadKeepsItsLanguageWhenItsLocaleChanges) {
  OnThread(runtime::kLocaleDutch, [] {
    EXPECT_EQ(ReadString(16), "Vernieuwen");
    runtime::SetThreadLocale(runtime::kLocaleEnglishUs);
    EXPECT_EQ(ReadString(16), "Vernieuwen");
    // The language of script files and help pages is asked afresh.
    EXPECT_EQ(GetLCID(), runtime::kLocaleEnglishUs);
  });
  OnThread(runtime::kLocaleEnglishUs, [] { EXPECT_EQ(ReadString(16), "Refresh"); });
}

TEST(ReadStringTest, NumbersWithoutTextFailWithResourceNotFound) {
  for (int number : {25, 78, 80, 86, 0, -100}) {
    SCOPED_TRACE(number);
    OnThread(runtime::kLocaleEnglishUs, [&] {
      try {
        (void)ReadString(number);
        ADD_FAILURE() << "no error";
      } catch (const ComError& error) {
        EXPECT_EQ(error.number(), errors::kResourceNotFound);
        EXPECT_EQ(error.source(), "Halvern\r\nin General.ReadString");
      }
    });
  }
}

TEST(EncoderTest, HTMLEncodeEscapesMarkupButNotTheApostrophe) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"plain text", "plain text"},
      {"&lt;", "&amp;lt;"},
      {"<a href=\"x\">It's</a>", "&lt;a href=&quot;x&quot;&gt;It's&lt;/a&gt;"},
      {"caf\xC3\xA9 & bar", "caf\xC3\xA9 &amp; bar"},
  };
  for (const auto& [text, encoded] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(HTMLEncode(text), encoded);
  }
}

TEST(EncoderTest, URLEncodeLeavesOnlyLettersDigitsAndUnderscore) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"Sales_2024_q1", "Sales_2024_q1"},
      {"two words", "two%20words"},
      {"a&b=c/d-e.f", "a%26b%3Dc%2Fd%2De%2Ef"},
      {"tab\there", "tab%09here"},
      {"%", "%25"},
      {"+", "%2B"},
      // Each UTF-8 byte of a character outside ASCII is escaped on its own.
      {"caf\xC3\xA9", "caf%C3%A9"},
      {"\xE2\x82\xAC", "%E2%82%AC"},
  };
  for (const auto& [text, encoded] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(URLEncode(text), encoded);
  }
}

TEST(EncoderTest, JavaScriptStringEncodeKeepsLiteralsAndScriptBlocksClosed) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"line\r\nbreak", "line\\r\\nbreak"},
      {"it's \"quoted\"", "it\\'s \\\"quoted\\\""},
      {"C:\\path\\n", "C:\\\\path\\\\n"},
      {"</script><script>alert(1)</script>", "\\x3C/script>\\x3Cscript>alert(1)\\x3C/script>"},
      {"a/b\tc", "a/b\tc"},
  };
  for (const auto& [text, encoded] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(JavaScriptStringEncode(text), encoded);
  }
}

TEST(GetURLTest, GivesThePathWithoutQueryString) {
  const std::pair<std::string, std::string> cases[] = {
      {"/explorer", "/explorer"},
      {"/explorer?id=7&x=?", "/explorer"},
      {"?only", ""},
      {"", ""},
  };
  for (const auto& [url, path] : cases) {
    SCOPED_TRACE(url);
    asp::MemoryRequest request;
    request.SetServerVariable("URL", url);
    EXPECT_EQ(GetURL(request), path);
  }
  EXPECT_EQ(GetURL(asp::MemoryRequest()), "");
}

TEST(PreventCachingTest, ExpiresAtOnceAndForbidsCaching) {
  asp::MemoryResponse response;
  auto before = std::chrono::system_clock::now();
  PreventCaching(response);
  EXPECT_EQ(response.Expires(), 0);
  ASSERT_TRUE(response.ExpiresAbsolute().has_value());
  EXPECT_LE(*response.ExpiresAbsolute(), before - std::chrono::hours(23));
  EXPECT_EQ(response.CacheControl(), "no-cache");
  using Header = std::pair<std::string, std::string>;
  EXPECT_EQ(response.Headers(), (std::vector<Header>{{"pragma", "no-cache"}, {"cache-control", "private"}}));
}

}  // namespace
}  // namespace orvex::frontend
