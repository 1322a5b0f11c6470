#include "engine/store/clickhouse/clickhouse_connection.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <random>

#include "engine/common/engine_error.h"

namespace orvex::engine {
namespace {

std::string Quote(std::string_view text, char quote) {
  if (text.find('\0') != std::string_view::npos) {
    throw EngineError("A name or value holds a NUL character, which cannot be sent to the store.");
  }
  std::string quoted(1, quote);
  for (char c : text) {
    // ClickHouse reads backslash escapes inside quotes, so a backslash is
    // escaped too: doubling the quote alone would let "\'" end the text early.
    if (c == quote || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += quote;
  return quoted;
}

// The text of one TabSeparated field, its escapes undone.
std::string Unescape(std::string_view field) {
  std::string text;
  text.reserve(field.size());
  for (size_t index = 0; index < field.size(); ++index) {
    char c = field[index];
    if (c != '\\' || index + 1 == field.size()) {
      text += c;
      continue;
    }
    char next = field[++index];
    switch (next) {
      case 'n': text += '\n'; break;
      case 't': text += '\t'; break;
      case 'r': text += '\r'; break;
      case 'b': text += '\b'; break;
      case 'f': text += '\f'; break;
      case '0': text += '\0'; break;
      default: text += next; break;
    }
  }
  return text;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

enum class Kind { kInteger, kWide, kFloat, kDecimal, kText, kNull };

Kind KindOf(std::string_view type) {
  for (std::string_view wrapper : {"Nullable(", "LowCardinality("}) {
    while (type.substr(0, wrapper.size()) == wrapper && type.back() == ')') {
      type = type.substr(wrapper.size(), type.size() - wrapper.size() - 1);
    }
  }
  if (type == "Nothing") return Kind::kNull;
  if (type == "UInt64" || type == "Int128" || type == "UInt128" || type == "Int256" || type == "UInt256") {
    return Kind::kWide;
  }
  if (type.substr(0, 3) == "Int" || type.substr(0, 4) == "UInt") return Kind::kInteger;
  if (type.substr(0, 5) == "Float") return Kind::kFloat;
  if (type.substr(0, 7) == "Decimal") return Kind::kDecimal;
  return Kind::kText;
}

KeyValue Value(Kind kind, std::string_view field) {
  if (field == "\\N" || kind == Kind::kNull) return std::monostate{};
  switch (kind) {
    case Kind::kInteger: {
      int64_t number = 0;
      auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), number);
      if (error == std::errc() && end == field.data() + field.size()) return number;
      break;
    }
    case Kind::kWide:
    case Kind::kDecimal: {
      if (kind == Kind::kWide) {
        int64_t number = 0;
        auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), number);
        if (error == std::errc() && end == field.data() + field.size()) return number;
      }
      if (auto exact = Decimal::Parse(field)) return *exact;
      break;
    }
    case Kind::kFloat: {
      if (field == "nan" || field == "-nan") return std::monostate{};
      if (field == "inf" || field == "+inf") return std::numeric_limits<double>::infinity();
      if (field == "-inf") return -std::numeric_limits<double>::infinity();
      double number = 0;
      auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), number);
      if (error == std::errc() && end == field.data() + field.size()) return number;
      break;
    }
    default:
      return Unescape(field);
  }
  throw EngineError("The ClickHouse server answered a value that is not a number: '" + Unescape(field) + "'.");
}

// A statement's id, so that an abandoned one can be found and stopped.
std::string NewQueryId() {
  static std::atomic<uint64_t> counter{0};
  static const uint64_t process = std::random_device{}();
  return "orvex-" + std::to_string(process) + "-" + std::to_string(++counter);
}

std::string TrimStatement(std::string_view sql) {
  while (!sql.empty() && (std::isspace(static_cast<unsigned char>(sql.back())) || sql.back() == ';')) {
    sql.remove_suffix(1);
  }
  return std::string(sql);
}

}  // namespace

std::string QuoteClickHouseIdentifier(std::string_view name) { return Quote(name, '`'); }
std::string QuoteClickHouseLiteral(std::string_view text) { return Quote(text, '\''); }

struct ClickHouseConnection::Client {
  explicit Client(const std::string& url) : http(url) {}
  httplib::Client http;
};

ClickHouseConnection::ClickHouseConnection(const ClickHouseSettings& settings, const std::string& url)
    : settings_(settings), url_(url) {
  // Userinfo in the address would put a password where errors show it.
  size_t scheme = url.find("://");
  if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) {
    throw EngineError("A ClickHouse server's address starts with http:// or https://.");
  }
  if (url.find('@', scheme + 3) != std::string::npos) {
    throw EngineError("A ClickHouse server's address holds no user or password; give them as settings.");
  }
  client_ = std::make_unique<Client>(url);
  if (!client_->http.is_valid()) throw EngineError("The ClickHouse server's address '" + url + "' is not valid.");
  client_->http.set_keep_alive(true);
  // A statement goes out as headers and body in two writes; without this the
  // second waits for the server's delayed acknowledgement, some 40 ms a statement.
  client_->http.set_tcp_nodelay(true);
  client_->http.set_connection_timeout(5, 0);
}

