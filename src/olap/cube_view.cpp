#include "olap/cube_view.h"

#include <pugixml.hpp>

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "errors/trail.h"
#include "olap/axes.h"
#include "olap/axis.h"
#include "olap/axis_hierarchies.h"
#include "olap/axis_hierarchy.h"
#include "olap/axis_level.h"
#include "olap/axis_levels.h"
#include "olap/catalog.h"
#include "olap/cell.h"
#include "olap/cube.h"
#include "olap/globals.h"
#include "olap/internal/append.h"
#include "olap/internal/tessel_error.h"
#include "olap/internal/xml.h"
#include "olap/position.h"
#include "olap/positions.h"
#include "olap/range.h"
#include "olap/ranges.h"
#include "platform/text.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "CubeView";

const char* BoolText(bool value) { return value ? "true" : "false"; }

// The parts of a bracketed unique name ("[a].[b]]c].&[7]"), each with its "&"
// when it names a key; nullopt for anything else, so that the statement holds
// a filter member only as a name and never as text of its own.
std::optional<std::vector<std::string>> BracketedParts(std::string_view text) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (true) {
    std::string part;
    if (at < text.size() && text[at] == '&') part += text[at++];
    if (at >= text.size() || text[at] != '[') return std::nullopt;
    part += text[at++];
    while (true) {
      if (at >= text.size()) return std::nullopt;
      if (text[at] == ']') {
        if (at + 1 < text.size() && text[at + 1] == ']') {
          part += "]]";
          at += 2;
          continue;
        }
        part += text[at++];
        break;
      }
      part += text[at++];
    }
    parts.push_back(std::move(part));
    if (at == text.size()) return parts;
    if (text[at++] != '.') return std::nullopt;
  }
}

// The cube's hierarchy `hierarchy_name` of dimension `dimension_name` (the
// only one for ""), looked up by name without regard to case; nullptr when none.
std::shared_ptr<provider::Hierarchy> FindHierarchy(olap::Cube& cube, const std::string& dimension_name,
                                                   const std::string& hierarchy_name) {
  auto dimensions = cube.Dimensions();
  for (int index = 0; index < dimensions->Count(); ++index) {
    auto dimension = dimensions->Item(index);
    if (!EqualsIgnoreCase(dimension->Name(), dimension_name)) continue;
    auto hierarchies = dimension->GetHierarchies();
    for (int position = 0; position < hierarchies->Count(); ++position) {
      auto hierarchy = hierarchies->Item(position);
      if (EqualsIgnoreCase(hierarchy->Name(), hierarchy_name) ||
          (hierarchy_name.empty() && hierarchies->Count() == 1)) {
        return hierarchy;
      }
    }
  }
  return nullptr;
}

ComError DefinitionError(const std::string& message) {
  return detail::TesselError(errors::kInvalidProcedureCall, message);
}
ComError NotOnItsAxis(const ViewNamedSet& set, const std::string& hierarchy) {
  return DefinitionError("The named set " + set.set + " stands for " + hierarchy + ", which is not on axis " +
                         std::to_string(set.axis) + ".");
}
}  // namespace

std::shared_ptr<olap::Cube> CubeView::Cube() const {
  return Trail(kClass, "Cube [PropertyGet]", [&] { return detail::Lock(cube_); });
}

void CubeView::SetMeasure(const Variant& Measure) {
  Trail(kClass, "Measure [PropertyLet]", [&] {
    f_Measure(Measure);
    f_ClearResults();
  });
}

std::shared_ptr<provider::Member> CubeView::Measure() const {
  return Trail(kClass, "Measure [PropertyGet]",
               [&] { return Cube()->Measures()->Item(std::string_view(measure_)); });
}

std::shared_ptr<olap::Axes> CubeView::Axes() const {
  return Trail(kClass, "Axes [PropertyGet]", [&] { return detail::Present(axes_); });
}

