#pragma once
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "xmla_client/soap_client.h"
#include "xmla_client/xmla_source.h"

namespace orvex::xmla_client {

// A member as the server described it. An axis of a result tells only the
// unique name, caption, level and an approximate child count; the member
// rowset adds the name and the parent (`complete`).
struct MemberInfo {
  std::string unique_name;
  std::string name;
  std::string caption;
  std::string description;
  std::string level_unique_name;
  std::string hierarchy_unique_name;
  std::string parent_unique_name;  // "" at the top
  int level_number = 0;
  int children = 0;
  bool complete = false;
};
using MemberList = std::vector<std::shared_ptr<const MemberInfo>>;

struct LevelInfo {
  std::string name;
  std::string unique_name;
  std::string caption;
  std::string description;
  int number = 0;
};

struct HierarchyInfo {
  std::string name;  // "" for the unnamed hierarchy of a dimension with one
  std::string unique_name;
  std::string caption;
  std::string description;
  std::string default_member;
  std::string all_member;
  std::vector<LevelInfo> levels;  // top level first
};

struct DimensionInfo {
  std::string name;
  std::string unique_name;
  std::string description;
  std::vector<HierarchyInfo> hierarchies;
};

struct SetInfo {
  std::string name;
  std::string caption;
  std::string expression;
};

struct CubeInfo {
  std::string name;
  std::string description;
};

// Catalogs, cubes and cube structures as one connection fetched them.
struct SharedMetadata {
  std::optional<std::vector<std::string>> catalogs;
  std::map<std::string, std::vector<CubeInfo>> cubes;  // by catalog
  std::map<std::string, std::shared_ptr<const std::vector<DimensionInfo>>> dimensions;  // by catalog and cube
};

// One configured XMLA data source, shared by all its connections: its
// definition, what the server says about itself (asked once), and the
// metadata connections hand on to the next for the definition's lifetime.
class XmlaSource {
 public:
  XmlaSource(std::string name, XmlaSourceDefinition definition)
      : name_(std::move(name)), definition_(std::move(definition)) {}
  const std::string& name() const { return name_; }
  const XmlaSourceDefinition& definition() const { return definition_; }
  // The DataSourceInfo requests carry: the first data source the server
  // lists, asked through `client` on first use. Thread-safe.
  std::string DataSourceInfo(SoapClient& client);
  // The metadata handed on, or nothing once it is older than its lifetime. Thread-safe.
  SharedMetadata Snapshot();
  // Hands on what a connection fetched, adding to what is still fresh. Thread-safe.
  void Publish(const SharedMetadata& metadata);

 private:
  std::string name_;
  XmlaSourceDefinition definition_;
  std::mutex mutex_;
  std::optional<std::string> data_source_info_;  // guarded by mutex_
  SharedMetadata shared_;                          // guarded by mutex_
  std::chrono::steady_clock::time_point shared_since_;  // guarded by mutex_
};

// What one connection knows of the server: catalogs, cubes, their structure
// and the members asked for so far, each fetched once. Members met on the
// axes of a result are remembered as they came and completed together, one
// request per hierarchy, the first time a name or parent is needed.
// Thread-safe; requests run one at a time. Throws ComError for the server's
// faults and for catalogs and cubes it does not have.
class XmlaState {
 public:
  XmlaState(std::shared_ptr<XmlaSource> source, int connect_timeout_seconds);

  const std::string& SourceName() const { return source_->name(); }
  // In name order; only the configured catalog when the definition names one.
  std::vector<std::string> CatalogNames();
  std::vector<CubeInfo> Cubes(const std::string& catalog);
  std::shared_ptr<const std::vector<DimensionInfo>> Dimensions(const std::string& catalog, const std::string& cube);
  // The cube's named sets; none when the server does not list sets.
  std::vector<SetInfo> NamedSets(const std::string& catalog, const std::string& cube);
  std::shared_ptr<const MemberList> LevelMembers(const std::string& catalog, const std::string& cube,
                                                 const std::string& hierarchy, const std::string& level);
  std::shared_ptr<const MemberList> Children(const std::string& catalog, const std::string& cube,
                                             const MemberInfo& parent);
  // The member of that unique name (within `hierarchy` when not ""); nullptr when the server has none.
  std::shared_ptr<const MemberInfo> FindMember(const std::string& catalog, const std::string& cube,
                                               const std::string& hierarchy, const std::string& unique_name);
  // The member with name and parent; a member the server does not list (a
  // calculated one) gets them from its unique name.
  std::shared_ptr<const MemberInfo> Complete(const std::string& catalog, const std::string& cube,
                                             const std::shared_ptr<const MemberInfo>& member);
  // Remembers a member of a result; gives the complete one when it is known already.
  std::shared_ptr<const MemberInfo> Remember(const std::string& catalog, const std::string& cube,
                                             std::shared_ptr<const MemberInfo> member);
  // Runs one statement; the reply holds the MDDataSet as its root.
  SoapReply Execute(const std::string& catalog, const std::string& statement);
  // A drill-through: the answer is a tabular rowset with its schema.
  SoapReply ExecuteRows(const std::string& catalog, const std::string& statement);
  // Ends the server's session. Later requests go without one.
  void End() noexcept;
  int RequestCount();

 private:
  std::vector<RowsetRow> Discover(const std::string& request_type, const std::string& catalog,
                                  const RestrictionList& restrictions);
  std::vector<std::string> CatalogNamesLocked();
  void CheckCatalog(const std::string& catalog);
  std::shared_ptr<const MemberInfo> Store(const std::string& scope, const RowsetRow& row);
  std::shared_ptr<const MemberInfo> Cached(const std::string& scope, const std::string& unique_name) const;

  std::shared_ptr<XmlaSource> source_;
  std::mutex mutex_;
  SoapClient client_;                                                     // guarded by mutex_
  SharedMetadata metadata_;                                               // guarded by mutex_
  std::map<std::string, std::shared_ptr<const MemberInfo>> members_;      // guarded; by scope and lower-case name
  std::map<std::string, std::shared_ptr<const MemberList>> lists_;        // guarded; level and child lists
  std::map<std::string, std::vector<std::string>> pending_;               // guarded; by scope and hierarchy
  std::set<std::string> missing_;                                         // guarded; names the server lacks
  std::map<std::string, std::vector<SetInfo>> sets_;                      // guarded; by catalog and cube
};

}  // namespace orvex::xmla_client
