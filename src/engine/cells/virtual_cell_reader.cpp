#include "engine/cells/virtual_cell_reader.h"

#include "engine/common/engine_error.h"
#include "engine/model/level.h"

namespace orvex::engine {
namespace {

bool IsTotal(const Member* member) { return !member || member->is_all || member->level->is_all(); }

}  // namespace

VirtualCellReader::VirtualCellReader(std::vector<Base> bases,
                                     std::unordered_map<const Measure*, std::pair<size_t, const Measure*>> measures)
    : bases_(std::move(bases)), measures_(std::move(measures)) {}

const Member* VirtualCellReader::Translate(const Hierarchy& base, const Member& member) {
  {
    std::lock_guard lock(mutex_);
    auto found = translated_.find(&member);
    if (found != translated_.end()) {
      auto in_base = found->second.find(&base);
      if (in_base != found->second.end()) return in_base->second;
    }
  }
  // Found outside the lock: the base hierarchy may load its members first.
  const Member* translated = base.FindMember(member.unique_name);
  std::lock_guard lock(mutex_);
  translated_[&member][&base] = translated;
  return translated;
}

void VirtualCellReader::Fetch(std::span<const CellRequest> requests, std::span<CellValue> values, Deadline deadline) {
  if (values.size() < requests.size()) throw EngineError("Fewer cell values than cell requests.");
  struct Batch {
    std::vector<Coordinate> coordinates;
    std::vector<CellRequest> requests;
    std::vector<size_t> asked;  // the index in `requests` each one answers
  };
  std::vector<Batch> batches(bases_.size());
  for (size_t index = 0; index < requests.size(); ++index) {
    const CellRequest& request = requests[index];
    auto measure = measures_.find(request.measure);
    if (measure == measures_.end()) {
      throw EngineError("A cell was asked for a measure that is not a stored measure of this cube.");
    }
    const Base& base = bases_[measure->second.first];
    const Coordinate& coordinate = *request.coordinate;
    if (coordinate.size() != base.related.size()) {
      throw EngineError("A cell's coordinate does not have one member per hierarchy of the cube.");
    }
    values[index] = std::nullopt;
    bool empty = false;
    for (size_t position = 0; position < coordinate.size() && !empty; ++position) {
      empty = !base.related[position] && !base.ignore_unrelated_dimensions && !IsTotal(coordinate[position]);
    }
    Coordinate translated(base.hierarchies.size(), nullptr);
    for (size_t position = 0; position < translated.size() && !empty; ++position) {
      int from = base.from_virtual[position];
      const Member* member = from < 0 ? nullptr : coordinate[static_cast<size_t>(from)];
      if (IsTotal(member)) continue;
      translated[position] = Translate(*base.hierarchies[position], *member);
      // A member the base cube's own hierarchy lacks holds none of its rows.
      empty = translated[position] == nullptr;
    }
    if (empty) continue;
    Batch& batch = batches[measure->second.first];
    batch.coordinates.push_back(std::move(translated));
    batch.requests.push_back({measure->second.second, nullptr});
    batch.asked.push_back(index);
  }
  for (size_t base = 0; base < bases_.size(); ++base) {
    Batch& batch = batches[base];
    if (batch.requests.empty()) continue;
    // The coordinates are complete now: no later push_back can move them.
    for (size_t index = 0; index < batch.requests.size(); ++index) batch.requests[index].coordinate = &batch.coordinates[index];
    std::vector<CellValue> answers(batch.requests.size());
    bases_[base].reader->Fetch(batch.requests, answers, deadline);
    for (size_t index = 0; index < answers.size(); ++index) values[batch.asked[index]] = answers[index];
  }
}

}  // namespace orvex::engine
