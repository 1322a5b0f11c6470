#include "bench_statements.h"

#include "platform/text.h"
#include "provider/cellset_data.h"

namespace orvex::bench {
namespace {

std::string Quoted(const std::string& text) { return ReplaceAll(text, "'", "''"); }

// The part of the cube view's statement after its named sets: axis 0 plain,
// axis 1 sorted (when `order` is not empty) and without empty rows.
std::string Select(const std::string& measure, bool non_empty_columns, const std::string& order) {
  std::string rows = order.empty() ? "Hierarchize([Axis 1])"
                                   : "Order(Hierarchize([Axis 1]), Sum({[Axis 0]}, " + measure + "), " + order + ")";
  return std::string(" SELECT ") + (non_empty_columns ? "NON EMPTY " : "") +
         "Distinct({Hierarchize([Axis 0])}) ON Axis(0), NON EMPTY Distinct({" + rows +
         "}) ON Axis(1) FROM [Sales] WHERE (" + measure + ")";
}

std::string Sets(const std::string& columns, const std::string& rows) {
  return "SET [Axis 0] AS '{" + Quoted(columns) + "}' SET [Axis 1] AS '{" + Quoted(rows) + "}'";
}

// An axis element: its options, then a set of member tuples or one MDX fragment.
std::string Axis(int sort_order, bool group_by_level, bool show_empty, const std::string& set) {
  return "<axis sortOrder=\"" + std::to_string(sort_order) + "\" groupByLevel=\"" + (group_by_level ? "true" : "false") +
         "\" showEmpty=\"" + (show_empty ? "true" : "false") + "\" showTotalsOnExpand=\"true\"><set>" + set +
         "</set></axis>";
}

std::string XmlText(const std::string& text) {
  return ReplaceAll(ReplaceAll(ReplaceAll(text, "&", "&amp;"), "<", "&lt;"), ">", "&gt;");
}

std::string Fragment(const std::string& mdx) { return "<mdx>" + XmlText(mdx) + "</mdx>"; }

std::string Tuples(const std::vector<std::string>& members) {
  std::string set;
  for (const auto& member : members) set += "<t><m>" + XmlText(member) + "</m></t>";
  return set;
}

// The families each followed by their departments, in hierarchy order.
std::vector<std::string> FamiliesAndDepartments(engine::EngineSession& session, const std::string& catalog) {
  auto result = session.Execute(catalog, "SELECT Descendants([Product].[All Products], [Product].[Product Department], "
                                         "SELF_AND_BEFORE) ON 0 FROM [Sales]");
  auto positions = result->GetAxes()->Item(0)->GetPositions();
  std::vector<std::string> members;
  for (int index = 0; index < positions->Count(); ++index) {
    auto member = positions->Item(index)->GetMembers()->Item(0);
    if (member->LevelDepth() > 0) members.push_back(member->UniqueName());
  }
  return members;
}

constexpr const char* kFacts = "FROM sales_fact f JOIN time_by_day t ON f.time_id = t.time_id ";
constexpr const char* kProducts =
    "JOIN product p ON f.product_id = p.product_id JOIN product_class c ON p.product_class_id = c.product_class_id ";

}  // namespace

std::vector<BenchStatement> TypicalStatements(engine::EngineSession& session, const std::string& catalog) {
  const std::string unit_sales = "[Measures].[Unit Sales]";
  std::vector<BenchStatement> statements;

  const std::vector<std::string> quarters = {"[Time].[1997].[Q1]", "[Time].[1997].[Q2]", "[Time].[1997].[Q3]",
                                             "[Time].[1997].[Q4]"};
  const std::vector<std::string> products = FamiliesAndDepartments(session, catalog);
  auto tuple_list = [](const std::vector<std::string>& members) {
    std::string list;
    for (const auto& member : members) list += (list.empty() ? "(" : ", (") + member + ")";
    return list;
  };
  statements.push_back(
      {"families_quarters", "families+departments x 1997 quarters, DESC, NON EMPTY",
       "WITH " + Sets(tuple_list(quarters), tuple_list(products)) + Select(unit_sales, false, "DESC"),
       std::string("SELECT c.product_family, c.product_department, t.quarter, SUM(f.unit_sales) ") + kFacts + kProducts +
           "WHERE t.the_year = 1997 GROUP BY GROUPING SETS ((c.product_family, t.quarter), "
           "(c.product_family, c.product_department, t.quarter))",
       "Unit Sales", "", Axis(0, true, true, Tuples(quarters)) + Axis(2, true, false, Tuples(products))});

  const std::string months = "Descendants([Time].[1997], [Time].[Month])";
  const std::string cities = "[Store].[Store City].Members";
  statements.push_back(
      {"cities_months", "store cities x months of 1997, NON EMPTY",
       "WITH " + Sets(months, cities) + Select(unit_sales, true, ""),
       std::string("SELECT s.store_country, s.store_state, s.store_city, t.quarter, t.month_of_year, SUM(f.unit_sales) ") +
           kFacts + "JOIN store s ON f.store_id = s.store_id WHERE t.the_year = 1997 "
           "GROUP BY s.store_country, s.store_state, s.store_city, t.quarter, t.month_of_year",
       "Unit Sales", "", Axis(0, true, false, Fragment(months)) + Axis(0, true, false, Fragment(cities))});

  const std::string filtered = "[Measures].[__Filtered__Store Sales]";
  const std::string genders = "[Gender].[Gender].Members";
  const std::string states = "[Customers].[State Province].Members";
  statements.push_back(
      {"states_gender_hidden", "customer states x gender, hidden range, BDESC",
       "WITH MEMBER " + filtered + " AS 'IIf(([Measures].[Store Sales] <= 1000), NULL, [Measures].[Store Sales])' " +
           Sets(genders, states) + Select(filtered, false, "BDESC"),
       "SELECT u.country, u.state_province, u.gender, SUM(f.store_sales) FROM sales_fact f "
       "JOIN customer u ON f.customer_id = u.customer_id GROUP BY u.country, u.state_province, u.gender",
       "Store Sales", "<range><floor></floor><ceiling>1000</ceiling><colour>-1</colour></range>",
       Axis(0, true, true, Fragment(genders)) + Axis(2, false, false, Fragment(states))});

  const std::vector<std::string> years = {"[Time].[1997]", "[Time].[1998]"};
  const std::string crossed =
      "CrossJoin(CrossJoin([Store].[Store State].Members, [Product].[Product Family].Members), "
      "[Promotion Media].[Media Type].Members)";
  statements.push_back(
      {"three_crossed", "state x family x media on rows, by year",
       "WITH " + Sets(tuple_list(years), crossed) + Select(unit_sales, false, ""),
       std::string("SELECT s.store_state, c.product_family, m.media_type, t.the_year, SUM(f.unit_sales) ") + kFacts +
           kProducts + "JOIN store s ON f.store_id = s.store_id JOIN promotion m ON f.promotion_id = m.promotion_id "
           "GROUP BY s.store_state, c.product_family, m.media_type, t.the_year",
       "Unit Sales", "", Axis(0, true, true, Tuples(years)) + Axis(0, true, false, Fragment(crossed))});

  const std::string leaves = "Descendants([Product].[All Products], [Product].[Product Name], SELF_AND_BEFORE)";
  statements.push_back(
      {"product_leaves", "Product expanded to its leaves, by year",
       "WITH " + Sets(tuple_list(years), leaves) + Select(unit_sales, false, ""),
       std::string("SELECT c.product_family, c.product_department, c.product_category, p.brand_name, p.product_name, "
                   "t.the_year, SUM(f.unit_sales) ") + kFacts + kProducts +
           "GROUP BY GROUPING SETS ((t.the_year), (c.product_family, t.the_year), "
           "(c.product_family, c.product_department, t.the_year), "
           "(c.product_family, c.product_department, c.product_category, t.the_year), "
           "(c.product_family, c.product_department, c.product_category, p.brand_name, t.the_year), "
           "(p.product_name, t.the_year))",
       "Unit Sales", "", Axis(0, true, true, Tuples(years)) + Axis(0, true, false, Fragment(leaves))});
  return statements;
}

std::string ViewDefinition(const BenchStatement& statement, const std::string& data_source, const std::string& catalog) {
  return "<cubeView><dataSource provider=\"MSOLAP\">" + XmlText(data_source) + "</dataSource><catalog>" +
         XmlText(catalog) + "</catalog><cube>Sales</cube><measure>" + statement.measure + "</measure><ranges>" +
         statement.ranges + "</ranges><axes>" + statement.axes + "</axes></cubeView>";
}

}  // namespace orvex::bench
