#pragma once
// The tiny catalogs of the ragged-hierarchy and virtual-cube tests, shared
// with the PostgreSQL tests that compare both stores over them.
#include <string>

namespace orvex::engine::testing {

// Ragged: Israel has no state (a NULL name, which reads as #null); Vatican's
// state is named as its country. Each city sells a power of ten: LA 1, SF 10,
// Tel Aviv 100, Haifa 1000, Vatican City 10000.
inline const char* kRaggedData = R"(
CREATE TABLE geo (id INTEGER, country VARCHAR, state VARCHAR, city VARCHAR);
INSERT INTO geo VALUES (1, 'USA', 'CA', 'LA'), (2, 'USA', 'CA', 'SF'), (3, 'Israel', NULL, 'Tel Aviv'),
  (4, 'Israel', NULL, 'Haifa'), (5, 'Vatican', 'Vatican', 'Vatican City');
CREATE TABLE sales (geo_id INTEGER, amount INTEGER);
INSERT INTO sales VALUES (1, 1), (2, 10), (3, 100), (4, 1000), (5, 10000);
)";

inline std::string RaggedSchema(const std::string& state_rule) {
  return R"(<Schema name="S"><Cube name="C"><Table name="sales"/>
  <Dimension name="Geo" foreignKey="geo_id">
    <Hierarchy hasAll="true" primaryKey="id"><Table name="geo"/>
      <Level name="Country" column="country" uniqueMembers="true"/>
      <Level name="State" column="state" hideMemberIf=")" +
         state_rule + R"("/>
      <Level name="City" column="city" hideMemberIf="IfParentsName"/>
    </Hierarchy>
  </Dimension>
  <Measure name="Amount" column="amount" aggregator="sum"/></Cube></Schema>)";
}


// Virtual: one cube over two base cubes that share the Product dimension;
// Region is the Sales cube's alone. Sales: Apple North 1, Pear North 10,
// Apple South 100. Stock: Apple 1000, Pear 10000 + 20000.
inline const char* kVirtualData = R"(
CREATE TABLE product (id INTEGER, name VARCHAR);
INSERT INTO product VALUES (1, 'Apple'), (2, 'Pear');
CREATE TABLE sales (product_id INTEGER, region VARCHAR, amount INTEGER);
INSERT INTO sales VALUES (1, 'North', 1), (2, 'North', 10), (1, 'South', 100);
CREATE TABLE stock (product_id INTEGER, qty INTEGER);
INSERT INTO stock VALUES (1, 1000), (2, 10000), (2, 20000);
)";

// The virtual cube comes first: its base cubes are found wherever they are.
inline std::string VirtualSchema(const std::string& usages, const std::string& measure = "[Measures].[Qty]") {
  return R"(<Schema name="S">
  <Dimension name="Product"><Hierarchy hasAll="true" primaryKey="id"><Table name="product"/>
    <Level name="Name" column="name" uniqueMembers="true"/></Hierarchy></Dimension>
  <VirtualCube name="Both" defaultMeasure="Amount">)" +
         usages + R"(
    <VirtualCubeDimension name="Product"/>
    <VirtualCubeDimension cubeName="Sales" name="Region"/>
    <VirtualCubeMeasure cubeName="Sales" name="[Measures].[Amount]"/>
    <VirtualCubeMeasure cubeName="Stock" name=")" +
         measure + R"("/>
    <CalculatedMember name="Total" dimension="Measures" formula="[Measures].[Amount] + [Measures].[Qty]"/>
  </VirtualCube>
  <Cube name="Sales"><Table name="sales"/>
    <DimensionUsage name="Product" source="Product" foreignKey="product_id"/>
    <Dimension name="Region"><Hierarchy hasAll="true"><Level name="Region" column="region"/></Hierarchy></Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/></Cube>
  <Cube name="Stock"><Table name="stock"/>
    <DimensionUsage name="Product" source="Product" foreignKey="product_id"/>
    <Measure name="Qty" column="qty" aggregator="sum"/></Cube>
</Schema>)";
}


inline const char* kIgnoring = R"(<CubeUsages><CubeUsage cubeName="Sales"/>
  <CubeUsage cubeName="Stock" ignoreUnrelatedDimensions="true"/></CubeUsages>)";

}  // namespace orvex::engine::testing
