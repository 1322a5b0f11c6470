#include "provider/connection.h"

#include "platform/text.h"
#include "provider/connection_string.h"

namespace orvex::provider {

namespace {
constexpr const char* kSource = "Provider";
}  // namespace

ComError ObjectClosedError() {
  return ComError(kErrObjectClosed, kSource, "Operation is not allowed when the object is closed.");
}

Variant Recordset::Field(const std::string& name) const {
  if (Eof()) throw ComError(static_cast<int32_t>(0x800A0BCDu), kSource,
                            "Either BOF or EOF is True, or the current record has been deleted. "
                            "Requested operation requires a current record.");
  for (const auto& [field, value] : rows_[row_]) {
    if (EqualsIgnoreCase(field, name)) return value;
  }
  throw ItemNotFound(kSource);
}

void Connection::Open(const std::string& connection_string, const std::string& user, const std::string& password,
                      int options) {
  if (session_) throw ComError(kErrObjectOpen, kSource, "Operation is not allowed when the object is open.");
  Dictionary items = ParseConnectionString(connection_string);
  if (const std::string* role = ScopedConnectionRole::Current()) items.Set("Role", Variant(*role));
  std::string provider_name = Trim(items.Item("Provider").ToString());
  ProviderFactory factory = FindProvider(provider_name);
  if (!factory) {
    throw ComError(kErrProviderNotFound, kSource, "Provider cannot be found. It may not be properly installed.");
  }
  std::unique_ptr<Session> session = factory(items, timeout_seconds_);
  std::string catalog = Trim(items.Item("SOURCE_DSN").ToString());
  if (catalog.empty()) {
    // Like OLAP servers, a connection without a catalog opens on the first one.
    auto names = session->CatalogNames();
    if (!names.empty()) catalog = names.front();
  }
  connection_string_ = connection_string;
  default_database_ = catalog;
  session_ = std::move(session);
}

namespace {
thread_local const std::string* imposed_role = nullptr;
}  // namespace

ScopedConnectionRole::ScopedConnectionRole(std::string role) : role_(std::move(role)), previous_(imposed_role) {
  if (!role_.empty()) imposed_role = &role_;
}

ScopedConnectionRole::~ScopedConnectionRole() { imposed_role = previous_; }

const std::string* ScopedConnectionRole::Current() { return imposed_role; }

void Connection::Close() {
  if (!session_) throw ObjectClosedError();
  session_.reset();
}

Session& Connection::GetSession() const {
  if (!session_) throw ObjectClosedError();
  return *session_;
}

std::unique_ptr<Recordset> Connection::OpenSchema(int schema) {
  Session& session = GetSession();
  if (schema != kSchemaCatalogs) {
    throw ComError(static_cast<int32_t>(0x800A0CB3u), kSource,
                   "Object or provider is not capable of performing requested operation.");
  }
  std::vector<std::vector<std::pair<std::string, Variant>>> rows;
  for (const auto& name : session.CatalogNames()) rows.push_back({{"CATALOG_NAME", Variant(name)}});
  return std::make_unique<Recordset>(std::move(rows));
}

}  // namespace orvex::provider
