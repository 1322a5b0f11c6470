#include "xmla_client/md_dataset_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <climits>
#include <cstdlib>

#include "platform/com/com_error.h"
#include "platform/text.h"
#include "xmla_client/xmla_metadata.h"
#include "xmla/xml_names.h"

namespace orvex::xmla_client {
namespace {

using xmla::Child;
using xmla::LocalName;

ComError AnswerError(const std::string& what) {
  return ComError(kXmlaClientErrorNumber, kXmlaClientErrorSource, "The XMLA server's result cannot be read: " + what);
}

template <class Visit>
void EachChild(pugi::xml_node parent, std::string_view local_name, Visit visit) {
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_element && LocalName(child.name()) == local_name) visit(child);
  }
}

struct AxisData {
  std::string name;
  int hierarchy_count = 0;
  std::vector<std::vector<std::shared_ptr<const MemberInfo>>> tuples;
};

struct CellData {
  Variant value;
  std::string formatted;
};

struct Result {
  CubeScope scope;
  std::vector<AxisData> axes;
  AxisData filter;
  std::vector<CellData> cells;
};

class XmlaPosition final : public provider::Position {
 public:
  XmlaPosition(std::shared_ptr<const Result> result, const std::vector<std::shared_ptr<const MemberInfo>>& tuple,
               int ordinal)
      : result_(std::move(result)), tuple_(tuple), ordinal_(ordinal) {}
  int Ordinal() const override { return ordinal_; }
  std::shared_ptr<provider::Members> GetMembers() const override {
    auto result = result_;
    const auto* tuple = &tuple_;
    return std::make_shared<FunctionCollection<provider::Member>>(
        [tuple] { return static_cast<int>(tuple->size()); },
        [result, tuple](int index) {
          return std::make_shared<XmlaMember>(result->scope, (*tuple)[static_cast<size_t>(index)]);
        },
        [result, tuple](std::string_view name) -> std::shared_ptr<provider::Member> {
          for (const auto& member : *tuple) {
            if (EqualsIgnoreCase(member->unique_name, name)) return std::make_shared<XmlaMember>(result->scope, member);
          }
          for (const auto& member : *tuple) {
            auto xmla_member = std::make_shared<XmlaMember>(result->scope, member);
            if (EqualsIgnoreCase(xmla_member->Name(), name)) return xmla_member;
          }
          return nullptr;
        });
  }

 private:
  std::shared_ptr<const Result> result_;
  const std::vector<std::shared_ptr<const MemberInfo>>& tuple_;
  int ordinal_;
};

class XmlaAxis final : public provider::Axis {
 public:
  XmlaAxis(std::shared_ptr<const Result> result, const AxisData& axis) : result_(std::move(result)), axis_(axis) {}
  std::string Name() const override { return axis_.name; }
  int DimensionCount() const override { return axis_.hierarchy_count; }
  const provider::Properties& GetProperties() const override { return properties_; }
  std::shared_ptr<provider::Positions> GetPositions() const override {
    auto result = result_;
    const AxisData* axis = &axis_;
    return std::make_shared<FunctionCollection<provider::Position>>(
        [axis] { return static_cast<int>(axis->tuples.size()); },
        [result, axis](int index) {
          return std::make_shared<XmlaPosition>(result, axis->tuples[static_cast<size_t>(index)], index);
        },
        nullptr);
  }

 private:
  std::shared_ptr<const Result> result_;
  const AxisData& axis_;
  provider::Properties properties_;
};

class XmlaCell final : public provider::Cell {
 public:
  XmlaCell(std::shared_ptr<const Result> result, int ordinal)
      : result_(std::move(result)), ordinal_(ordinal), cell_(result_->cells[static_cast<size_t>(ordinal)]) {
    properties_.Add("VALUE", cell_.value);
    properties_.Add("FORMATTED_VALUE", Variant(cell_.formatted));
    properties_.Add("CELL_ORDINAL", Variant(static_cast<int32_t>(ordinal)));
  }
  Variant Value() const override { return cell_.value; }
  std::string FormattedValue() const override { return cell_.formatted; }
  int Ordinal() const override { return ordinal_; }
  const provider::Properties& GetProperties() const override { return properties_; }

 private:
  std::shared_ptr<const Result> result_;
  int ordinal_;
  const CellData& cell_;
  provider::Properties properties_;
};

