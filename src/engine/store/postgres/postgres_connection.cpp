#include "engine/store/postgres/postgres_connection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <vector>

#include "engine/common/engine_error.h"

namespace orvex::engine {
namespace {

using Clock = std::chrono::steady_clock;

// Type oids are fixed by the server's catalog; these are all the reader needs.
constexpr Oid kBoolOid = 16;
constexpr Oid kIntegerOids[] = {20, 21, 23, 26};  // int8, int2, int4, oid
constexpr Oid kRealOids[] = {700, 701};           // float4, float8
constexpr Oid kNumericOid = 1700;
constexpr Oid kTimestampOid = 1114;
constexpr Oid kTimestampZoneOid = 1184;

// How long the server gets to confirm a cancelled statement before the
// connection is given up as unusable.
constexpr auto kCancelGrace = std::chrono::seconds(5);

// Parallel workers a statement may use, at most.
constexpr int kParallelWorkers = 4;

struct ConnectionFree {
  void operator()(PGconn* connection) const { PQfinish(connection); }
};
struct ResultFree {
  void operator()(PGresult* result) const { PQclear(result); }
};
struct CancelFree {
  void operator()(PGcancel* cancel) const { PQfreeCancel(cancel); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;
using Cancel = std::unique_ptr<PGcancel, CancelFree>;

// libpq's messages end in a line feed and may take several lines; one line
// reads better on a page and in a log.
std::string OneLine(const char* message) {
  std::string line;
  for (const char* c = message ? message : ""; *c; ++c) {
    char ch = (*c == '\n' || *c == '\t' || *c == '\r') ? ' ' : *c;
    if (ch == ' ' && (line.empty() || line.back() == ' ')) continue;
    line += ch;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line.empty() ? "no reason given" : line;
}

// The server's notices (NOTICE: table does not exist, skipping) are not
// errors; libpq would print them to standard error.
void IgnoreNotice(void*, const char*) {}

std::string Seconds(std::chrono::milliseconds duration) {
  char buffer[32];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(duration.count()) / 1000.0).ptr;
  return std::string(buffer, end);
}

// A timestamp as DuckDB's store writes it: a fraction of a second in six
// digits or none, and a zoned one in UTC (the session's zone) without the zone.
std::string TimestampText(std::string text, bool zoned) {
  if (zoned) {
    size_t zone = text.find_last_of("+-");
    if (zone != std::string::npos && zone > 10) text.resize(zone);
  }
  size_t dot = text.find('.');
  if (dot != std::string::npos && text.size() - dot - 1 < 6) text.append(6 - (text.size() - dot - 1), '0');
  return text;
}

KeyValue ReadValue(char kind, const char* text, int length) {
  switch (kind) {
    case 'i': {
      int64_t integer = 0;
      auto [end, error] = std::from_chars(text, text + length, integer);
      if (error == std::errc() && end == text + length) return integer;
      [[fallthrough]];  // beyond 64 bits: as a double, like DuckDB's large integers
    }
    case 'r': {
      double real = 0;
      auto [end, error] = std::from_chars(text, text + length, real);
      if (error == std::errc() && end == text + length) return real;
      return std::string(text, static_cast<size_t>(length));
    }
    case 'w': {
      // A numeric without a declared scale is what sum() of integers gives:
      // an integer when it fits, as DuckDB gives its integer sums.
      int64_t integer = 0;
      auto [end, error] = std::from_chars(text, text + length, integer);
      if (error == std::errc() && end == text + length) return integer;
      [[fallthrough]];
    }
    case 'n': {
      // numeric is exact on the server (its sums too) and stays exact here.
      if (auto exact = Decimal::Parse(std::string_view(text, static_cast<size_t>(length)))) return *exact;
      return ReadValue('r', text, length);
    }
    case 'b': return static_cast<int64_t>(length > 0 && text[0] == 't' ? 1 : 0);
    case 's':
    case 'z': return TimestampText(std::string(text, static_cast<size_t>(length)), kind == 'z');
    default: return std::string(text, static_cast<size_t>(length));
  }
}

RowSet ToRows(const PGresult* result) {
  int columns = PQnfields(result);
  int rows = PQntuples(result);
  std::vector<std::string> names;
  std::vector<char> kinds;
  for (int column = 0; column < columns; ++column) {
    names.emplace_back(PQfname(result, column));
    Oid type = PQftype(result, column);
    auto is = [type](const auto& oids) { return std::find(std::begin(oids), std::end(oids), type) != std::end(oids); };
    kinds.push_back(type == kBoolOid             ? 'b'
                    : is(kIntegerOids)           ? 'i'
                    : is(kRealOids)              ? 'r'
                    : type == kNumericOid        ? (PQfmod(result, column) == -1 ? 'w' : 'n')
                    : type == kTimestampOid      ? 's'
                    : type == kTimestampZoneOid  ? 'z'
                                                 : 't');
  }
  RowSet set(std::move(names));
  set.Reserve(static_cast<size_t>(rows));
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      bool null = PQgetisnull(result, row, column);
      set.Append(null ? KeyValue() : ReadValue(kinds[static_cast<size_t>(column)], PQgetvalue(result, row, column),
                                             PQgetlength(result, row, column)));
    }
  }
  return set;
}

}  // namespace

struct PostgresConnection::Handle {
  std::unique_ptr<PGconn, ConnectionFree> connection;
  std::chrono::milliseconds timeout{0};
  bool lost = false;  // a statement lost the connection, or the server never answered a cancel