std::shared_ptr<olap::Ranges> CubeView::Ranges() const {
  return Trail(kClass, "Ranges [PropertyGet]", [&] { return detail::Present(ranges_); });
}

std::shared_ptr<olap::Axis> CubeView::FilterAxis() {
  return Trail(kClass, "FilterAxis [PropertyGet]", [&] {
    if (!filter_axis_) {
      auto axis = std::make_shared<olap::Axis>();
      axis->f_Construct(shared_from_this(), f_CellSet()->GetFilterAxis());
      axis->f_Index(-1);
      filter_axis_ = std::move(axis);
    }
    return filter_axis_;
  });
}

std::shared_ptr<olap::Cell> CubeView::GetCell(const Variant& Positions) {
  return Trail(kClass, "GetCell", [&] {
    if (!Positions.IsArray()) return NewCell(*f_CellSet()->Item(Positions.ToLong()));
    std::vector<int> indexes;
    for (const Variant& index : Positions.ToArray()) indexes.push_back(index.ToLong());
    return NewCell(*f_CellSet()->Item(indexes));
  });
}

std::shared_ptr<olap::Cell> CubeView::GetCell(int32_t Ordinal) {
  return Trail(kClass, "GetCell", [&] { return NewCell(*f_CellSet()->Item(Ordinal)); });
}

std::shared_ptr<olap::Cell> CubeView::GetCell(const std::vector<int32_t>& Positions) {
  return Trail(kClass, "GetCell", [&] {
    return NewCell(*f_CellSet()->Item(std::vector<int>(Positions.begin(), Positions.end())));
  });
}

std::shared_ptr<olap::Cell> CubeView::NewCell(const provider::Cell& cell) {
  auto result = std::make_shared<olap::Cell>();
  result->f_Construct(shared_from_this(), cell.Ordinal());
  return result;
}

void CubeView::f_Construct(const std::shared_ptr<olap::Cube>& Cube) {
  Trail(kClass, "f_Construct", [&] {
    axes_ = std::make_shared<olap::Axes>();
    axes_->f_Construct(shared_from_this());
    ranges_ = std::make_shared<olap::Ranges>();
    ranges_->f_Construct(shared_from_this());
    if (!Cube) {
      throw detail::TesselError(errors::kInvalidProcedureCall,
                                "The 'Cube' argument must be a reference to a valid 'Cube' object.");
    }
    cube_ = Cube;
    measure_ = Cube->DefaultMeasure()->UniqueName();
  });
}

void CubeView::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    cube_.reset();
    cellset_.reset();
    if (filter_axis_) {
      filter_axis_->f_Terminate();
      filter_axis_.reset();
    }
    if (axes_) {
      axes_->f_Terminate();
      axes_.reset();
    }
    if (ranges_) {
      ranges_->f_Terminate();
      ranges_.reset();
    }
  });
}

void CubeView::f_ClearResults() {
  Trail(kClass, "f_ClearResults", [&] {
    if (cellset_) {
      auto cellset = std::move(cellset_);
      cellset_.reset();
      if (cellset->State() != provider::Connection::kStateClosed) cellset->Close();
    }
    if (axes_) {
      for (const auto& axis : axes_->NewEnum()) axis->f_ClearResults();
    }
    if (filter_axis_) {
      auto axis = std::move(filter_axis_);
      filter_axis_.reset();
      axis->f_Terminate();
    }
  });
}

std::shared_ptr<provider::Cellset> CubeView::f_CellSet() {
  return Trail(kClass, "f_CellSet [PropertyGet]", [&] {
    if (!cellset_) {
      auto cellset = std::make_shared<provider::Cellset>();
      cellset->SetActiveConnection(Cube()->Catalog()->ActiveConnection());
      cellset->Open(p_BuildMDX());
      cellset_ = std::move(cellset);
    }
    return cellset_;
  });
}

