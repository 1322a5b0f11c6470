#pragma once
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/common/decimal.h"
#include "engine/model/dimension.h"
#include "engine/model/hierarchy.h"
#include "engine/model/level.h"
#include "engine/model/member.h"

// The values an MDX expression can take while a statement is evaluated.
namespace orvex::engine {

// A cell value or other scalar: empty, a number, a text, a truth value, or an
// exact decimal (a stored measure summed from DECIMAL columns, or an exact
// sum of such values). Arithmetic works on a decimal's double; sums of
// decimals stay exact, and a decimal is shown from its own digits.
using Scalar = std::variant<std::monostate, double, std::string, bool, Decimal>;

inline bool IsEmpty(const Scalar& value) { return std::holds_alternative<std::monostate>(value); }

// A double or a decimal as a double; nullopt for every other scalar.
inline std::optional<double> NumberOf(const Scalar& value) {
  if (const auto* number = std::get_if<double>(&value)) return *number;
  if (const auto* exact = std::get_if<Decimal>(&value)) return exact->ToDouble();
  return std::nullopt;
}

inline Scalar ToScalar(const CellNumber& number) {
  if (const auto* exact = std::get_if<Decimal>(&number)) return *exact;
  return std::get<double>(number);
}

// One member per hierarchy, in the order of the set's hierarchies.
using Tuple = std::vector<const Member*>;

struct TupleHash {
  size_t operator()(const Tuple& tuple) const {
    size_t hash = tuple.size();
    for (const Member* member : tuple) {
      hash ^= std::hash<const void*>()(member) + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
    }
    return hash;
  }
};

// An ordered list of tuples over the same hierarchies. `hierarchies` is empty
// only while nothing says what the set holds (the literal {}).
struct TupleSet {
  std::vector<const Hierarchy*> hierarchies;
  std::vector<Tuple> tuples;
};

// A member that is not there (the parent of a top member, the member before
// the first) is a null Member pointer; it drops out of sets and has no value.
using Value = std::variant<Scalar, const Member*, Tuple, TupleSet, const Level*, const Hierarchy*, const Dimension*>;

inline const Hierarchy& HierarchyOf(const Member& member) { return member.level->hierarchy(); }

// Members made by a statement's WITH MEMBER are in no level list; they are
// marked by a negative index_in_level.
inline bool IsStatementMember(const Member& member) { return member.index_in_level < 0; }

// The text of a scalar as a cell shows it without a format string: numbers in
// the shortest form that reads back the same, truth values as True or False.
// An infinite or not-a-number value is an error value (a calculation
// overflowed, as 1e308 * 10 or a sum past the largest double, or had no
// answer, as infinity minus infinity) and shows as NonFiniteText.
std::string ScalarText(const Scalar& value);

// "Infinity", "-Infinity" or "NaN": how an error value shows, whatever the
// cell's format string.
std::string NonFiniteText(double value);

}  // namespace orvex::engine
