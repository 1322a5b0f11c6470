#include "olap/catalogs.h"

#include "errors/trail.h"
#include "olap/catalog.h"
#include "olap/globals.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "Catalogs";
constexpr int32_t kConnectionTimeout = 30;
}  // namespace

Catalogs::~Catalogs() {
  try {
    f_Terminate();
  } catch (...) {
    // Ending must not fail.
  }
}

std::shared_ptr<olap::Catalog> Catalogs::Item(const Variant& Index) const {
  return Trail(kClass, "Item [PropertyGet]", [&] { return catalogs_.Item(Index); });
}

std::vector<std::shared_ptr<olap::Catalog>> Catalogs::NewEnum() const {
  return Trail(kClass, "NewEnum", [&] { return catalogs_.Items(); });
}

int32_t Catalogs::Count() const {
  return Trail(kClass, "Count [PropertyGet]", [&] { return catalogs_.Count(); });
}

void Catalogs::f_ActiveConnection(std::shared_ptr<provider::Connection> connection) {
  Trail(kClass, "f_ActiveConnection [PropertySet]", [&] {
    Globals& globals = Globals::Instance();
    globals.CheckConnection(Variant(std::static_pointer_cast<ComObject>(connection)), true);
    // Assigning the connection already held would otherwise close the very
    // connection about to be listed, and end every view built on it.
    if (connection == connection_) return;
    f_Terminate();
    connection_ = std::move(connection);
    auto schema = connection_->OpenSchema(provider::Connection::kSchemaCatalogs);
    while (!schema->Eof()) {
      auto catalog_connection = globals.GetConnection(connection_->ConnectionString(), kConnectionTimeout);
      catalog_connection->SetDefaultDatabase(schema->Field("CATALOG_NAME").ToString());
      auto catalog = std::make_shared<olap::Catalog>();
      catalog->f_Construct(std::move(catalog_connection));
      catalogs_.Add(catalog->Name(), catalog);
      schema->MoveNext();
    }
    schema->Close();
  });
}

std::shared_ptr<provider::Connection> Catalogs::f_ActiveConnection() const {
  return Trail(kClass, "f_ActiveConnection [PropertyGet]", [&] { return connection_; });
}

void Catalogs::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    for (const auto& catalog : catalogs_.Items()) catalog->f_Terminate();
    catalogs_.Clear();
    if (connection_) {
      auto connection = std::move(connection_);
      connection_.reset();
      if (connection->State() != provider::Connection::kStateClosed) connection->Close();
    }
  });
}

}  // namespace orvex::olap