class XmlaCellsetData final : public provider::CellsetData {
 public:
  explicit XmlaCellsetData(std::shared_ptr<const Result> result) : result_(std::move(result)) {}
  std::shared_ptr<provider::Axes> GetAxes() const override {
    auto result = result_;
    return std::make_shared<FunctionCollection<provider::Axis>>(
        [result] { return static_cast<int>(result->axes.size()); },
        [result](int index) { return std::make_shared<XmlaAxis>(result, result->axes[static_cast<size_t>(index)]); },
        [result](std::string_view name) -> std::shared_ptr<provider::Axis> {
          for (const auto& axis : result->axes) {
            if (EqualsIgnoreCase(axis.name, name)) return std::make_shared<XmlaAxis>(result, axis);
          }
          return nullptr;
        });
  }
  std::shared_ptr<provider::Axis> GetFilterAxis() const override {
    return std::make_shared<XmlaAxis>(result_, result_->filter);
  }
  std::shared_ptr<provider::Cell> GetCell(int ordinal) const override {
    if (ordinal < 0 || static_cast<size_t>(ordinal) >= result_->cells.size()) {
      throw provider::ItemNotFound(kXmlaClientErrorSource);
    }
    return std::make_shared<XmlaCell>(result_, ordinal);
  }

 private:
  std::shared_ptr<const Result> result_;
};

// A whole number that fits 32 bits, or nullopt.
std::optional<int32_t> Int32(std::string_view text) {
  int64_t value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < INT32_MIN || value > INT32_MAX) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

Variant TypedValue(pugi::xml_node value) {
  std::string_view type = LocalName(value.attribute("xsi:type").value());
  std::string text = value.text().get();
  if (type == "boolean") return Variant(text == "true" || text == "1");
  if (type == "int" || type == "short" || type == "byte" || type == "unsignedShort" || type == "unsignedByte") {
    if (auto number = Int32(text)) return Variant(*number);
  }
  if (type == "string") return Variant(text);
  if (type.empty() || type == "double" || type == "float" || type == "decimal" || type == "long" ||
      type == "unsignedInt" || type == "unsignedLong" || type == "int" || type == "integer") {
    if (text == "INF") return Variant(HUGE_VAL);
    if (text == "-INF") return Variant(-HUGE_VAL);
    if (text == "NaN") return Variant(std::nan(""));
    double number = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), number);
    if (result.ec == std::errc() && result.ptr == text.data() + text.size()) return Variant(number);
    if (!type.empty()) throw AnswerError("the value '" + text + "' is not of its type " + std::string(type) + ".");
  }
  return Variant(text);
}

AxisData ReadAxis(pugi::xml_node axis, int hierarchy_count, XmlaState& state, const CubeScope& scope) {
  AxisData data;
  data.name = axis.attribute("name").value();
  data.hierarchy_count = hierarchy_count;
  EachChild(Child(axis, "Tuples"), "Tuple", [&](pugi::xml_node tuple) {
    auto& members = data.tuples.emplace_back();
    EachChild(tuple, "Member", [&](pugi::xml_node node) {
      auto member = std::make_shared<MemberInfo>();
      member->unique_name = Child(node, "UName").text().get();
      member->caption = Child(node, "Caption").text().get();
      member->level_unique_name = Child(node, "LName").text().get();
      member->hierarchy_unique_name = node.attribute("Hierarchy").value();
      member->level_number = Child(node, "LNum").text().as_int();
      member->children = static_cast<int>(Child(node, "DisplayInfo").text().as_uint() & 0xFFFFu);
      members.push_back(state.Remember(scope.catalog, scope.cube, std::move(member)));
    });
    if (data.hierarchy_count == 0 && data.tuples.size() == 1) data.hierarchy_count = static_cast<int>(members.size());
    if (static_cast<int>(members.size()) != data.hierarchy_count) {
      throw AnswerError("a tuple of " + data.name + " holds " + std::to_string(members.size()) +
                        " members, not one for each of its " + std::to_string(data.hierarchy_count) + " hierarchies.");
    }
  });
  return data;
}

}  // namespace