  PGconn* get() const { return connection.get(); }

  [[noreturn]] void ThrowLost() {
    lost = true;
    throw EngineError("The connection to the PostgreSQL server was lost: " + OneLine(PQerrorMessage(get())));
  }

  [[noreturn]] void ThrowTimeout() {
    throw EngineError("The statement was cancelled: it ran longer than " + Seconds(timeout) +
                      " s, the limit set for this store.");
  }

  void Send(std::string_view sql, bool one_statement) {
    std::string text(sql);
    // The extended protocol takes exactly one statement, so nothing can ride along after it.
    int sent = one_statement ? PQsendQueryParams(get(), text.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0)
                             : PQsendQuery(get(), text.c_str());
    if (!sent) ThrowLost();
  }

  // Waits until libpq holds a whole result. Once `deadline` has passed the
  // statement is cancelled (`cancelled` set) and the server gets a grace
  // period to confirm; after that the connection is given up.
  void WaitForResult(Clock::time_point& deadline, bool& cancelled) {
    while (PQisBusy(get())) {
      int wait_ms = -1;
      if (deadline != Clock::time_point::max()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
          if (cancelled) {
            lost = true;  // the server did not confirm the cancel: the connection is in an unknown state
            ThrowTimeout();
          }
          Cancel cancel(PQgetCancel(get()));
          char reason[256];
          if (!cancel || !PQcancel(cancel.get(), reason, sizeof reason)) {
            lost = true;
            ThrowTimeout();
          }
          cancelled = true;
          deadline = Clock::now() + kCancelGrace;
          continue;
        }
        wait_ms = static_cast<int>(std::min<int64_t>(left.count() + 1, 1 << 30));
      }
      pollfd descriptor{PQsocket(get()), POLLIN, 0};
      if (descriptor.fd < 0) ThrowLost();
      int ready = poll(&descriptor, 1, wait_ms);
      if (ready < 0 && errno != EINTR) ThrowLost();
      if (ready > 0 && !PQconsumeInput(get())) ThrowLost();
    }
  }

  // Every result of the statements sent, up to the end or to a COPY IN.
  // A statement is cancelled at the store's own timeout or at `statement_deadline`, whichever comes first.
  std::vector<Result> Collect(bool with_timeout, Deadline statement_deadline = kNoDeadline) {
    Clock::time_point deadline =
        with_timeout && timeout.count() > 0 ? Clock::now() + timeout : Clock::time_point::max();
    if (with_timeout) deadline = std::min(deadline, statement_deadline);
    bool cancelled = false;
    std::vector<Result> results;
    while (true) {
      WaitForResult(deadline, cancelled);
      Result result(PQgetResult(get()));
      if (!result) break;
      ExecStatusType status = PQresultStatus(result.get());
      results.push_back(std::move(result));
      if (status == PGRES_COPY_IN) break;
    }
    if (PQstatus(get()) != CONNECTION_OK) ThrowLost();
    if (cancelled) ThrowTimeout();
    for (const auto& result : results) {
      ExecStatusType status = PQresultStatus(result.get());
      if (status == PGRES_FATAL_ERROR || status == PGRES_NONFATAL_ERROR || status == PGRES_BAD_RESPONSE) {
        const char* primary = PQresultErrorField(result.get(), PG_DIAG_MESSAGE_PRIMARY);
        throw EngineError("The store failed: " + OneLine(primary ? primary : PQresultErrorMessage(result.get())));
      }
    }
    return results;
  }
};

