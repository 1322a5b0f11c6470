#include "engine/store/clickhouse/clickhouse_shard_local.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <set>
#include <string_view>

#include "engine/store/clickhouse/clickhouse_connection.h"

namespace orvex::engine {
namespace {

using FromTable = Store::FromTable;
using FromLink = Store::FromLink;

// One backquoted identifier of a statement: where it is and its unescaped name.
struct Identifier {
  size_t begin = 0, end = 0;
  std::string name;
};

// The backquoted identifiers of `sql`, skipping string literals (a backquote
// inside 'it`s' names nothing).
std::vector<Identifier> IdentifiersOf(std::string_view sql) {
  std::vector<Identifier> found;
  for (size_t at = 0; at < sql.size();) {
    char quote = sql[at];
    if (quote != '`' && quote != '\'') {
      ++at;
      continue;
    }
    Identifier identifier{at, at, {}};
    size_t index = at + 1;
    for (; index < sql.size() && sql[index] != quote; ++index) {
      if (sql[index] == '\\' && index + 1 < sql.size()) ++index;
      identifier.name += sql[index];
    }
    at = index + 1;
    identifier.end = std::min(at, sql.size());
    if (quote == '`') found.push_back(std::move(identifier));
  }
  return found;
}

// How a partial aggregate is carried from the shards' statement to the one
// that joins the late dimensions: the state on the shards, merged after.
struct Carried {
  std::string_view prefix;  // as the engine writes the aggregate, up to its argument
  std::string_view state;
  std::string_view merge;
};
constexpr Carried kCarried[] = {
    {"COUNT(DISTINCT ", "uniqExactState(", "uniqExactMerge"},
    {"SUM(", "sumState(", "sumMerge"},
    {"COUNT(", "countState(", "countMerge"},
    {"MIN(", "minState(", "minMerge"},
    {"MAX(", "maxState(", "maxMerge"},
    {"AVG(", "avgState(", "avgMerge"},
};

// Whether the parenthesis open before `from` closes at the very end of `sql`.
bool ClosesAtEnd(std::string_view sql, size_t from) {
  int depth = 1;
  for (size_t at = from; at < sql.size(); ++at) {
    char c = sql[at];
    if (c == '`' || c == '\'') {
      for (++at; at < sql.size() && sql[at] != c; ++at) {
        if (sql[at] == '\\') ++at;
      }
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth == 0) {
      return at + 1 == sql.size();
    }
  }
  return false;
}

class Arrangement {
 public:
  Arrangement(const Store::GroupedSelect& select, const ShardLocalContext& context)
      : select_(select), context_(context), tables_(select.tables) {}

  std::optional<std::string> Sql();

 private:
  // The table an identifier's name belongs to ("store.city": store), or -1.
  int OwnerOf(const std::string& name) const;
  // The branches (dimension groups hanging off the fact) `sql` names, and
  // whether it names the fact table itself.
  std::set<size_t> BranchesIn(std::string_view sql, bool* names_fact = nullptr) const;
  // `sql` with the fact table's columns under their own names, as the shards' FROM gives them.
  std::string OwnNames(std::string_view sql) const;
  std::string Qualified(const FromTable& table) const;
  // A branch as the right side of a join, or the FROM of an IN subquery.
  std::string BranchFrom(size_t branch) const;
  std::string BranchSubquery(size_t branch) const;