void CubeView::f_Measure(const Variant& Measure) {
  Trail(kClass, "f_Measure [PropertyLet]", [&] {
    auto measures = Cube()->Measures();
    std::shared_ptr<provider::Member> member;
    if (detail::IsPositionIndex(Measure)) {
      member = measures->Item(Measure.ToLong());
    } else {
      std::string text = Measure.ToString();
      try {
        member = measures->Item(std::string_view(text));
      } catch (const ComError&) {
        member = measures->Item(std::string_view("[Measures].[" + text + "]"));
      }
    }
    measure_ = member->UniqueName();
  });
}

std::string CubeView::p_BuildMDX() {
  return Trail(kClass, "p_BuildMDX", [&] { return p_BuildStatement(false); });
}

std::string CubeView::QueryMDX() {
  return Trail(kClass, "QueryMDX", [&] {
    // An ended view has no ranges or axes left to read: error 91, as for its cube.
    Cube();
    detail::Present(ranges_);
    detail::Present(axes_);
    return p_BuildStatement(true);
  });
}

std::string CubeView::p_BuildStatement(bool extended) {
  Globals& globals = Globals::Instance();
  const std::string& measure = measure_;

  std::string condition;
  for (const auto& range : ranges_->NewEnum()) {
    if (range->Colour() != clrHidden) continue;
    std::string part;
    Variant floor = range->Floor();
    Variant ceiling = range->Ceiling();
    if (!floor.IsNull()) part = measure + " >= " + FormatNumber(floor.ToDouble());
    if (!ceiling.IsNull()) part = globals.AppendToList(part, measure + " <= " + FormatNumber(ceiling.ToDouble()), " AND ");
    if (!part.empty()) condition = globals.AppendToList(condition, "(" + part + ")", " OR ");
  }
  condition = Trim(condition);

  std::string expression = measure;
  std::string with;
  if (!condition.empty()) {
    // A bracket in the measure's name is doubled like in any name part.
    expression = "[Measures].[__Filtered__" + ReplaceAll(Measure()->Name(), "]", "]]") + "]";
    with = globals.BuildNamedMemberClause(expression, "IIf(" + condition + ", NULL, " + measure + ")");
  }

  auto axes = axes_->NewEnum();

  // The extensions: a slicer of the filters, and the measures an axis shows.
  std::vector<std::string> slicer_sets;
  bool compound = false;
  std::vector<std::string> measures;
  int32_t measures_axis = measures_axis_;
  if (extended) {
    // A set on an axis the view does not show would be dropped without a word.
    for (size_t index = 0; index < named_sets_.size(); ++index) {
      if (named_sets_[index].axis >= static_cast<int32_t>(axes.size())) {
        throw NotOnItsAxis(named_sets_[index], named_set_hierarchies_[index]);
      }
    }
    for (size_t index = 0; index < filters_.size(); ++index) {
      for (const auto& axis : axes) {
        for (const auto& hierarchy : axis->Hierarchies()->NewEnum()) {
          if (EqualsIgnoreCase(hierarchy->UniqueName(), filter_hierarchies_[index])) {
            throw DefinitionError("The hierarchy " + filter_hierarchies_[index] + " is on an axis and in the filters.");
          }
        }
      }
      std::string set;
      for (const std::string& member : filters_[index].members) set = globals.AppendToList(set, member, ", ");
      slicer_sets.push_back(set);
      compound = compound || filters_[index].members.size() > 1;
    }
    measures = axis_measures_;
    // A compound slicer holds no measure: the view's measure moves to the first axis.
    if (measures.empty() && compound) {
      measures.push_back(measure);
      measures_axis = 0;
    }
    if (!measures.empty() && measures_axis > static_cast<int32_t>(axes.size())) {
      throw DefinitionError("The measures cannot go on axis " + std::to_string(measures_axis) + " of a view with " +
                            std::to_string(axes.size()) + " axes.");
    }
    // Hidden ranges apply to the view's measure wherever it stands.
    for (std::string& name : measures) {
      if (EqualsIgnoreCase(name, measure)) name = expression;
    }
  }
  std::string measure_set;
  for (const std::string& name : measures) measure_set = globals.AppendToList(measure_set, name, ", ");

  std::string select;
  for (size_t index = 0; index < axes.size(); ++index) {
    const auto& axis = axes[index];
    std::string number = std::to_string(index);
    std::string source = extended ? p_AxisSourceMDX(*axis, static_cast<int32_t>(index)) : axis->f_SourceToMDX();
    with = globals.AppendToList(with, globals.BuildNamedSetClause("Axis " + number, source), " ");
    std::string others;
    for (size_t other = 0; other < axes.size(); ++other) {
      if (other != index) others = globals.CrossJoinSets(others, "[Axis " + std::to_string(other) + "]");
    }
    std::string key = Trim(others).empty() ? expression : "Sum(" + others + ", " + expression + ")";
    std::string set = "Hierarchize([Axis " + number + "])";
    std::string breaking = axis->GroupByLevel() ? "" : "B";
    if (axis->SortOrder() == static_cast<int32_t>(SortTypes::Ascending)) {
      set = "Order(" + set + ", " + key + ", " + breaking + "ASC)";
    } else if (axis->SortOrder() == static_cast<int32_t>(SortTypes::Descending)) {
      set = "Order(" + set + ", " + key + ", " + breaking + "DESC)";
    }
    if (!measures.empty() && static_cast<int32_t>(index) == measures_axis) {
      set = globals.CrossJoinSets(set, measure_set);
    }
    select = globals.AppendToList(
        select, globals.BuildAxisClause(static_cast<int32_t>(index), set, axis->ShowEmpty(), true), ", ");
  }
  if (!measures.empty() && measures_axis == static_cast<int32_t>(axes.size())) {
    select = globals.AppendToList(select, globals.BuildAxisClause(measures_axis, measure_set, true, true), ", ");
  }
  if (!with.empty()) with = "WITH " + with;
  select = "SELECT " + select;
  if (!extended) return Trim(with + " " + select + " FROM [" + Cube()->Name() + "] WHERE (" + expression + ")");

  // One member each: a tuple with the measure. Otherwise a set of tuples, which holds no measure.
  std::string where;
  if (compound) {
    for (const std::string& set : slicer_sets) where = where.empty() ? "{" + set + "}" : "CrossJoin(" + where + ", {" + set + "})";
  } else {
    if (measures.empty()) where = expression;
    for (const std::string& member : slicer_sets) where = globals.AppendToList(where, member, ", ");
    if (!where.empty()) where = "(" + where + ")";
  }
  std::string statement = with + " " + select + " FROM [" + Cube()->Name() + "]";
  if (!where.empty()) statement += " WHERE " + where;
  return Trim(statement);
}

