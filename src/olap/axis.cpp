#include "olap/axis.h"

#include <algorithm>
#include <pugixml.hpp>
#include <unordered_map>

#include "errors/trail.h"
#include "olap/axis_hierarchies.h"
#include "olap/axis_hierarchy.h"
#include "olap/axis_level.h"
#include "olap/axis_levels.h"
#include "olap/catalog.h"
#include "olap/cube.h"
#include "olap/cube_view.h"
#include "olap/globals.h"
#include "olap/internal/append.h"
#include "olap/internal/tessel_error.h"
#include "olap/internal/xml.h"
#include "olap/position.h"
#include "olap/positions.h"
#include "platform/text.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "Axis";
// The most positions a heading-form hierarchy may cover: a definition comes
// from the browser, and a huge span must not make the server build a huge set.
constexpr int64_t kMaxHeadingPositions = 1000000;

bool SameMember(const std::optional<std::string>& a, const std::optional<std::string>& b) {
  return a && b && EqualsIgnoreCase(*a, *b);
}

// The unique names of every member of a hierarchy's top level, joined with ", ".
std::string TopLevelMembers(const provider::Hierarchy& hierarchy) {
  auto members = hierarchy.GetLevels()->Item(0)->GetMembers();
  std::string list;
  for (int32_t member = 0; member < members->Count(); ++member) {
    detail::AppendInPlace(list, members->Item(member)->UniqueName(), ", ");
  }
  return list;
}
}  // namespace

// The heading an operation acts on: hierarchy k, result position r, level L and member M.
struct Axis::Heading {
  int32_t hierarchy = 0;
  int32_t position = 0;
  int32_t level = 0;
  std::string member;
  std::shared_ptr<olap::Position> entry;
};

// What a heading operation adds (A), keeps from adding (B) and removes (REM).
struct Axis::Changes {
  std::string add;
  std::string keep;
  std::string remove;
};

std::shared_ptr<olap::CubeView> Axis::CubeView() const {
  return Trail(kClass, "CubeView [PropertyGet]", [&] { return View(); });
}

int32_t Axis::Index() const {
  return Trail(kClass, "Index [PropertyGet]", [&] { return index_; });
}

void Axis::SetSortOrder(int32_t SortOrder) { SetOption("SortOrder [PropertyLet]", sort_order_, SortOrder); }

int32_t Axis::SortOrder() const { return GetOption("SortOrder [PropertyGet]", sort_order_); }

void Axis::SetGroupByLevel(bool GroupByLevel) {
  SetOption("GroupByLevel [PropertyLet]", group_by_level_, GroupByLevel);
}

bool Axis::GroupByLevel() const { return GetOption("GroupByLevel [PropertyGet]", group_by_level_); }

void Axis::SetShowEmpty(bool ShowEmpty) { SetOption("ShowEmpty [PropertyLet]", show_empty_, ShowEmpty); }

bool Axis::ShowEmpty() const { return GetOption("ShowEmpty [PropertyGet]", show_empty_); }

void Axis::SetShowTotalsOnExpand(bool ShowTotalsOnExpand) {
  SetOption("ShowTotalsOnExpand [PropertyLet]", show_totals_on_expand_, ShowTotalsOnExpand);
}

bool Axis::ShowTotalsOnExpand() const { return GetOption("ShowTotalsOnExpand [PropertyGet]", show_totals_on_expand_); }

template <class T>
void Axis::SetOption(const char* procedure, T& option, T value) {
  Trail(kClass, procedure, [&] {
    CheckWritable();
    option = value;
    View()->f_ClearResults();
  });
}

template <class T>
T Axis::GetOption(const char* procedure, const T& option) const {
  return Trail(kClass, procedure, [&] { return option; });
}

std::shared_ptr<AxisHierarchies> Axis::Hierarchies() const {
  return Trail(kClass, "Hierarchies [PropertyGet]", [&] { return detail::Present(hierarchies_); });
}