PostgresConnection::PostgresConnection(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
PostgresConnection::PostgresConnection(PostgresConnection&&) noexcept = default;
PostgresConnection& PostgresConnection::operator=(PostgresConnection&&) noexcept = default;
PostgresConnection::~PostgresConnection() = default;

PostgresConnection PostgresConnection::Open(const PostgresSettings& settings) {
  auto parameters = settings.parameters;
  auto add_default = [&](const char* keyword, const char* value) {
    bool given = std::any_of(parameters.begin(), parameters.end(), [&](const auto& p) { return p.first == keyword; });
    if (!given) parameters.emplace_back(keyword, value);
  };
  add_default("application_name", "orvex");
  add_default("connect_timeout", "10");
  // The engine reads and writes UTF-8 whatever the server's own encoding.
  parameters.emplace_back("client_encoding", "UTF8");
  std::vector<const char*> keywords, values;
  for (const auto& [keyword, value] : parameters) {
    keywords.push_back(keyword.c_str());
    values.push_back(value.c_str());
  }
  keywords.push_back(nullptr);
  values.push_back(nullptr);

  auto handle = std::make_unique<Handle>();
  // expand_dbname 0: a database name is only ever a name, never a whole connection string.
  handle->connection.reset(PQconnectdbParams(keywords.data(), values.data(), 0));
  if (!handle->get()) throw EngineError("Cannot connect to the PostgreSQL server: out of memory.");
  if (PQstatus(handle->get()) != CONNECTION_OK) {
    throw EngineError("Cannot connect to the PostgreSQL server: " + OneLine(PQerrorMessage(handle->get())));
  }
  PQsetNoticeProcessor(handle->get(), IgnoreNotice, nullptr);
  handle->timeout = settings.statement_timeout;
  PostgresConnection connection(std::move(handle));
  // Quoting doubles quotes only, as the standard says: a server configured
  // to read backslashes as escapes would let a value end its literal early.
  // Dates read as DuckDB writes them, so that member names agree across stores.
  // The server's own limit frees its side should this process vanish mid-statement.
  std::string setup =
      "SET standard_conforming_strings = on; SET DateStyle = ISO, YMD; SET TimeZone = 'UTC'; SET extra_float_digits = 1";
  if (settings.statement_timeout.count() > 0) {
    setup += "; SET statement_timeout = " + std::to_string(settings.statement_timeout.count() + 1000);
  }
  connection.Execute(setup);
  // A cell statement scans the whole fact table; workers share the scan and
  // the aggregation. Raised to a few, never past what the server can start
  // (max_worker_processes, max_parallel_workers), and left alone where it is
  // higher already, switched off (0), or chosen for these connections: by
  // the catalog's `options`, PGOPTIONS, or the role's or database's own
  // settings (ALTER ROLE/DATABASE ... SET), since whoever set it there meant
  // this client. A server without parallel query refuses the statement; the
  // connection works as before.
  try {
    connection.Execute(
        "SELECT set_config('max_parallel_workers_per_gather', CASE WHEN now_value = 0 OR source IN ('client', "
        "'user', 'database', 'database user') THEN now_value ELSE greatest(now_value, least(" +
        std::to_string(kParallelWorkers) +
        ", current_setting('max_worker_processes')::int, "
        "coalesce(current_setting('max_parallel_workers', true)::int, 1024))) END::text, false) "
        "FROM (SELECT setting::int AS now_value, source FROM pg_settings "
        "WHERE name = 'max_parallel_workers_per_gather') AS setting");
  } catch (const ComError&) {
    if (!connection.IsOpen()) throw;
  }
  return connection;
}

RowSet PostgresConnection::Query(std::string_view sql, Deadline deadline) {
  handle_->Send(sql, true);
  std::vector<Result> results = handle_->Collect(true, deadline);
  if (results.empty() || PQresultStatus(results.back().get()) != PGRES_TUPLES_OK) return RowSet({});
  return ToRows(results.back().get());
}

void PostgresConnection::Execute(std::string_view sql) {
  handle_->Send(sql, false);
  (void)handle_->Collect(true);
}

void PostgresConnection::CopyIn(std::string_view copy_sql, const std::function<bool(std::string&)>& next) {
  handle_->Send(copy_sql, true);
  std::vector<Result> results = handle_->Collect(false);
  if (results.empty() || PQresultStatus(results.back().get()) != PGRES_COPY_IN) {
    throw EngineError("The store did not start a COPY for: " + std::string(copy_sql.substr(0, 80)));
  }
  std::string piece;
  try {
    while (next(piece)) {
      if (!piece.empty() && PQputCopyData(handle_->get(), piece.data(), static_cast<int>(piece.size())) != 1) {
        handle_->ThrowLost();
      }
      piece.clear();
    }
  } catch (...) {
    if (!handle_->lost && PQputCopyEnd(handle_->get(), "the data could not be read") == 1) {
      try {
        (void)handle_->Collect(false);
      } catch (const ComError&) {
        // The abort's own error: the reason that matters is the one rethrown below.
      }
    }
    throw;
  }
  if (PQputCopyEnd(handle_->get(), nullptr) != 1) handle_->ThrowLost();
  (void)handle_->Collect(false);
}

bool PostgresConnection::IsOpen() {
  if (handle_->lost || PQstatus(handle_->get()) != CONNECTION_OK) return false;
  // Between statements the server sends nothing unless it is ending the
  // session (a restart, a terminated backend): its last words, then the end
  // of the stream. Anything to read now means the connection is going.
  pollfd descriptor{PQsocket(handle_->get()), POLLIN, 0};
  if (descriptor.fd < 0 || poll(&descriptor, 1, 0) != 0) {
    handle_->lost = true;
    return false;
  }
  return true;
}

}  // namespace orvex::engine