void CubeView::SetFilters(std::vector<ViewFilter> Filters) {
  Trail(kClass, "SetFilters", [&] {
    auto cube = Cube();
    std::vector<std::string> hierarchies;
    for (ViewFilter& filter : Filters) {
      auto hierarchy = FindHierarchy(*cube, filter.dimension_name, filter.hierarchy_name);
      std::string name = filter.dimension_name + (filter.hierarchy_name.empty() ? "" : "." + filter.hierarchy_name);
      if (!hierarchy) throw DefinitionError("The cube has no hierarchy '" + name + "' to filter on.");
      const std::string unique_name = hierarchy->UniqueName();
      if (EqualsIgnoreCase(unique_name, "[Measures]")) {
        throw DefinitionError("The measures are no filter: put them on an axis.");
      }
      for (const std::string& other : hierarchies) {
        if (EqualsIgnoreCase(other, unique_name)) throw DefinitionError("The hierarchy " + unique_name + " is filtered twice.");
      }
      if (filter.members.empty()) throw DefinitionError("The filter on " + unique_name + " names no member.");
      auto own_parts = BracketedParts(unique_name);
      for (std::string& member : filter.members) {
        member = Trim(member);
        auto parts = BracketedParts(member);
        // A member of the hierarchy starts with the hierarchy's own name parts and adds at least one.
        bool inside = parts && own_parts && parts->size() > own_parts->size();
        for (size_t part = 0; inside && part < own_parts->size(); ++part) {
          inside = EqualsIgnoreCase((*parts)[part], (*own_parts)[part]);
        }
        if (!inside) throw DefinitionError("'" + member + "' is no member name of the hierarchy " + unique_name + ".");
      }
      hierarchies.push_back(unique_name);
    }
    filters_ = std::move(Filters);
    filter_hierarchies_ = std::move(hierarchies);
  });
}

