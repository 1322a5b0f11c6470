#include "engine/store/duckdb/duckdb_connection.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "engine/common/engine_error.h"
#include "engine/store/duckdb/duckdb_handles.h"

namespace orvex::engine {
namespace {

// duckdb_result, destroyed even when reading it fails.
class Result {
 public:
  Result() = default;
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  ~Result() { duckdb_destroy_result(&result_); }
  duckdb_result* get() { return &result_; }

 private:
  duckdb_result result_{};
};

// A C handle released by `destroy`, also when reading it fails.
template <class Handle, void (*destroy)(Handle*)>
class Owned {
 public:
  explicit Owned(Handle handle) : handle_(handle) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() {
    if (handle_) destroy(&handle_);
  }
  Handle get() const { return handle_; }

 private:
  Handle handle_;
};
using DataChunk = Owned<duckdb_data_chunk, duckdb_destroy_data_chunk>;
using LogicalType = Owned<duckdb_logical_type, duckdb_destroy_logical_type>;

// How one result column turns into KeyValues.
struct ColumnReader {
  duckdb_type type = DUCKDB_TYPE_INVALID;
  duckdb_type storage = DUCKDB_TYPE_INVALID;  // DECIMAL's and ENUM's physical type
  int32_t scale = 0;                          // DECIMAL: digits after the point
  std::vector<std::string> enum_values;
  std::string name;
};

Int128 HugeToInt128(const duckdb_hugeint& value) {
  __extension__ auto bits = (static_cast<unsigned __int128>(static_cast<uint64_t>(value.upper)) << 64) | value.lower;
  return static_cast<Int128>(bits);
}

KeyValue HugeToValue(const duckdb_hugeint& value) {
  // Sums of integers come back as 128-bit integers; most fit in 64 bits, and
  // the rest stay exact as decimals without a fraction.
  bool fits = (value.upper == 0 && value.lower <= static_cast<uint64_t>(INT64_MAX)) ||
              (value.upper == -1 && value.lower > static_cast<uint64_t>(INT64_MAX));
  if (fits) return static_cast<int64_t>(value.lower);
  return Decimal{HugeToInt128(value), 0};
}

std::string DateText(duckdb_date date) {
  auto parts = duckdb_from_date(date);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
  return buffer;
}

std::string TimestampText(duckdb_timestamp timestamp) {
  auto parts = duckdb_from_timestamp(timestamp);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", parts.date.year, parts.date.month,
                parts.date.day, parts.time.hour, parts.time.min, parts.time.sec);
  std::string text = buffer;
  if (parts.time.micros != 0) {
    std::snprintf(buffer, sizeof buffer, ".%06d", parts.time.micros);
    text += buffer;
  }
  return text;
}

int64_t IntegerAt(duckdb_type storage, const void* data, idx_t row) {
  switch (storage) {
    case DUCKDB_TYPE_TINYINT: return static_cast<const int8_t*>(data)[row];
    case DUCKDB_TYPE_SMALLINT: return static_cast<const int16_t*>(data)[row];
    case DUCKDB_TYPE_INTEGER: return static_cast<const int32_t*>(data)[row];
    case DUCKDB_TYPE_BIGINT: return static_cast<const int64_t*>(data)[row];
    case DUCKDB_TYPE_UTINYINT: return static_cast<const uint8_t*>(data)[row];
    case DUCKDB_TYPE_USMALLINT: return static_cast<const uint16_t*>(data)[row];
    case DUCKDB_TYPE_UINTEGER: return static_cast<const uint32_t*>(data)[row];
    default: return 0;
  }
}

KeyValue ValueAt(const ColumnReader& column, const void* data, idx_t row) {
  switch (column.type) {
    case DUCKDB_TYPE_BOOLEAN: return static_cast<int64_t>(static_cast<const bool*>(data)[row] ? 1 : 0);
    case DUCKDB_TYPE_TINYINT:
    case DUCKDB_TYPE_SMALLINT:
    case DUCKDB_TYPE_INTEGER:
    case DUCKDB_TYPE_BIGINT:
    case DUCKDB_TYPE_UTINYINT:
    case DUCKDB_TYPE_USMALLINT:
    case DUCKDB_TYPE_UINTEGER: return IntegerAt(column.type, data, row);
    case DUCKDB_TYPE_UBIGINT: {
      uint64_t value = static_cast<const uint64_t*>(data)[row];
      if (value <= static_cast<uint64_t>(INT64_MAX)) return static_cast<int64_t>(value);
      return static_cast<double>(value);
    }
    case DUCKDB_TYPE_FLOAT: return static_cast<double>(static_cast<const float*>(data)[row]);
    case DUCKDB_TYPE_DOUBLE: return static_cast<const double*>(data)[row];
    case DUCKDB_TYPE_HUGEINT: return HugeToValue(static_cast<const duckdb_hugeint*>(data)[row]);
    case DUCKDB_TYPE_UHUGEINT: {
      const auto& value = static_cast<const duckdb_uhugeint*>(data)[row];
      if (value.upper >= (uint64_t{1} << 63)) return duckdb_uhugeint_to_double(value);
      return Decimal{HugeToInt128({value.lower, static_cast<int64_t>(value.upper)}), 0};
    }
    case DUCKDB_TYPE_DECIMAL: {
      // Read exactly: a sum of DECIMALs is the one figure every run agrees on.
      Int128 unscaled = column.storage == DUCKDB_TYPE_HUGEINT
                            ? HugeToInt128(static_cast<const duckdb_hugeint*>(data)[row])
                            : static_cast<Int128>(IntegerAt(column.storage, data, row));
      return Decimal{unscaled, column.scale};
    }
    case DUCKDB_TYPE_VARCHAR: {
      auto* text = const_cast<duckdb_string_t*>(static_cast<const duckdb_string_t*>(data) + row);
      return std::string(duckdb_string_t_data(text), duckdb_string_t_length(*text));
    }
    case DUCKDB_TYPE_ENUM: {
      auto index = static_cast<size_t>(IntegerAt(column.storage, data, row));
      return index < column.enum_values.size() ? KeyValue(column.enum_values[index]) : KeyValue();
    }
    case DUCKDB_TYPE_DATE: return DateText(static_cast<const duckdb_date*>(data)[row]);
    case DUCKDB_TYPE_TIMESTAMP:
    case DUCKDB_TYPE_TIMESTAMP_TZ: return TimestampText(static_cast<const duckdb_timestamp*>(data)[row]);
    default: return {};
  }
}

ColumnReader MakeColumnReader(duckdb_result* result, idx_t column) {
  ColumnReader reader;
  reader.type = duckdb_column_type(result, column);
  reader.name = duckdb_column_name(result, column);
  // Types ValueAt reads from the vector as they are.
  static constexpr duckdb_type kPlain[] = {
      DUCKDB_TYPE_BOOLEAN, DUCKDB_TYPE_TINYINT, DUCKDB_TYPE_SMALLINT,  DUCKDB_TYPE_INTEGER,   DUCKDB_TYPE_BIGINT,
      DUCKDB_TYPE_UTINYINT, DUCKDB_TYPE_USMALLINT, DUCKDB_TYPE_UINTEGER, DUCKDB_TYPE_UBIGINT, DUCKDB_TYPE_FLOAT,
      DUCKDB_TYPE_DOUBLE, DUCKDB_TYPE_HUGEINT, DUCKDB_TYPE_UHUGEINT, DUCKDB_TYPE_VARCHAR, DUCKDB_TYPE_DATE,
      DUCKDB_TYPE_TIMESTAMP, DUCKDB_TYPE_TIMESTAMP_TZ, DUCKDB_TYPE_SQLNULL};
  if (std::find(std::begin(kPlain), std::end(kPlain), reader.type) != std::end(kPlain)) return reader;
  switch (reader.type) {
    case DUCKDB_TYPE_DECIMAL: {
      LogicalType type(duckdb_column_logical_type(result, column));
      reader.storage = duckdb_decimal_internal_type(type.get());
      reader.scale = duckdb_decimal_scale(type.get());
      return reader;
    }
    case DUCKDB_TYPE_ENUM: {
      LogicalType type(duckdb_column_logical_type(result, column));
      reader.storage = duckdb_enum_internal_type(type.get());
      uint32_t size = duckdb_enum_dictionary_size(type.get());
      for (uint32_t index = 0; index < size; ++index) {
        char* value = duckdb_enum_dictionary_value(type.get(), index);
        reader.enum_values.emplace_back(value ? value : "");
        duckdb_free(value);
      }
      return reader;
    }
    default:
      throw EngineError("The column '" + reader.name +
                        "' has a type the engine cannot read; cast it to a number or text in the schema.");
  }
}

// Interrupts a connection's statement once its deadline has passed, from a
// thread of its own, and again every little while until the statement has
// ended: an interrupt that lands before the statement has begun could be lost.
class Watchdog {
 public:
  Watchdog(duckdb_connection connection, Deadline deadline) {
    if (deadline == kNoDeadline) return;
    thread_ = std::thread([this, connection, deadline] {
      std::unique_lock lock(mutex_);
      if (ended_changed_.wait_until(lock, deadline, [&] { return ended_; })) return;
      do {
        duckdb_interrupt(connection);
        fired_ = true;
      } while (!ended_changed_.wait_for(lock, std::chrono::milliseconds(20), [&] { return ended_; }));
    });
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  ~Watchdog() { (void)Stop(); }

  // Stops watching, once the statement has ended; true when it was interrupted.
  bool Stop() {
    if (!thread_.joinable()) return fired_;
    {
      std::lock_guard lock(mutex_);
      ended_ = true;
    }
    ended_changed_.notify_one();
    thread_.join();
    return fired_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ended_changed_;
  bool ended_ = false;  // guarded by mutex_
  bool fired_ = false;  // guarded by mutex_ until the thread is joined
  std::thread thread_;
};

void ThrowIfFailed(duckdb_state state, duckdb_result* result) {
  if (state == DuckDBSuccess) return;
  const char* message = duckdb_result_error(result);
  throw EngineError(std::string("The store failed: ") + (message ? message : "unknown error"));
}

}  // namespace

DuckDbConnection::DuckDbConnection(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
DuckDbConnection::DuckDbConnection(DuckDbConnection&&) noexcept = default;
DuckDbConnection& DuckDbConnection::operator=(DuckDbConnection&&) noexcept = default;
DuckDbConnection::~DuckDbConnection() = default;

RowSet DuckDbConnection::Query(std::string_view sql, Deadline deadline) {
  if (deadline != kNoDeadline && std::chrono::steady_clock::now() >= deadline) {
    throw EngineError("The store's statement was not run: its time was up before it started.");
  }
  Result result;
  std::string text(sql);
  Watchdog watchdog(handle_->connection, deadline);
  duckdb_state state = duckdb_query(handle_->connection, text.c_str(), result.get());
  if (watchdog.Stop() && state != DuckDBSuccess) {
    throw EngineError("The store's statement was interrupted: it ran past its time limit.");
  }
  ThrowIfFailed(state, result.get());

  idx_t column_count = duckdb_column_count(result.get());
  std::vector<ColumnReader> readers;
  std::vector<std::string> names;
  for (idx_t column = 0; column < column_count; ++column) {
    readers.push_back(MakeColumnReader(result.get(), column));
    names.push_back(readers.back().name);
  }
  RowSet rows(std::move(names));
  rows.Reserve(duckdb_row_count(result.get()));
  std::vector<const void*> data(column_count);
  std::vector<uint64_t*> validity(column_count);
  while (true) {
    DataChunk chunk(duckdb_fetch_chunk(*result.get()));
    if (!chunk.get()) break;
    idx_t size = duckdb_data_chunk_get_size(chunk.get());
    if (size == 0) break;
    for (idx_t column = 0; column < column_count; ++column) {
      duckdb_vector vector = duckdb_data_chunk_get_vector(chunk.get(), column);
      data[column] = duckdb_vector_get_data(vector);
      validity[column] = duckdb_vector_get_validity(vector);
    }
    for (idx_t row = 0; row < size; ++row) {
      for (idx_t column = 0; column < column_count; ++column) {
        bool valid = validity[column] == nullptr || duckdb_validity_row_is_valid(validity[column], row);
        rows.Append(valid && readers[column].type != DUCKDB_TYPE_SQLNULL ? ValueAt(readers[column], data[column], row)
                                                                         : KeyValue());
      }
    }
  }
  return rows;
}

void DuckDbConnection::Execute(std::string_view sql) {
  Result result;
  std::string text(sql);
  ThrowIfFailed(duckdb_query(handle_->connection, text.c_str(), result.get()), result.get());
}

}  // namespace orvex::engine
