#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "olap/internal/keyed_list.h"
#include "platform/com/variant.h"
#include "provider/connection.h"

namespace orvex::olap {

class Catalog;

// The catalogs of a data source, keyed by name in the order the server lists
// them. Holds the data source's connection; each catalog has its own.
class Catalogs {
 public:
  Catalogs() = default;
  ~Catalogs();
  Catalogs(const Catalogs&) = delete;
  Catalogs& operator=(const Catalogs&) = delete;

  // A number is a 0-based position (error 9 outside), anything else a name
  // without regard to case (error 5 when unknown).
  std::shared_ptr<olap::Catalog> Item(const Variant& Index) const;
  std::vector<std::shared_ptr<olap::Catalog>> NewEnum() const;
  int32_t Count() const;

  // Requires an open connection (error 5); ends the current catalogs, closes
  // the previous connection, and lists the catalogs of the new one, opening a
  // connection for each. The connection already held is kept as it is.
  void f_ActiveConnection(std::shared_ptr<provider::Connection> connection);
  std::shared_ptr<provider::Connection> f_ActiveConnection() const;
  // Ends every catalog and closes the connection.
  void f_Terminate();

 private:
  detail::KeyedList<olap::Catalog> catalogs_;
  std::shared_ptr<provider::Connection> connection_;
};

}  // namespace orvex::olap