std::string Axis::Name() {
  return Trail(kClass, "Name [PropertyGet]", [&] { return ResultAxis()->Name(); });
}

int32_t Axis::PositionCount() {
  return Trail(kClass, "PositionCount [PropertyGet]", [&] { return ResultAxis()->GetPositions()->Count(); });
}

provider::Properties Axis::Properties() {
  return Trail(kClass, "Properties [PropertyGet]", [&] { return ResultAxis()->GetProperties(); });
}

std::shared_ptr<provider::Axis> Axis::ResultAxis() {
  auto axis = f_CellSetAxis();
  if (!axis) throw detail::TesselPlatformError(errors::kObjectNotSet);
  return axis;
}

void Axis::Populate(std::string_view AxisNode) {
  Trail(kClass, "Populate", [&] {
    CheckWritable();
    f_Populate(AxisNode);
    View()->f_ClearResults();
  });
}

void Axis::f_Construct(const std::shared_ptr<olap::CubeView>& CubeView) {
  Trail(kClass, "f_Construct", [&] { Attach(CubeView); });
}

void Axis::f_Construct(const std::shared_ptr<olap::CubeView>& CubeView, std::shared_ptr<provider::Axis> AxisDefinition) {
  Trail(kClass, "f_Construct", [&] {
    Attach(CubeView);
    if (!AxisDefinition) {
      throw detail::TesselError(errors::kInvalidProcedureCall,
                                "The 'AxisDefinition' argument cannot be an empty 'ADOMD.Axis' reference.");
    }
    auto hierarchies = std::make_shared<AxisHierarchies>();
    hierarchies->f_Construct(shared_from_this(), AxisDefinition);
    hierarchies_ = std::move(hierarchies);
  });
}

void Axis::f_Construct(const std::shared_ptr<olap::CubeView>& CubeView, std::string_view AxisDefinition) {
  Trail(kClass, "f_Construct", [&] {
    Attach(CubeView);
    std::string definition = Trim(AxisDefinition);
    if (!definition.empty()) f_Populate(definition);
  });
}

void Axis::Attach(const std::shared_ptr<olap::CubeView>& view) {
  if (!view) throw detail::TesselError(errors::kInvalidProcedureCall, detail::kCubeViewArgument);
  view_ = view;
  hierarchies_ = std::make_shared<AxisHierarchies>();
  hierarchies_->f_Construct(shared_from_this(), nullptr);
}

void Axis::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    view_.reset();
    if (hierarchies_) {
      auto hierarchies = std::move(hierarchies_);
      hierarchies_.reset();
      hierarchies->f_Terminate();
    }
  });
}

void Axis::f_ClearResults() {
  Trail(kClass, "f_ClearResults", [&] {
    if (!hierarchies_) return;
    for (const auto& hierarchy : hierarchies_->NewEnum()) hierarchy->f_ClearResults();
  });
}

std::shared_ptr<provider::Axis> Axis::f_CellSetAxis() {
  return Trail(kClass, "f_CellSetAxis [PropertyGet]", [&]() -> std::shared_ptr<provider::Axis> {
    if (index_ == -1) return View()->f_CellSet()->GetFilterAxis();
    if (index_ >= 0) return View()->f_CellSet()->GetAxes()->Item(index_);
    return nullptr;
  });
}

void Axis::f_Index(int32_t Index) {
  Trail(kClass, "f_Index [PropertyLet]", [&] { index_ = Index; });
}

int32_t Axis::f_SourcePositionCount() const {
  return Trail(kClass, "f_SourcePositionCount [PropertyGet]", [&] {
    if (!hierarchies_ || hierarchies_->Count() == 0) return 0;
    return hierarchies_->Item(Variant(0))->f_SourcePositions()->Count();
  });
}