  const Store::GroupedSelect& select_;
  const ShardLocalContext& context_;
  const std::vector<FromTable>& tables_;
  std::vector<size_t> branch_of_;  // per table; the fact table's entry is unused
  std::vector<size_t> branches_;   // the root table of each branch, in table order
  struct FactLink {
    const FromLink* link = nullptr;
    std::string fact_column;  // quoted, under its own name
    std::string branch_key;   // quoted, as `alias.column`
  };
  std::map<size_t, FactLink> fact_links_;  // by branch
};

int Arrangement::OwnerOf(const std::string& name) const {
  int owner = -1;
  size_t longest = 0;
  for (size_t index = 0; index < tables_.size(); ++index) {
    const std::string& alias = tables_[index].alias;
    if (name.size() > alias.size() && name.compare(0, alias.size(), alias) == 0 && name[alias.size()] == '.' &&
        alias.size() + 1 > longest) {
      owner = static_cast<int>(index);
      longest = alias.size() + 1;
    }
  }
  return owner;
}

std::set<size_t> Arrangement::BranchesIn(std::string_view sql, bool* names_fact) const {
  std::set<size_t> branches;
  for (const auto& identifier : IdentifiersOf(sql)) {
    int owner = OwnerOf(identifier.name);
    if (owner == 0 && names_fact) *names_fact = true;
    if (owner > 0) branches.insert(branch_of_[static_cast<size_t>(owner)]);
  }
  return branches;
}

std::string Arrangement::OwnNames(std::string_view sql) const {
  std::string out;
  size_t copied = 0;
  const std::string& fact = tables_.front().alias;
  for (const auto& identifier : IdentifiersOf(sql)) {
    if (OwnerOf(identifier.name) != 0) continue;
    out.append(sql.substr(copied, identifier.begin - copied));
    out += QuoteClickHouseIdentifier(identifier.name.substr(fact.size() + 1));
    copied = identifier.end;
  }
  out.append(sql.substr(copied));
  return out;
}

std::string Arrangement::Qualified(const FromTable& table) const {
  const std::string& schema = table.schema.empty() ? context_.database : table.schema;
  return (schema.empty() ? "" : QuoteClickHouseIdentifier(schema) + ".") + QuoteClickHouseIdentifier(table.name);
}

std::string Arrangement::BranchFrom(size_t branch) const {
  std::vector<FromTable> tables;
  std::vector<FromLink> links;
  std::set<std::string_view> aliases;
  for (size_t index = 1; index < tables_.size(); ++index) {
    if (branch_of_[index] != branch) continue;
    tables.push_back(tables_[index]);
    aliases.insert(tables_[index].alias);
  }
  for (const auto& link : select_.links) {
    if (aliases.count(link.left_alias) && aliases.count(link.right_alias)) links.push_back(link);
  }
  return context_.from_clause(tables, links);
}

std::string Arrangement::BranchSubquery(size_t branch) const {
  size_t tables = static_cast<size_t>(std::count(branch_of_.begin() + 1, branch_of_.end(), branch));
  std::string from = BranchFrom(branch);
  // One table is a subquery already; a join of several becomes one.
  return tables == 1 ? from : "(SELECT * FROM " + from + ")";
}

std::optional<std::string> Arrangement::Sql() {
  if (tables_.empty() || tables_.front().name.empty()) return std::nullopt;
  for (const auto& table : tables_) {
    if (table.name.empty()) return std::nullopt;
  }
  // The dimension tables fall into branches: tables linked to each other, not through the fact.
  branch_of_.resize(tables_.size());
  std::iota(branch_of_.begin(), branch_of_.end(), 0);
  auto find = [&](size_t index) {
    while (branch_of_[index] != index) index = branch_of_[index] = branch_of_[branch_of_[index]];
    return index;
  };
  auto index_of = [&](const std::string& alias) -> int {
    for (size_t index = 0; index < tables_.size(); ++index) {
      if (tables_[index].alias == alias) return static_cast<int>(index);
    }
    return -1;
  };
  for (const auto& link : select_.links) {
    int left = index_of(link.left_alias), right = index_of(link.right_alias);
    if (left < 0 || right < 0) return std::nullopt;
    if (left == 0 || right == 0) continue;
    size_t a = find(static_cast<size_t>(left)), b = find(static_cast<size_t>(right));
    // The smaller index is the root, so that a branch keeps the order of its first table.
    if (a != b) branch_of_[std::max(a, b)] = std::min(a, b);
  }
  for (size_t index = 1; index < tables_.size(); ++index) {
    branch_of_[index] = find(index);
    if (branch_of_[index] == index) branches_.push_back(index);
  }
  // Each branch hangs off the fact by one equality of two columns.
  for (const auto& link : select_.links) {
    int left = index_of(link.left_alias), right = index_of(link.right_alias);
    if ((left == 0) == (right == 0)) {
      if (left == 0) return std::nullopt;  // the fact with itself
      continue;
    }
    auto identifiers = IdentifiersOf(link.sql);
    if (identifiers.size() != 2 ||
        link.sql.substr(identifiers[0].end, identifiers[1].begin - identifiers[0].end) != " = " ||
        identifiers[0].begin != 0 || identifiers[1].end != link.sql.size()) {
      return std::nullopt;
    }
    int first = OwnerOf(identifiers[0].name), second = OwnerOf(identifiers[1].name);
    if (first != 0) {
      std::swap(identifiers[0], identifiers[1]);
      std::swap(first, second);
    }
    if (first != 0 || second <= 0) return std::nullopt;
    size_t branch = branch_of_[static_cast<size_t>(second)];
    if (fact_links_.count(branch)) return std::nullopt;
    fact_links_[branch] = {&link, OwnNames(link.sql.substr(identifiers[0].begin, identifiers[0].end - identifiers[0].begin)),
                           link.sql.substr(identifiers[1].begin, identifiers[1].end - identifiers[1].begin)};
  }
  for (size_t branch : branches_) {
    if (!fact_links_.count(branch)) return std::nullopt;  // cross joined
  }

  std::set<size_t> grouped;
  for (const auto& key : select_.keys) {
    auto branches = BranchesIn(key);
    grouped.insert(branches.begin(), branches.end());
  }
  std::set<size_t> aggregated;
  for (const auto& aggregate : select_.aggregates) {
    auto branches = BranchesIn(aggregate);
    aggregated.insert(branches.begin(), branches.end());
  }
  if (aggregated.size() > 1) return std::nullopt;
  // The branch joined on the shards: the one aggregated over, else the
  // grouped one whose grouped columns shrink its keys most (its rows over
  // the values they take). The shards send a row per value of it and per
  // key of every other grouped branch, so that is the fewest rows; a day
  // summed to its year beats a product kept as itself. Ties, and stores
  // without estimates, take the largest.
  std::optional<size_t> inner;
  if (!aggregated.empty()) {
    inner = *aggregated.begin();
  } else {
    double best_shrink = -1;
    int64_t best_rows = -1;
    for (size_t branch : grouped) {
      int64_t rows = context_.row_count(tables_[branch]);
      double shrink = 1;
      std::string columns;
      for (const auto& key : select_.keys) {
        auto branches = BranchesIn(key);
        if (branches.size() == 1 && *branches.begin() == branch) columns += (columns.empty() ? "" : ", ") + key;
      }
      if (context_.count && !columns.empty() && rows > 0) {
        int64_t values = context_.count("SELECT uniq(" + columns + ") FROM " + BranchFrom(branch));
        if (values > 0) shrink = static_cast<double>(rows) / static_cast<double>(values);
      }
      if (shrink > best_shrink || (shrink == best_shrink && rows > best_rows)) {
        best_shrink = shrink;
        best_rows = rows;
        inner = branch;
      }
    }
  }
  std::vector<size_t> late;  // grouped branches joined after the shards' aggregation
  for (size_t branch : branches_) {
    if (grouped.count(branch) && branch != inner) late.push_back(branch);
  }

  std::vector<std::string> shard_filters, late_filters;
  std::map<size_t, std::vector<std::string>> in_filters;  // by branch
  for (const auto& filter : select_.filters) {
    bool names_fact = false;
    auto branches = BranchesIn(filter, &names_fact);
    if (branches.empty() || (branches.size() == 1 && *branches.begin() == inner)) {
      shard_filters.push_back(OwnNames(filter));
    } else if (branches.size() == 1 && !names_fact) {
      size_t branch = *branches.begin();
      in_filters[branch].push_back(filter);
      // A key the dimension holds twice, once in and once out of the filter, must still be filtered when joined.
      if (grouped.count(branch)) late_filters.push_back(filter);
    } else {
      if (names_fact) return std::nullopt;
      for (size_t branch : branches) {
        if (!grouped.count(branch) && branch != inner) return std::nullopt;
      }
      late_filters.push_back(filter);
    }
  }
  for (size_t branch : branches_) {
    // A dimension neither grouped by nor filtered still drops the fact rows it lacks a key for, as the join did.
    if (branch != inner && !grouped.count(branch) && !in_filters.count(branch)) in_filters[branch];
  }
  for (const auto& [branch, filters] : in_filters) {
    std::string in = fact_links_[branch].fact_column + " IN (SELECT " + fact_links_[branch].branch_key + " FROM " +
                     BranchFrom(branch);
    for (size_t index = 0; index < filters.size(); ++index) in += (index == 0 ? " WHERE " : " AND ") + filters[index];
    shard_filters.push_back(in + ")");
  }

  std::string shard_from = Qualified(tables_.front());
  if (inner) {
    shard_from += " ALL INNER JOIN " + BranchSubquery(*inner) + " ON " + OwnNames(fact_links_[*inner].link->sql);
  }
  auto where = [](const std::vector<std::string>& filters) {
    std::string sql;
    for (size_t index = 0; index < filters.size(); ++index) sql += (index == 0 ? " WHERE " : " AND ") + filters[index];
    return sql;
  };

  if (late.empty()) {
    // Everything the statement groups by is on the shards: it is theirs whole.
    std::string sql = "SELECT ";
    for (const auto& key : select_.keys) sql += OwnNames(key) + ", ";
    for (size_t index = 0; index < select_.aggregates.size(); ++index) {
      sql += (index > 0 ? ", " : "") + OwnNames(select_.aggregates[index]);
    }
    sql += " FROM " + shard_from + where(shard_filters);
    if (select_.keys.empty()) return sql + " HAVING COUNT(*) > 0";
    sql += " GROUP BY ";
    for (size_t index = 0; index < select_.keys.size(); ++index) sql += (index ? ", " : "") + OwnNames(select_.keys[index]);
    return sql;
  }

  // The shards group by every column the rest of the statement reads of
  // the fact and the joined branch, the late branches' keys among them.
  std::vector<std::string> carried_columns;
  std::set<std::string> seen;
  std::vector<std::string_view> late_texts(select_.keys.begin(), select_.keys.end());
  late_texts.insert(late_texts.end(), late_filters.begin(), late_filters.end());
  for (size_t branch : late) late_texts.push_back(fact_links_[branch].link->sql);
  for (std::string_view text : late_texts) {
    for (const auto& identifier : IdentifiersOf(text)) {
      int owner = OwnerOf(identifier.name);
      if (owner < 0 || (owner > 0 && branch_of_[static_cast<size_t>(owner)] != inner)) continue;
      if (seen.insert(identifier.name).second) carried_columns.push_back(identifier.name);
    }
  }
  std::string shard_select, shard_group, late_aggregates;
  for (const auto& name : carried_columns) {
    std::string quoted = QuoteClickHouseIdentifier(name);
    std::string own = OwnNames(quoted);
    shard_select += (shard_select.empty() ? "" : ", ") + (own == quoted ? quoted : own + " AS " + quoted);
    shard_group += (shard_group.empty() ? "" : ", ") + own;
  }
  for (size_t index = 0; index < select_.aggregates.size(); ++index) {
    const std::string& aggregate = select_.aggregates[index];
    const Carried* carried = nullptr;
    for (const auto& one : kCarried) {
      if (aggregate.rfind(one.prefix, 0) == 0 && ClosesAtEnd(aggregate, one.prefix.size())) {
        carried = &one;
        break;
      }
    }
    if (!carried) return std::nullopt;
    std::string name = QuoteClickHouseIdentifier("orvex_partial_" + std::to_string(index + 1));
    shard_select += ", " + std::string(carried->state) + OwnNames(aggregate.substr(carried->prefix.size())) + " AS " + name;
    late_aggregates += (index > 0 ? ", " : "") + std::string(carried->merge) + "(" + name + ")";
  }
  std::string from = "(SELECT " + shard_select + " FROM " + shard_from + where(shard_filters) + " GROUP BY " +
                     shard_group + ")";
  for (size_t index = 0; index < late.size(); ++index) {
    // One join per SELECT: what is joined so far becomes the left subquery.
    if (index > 0) from = "(SELECT * FROM " + from + ")";
    from += " ALL INNER JOIN " + BranchSubquery(late[index]) + " ON " + fact_links_[late[index]].link->sql;
  }
  std::string sql = "SELECT ";
  for (const auto& key : select_.keys) sql += key + ", ";
  sql += late_aggregates + " FROM " + from + where(late_filters) + " GROUP BY ";
  for (size_t index = 0; index < select_.keys.size(); ++index) sql += (index ? ", " : "") + select_.keys[index];
  return sql;
}

}  // namespace

std::optional<std::string> ShardLocalSelectSql(const Store::GroupedSelect& select, const ShardLocalContext& context) {
  return Arrangement(select, context).Sql();
}

}  // namespace orvex::engine