std::string CubeView::p_AxisSourceMDX(Axis& axis, int32_t AxisIndex) {
  return Trail(kClass, "p_AxisSourceMDX", [&] {
    auto hierarchies = axis.Hierarchies()->NewEnum();
    std::vector<const ViewNamedSet*> replaced(hierarchies.size(), nullptr);
    bool any = false;
    for (size_t index = 0; index < named_sets_.size(); ++index) {
      if (named_sets_[index].axis != AxisIndex) continue;
      bool placed = false;
      for (size_t position = 0; position < hierarchies.size(); ++position) {
        if (EqualsIgnoreCase(hierarchies[position]->UniqueName(), named_set_hierarchies_[index])) {
          replaced[position] = &named_sets_[index];
          placed = true;
        }
      }
      if (!placed) {
        throw NotOnItsAxis(named_sets_[index], named_set_hierarchies_[index]);
      }
      any = true;
    }
    if (!any) return axis.f_SourceToMDX();

    // The axis lists whole tuples; a named set stands for one hierarchy of
    // them. The hierarchies between sets keep their listed combinations,
    // each once, and the parts are crossed in the axis's order.
    Globals& globals = Globals::Instance();
    const int32_t count = axis.f_SourcePositionCount();
    std::string result;
    size_t run = 0;
    auto close_run = [&](size_t end) {
      if (run == end) return;
      std::vector<std::shared_ptr<olap::Positions>> sources;
      for (size_t position = run; position < end; ++position) sources.push_back(hierarchies[position]->f_SourcePositions());
      std::set<std::string> seen;
      std::string tuples;
      for (int32_t position = 0; position < count; ++position) {
        std::string tuple;
        for (const auto& source : sources) {
          detail::AppendInPlace(tuple, source->Item(position)->f_MemberKey().value_or(""), ", ");
        }
        if (!tuple.empty() && seen.insert(tuple).second) detail::AppendInPlace(tuples, "(" + tuple + ")", ", ");
      }
      result = globals.CrossJoinSets(result, tuples);
    };
    for (size_t position = 0; position < hierarchies.size(); ++position) {
      if (!replaced[position]) continue;
      close_run(position);
      result = globals.CrossJoinSets(result, replaced[position]->set);
      run = position + 1;
    }
    close_run(hierarchies.size());
    return result;
  });
}

void CubeView::SetNamedSets(std::vector<ViewNamedSet> Sets) {
  Trail(kClass, "SetNamedSets", [&] {
    auto cube = Cube();
    const std::vector<provider::NamedSet> defined = cube->f_CubeDef()->GetNamedSets();
    std::vector<std::string> hierarchies;
    for (ViewNamedSet& set : Sets) {
      // Only a set the cube defines reaches the statement, by the name the cube gives it.
      const std::string wanted = Trim(set.set);
      auto found = std::find_if(defined.begin(), defined.end(), [&wanted](const provider::NamedSet& one) {
        return EqualsIgnoreCase(one.unique_name, wanted) || EqualsIgnoreCase(one.name, wanted);
      });
      if (found == defined.end()) throw DefinitionError("The cube has no named set '" + set.set + "'.");
      set.set = found->unique_name;
      if (set.axis < 0) {
        throw DefinitionError("The named set " + set.set + " cannot go on axis " + std::to_string(set.axis) + ".");
      }
      auto hierarchy = FindHierarchy(*cube, set.dimension_name, set.hierarchy_name);
      std::string name = set.dimension_name + (set.hierarchy_name.empty() ? "" : "." + set.hierarchy_name);
      if (!hierarchy) throw DefinitionError("The cube has no hierarchy '" + name + "' for the named set " + set.set + ".");
      const std::string unique_name = hierarchy->UniqueName();
      if (EqualsIgnoreCase(unique_name, "[Measures]")) {
        throw DefinitionError("The named set " + set.set + " cannot stand for the measures: put them on an axis.");
      }
      for (const std::string& other : hierarchies) {
        if (EqualsIgnoreCase(other, unique_name)) throw DefinitionError("The hierarchy " + unique_name + " has two named sets.");
      }
      hierarchies.push_back(unique_name);
    }
    named_sets_ = std::move(Sets);
    named_set_hierarchies_ = std::move(hierarchies);
  });
}

