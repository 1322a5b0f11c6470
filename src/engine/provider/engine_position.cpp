#include "engine/provider/engine_position.h"

#include "engine/provider/engine_member.h"
#include "engine/provider/lazy_collection.h"
#include "platform/text.h"

namespace orvex::engine {

std::shared_ptr<provider::Members> EnginePosition::GetMembers() const {
  std::shared_ptr<const void> owner = cell_set_;
  const Tuple* tuple = &tuple_;
  return std::make_shared<LazyCollection<provider::Member>>(
      static_cast<int>(tuple->size()),
      [owner, tuple](int index) { return EngineMember::Wrap(owner, (*tuple)[static_cast<size_t>(index)]); },
      [owner, tuple](std::string_view name) -> std::shared_ptr<provider::Member> {
        for (const Member* member : *tuple) {
          if (EqualsIgnoreCase(member->unique_name, name)) return EngineMember::Wrap(owner, member);
        }
        for (const Member* member : *tuple) {
          if (EqualsIgnoreCase(member->name, name)) return EngineMember::Wrap(owner, member);
        }
        return nullptr;
      });
}

}  // namespace orvex::engine
