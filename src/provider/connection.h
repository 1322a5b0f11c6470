#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/com/variant.h"
#include "provider/session.h"

namespace orvex::provider {

// ADO error numbers that connections and cell sets raise.
inline constexpr int32_t kErrProviderNotFound = static_cast<int32_t>(0x800A0E7Au);   // 3706
inline constexpr int32_t kErrObjectClosed = static_cast<int32_t>(0x800A0E78u);       // 3704
inline constexpr int32_t kErrObjectOpen = static_cast<int32_t>(0x800A0E79u);         // 3705

// The error of an operation on a closed connection or cell set.
ComError ObjectClosedError();

// A record set of a schema query: rows of named fields, read forward.
class Recordset {
 public:
  explicit Recordset(std::vector<std::vector<std::pair<std::string, Variant>>> rows) : rows_(std::move(rows)) {}
  bool Eof() const { return row_ >= rows_.size(); }
  void MoveNext() { ++row_; }
  // The field of the current row; throws ComError errors::kItemNotFound for an unknown field or at the end.
  Variant Field(const std::string& name) const;
  void Close() { row_ = rows_.size(); }

 private:
  std::vector<std::vector<std::pair<std::string, Variant>>> rows_;
  size_t row_ = 0;
};

// A connection to a data source through the provider its connection string
// names. Opening parses the string like the object model's own parser, picks
// the provider by "Provider", connects to "Data Source", and makes
// "SOURCE_DSN" (or else the data source's first catalog) the default database.
// One thread at a time.
class Connection : public ComObject {
 public:
  static constexpr int kStateClosed = 0;
  static constexpr int kStateOpen = 1;
  static constexpr int kSchemaCatalogs = 1;

  std::string TypeName() const override { return "Connection"; }

  // Throws ComError: kErrObjectOpen when already open, kErrProviderNotFound for
  // an unknown provider, the provider's error when it cannot connect.
  void Open(const std::string& connection_string, const std::string& user = "", const std::string& password = "",
            int options = -1);
  // Closing a closed connection throws kErrObjectClosed, as ADO does.
  void Close();
  int State() const { return session_ ? kStateOpen : kStateClosed; }
  const std::string& ConnectionString() const { return connection_string_; }
  int ConnectionTimeout() const { return timeout_seconds_; }
  void SetConnectionTimeout(int seconds) { timeout_seconds_ = seconds; }
  const std::string& DefaultDatabase() const { return default_database_; }
  void SetDefaultDatabase(std::string catalog) { default_database_ = std::move(catalog); }
  void ClearErrors() {}

  // kSchemaCatalogs gives one row per catalog with the field "CATALOG_NAME".
  std::unique_ptr<Recordset> OpenSchema(int schema);

  // The open session; throws kErrObjectClosed when the connection is closed.
  Session& GetSession() const;

 private:
  std::string connection_string_;
  std::string default_database_;
  int timeout_seconds_ = 15;
  std::unique_ptr<Session> session_;
};

// While one lives, every connection its thread opens runs under `role`
// (a role of the catalogs' schemas), whatever the connection string says
// ("Role=" in it is replaced): how a host holds a signed-in user to their
// role through every layer that opens connections for a request. An empty
// role imposes nothing. Guards nest; the innermost wins.
class ScopedConnectionRole {
 public:
  explicit ScopedConnectionRole(std::string role);
  ~ScopedConnectionRole();
  ScopedConnectionRole(const ScopedConnectionRole&) = delete;
  ScopedConnectionRole& operator=(const ScopedConnectionRole&) = delete;

  // The role imposed on this thread's connections; nullptr when none is.
  static const std::string* Current();

 private:
  std::string role_;
  const std::string* previous_;
};

}  // namespace orvex::provider