void CubeView::SetMeasures(const std::vector<std::string>& Measures, int32_t AxisIndex) {
  Trail(kClass, "SetMeasures", [&] {
    if (AxisIndex < 0) throw DefinitionError("The measures cannot go on axis " + std::to_string(AxisIndex) + ".");
    auto members = Cube()->Measures();
    std::vector<std::string> unique_names;
    for (const std::string& name : Measures) {
      std::shared_ptr<provider::Member> member;
      for (int index = 0; index < members->Count() && !member; ++index) {
        auto candidate = members->Item(index);
        if (EqualsIgnoreCase(candidate->UniqueName(), Trim(name)) || EqualsIgnoreCase(candidate->Name(), Trim(name))) {
          member = candidate;
        }
      }
      if (!member) throw DefinitionError("The cube has no measure '" + name + "'.");
      for (const std::string& other : unique_names) {
        if (other == member->UniqueName()) throw DefinitionError("The measure " + other + " is named twice.");
      }
      unique_names.push_back(member->UniqueName());
    }
    if (!unique_names.empty()) measure_ = unique_names.front();
    axis_measures_ = std::move(unique_names);
    measures_axis_ = AxisIndex;
  });
}

void CubeView::f_PopulateExtensions(std::string_view CubeViewNode) {
  Trail(kClass, "f_PopulateExtensions", [&] {
    pugi::xml_document document;
    if (!detail::LoadXml(document, CubeViewNode)) {
      throw detail::TesselError(errors::kInvalidProcedureCall, detail::kXmlNotLoaded);
    }
    pugi::xml_node root = document.document_element();
    // All are read before any is set, so a bad one changes nothing.
    std::optional<std::vector<ViewFilter>> filters;
    if (pugi::xml_node element = root.child("filters")) {
      filters.emplace();
      for (pugi::xml_node hierarchy : element.children("hierarchy")) {
        ViewFilter filter{hierarchy.attribute("dimensionName").value(), hierarchy.attribute("hierarchyName").value(), {}};
        for (pugi::xml_node member : hierarchy.children("m")) filter.members.push_back(detail::InnerText(member));
        filters->push_back(std::move(filter));
      }
    }
    std::optional<std::vector<std::string>> measures;
    int32_t axis = 0;
    if (pugi::xml_node element = root.child("measures")) {
      measures.emplace();
      std::string text = Trim(element.attribute("axis").value());
      if (!text.empty()) {
        if (text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) {
          throw DefinitionError("The measures' axis '" + text + "' is no axis number.");
        }
        axis = std::stoi(text);
      }
      for (pugi::xml_node member : element.children("m")) measures->push_back(detail::InnerText(member));
    }
    std::optional<std::vector<ViewNamedSet>> sets;
    if (pugi::xml_node element = root.child("namedSets")) {
      sets.emplace();
      for (pugi::xml_node set : element.children("set")) {
        std::string text = Trim(set.attribute("axis").value());
        if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) {
          throw DefinitionError("The named set's axis '" + text + "' is no axis number.");
        }
        sets->push_back({std::stoi(text), set.attribute("dimensionName").value(), set.attribute("hierarchyName").value(),
                         detail::InnerText(set)});
      }
    }
    if (filters) SetFilters(std::move(*filters));
    if (measures) SetMeasures(*measures, axis);
    if (sets) SetNamedSets(std::move(*sets));
  });
}

