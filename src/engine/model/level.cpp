#include "engine/model/level.h"

#include "engine/model/hierarchy.h"

namespace orvex::engine {

const std::vector<const Member*>& Level::members() const { return hierarchy_->LevelMembers(depth_); }

}  // namespace orvex::engine
