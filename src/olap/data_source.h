#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "provider/connection.h"

namespace orvex::olap {

class Catalogs;
class CubeView;

// The object a client creates first: one connection to an OLAP data source
// (held by its Catalogs) and the factory of cube views from a view definition.
// It owns everything below it: catalogs, cubes and every view built from them
// end when it ends or is connected again (their objects then answer error 91),
// so a client keeps the data source for as long as it uses a view.
class DataSource {
 public:
  DataSource();
  ~DataSource();
  DataSource(const DataSource&) = delete;
  DataSource& operator=(const DataSource&) = delete;

  // Replaces the connection and rebuilds the catalog list (one more open
  // connection per catalog). The connection must be open (error 5 otherwise).
  // Assigning the connection that is already active keeps everything as it is.
  void SetActiveConnection(std::shared_ptr<provider::Connection> ActiveConnection);
  // Opens a new connection from a connection string (30-second timeout) and assigns it.
  void SetActiveConnection(std::string_view ActiveConnection);
  // The current connection; nullptr before one is assigned.
  std::shared_ptr<provider::Connection> ActiveConnection() const;
  std::shared_ptr<olap::Catalogs> Catalogs() const;

  // Connects to the definition's data source and builds the view it describes:
  // catalog, cube, measure, ranges and axes. Text that is not XML is error 5;
  // a missing element or an unknown name fails with the underlying error, and
  // then no view is returned (the data source stays connected).
  std::shared_ptr<olap::CubeView> CreateCubeView(std::string_view CubeViewNode);
  // As CreateCubeView, then reads the definition's extensions (filters and
  // measures on an axis, see CubeView::SetFilters); a bad one fails the same way.
  std::shared_ptr<olap::CubeView> CreateExtendedCubeView(std::string_view CubeViewNode);

 private:
  std::shared_ptr<olap::Catalogs> catalogs_;
};

}  // namespace orvex::olap
