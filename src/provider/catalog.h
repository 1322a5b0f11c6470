#pragma once
#include <memory>
#include <string>

#include "provider/connection.h"

namespace orvex::provider {

// One catalog of a data source: the default database of its active connection.
class Catalog {
 public:
  void SetActiveConnection(std::shared_ptr<Connection> connection) { connection_ = std::move(connection); }
  const std::shared_ptr<Connection>& ActiveConnection() const { return connection_; }
  // The connection's default database; throws kErrObjectClosed without an open connection.
  std::string Name() const;
  std::shared_ptr<CubeDefs> GetCubeDefs() const;

 private:
  std::shared_ptr<Connection> connection_;
};

}  // namespace orvex::provider