std::shared_ptr<provider::CellsetData> ReadMdDataSet(const pugi::xml_node& root, std::shared_ptr<XmlaState> state,
                                                     const std::string& catalog) {
  if (!root || LocalName(root.name()) != "root") throw AnswerError("it holds no MDDataSet.");
  pugi::xml_node olap_info = Child(root, "OlapInfo");
  auto result = std::make_shared<Result>();
  result->scope = {state, catalog, Child(Child(Child(olap_info, "CubeInfo"), "Cube"), "CubeName").text().get()};

  std::map<std::string, int> hierarchy_counts;
  EachChild(Child(olap_info, "AxesInfo"), "AxisInfo", [&](pugi::xml_node info) {
    int count = 0;
    EachChild(info, "HierarchyInfo", [&](pugi::xml_node) { ++count; });
    hierarchy_counts[info.attribute("name").value()] = count;
  });
  std::vector<AxisData> axes;
  bool has_slicer = false;
  EachChild(Child(root, "Axes"), "Axis", [&](pugi::xml_node axis) {
    std::string name = axis.attribute("name").value();
    AxisData data = ReadAxis(axis, hierarchy_counts[name], *state, result->scope);
    if (name == "SlicerAxis") {
      data.name = "FilterAxis";
      result->filter = std::move(data);
      has_slicer = true;
    } else {
      axes.push_back(std::move(data));
    }
  });
  if (!has_slicer) result->filter.name = "FilterAxis";
  // Axes in their order, whatever order the answer lists them in.
  for (size_t index = 0; index < axes.size(); ++index) {
    std::string wanted = "Axis" + std::to_string(index);
    auto found = std::find_if(axes.begin(), axes.end(), [&](const AxisData& axis) { return axis.name == wanted; });
    if (found == axes.end()) throw AnswerError("it has no axis " + wanted + ".");
    result->axes.push_back(std::move(*found));
    found->name.clear();
  }

  int64_t cell_count = 1;
  for (const auto& axis : result->axes) {
    cell_count *= static_cast<int64_t>(axis.tuples.size());
    if (cell_count > INT32_MAX) throw AnswerError("it holds more cells than can be counted.");
  }
  result->cells.resize(static_cast<size_t>(cell_count));
  int64_t next = 0;  // cells without an ordinal follow the one before
  EachChild(Child(root, "CellData"), "Cell", [&](pugi::xml_node cell) {
    pugi::xml_attribute ordinal_attribute = cell.attribute("CellOrdinal");
    int64_t ordinal = ordinal_attribute ? ordinal_attribute.as_llong(-1) : next;
    if (ordinal < 0 || ordinal >= cell_count) {
      throw AnswerError("the cell ordinal " + std::to_string(ordinal) + " lies outside its " +
                        std::to_string(cell_count) + " cells.");
    }
    CellData& data = result->cells[static_cast<size_t>(ordinal)];
    if (pugi::xml_node value = Child(cell, "Value")) data.value = TypedValue(value);
    data.formatted = Child(cell, "FmtValue").text().get();
    next = ordinal + 1;
  });
  return std::make_shared<XmlaCellsetData>(std::move(result));
}

provider::TabularData ReadTabularRows(const pugi::xml_node& root) {
  provider::TabularData rows;
  std::map<std::string, size_t> by_element;
  pugi::xml_node sequence;
  EachChild(root, "schema", [&](pugi::xml_node schema) {
    EachChild(schema, "complexType", [&](pugi::xml_node type) {
      if (std::string_view(type.attribute("name").value()) == "row") sequence = Child(type, "sequence");
    });
  });
  if (!sequence) throw AnswerError("the rows come without a schema naming their columns.");
  EachChild(sequence, "element", [&](pugi::xml_node element) {
    std::string name = element.attribute("name").value();
    pugi::xml_attribute field = element.attribute("sql:field");
    by_element.emplace(name, rows.columns.size());
    rows.columns.push_back(field ? field.value() : name);
  });
  EachChild(root, "row", [&](pugi::xml_node row) {
    std::vector<Variant>& values = rows.rows.emplace_back(rows.columns.size(), Variant::Null());
    for (pugi::xml_node value : row.children()) {
      if (value.type() != pugi::node_element) continue;
      auto found = by_element.find(std::string(LocalName(value.name())));
      if (found == by_element.end()) throw AnswerError("a row holds the column '" + std::string(value.name()) +
                                                       "', which its schema does not list.");
      values[found->second] = TypedValue(value);
    }
  });
  return rows;
}

}  // namespace orvex::xmla_client