std::string CubeView::ToXML(int32_t Format) {
  return Trail(kClass, "ToXML", [&] {
    Globals& globals = Globals::Instance();
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("cubeView");

    auto cube = Cube();
    auto catalog = cube->Catalog();
    Dictionary connection = globals.ParseConnectionString(catalog->ActiveConnection()->ConnectionString());
    pugi::xml_node data_source = root.append_child("dataSource");
    data_source.append_attribute("provider").set_value(connection.Item("Provider").ToString().c_str());
    data_source.text().set(connection.Item("Data Source").ToString().c_str());
    root.append_child("catalog").text().set(catalog->Name().c_str());
    root.append_child("cube").text().set(cube->Name().c_str());
    root.append_child("measure").text().set(Measure()->Name().c_str());

    pugi::xml_node ranges = root.append_child("ranges");
    auto all_ranges = ranges_->NewEnum();
    for (const auto& range : all_ranges) {
      pugi::xml_node element = ranges.append_child("range");
      pugi::xml_node floor = element.append_child("floor");
      if (!range->Floor().IsNull()) floor.text().set(FormatNumber(range->Floor().ToDouble()).c_str());
      pugi::xml_node ceiling = element.append_child("ceiling");
      if (!range->Ceiling().IsNull()) ceiling.text().set(FormatNumber(range->Ceiling().ToDouble()).c_str());
      element.append_child("colour").text().set(std::to_string(range->Colour()).c_str());
    }

    pugi::xml_node axes = root.append_child("axes");
    auto displayed = axes_->NewEnum();
    // The extensions follow the axes (and only where there are any), so the
    // classic reader, which looks for its own elements by name, passes them by.
    auto write_extensions = [&] {
      if (!filters_.empty()) {
        pugi::xml_node filters = root.append_child("filters");
        for (const ViewFilter& filter : filters_) {
          pugi::xml_node element = filters.append_child("hierarchy");
          element.append_attribute("dimensionName").set_value(filter.dimension_name.c_str());
          element.append_attribute("hierarchyName").set_value(filter.hierarchy_name.c_str());
          for (const std::string& member : filter.members) element.append_child("m").text().set(member.c_str());
        }
      }
      if (!axis_measures_.empty()) {
        pugi::xml_node measures = root.append_child("measures");
        measures.append_attribute("axis").set_value(std::to_string(measures_axis_).c_str());
        for (const std::string& measure : axis_measures_) measures.append_child("m").text().set(measure.c_str());
      }
      if (!named_sets_.empty()) {
        pugi::xml_node sets = root.append_child("namedSets");
        for (const ViewNamedSet& set : named_sets_) {
          pugi::xml_node element = sets.append_child("set");
          element.append_attribute("axis").set_value(std::to_string(set.axis).c_str());
          element.append_attribute("dimensionName").set_value(set.dimension_name.c_str());
          element.append_attribute("hierarchyName").set_value(set.hierarchy_name.c_str());
          element.text().set(set.set.c_str());
        }
      }
    };
    bool all_levels = Format == 2 || Format == 4;
    for (const auto& axis : displayed) {
      pugi::xml_node element = axes.append_child("axis");
      element.append_attribute("sortOrder").set_value(std::to_string(axis->SortOrder()).c_str());
      element.append_attribute("groupByLevel").set_value(BoolText(axis->GroupByLevel()));
      element.append_attribute("showEmpty").set_value(BoolText(axis->ShowEmpty()));
      element.append_attribute("showTotalsOnExpand").set_value(BoolText(axis->ShowTotalsOnExpand()));
      auto hierarchies = axis->Hierarchies()->NewEnum();
      if (Format == 0) {
        pugi::xml_node set = element.append_child("set");
        std::vector<std::shared_ptr<olap::Positions>> sources;
        for (const auto& hierarchy : hierarchies) sources.push_back(hierarchy->f_SourcePositions());
        int32_t count = axis->f_SourcePositionCount();
        for (int32_t position = 0; position < count; ++position) {
          pugi::xml_node tuple = set.append_child("t");
          for (const auto& source : sources) {
            tuple.append_child("m").text().set(source->Item(position)->f_MemberKey().value_or("").c_str());
          }
        }
      } else {
        for (const auto& hierarchy : hierarchies) {
          p_BuildHierarchyElement(element, *hierarchy, all_levels);
        }
      }
    }

    write_extensions();

    if (Format > 2) {
      pugi::xml_node filter = root.append_child("filterAxis");
      for (const auto& hierarchy : FilterAxis()->Hierarchies()->NewEnum()) {
        p_BuildHierarchyElement(filter, *hierarchy, Format == 4);
      }
      pugi::xml_node cells = root.append_child("cells");
      if (!displayed.empty()) {
        int64_t count = 1;
        for (const auto& axis : displayed) count *= axis->PositionCount();
        for (int64_t ordinal = 0; ordinal < count; ++ordinal) {
          auto cell = GetCell(static_cast<int32_t>(ordinal));
          pugi::xml_node element = cells.append_child("c");
          Variant value = cell->Value();
          if (!value.IsNull() && !value.IsEmpty()) {
            element.append_attribute("value").set_value(value.ToString().c_str());
          }
          int32_t range_index = cell->RangeIndex();
          if (range_index >= 0) {
            element.append_attribute("colour").set_value(
                std::to_string(all_ranges.at(static_cast<size_t>(range_index))->Colour()).c_str());
          }
          std::string formatted = cell->FormattedValue();
          if (!formatted.empty()) element.text().set(formatted.c_str());
        }
      }
    }
    return detail::ToXmlText(document);
  });
}

