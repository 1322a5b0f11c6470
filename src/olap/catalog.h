#pragma once
#include <memory>
#include <string>

#include "provider/catalog.h"

namespace orvex::olap {

class Cubes;

// One catalog (database) of a data source, over its own connection.
class Catalog : public std::enable_shared_from_this<Catalog> {
 public:
  Catalog() = default;
  Catalog(const Catalog&) = delete;
  Catalog& operator=(const Catalog&) = delete;

  // The cubes of the catalog, listed on first use; later calls return the same collection.
  std::shared_ptr<olap::Cubes> Cubes();
  std::string Name() const;
  std::shared_ptr<provider::Connection> ActiveConnection() const;

  // Binds the catalog to an open connection (error 5 otherwise).
  void f_Construct(std::shared_ptr<provider::Connection> Connection);
  void f_Terminate();
  // The provider's catalog object; error 91 once the catalog has ended.
  std::shared_ptr<provider::Catalog> f_Catalog() const;

 private:
  std::shared_ptr<provider::Catalog> catalog_;
  std::shared_ptr<olap::Cubes> cubes_;
};

}  // namespace orvex::olap
