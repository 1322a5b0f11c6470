#include "provider/catalog.h"

namespace orvex::provider {

std::string Catalog::Name() const {
  if (!connection_ || connection_->State() != Connection::kStateOpen) throw ObjectClosedError();
  return connection_->DefaultDatabase();
}

std::shared_ptr<CubeDefs> Catalog::GetCubeDefs() const {
  if (!connection_) throw ObjectClosedError();
  return connection_->GetSession().GetCubeDefs(Name());
}

}  // namespace orvex::provider