ClickHouseConnection::ClickHouseConnection(ClickHouseConnection&&) noexcept = default;
ClickHouseConnection& ClickHouseConnection::operator=(ClickHouseConnection&&) noexcept = default;
ClickHouseConnection::~ClickHouseConnection() = default;

std::string ClickHouseConnection::Post(std::string_view sql, const std::string& body, Deadline deadline) {
  using namespace std::chrono;
  auto limit = deadline;
  if (settings_.statement_timeout.count() > 0) limit = std::min(limit, steady_clock::now() + settings_.statement_timeout);
  std::string query_id = NewQueryId();
  httplib::Params params{{"database", settings_.database}, {"query_id", query_id}};
  double seconds = 0;
  if (limit != kNoDeadline) {
    seconds = duration<double>(limit - steady_clock::now()).count();
    if (seconds <= 0) throw EngineError("The statement ran out of time before it reached the ClickHouse server.");
    // max_execution_time takes whole seconds; the server stops the statement itself.
    params.emplace("max_execution_time", std::to_string(std::max<int64_t>(1, std::llround(std::ceil(seconds)))));
    params.emplace("timeout_overflow_mode", "throw");
  }
  httplib::Headers headers{{"X-ClickHouse-User", settings_.user}};
  if (!settings_.password.empty()) headers.emplace("X-ClickHouse-Key", settings_.password);
  std::string path = httplib::append_query_params("/", params);
  std::string text = body.empty() ? std::string(sql) : std::string(sql) + "\n" + body;
  // The answer may come a little after the server's own limit; past that the statement is abandoned.
  time_t wait = limit == kNoDeadline ? 24 * 3600 : static_cast<time_t>(std::ceil(seconds)) + 2;
  client_->http.set_read_timeout(wait, 0);
  client_->http.set_write_timeout(wait, 0);
  httplib::Result result = client_->http.Post(path, headers, text, "text/plain; charset=UTF-8");
  if (!result) {
    usable_ = false;
    httplib::Error error = result.error();
    if (error == httplib::Error::Read && limit != kNoDeadline && steady_clock::now() >= limit) {
      // No answer in time: stop the statement on the server over a new connection.
      try {
        ClickHouseConnection killer(settings_, url_);
        killer.settings_.statement_timeout = std::chrono::seconds(5);
        killer.Execute("KILL QUERY WHERE query_id = " + QuoteClickHouseLiteral(query_id) + " ASYNC");
      } catch (const std::exception&) {
      }
      throw EngineError("The statement ran longer than its time limit on the ClickHouse server at " + url_ +
                        " and was stopped.");
    }
    throw EngineError("The ClickHouse server at " + url_ + " cannot be reached (" + httplib::to_string(error) + ").");
  }
  if (result->status != 200) {
    std::string message = result->body;
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back()))) message.pop_back();
    // Code 159: the server stopped the statement at max_execution_time.
    if (message.find("Code: 159,") != std::string::npos) {
      throw EngineError("The statement ran longer than its time limit on the ClickHouse server at " + url_ +
                        " and was stopped.");
    }
    throw EngineError("The ClickHouse server at " + url_ + " refused the statement: " + message);
  }
  return std::move(result->body);
}

RowSet ClickHouseConnection::Query(std::string_view sql, Deadline deadline) {
  std::string answer = Post(TrimStatement(sql) + " FORMAT TabSeparatedWithNamesAndTypes", "", deadline);
  std::string_view rest = answer;
  auto next_line = [&rest](std::string_view& line) {
    if (rest.empty()) return false;
    size_t end = rest.find('\n');
    line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return true;
  };
  std::string_view names_line, types_line;
  if (!next_line(names_line) || !next_line(types_line)) {
    throw EngineError("The ClickHouse server at " + url_ + " answered without column names.");
  }
  std::vector<std::string> names;
  for (auto field : Fields(names_line)) names.push_back(Unescape(field));
  std::vector<Kind> kinds;
  for (auto field : Fields(types_line)) kinds.push_back(KindOf(Unescape(field)));
  if (kinds.size() != names.size()) throw EngineError("The ClickHouse server at " + url_ + " answered a broken header.");
  RowSet rows(std::move(names));
  std::string_view line;
  while (next_line(line)) {
    auto fields = Fields(line);
    if (fields.size() != kinds.size()) {
      throw EngineError("The ClickHouse server at " + url_ + " answered a row of " + std::to_string(fields.size()) +
                        " values for " + std::to_string(kinds.size()) + " columns.");
    }
    for (size_t column = 0; column < fields.size(); ++column) rows.Append(Value(kinds[column], fields[column]));
  }
  return rows;
}

void ClickHouseConnection::Execute(std::string_view sql) { (void)Post(TrimStatement(sql), "", kNoDeadline); }

void ClickHouseConnection::Insert(std::string_view insert_sql, const std::string& body) {
  (void)Post(TrimStatement(insert_sql), body, kNoDeadline);
}

void AppendTabSeparated(const KeyValue& value, std::string& line) {
  if (std::holds_alternative<std::monostate>(value)) {
    line += "\\N";
    return;
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    for (char c : *text) {
      switch (c) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        case '\0': line += "\\0"; break;
        default: line += c; break;
      }
    }
    return;
  }
  line += ToText(value);
}

}  // namespace orvex::engine