bool Axis::f_IsSameHeading(int32_t HierarchyIndex, int32_t LevelIndex, int32_t Position1, int32_t Position2) {
  return Trail(kClass, "f_IsSameHeading", [&] {
    for (int32_t before = 0; before < HierarchyIndex; ++before) {
      auto positions = hierarchies_->Item(Variant(before))->Positions();
      if (!SameMember(positions->Item(Position1)->f_MemberKey(), positions->Item(Position2)->f_MemberKey())) {
        return false;
      }
    }
    auto hierarchy = hierarchies_->Item(Variant(HierarchyIndex));
    auto own = hierarchy->Positions();
    auto level = hierarchy->Levels()->Item(Variant(LevelIndex))->Positions();
    // A position whose member lies above the level shows that member there.
    auto shown = [&](int32_t slot) {
      const olap::Position* position = level->f_Slot(slot);
      if (position && position->f_MemberKey()) return *position->f_MemberKey();
      return own->Item(slot)->f_MemberKey().value_or("");
    };
    return EqualsIgnoreCase(shown(Position1), shown(Position2));
  });
}

void Axis::f_Populate(std::string_view AxisNode) {
  Trail(kClass, "f_Populate", [&] {
    pugi::xml_document document;
    if (!detail::LoadXml(document, AxisNode)) {
      throw detail::TesselError(errors::kInvalidProcedureCall, detail::kXmlNotLoaded);
    }
    pugi::xml_node root = document.document_element();
    // Every option is read before any is set, so a bad one changes nothing.
    auto option = [&](const char* name) -> std::optional<Variant> {
      pugi::xml_attribute attribute = root.attribute(name);
      if (!attribute) return std::nullopt;
      return Variant(std::string(attribute.value()));
    };
    auto sort_order = option("sortOrder");
    auto group_by_level = option("groupByLevel");
    auto show_empty = option("showEmpty");
    auto show_totals = option("showTotalsOnExpand");
    int32_t new_sort_order = sort_order ? sort_order->ToLong() : sort_order_;
    bool new_group_by_level = group_by_level ? group_by_level->ToBool() : group_by_level_;
    bool new_show_empty = show_empty ? show_empty->ToBool() : show_empty_;
    bool new_show_totals = show_totals ? show_totals->ToBool() : show_totals_on_expand_;
    f_SortOrder(new_sort_order);
    f_GroupByLevel(new_group_by_level);
    f_ShowEmpty(new_show_empty);
    f_ShowTotalsOnExpand(new_show_totals);

    if (pugi::xml_node set = root.child("set")) {
      p_Populate(Globals::Instance().ConvertSetNodeToMDX(detail::ToXmlText(set)));
      return;
    }
    std::vector<std::string> hierarchies;
    for (pugi::xml_node hierarchy : root.children("hierarchy")) hierarchies.push_back(detail::ToXmlText(hierarchy));
    f_PopulateHierarchies(hierarchies);
  });
}

std::string Axis::f_SourceToMDX(std::optional<int32_t> FirstHierarchy, std::optional<int32_t> LastHierarchy,
                                std::optional<int32_t> FirstPosition, std::optional<int32_t> LastPosition) {
  return Trail(kClass, "f_SourceToMDX", [&] {
    int32_t count = hierarchies_->Count();
    if (count == 0) return std::string();
    int32_t first_hierarchy = FirstHierarchy.value_or(0);
    int32_t last_hierarchy = LastHierarchy.value_or(count - 1);
    std::vector<std::shared_ptr<olap::Positions>> sources;
    for (int32_t hierarchy = first_hierarchy; hierarchy <= last_hierarchy; ++hierarchy) {
      sources.push_back(hierarchies_->Item(Variant(hierarchy))->f_SourcePositions());
    }
    int32_t last_position = LastPosition.value_or(f_SourcePositionCount() - 1);
    std::string result;
    for (int32_t position = FirstPosition.value_or(0); position <= last_position; ++position) {
      std::string tuple;
      for (const auto& source : sources) {
        detail::AppendInPlace(tuple, source->Item(position)->f_MemberKey().value_or(""), ", ");
      }
      if (!tuple.empty()) detail::AppendInPlace(result, "(" + tuple + ")", ", ");
    }
    return Trim(result);
  });
}

