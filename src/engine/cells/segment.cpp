#include "engine/cells/segment.h"

#include <algorithm>
#include <functional>

namespace orvex::engine {
size_t KeyVectorHash::operator()(const std::vector<KeyValue>& keys) const {
  size_t hash = keys.size();
  for (const auto& key : keys) hash = hash * 1000003 ^ std::hash<KeyValue>()(key);
  return hash;
}

Segment::Segment(std::vector<SegmentColumn> columns, std::vector<const Measure*> measures, std::vector<KeyValue> keys,
                 std::vector<CellValue> values)
    : columns_(std::move(columns)), measures_(std::move(measures)), keys_(std::move(keys)),
      values_(std::move(values)) {}

std::optional<size_t> Segment::ColumnOf(std::pair<int32_t, int32_t> column) const {
  for (size_t index = 0; index < columns_.size(); ++index) {
    if (columns_[index].hierarchy == column.first && columns_[index].depth == column.second) return index;
  }
  return std::nullopt;
}

std::optional<std::unordered_map<std::vector<KeyValue>, CellNumber, KeyVectorHash>> Segment::RollUp(
    const Measure& measure, const ColumnList& target) const {
  auto found = std::find(measures_.begin(), measures_.end(), &measure);
  if (found == measures_.end() || !InfoOf(measure.aggregator).rolls_up()) return std::nullopt;
  size_t measure_index = static_cast<size_t>(found - measures_.begin());
  std::vector<size_t> kept;
  for (const auto& column : target) {
    auto index = ColumnOf(column);
    if (!index) return std::nullopt;
    kept.push_back(*index);
  }
  // A column summed away must hold every value, or the total would miss rows.
  for (size_t index = 0; index < columns_.size(); ++index) {
    if (columns_[index].filtered && std::find(kept.begin(), kept.end(), index) == kept.end()) return std::nullopt;
  }
  std::unordered_map<std::vector<KeyValue>, CellNumber, KeyVectorHash> totals;
  size_t rows = columns_.empty() ? values_.size() / std::max<size_t>(1, measures_.size())
                                 : keys_.size() / columns_.size();
  std::vector<KeyValue> key(kept.size());
  for (size_t row = 0; row < rows; ++row) {
    const CellValue& value = values_[row * measures_.size() + measure_index];
    if (!value) continue;
    for (size_t index = 0; index < kept.size(); ++index) key[index] = keys_[row * columns_.size() + kept[index]];
    auto [entry, added] = totals.try_emplace(key, *value);
    if (!added) InfoOf(measure.aggregator).combine(entry->second, *value);
  }
  return totals;
}

bool Segment::Covers(const ColumnList& target, const std::vector<KeyValue>& keys) const {
  for (size_t index = 0; index < target.size(); ++index) {
    auto column = ColumnOf(target[index]);
    if (!column) return false;
    const SegmentColumn& segment_column = columns_[*column];
    if (segment_column.filtered && segment_column.allowed.count(keys[index]) == 0) return false;
  }
  return true;
}

}  // namespace orvex::engine
