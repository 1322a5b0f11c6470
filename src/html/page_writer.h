#pragma once
#include <concepts>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/asp/response.h"
#include "platform/com/com_error.h"

namespace orvex::frontend {

// Writes a page through Response.Write, one statement at a time. A statement
// is a line, a piece of a line, or any step that may fail.
//
// A plain writer lets errors pass to the caller. A resuming writer hands a
// failing statement's error to its handler (which logs it) and goes on with
// the next statement, so the rest of the page is still written; a line whose
// text cannot be computed is left out whole.
class PageWriter {
 public:
  using ErrorHandler = std::function<void(const ComError&)>;

  explicit PageWriter(asp::Response& response) : response_(response) {}
  PageWriter(asp::Response& response, ErrorHandler on_error)
      : response_(response), on_error_(std::move(on_error)) {}

  // `text` and one line feed.
  void Line(std::string_view text) {
    Do([&] { Write(std::string(text) + "\n"); });
  }
  // The text that `make_text` returns and one line feed, as one statement.
  template <std::invocable MakeText>
  void Line(MakeText&& make_text) {
    Do([&] { Write(std::string(make_text()) + "\n"); });
  }
  // `text` alone: a piece of a line.
  void Piece(std::string_view text) {
    Do([&] { Write(text); });
  }
  template <std::invocable MakeText>
  void Piece(MakeText&& make_text) {
    Do([&] { Write(make_text()); });
  }

  // Runs one statement under this writer's handler.
  template <std::invocable Statement>
  void Do(Statement&& statement) {
    try {
      statement();
    } catch (const ComError& error) {
      if (!on_error_) throw;
      on_error_(error);
    } catch (const std::exception& error) {
      if (!on_error_) throw;
      on_error_(ComError(errors::kInternalError, "", error.what()));
    }
  }

 private:
  void Write(std::string_view text) { response_.Write(text); }

  asp::Response& response_;
  ErrorHandler on_error_;
};

// Text `n` through HTMLEncode, for HTML text and attribute values.
std::string HtmlText(int n);
// Text `n` through JavaScriptStringEncode, for script string literals.
std::string ScriptText(int n);
// "_NL" when the thread's locale is now 1043, else "_EN": chooses the
// language of script files and help pages.
std::string LanguageSuffix();

// The head that most pages share: "<html>" up to "    </head>".
void WriteCommonHead(PageWriter& page);
// The line that loads the client-side messages of the page's language,
// written in three pieces: up to "js/Messages", the suffix, and the rest.
void WriteMessagesScript(PageWriter& page);

}  // namespace orvex::frontend