void Axis::f_SortOrder(int32_t SortOrder) {
  Trail(kClass, "f_SortOrder [PropertyLet]", [&] { sort_order_ = SortOrder; });
}

void Axis::f_GroupByLevel(bool GroupByLevel) {
  Trail(kClass, "f_GroupByLevel [PropertyLet]", [&] { group_by_level_ = GroupByLevel; });
}

void Axis::f_ShowEmpty(bool ShowEmpty) {
  Trail(kClass, "f_ShowEmpty [PropertyLet]", [&] { show_empty_ = ShowEmpty; });
}

void Axis::f_ShowTotalsOnExpand(bool ShowTotalsOnExpand) {
  Trail(kClass, "f_ShowTotalsOnExpand [PropertyLet]", [&] { show_totals_on_expand_ = ShowTotalsOnExpand; });
}

void Axis::f_PopulateHierarchies(const std::vector<std::string>& HierarchyNodes) {
  Trail(kClass, "f_PopulateHierarchies", [&] {
    std::string joined = "<axis>";
    for (const auto& node : HierarchyNodes) joined += node;
    joined += "</axis>";
    pugi::xml_document document;
    if (!detail::LoadXml(document, joined)) {
      throw detail::TesselError(errors::kInvalidProcedureCall, detail::kXmlNotLoaded);
    }
    std::vector<pugi::xml_node> elements;
    for (pugi::xml_node element : document.document_element().children("hierarchy")) elements.push_back(element);

    // Hierarchies named without levels keep their tuples; the others go.
    for (const auto& hierarchy : hierarchies_->NewEnum()) {
      std::string dimension_name = hierarchy->Dimension()->Name();
      std::string hierarchy_name = hierarchy->Name();
      auto found = std::find_if(elements.begin(), elements.end(), [&](const pugi::xml_node& element) {
        return EqualsIgnoreCase(element.attribute("dimensionName").value(), dimension_name) &&
               EqualsIgnoreCase(element.attribute("hierarchyName").value(), hierarchy_name);
      });
      if (found == elements.end() || found->child("level")) hierarchies_->f_Remove(Variant(hierarchy->UniqueName()));
    }

    Globals& globals = Globals::Instance();
    auto cube = View()->Cube();
    std::string expression = f_SourceToMDX();
    for (const pugi::xml_node& element : elements) {
      if (element.child("level")) {
        expression = globals.CrossJoinSets(expression, p_ConvertLevelNodesToMDX(element));
        continue;
      }
      auto hierarchy = cube->f_Hierarchy(element.attribute("dimensionName").value(),
                                         element.attribute("hierarchyName").value());
      if (!hierarchies_->Exists(Variant(hierarchy->UniqueName()))) {
        expression = globals.CrossJoinSets(expression, TopLevelMembers(*hierarchy));
      }
    }
    p_Populate(expression);

    for (size_t index = 0; index < elements.size(); ++index) {
      auto hierarchy = cube->f_Hierarchy(elements[index].attribute("dimensionName").value(),
                                         elements[index].attribute("hierarchyName").value());
      hierarchies_->f_Move(Variant(hierarchy->UniqueName()), Variant(static_cast<int32_t>(index)));
    }
  });
}

