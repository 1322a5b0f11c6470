#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/variant.h"
#include "platform/scripting/dictionary.h"
#include "provider/cellset_data.h"
#include "provider/connection.h"

// Tessel, the OLAP object model: a data source with its catalogs and cubes, and
// cube views made of a measure, displayed axes, a filter axis and colour ranges.
// It reaches OLAP servers only through src/provider.
//
// Conventions of the whole component: class, member and argument names are
// those of the object model's published interface (`CubeView`, `f_ClearResults`,
// `AxisHierarchyIndex`); members named f_ are for the component's own use.
// A property is read by `Name()` and assigned by `SetName(...)`; an internal
// assignment keeps its plain name (`f_Index(2)`). An optional variant argument
// left out is an empty Variant. Every failure is a ComError whose source ends
// with the trail of procedures it passed; errors the component raises itself
// start with the source line "Tessel". Objects are used by one thread at a time.
namespace orvex::olap {

// The application-global helpers: connections and the MDX text of the whole
// component. Stateless; one shared instance per thread (Instance()).
class Globals {
 public:
  // The calling thread's shared instance.
  static Globals& Instance();

  // True when `Connection` holds an open provider connection (any state when
  // `OpenRequired` is false); otherwise throws error 5. Never returns false.
  bool CheckConnection(const Variant& Connection, bool OpenRequired = true);
  // A new open connection; the caller owns it. Open failures propagate.
  std::shared_ptr<provider::Connection> GetConnection(const std::string& ConnectionString,
                                                      int32_t ConnectionTimeout = 30);
  // "Provider=" Provider ";Data Source=" trimmed name [";SOURCE_DSN=" trimmed catalog].
  std::string BuildConnectionString(std::string_view DataSourceName, const Variant& CatalogName = Variant(),
                                    std::string_view Provider = "MSOLAP");
  // Key/value items, keys without regard to case; a key given twice is error 457.
  Dictionary ParseConnectionString(std::string_view ConnectionString);

  // [part].[part]... from one value or an array of values; "]" is doubled.
  std::string BuildUniqueName(const Variant& Names);
  // The parts of a unique name; text not in brackets is one part; "" and "[]" give none.
  std::vector<std::string> ParseUniqueName(std::string_view UniqueName);
  // `List` + `Delimiter` + `Item`, or `Item` alone when `List` is empty.
  std::string AppendToList(std::string_view List, std::string_view Item, std::string_view Delimiter);
  // "{Set2}", "{Set1}" or "CrossJoin({Set1}, {Set2})" after trimming both.
  std::string CrossJoinSets(std::string_view Set1, std::string_view Set2);
  // ["NON EMPTY "]["Distinct("]"{" AxisSet "}"[")"] " ON Axis(" AxisIndex ")".
  std::string BuildAxisClause(int32_t AxisIndex, std::string_view AxisSet, bool ShowEmpty = true,
                              bool Distinct = true);
  // SET [SetName] AS '{SetExpression}' with single quotes doubled.
  std::string BuildNamedSetClause(std::string_view SetName, std::string_view SetExpression);
  // MEMBER MemberUniqueName AS 'MemberExpression' with single quotes doubled.
  std::string BuildNamedMemberClause(std::string_view MemberUniqueName, std::string_view MemberExpression);
  // The MDX set expression of a `set` element: t → (a,b), set and mdx → {...}.
  // Text that is not XML is error 5.
  std::string ConvertSetNodeToMDX(std::string_view SetNode);

  // "(m1, m2, ...)" of the position's members FirstMember to LastMember; "" for none.
  std::string PositionToTuple(const provider::Position* Position, std::optional<int32_t> FirstMember = {},
                              std::optional<int32_t> LastMember = {});
  // The non-empty tuples of positions FirstPosition to LastPosition, joined with ", ".
  std::string PositionsToTupleList(const provider::Positions* Positions, std::optional<int32_t> FirstMember = {},
                                   std::optional<int32_t> LastMember = {},
                                   std::optional<int32_t> FirstPosition = {},
                                   std::optional<int32_t> LastPosition = {});
};

}  // namespace orvex::olap