pugi::xml_node CubeView::p_BuildHierarchyElement(pugi::xml_node parent, AxisHierarchy& hierarchy, bool all_levels) {
  return Trail(kClass, "p_BuildHierarchyElement", [&] {
    pugi::xml_node element = parent.append_child("hierarchy");
    element.append_attribute("dimensionName").set_value(hierarchy.Dimension()->Name().c_str());
    element.append_attribute("hierarchyName").set_value(hierarchy.Name().c_str());
    for (const auto& level : hierarchy.Levels()->NewEnum()) {
      auto positions = level->Positions();
      if (!all_levels && positions->AllEmpty()) break;
      pugi::xml_node level_element = element.append_child("level");
      level_element.append_attribute("name").set_value(level->Name().c_str());
      int32_t count = positions->Count();
      int32_t start = 0;
      for (int32_t position = 1; position < count; ++position) {
        if (!level->IsSameHeading(start, position)) {
          p_BuildHeadingElement(level_element, *positions->Item(start), position - start);
          start = position;
        }
      }
      // A result without positions has no heading to write (and no slot 0 to read).
      if (count > 0) p_BuildHeadingElement(level_element, *positions->Item(start), count - start);
    }
    return element;
  });
}

pugi::xml_node CubeView::p_BuildHeadingElement(pugi::xml_node level_element, const olap::Position& position,
                                               int32_t span) {
  return Trail(kClass, "p_BuildHeadingElement", [&] {
    pugi::xml_node heading = level_element.append_child("h");
    if (span > 1) heading.append_attribute("span").set_value(std::to_string(span).c_str());
    if (!position.f_MemberKey()) {
      heading.append_attribute("empty").set_value("true");
    } else {
      heading.text().set(position.Caption().c_str());
    }
    return heading;
  });
}

}  // namespace orvex::olap