int32_t Axis::f_AddHierarchy(std::string_view HierarchyNode, const Variant& Before) {
  return Trail(kClass, "f_AddHierarchy", [&] {
    pugi::xml_document document;
    if (!detail::LoadXml(document, HierarchyNode)) {
      throw detail::TesselError(errors::kInvalidProcedureCall, detail::kXmlNotLoaded);
    }
    pugi::xml_node root = document.document_element();
    auto hierarchy = View()->Cube()->f_Hierarchy(root.attribute("dimensionName").value(),
                                                 root.attribute("hierarchyName").value());
    Variant unique_name(hierarchy->UniqueName());
    std::string members;
    if (root.child("level")) {
      members = p_ConvertLevelNodesToMDX(root);
    } else if (hierarchies_->Exists(unique_name)) {
      // Already on the axis: only its place changes, and no query runs.
      hierarchies_->f_Move(unique_name, Before);
      return hierarchies_->IndexOf(unique_name);
    } else {
      members = TopLevelMembers(*hierarchy);
    }
    p_Populate(Globals::Instance().CrossJoinSets(f_SourceToMDX(), members));
    if (!Before.IsEmpty()) hierarchies_->f_Move(unique_name, Before);
    return hierarchies_->IndexOf(unique_name);
  });
}

void Axis::f_RemoveHierarchy(const Variant& Index) {
  Trail(kClass, "f_RemoveHierarchy", [&] {
    hierarchies_->f_Remove(Index);
    p_Populate(f_SourceToMDX());
  });
}

std::shared_ptr<olap::CubeView> Axis::View() const { return detail::Lock(view_); }

void Axis::CheckWritable() const {
  if (index_ < 0) throw detail::TesselError(errors::kActionNotSupported, detail::kReadOnlyAxis);
}

std::string Axis::p_ConvertLevelNodesToMDX(const pugi::xml_node& hierarchy_node) {
  return Trail(kClass, "p_ConvertLevelNodesToMDX", [&] {
    Globals& globals = Globals::Instance();
    std::vector<std::string> paths;
    for (pugi::xml_node level : hierarchy_node.children("level")) {
      int64_t position = 0;
      for (pugi::xml_node heading : level.children("h")) {
        pugi::xml_attribute span_attribute = heading.attribute("span");
        int64_t span = span_attribute ? Variant(std::string(span_attribute.value())).ToLong() : 1;
        if (span < 1 || position + span > kMaxHeadingPositions) {
          throw detail::TesselPlatformError(errors::kInvalidProcedureCall);
        }
        if (paths.size() < static_cast<size_t>(position + span)) paths.resize(static_cast<size_t>(position + span));
        if (!EqualsIgnoreCase(heading.attribute("empty").value(), "true")) {
          std::string part = globals.BuildUniqueName(Variant(detail::InnerText(heading)));
          for (int64_t covered = position; covered < position + span; ++covered) {
            detail::AppendInPlace(paths[static_cast<size_t>(covered)], part, ".");
          }
        }
        position += span;
      }
    }
    std::string list;
    for (const auto& path : paths) {
      // A position no heading names (empty at every level) has no member to add.
      if (!path.empty()) detail::AppendInPlace(list, path, ", ");
    }
    return list;
  });
}

void Axis::p_Populate(const std::string& mdx) {
  Trail(kClass, "p_Populate", [&] {
    auto view = View();
    auto cube = view->Cube();
    auto cellset = std::make_shared<provider::Cellset>();
    cellset->SetActiveConnection(cube->Catalog()->ActiveConnection());
    std::string statement = "SELECT " + Globals::Instance().BuildAxisClause(0, mdx, true, true) +
                            ", {} ON Axis(1) FROM [" + cube->Name() + "] WHERE (" + view->f_MeasureUniqueName() +
                            ")";
    cellset->Open(Trim(statement));
    auto hierarchies = std::make_shared<AxisHierarchies>();
    hierarchies->f_Construct(shared_from_this(), cellset->GetAxes()->Item(0));
    hierarchies_ = std::move(hierarchies);
  });
}

