#pragma once
#include <memory>
#include <string_view>
#include <vector>

#include "provider/cellset_data.h"
#include "provider/connection.h"

namespace orvex::provider {

// A cell set: one MDX statement run over the active connection's default
// database. One thread at a time.
class Cellset {
 public:
  void SetActiveConnection(std::shared_ptr<Connection> connection) { connection_ = std::move(connection); }
  const std::shared_ptr<Connection>& ActiveConnection() const { return connection_; }

  // Runs the statement; throws the provider's ComError, leaving the cell set closed.
  void Open(std::string_view mdx);
  int State() const { return data_ ? Connection::kStateOpen : Connection::kStateClosed; }
  void Close();

  // Each throws kErrObjectClosed while the cell set is closed.
  std::shared_ptr<Axes> GetAxes() const;
  std::shared_ptr<Axis> GetFilterAxis() const;
  // One position index per axis, axis 0 first; throws ComError
  // errors::kItemNotFound for a wrong count of indexes or one out of range.
  std::shared_ptr<Cell> Item(const std::vector<int>& positions) const;
  std::shared_ptr<Cell> Item(int ordinal) const;
  const std::shared_ptr<CellsetData>& Data() const;

 private:
  std::shared_ptr<Connection> connection_;
  std::shared_ptr<CellsetData> data_;
};

}  // namespace orvex::provider