bool Axis::p_CompareToSource(int32_t result_position, int32_t source_position, int32_t FirstHierarchy,
                             int32_t LastHierarchy, std::optional<int32_t> LevelIndex) {
  return Trail(kClass, "p_CompareToSource", [&] {
    if (LastHierarchy < FirstHierarchy) return true;
    for (int32_t hierarchy = FirstHierarchy; hierarchy < LastHierarchy; ++hierarchy) {
      auto axis_hierarchy = hierarchies_->Item(Variant(hierarchy));
      if (!SameMember(axis_hierarchy->Positions()->Item(result_position)->f_MemberKey(),
                      axis_hierarchy->f_SourcePositions()->Item(source_position)->f_MemberKey())) {
        return false;
      }
    }
    auto last = hierarchies_->Item(Variant(LastHierarchy));
    std::optional<std::string> result_member = last->Positions()->Item(result_position)->f_MemberKey();
    std::optional<std::string> source_member = last->f_SourcePositions()->Item(source_position)->f_MemberKey();
    if (LevelIndex) {
      auto level = last->Levels()->Item(Variant(*LevelIndex));
      const olap::Position* result_ancestor = level->Positions()->f_Slot(result_position);
      if (result_ancestor && result_ancestor->f_MemberKey()) result_member = result_ancestor->f_MemberKey();
      source_member = AncestorKey(LastHierarchy, *LevelIndex, source_position);
    }
    return SameMember(result_member, source_member);
  });
}

// The unique name of the source position's ancestor at `level` of `hierarchy`,
// or of its own member where that lies above the level.
std::string Axis::AncestorKey(int32_t hierarchy, int32_t level, int32_t source_position) {
  auto axis_hierarchy = hierarchies_->Item(Variant(hierarchy));
  const olap::Position* ancestor =
      axis_hierarchy->Levels()->Item(Variant(level))->f_SourcePositions()->f_Slot(source_position);
  if (ancestor && ancestor->f_MemberKey()) return *ancestor->f_MemberKey();
  return axis_hierarchy->f_SourcePositions()->Item(source_position)->f_MemberKey().value_or("");
}

Axis::Heading Axis::ResolveHeading(const Variant& AxisHierarchyIndex, int32_t PositionIndex,
                                   const Variant& LevelIndex) {
  auto hierarchy = hierarchies_->Item(AxisHierarchyIndex);
  std::shared_ptr<olap::Position> position;
  if (!LevelIndex.IsEmpty()) {
    position = hierarchy->Levels()->Item(LevelIndex)->Positions()->Item(PositionIndex);
    if (!position->f_MemberKey()) position.reset();
  }
  if (!position) position = hierarchy->Positions()->Item(PositionIndex);
  return Heading{hierarchy->Index(), position->Index(), position->Level()->Index(),
                 position->f_MemberKey().value_or(""), position};
}

// The level a level-wide operation works on: the one given, else the deepest
// level that shows any member; nullopt when no level does.
std::optional<int32_t> Axis::ResolveLevel(AxisHierarchy& hierarchy, const Variant& LevelIndex) {
  auto levels = hierarchy.Levels();
  if (!LevelIndex.IsEmpty()) return levels->Item(LevelIndex)->Index();
  for (int32_t level = levels->Count() - 1; level >= 0; --level) {
    auto axis_level = levels->Item(Variant(level));
    if (!axis_level->Positions()->AllEmpty()) return axis_level->Index();
  }
  return std::nullopt;
}

std::string Axis::ExpandedSet(const std::string& member) const {
  return show_totals_on_expand_ ? member + ", " + member + ".children" : member + ".children";
}

void Axis::ApplyChanges(int32_t hierarchy, const Changes& changes) {
  Globals& globals = Globals::Instance();
  std::string tail;
  for (int32_t later = hierarchy + 1; later < hierarchies_->Count(); ++later) {
    std::string members = TopLevelMembers(*hierarchies_->Item(Variant(later))->f_Hierarchy());
    tail = tail.empty() ? members : globals.CrossJoinSets(tail, members);
  }
  std::string add = "Except(Distinct({" + changes.add + "}), Distinct({" + changes.keep + "}))";
  if (!tail.empty()) add = globals.CrossJoinSets(add, tail);
  p_Populate("Except({ {" + f_SourceToMDX() + "}, Distinct({" + add + "}) }, Distinct({" + changes.remove + "}) )");
  View()->f_ClearResults();
}

void Axis::ExpandHeading(const Variant& AxisHierarchyIndex, std::optional<int32_t> PositionIndex,
                         const Variant& LevelIndex) {
  Trail(kClass, "ExpandHeading", [&] {
    Globals& globals = Globals::Instance();
    Changes changes;
    int32_t count = f_SourcePositionCount();
    int32_t hierarchy_index = 0;
    if (PositionIndex) {
      Heading heading = ResolveHeading(AxisHierarchyIndex, *PositionIndex, LevelIndex);
      hierarchy_index = heading.hierarchy;
      auto hierarchy = hierarchies_->Item(Variant(hierarchy_index));
      if (heading.entry->Member()->ChildCount() == 0) return;
      std::string prefix = globals.PositionToTuple(
          f_CellSetAxis()->GetPositions()->Item(heading.position).get(), 0, hierarchy_index - 1);
      changes.add = globals.CrossJoinSets(prefix, ExpandedSet(heading.member));
      auto source = hierarchy->f_SourcePositions();
      for (int32_t position = 0; position < count; ++position) {
        if (!p_CompareToSource(heading.position, position, 0, hierarchy_index, heading.level)) continue;
        const olap::Position& own = *source->Item(position);
        if (own.Level()->Index() > heading.level) {
          detail::AppendInPlace(changes.keep,
                                globals.CrossJoinSets(f_SourceToMDX(0, hierarchy_index - 1, position, position),
                                                      AncestorKey(hierarchy_index, heading.level + 1, position)),
                                ", ");
        } else if (EqualsIgnoreCase(own.f_MemberKey().value_or(""), heading.member) && !show_totals_on_expand_) {
          detail::AppendInPlace(changes.remove, f_SourceToMDX({}, {}, position, position), ", ");
        }
      }
    } else {
      auto hierarchy = hierarchies_->Item(AxisHierarchyIndex);
      hierarchy_index = hierarchy->Index();
      std::optional<int32_t> level = ResolveLevel(*hierarchy, LevelIndex);
      if (!level) return;
      auto source = hierarchy->f_SourcePositions();
      auto level_positions = hierarchy->Levels()->Item(Variant(*level))->f_SourcePositions();
      std::unordered_map<std::string, bool> has_children;  // by unique name: members repeat across tuples
      for (int32_t position = 0; position < count; ++position) {
        const olap::Position& own = *source->Item(position);
        int32_t own_level = own.Level()->Index();
        if (own_level < *level) continue;
        std::string ancestor = AncestorKey(hierarchy_index, *level, position);
        auto known = has_children.find(ancestor);
        if (known == has_children.end()) {
          known = has_children.emplace(ancestor, level_positions->Item(position)->Member()->ChildCount() > 0).first;
        }
        if (!known->second) continue;
        std::string prefix = f_SourceToMDX(0, hierarchy_index - 1, position, position);
        detail::AppendInPlace(changes.add, globals.CrossJoinSets(prefix, ExpandedSet(ancestor)), ", ");
        if (own_level > *level) {
          detail::AppendInPlace(changes.keep,
                                globals.CrossJoinSets(prefix, AncestorKey(hierarchy_index, *level + 1, position)),
                                ", ");
        } else if (!show_totals_on_expand_) {
          detail::AppendInPlace(changes.remove, f_SourceToMDX({}, {}, position, position), ", ");
        }
      }
    }
    ApplyChanges(hierarchy_index, changes);
  });
}

void Axis::CollapseHeading(const Variant& AxisHierarchyIndex, std::optional<int32_t> PositionIndex,
                           const Variant& LevelIndex) {
  Trail(kClass, "CollapseHeading", [&] {
    Globals& globals = Globals::Instance();
    Changes changes;
    int32_t count = f_SourcePositionCount();
    int32_t hierarchy_index = 0;
    if (PositionIndex) {
      Heading heading = ResolveHeading(AxisHierarchyIndex, *PositionIndex, LevelIndex);
      hierarchy_index = heading.hierarchy;
      auto source = hierarchies_->Item(Variant(hierarchy_index))->f_SourcePositions();
      for (int32_t position = 0; position < count; ++position) {
        if (!p_CompareToSource(heading.position, position, 0, hierarchy_index - 1, std::nullopt)) continue;
        if (EqualsIgnoreCase(source->Item(position)->f_MemberKey().value_or(""), heading.member)) {
          detail::AppendInPlace(changes.keep, f_SourceToMDX(0, hierarchy_index, position, position), ", ");
        } else if (EqualsIgnoreCase(AncestorKey(hierarchy_index, heading.level, position), heading.member)) {
          detail::AppendInPlace(changes.remove, f_SourceToMDX({}, {}, position, position), ", ");
          detail::AppendInPlace(
              changes.add,
              globals.CrossJoinSets(f_SourceToMDX(0, hierarchy_index - 1, position, position), heading.member), ", ");
        }
      }
    } else {
      auto hierarchy = hierarchies_->Item(AxisHierarchyIndex);
      hierarchy_index = hierarchy->Index();
      std::optional<int32_t> level = ResolveLevel(*hierarchy, LevelIndex);
      if (!level) return;
      auto source = hierarchy->f_SourcePositions();
      for (int32_t position = 0; position < count; ++position) {
        int32_t own_level = source->Item(position)->Level()->Index();
        if (own_level == *level) {
          detail::AppendInPlace(changes.keep, f_SourceToMDX(0, hierarchy_index, position, position), ", ");
        } else if (own_level > *level) {
          detail::AppendInPlace(changes.remove, f_SourceToMDX({}, {}, position, position), ", ");
          detail::AppendInPlace(changes.add,
                                globals.CrossJoinSets(f_SourceToMDX(0, hierarchy_index - 1, position, position),
                                                      AncestorKey(hierarchy_index, *level, position)),
                                ", ");
        }
      }
    }
    ApplyChanges(hierarchy_index, changes);
  });
}

void Axis::IsolateHeading(const Variant& AxisHierarchyIndex, int32_t PositionIndex, const Variant& LevelIndex) {
  Trail(kClass, "IsolateHeading", [&] {
    Heading heading = ResolveHeading(AxisHierarchyIndex, PositionIndex, LevelIndex);
    Changes changes;
    int32_t count = f_SourcePositionCount();
    for (int32_t position = 0; position < count; ++position) {
      bool under = p_CompareToSource(heading.position, position, 0, heading.hierarchy - 1, std::nullopt) &&
                   EqualsIgnoreCase(AncestorKey(heading.hierarchy, heading.level, position), heading.member);
      if (!under) detail::AppendInPlace(changes.remove, f_SourceToMDX({}, {}, position, position), ", ");
    }
    ApplyChanges(heading.hierarchy, changes);
  });
}

void Axis::RemoveHeading(const Variant& AxisHierarchyIndex, int32_t PositionIndex, const Variant& LevelIndex) {
  Trail(kClass, "RemoveHeading", [&] {
    Heading heading = ResolveHeading(AxisHierarchyIndex, PositionIndex, LevelIndex);
    Changes changes;
    int32_t count = f_SourcePositionCount();
    for (int32_t position = 0; position < count; ++position) {
      bool under = p_CompareToSource(heading.position, position, 0, heading.hierarchy - 1, std::nullopt) &&
                   EqualsIgnoreCase(AncestorKey(heading.hierarchy, heading.level, position), heading.member);
      if (under) detail::AppendInPlace(changes.remove, f_SourceToMDX({}, {}, position, position), ", ");
    }
    ApplyChanges(heading.hierarchy, changes);
  });
}

}  // namespace orvex::olap
