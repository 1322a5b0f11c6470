// The XMLA service without sockets, over the embedded engine and the Tiny catalog.
#include "xmla/xmla_service.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <set>

#include "provider/connection.h"
#include "tiny_engine.h"
#include "xmla/rowsets.h"

namespace orvex::xmla {
namespace {

XmlaService& Service() {
  static XmlaService* service = [] {
    testing::ServeTestCatalogs();
    XmlaOptions options;
    options.data_source_name = "Tiny";
    options.url = "/xmla";
    return new XmlaService(options);
  }();
  return *service;
}

struct Answer {
  int status = 0;
  std::string text;
  pugi::xml_document document;
};

std::unique_ptr<Answer> Call(std::string_view body) {
  auto answer = std::make_unique<Answer>();
  auto reply = Service().Handle(body);
  answer->status = reply->Status();
  answer->text = XmlaService::WriteToString(*reply);
  EXPECT_TRUE(answer->document.load_string(answer->text.c_str())) << answer->text;
  return answer;
}

std::string Envelope(const std::string& body, const std::string& header = "") {
  return "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\">"
         "<SOAP-ENV:Header>" + header + "</SOAP-ENV:Header><SOAP-ENV:Body>" + body +
         "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

std::string Discover(const std::string& type, const std::string& restrictions = "",
                     const std::string& properties = "", const std::string& header = "") {
  return Envelope("<Discover xmlns=\"urn:schemas-microsoft-com:xml-analysis\"><RequestType>" + type +
                      "</RequestType><Restrictions><RestrictionList>" + restrictions +
                      "</RestrictionList></Restrictions><Properties><PropertyList>" + properties +
                      "</PropertyList></Properties></Discover>",
                  header);
}

std::string Execute(const std::string& mdx, const std::string& properties = "<Catalog>Tiny</Catalog>",
                    const std::string& header = "") {
  std::string escaped;
  for (char c : mdx) escaped += c == '&' ? "&amp;" : c == '<' ? "&lt;" : std::string(1, c);
  return Envelope("<Execute xmlns=\"urn:schemas-microsoft-com:xml-analysis\"><Command><Statement>" + escaped +
                      "</Statement></Command><Properties><PropertyList>" + properties +
                      "</PropertyList></Properties></Execute>",
                  header);
}

pugi::xpath_node_set Select(const Answer& answer, const std::string& xpath) {
  return answer.document.select_nodes(xpath.c_str());
}

std::vector<std::string> Texts(const Answer& answer, const std::string& xpath) {
  std::vector<std::string> texts;
  for (const auto& node : Select(answer, xpath)) {
    texts.push_back(node.attribute() ? node.attribute().value() : node.node().text().get());
  }
  return texts;
}

std::string FaultCode(const Answer& answer) {
  return answer.document.select_node("//faultcode").node().text().get();
}

TEST(XmlaServiceTest, BadRequestsAreFaultsWithTheirCodes) {
  struct Case {
    const char* name;
    std::string body;
    const char* code;
    const char* message;
  } cases[] = {
      {"empty body", "", "XMLAnalysisError.0xC10A0001", "not XML"},
      {"not XML", "<Envelope><Body>", "XMLAnalysisError.0xC10A0001", "not XML"},
      {"no envelope", "<Discover/>", "XMLAnalysisError.0xC10A0001", "no SOAP Envelope"},
      {"no body", "<s:Envelope xmlns:s=\"x\"><s:Header/></s:Envelope>", "XMLAnalysisError.0xC10A0001", "no Body"},
      {"unknown method", Envelope("<Delete/>"), "XMLAnalysisError.0xC10A0002", "'Delete'"},
      {"unknown request type", Discover("MDSCHEMA_<b>TABLES</b>"), "XMLAnalysisError.0xC10A0002", "not supported"},
      {"unknown restriction", Discover("MDSCHEMA_CUBES", "<TABLE_NAME>x</TABLE_NAME>"),
       "XMLAnalysisError.0xC10A0003", "TABLE_NAME"},
      {"bad format", Execute("SELECT FROM Sales", "<Format>Pretty</Format>"), "XMLAnalysisError.0xC10A0004",
       "'Pretty'"},
      {"bad axis format", Execute("SELECT FROM Sales", "<AxisFormat>ClusterFormat</AxisFormat>"),
       "XMLAnalysisError.0xC10A0004", "ClusterFormat"},
      {"bad locale", Execute("SELECT FROM Sales", "<LocaleIdentifier>dutch</LocaleIdentifier>"),
       "XMLAnalysisError.0xC10A0004", "dutch"},
      {"unknown data source", Discover("MDSCHEMA_CUBES", "", "<DataSourceInfo>Data Source=/etc</DataSourceInfo>"),
       "XMLAnalysisError.0xC10A0007", "/etc"},
      {"syntax error", Execute("SELECT {[Measures].[Unit Sales] ON COLUMNS FROM [Sales]"),
       "XMLAnalysisError.0xC10A0006", "at line 1"},
      {"unknown cube", Execute("SELECT FROM [<script>]"), "XMLAnalysisError.0xC10A0006", "<script>"},
      {"unknown session", Discover("DISCOVER_DATASOURCES", "", "",
                                   "<Session xmlns=\"urn:schemas-microsoft-com:xml-analysis\" SessionId=\"nope\"/>"),
       "XMLAnalysisError.0xC10A0005", "'nope'"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    auto answer = Call(test.body);
    EXPECT_EQ(answer->status, std::string(test.code).ends_with("0001") ? 400 : 200);
    EXPECT_EQ(FaultCode(*answer), test.code);
    std::string message = answer->document.select_node("//faultstring").node().text().get();
    EXPECT_NE(message.find(test.message), std::string::npos) << message;
    EXPECT_EQ(answer->document.select_node("//detail/Error/@Description").attribute().value(), message);
  }
}

TEST(XmlaServiceTest, EveryRowsetDeclaresItsColumnsAndRowsUseOnlyThem) {
  // The columns clients read by name, in the order of the schema.
  const std::map<std::string, std::vector<std::string>> leading = {
      {"DISCOVER_DATASOURCES", {"DataSourceName", "DataSourceDescription", "URL", "DataSourceInfo", "ProviderName",
                                "ProviderType", "AuthenticationMode"}},
      {"DBSCHEMA_CATALOGS", {"CATALOG_NAME", "DESCRIPTION", "ROLES", "DATE_MODIFIED"}},
      {"MDSCHEMA_CUBES", {"CATALOG_NAME", "SCHEMA_NAME", "CUBE_NAME", "CUBE_TYPE", "CUBE_GUID", "CREATED_ON"}},
      {"MDSCHEMA_LEVELS", {"CATALOG_NAME", "SCHEMA_NAME", "CUBE_NAME", "DIMENSION_UNIQUE_NAME",
                           "HIERARCHY_UNIQUE_NAME", "LEVEL_NAME", "LEVEL_UNIQUE_NAME", "LEVEL_GUID", "LEVEL_CAPTION",
                           "LEVEL_NUMBER", "LEVEL_CARDINALITY", "LEVEL_TYPE"}},
      {"MDSCHEMA_MEMBERS", {"CATALOG_NAME", "SCHEMA_NAME", "CUBE_NAME", "DIMENSION_UNIQUE_NAME",
                            "HIERARCHY_UNIQUE_NAME", "LEVEL_UNIQUE_NAME", "LEVEL_NUMBER", "MEMBER_ORDINAL",
                            "MEMBER_NAME", "MEMBER_UNIQUE_NAME", "MEMBER_TYPE", "MEMBER_GUID", "MEMBER_CAPTION",
                            "CHILDREN_CARDINALITY", "PARENT_LEVEL", "PARENT_UNIQUE_NAME", "PARENT_COUNT"}},
  };
  for (const auto& rowset : RowsetDefs()) {
    SCOPED_TRACE(rowset.name);
    auto answer = Call(Discover(rowset.name, "", "<Catalog>Tiny</Catalog>"));
    ASSERT_EQ(answer->status, 200) << answer->text;
    std::vector<std::string> declared =
        Texts(*answer, "//*[local-name()='complexType'][@name='row']//*[local-name()='element']/@name");
    if (auto found = leading.find(rowset.name); found != leading.end()) {
      ASSERT_GE(declared.size(), found->second.size());
      EXPECT_EQ(std::vector<std::string>(declared.begin(), declared.begin() + static_cast<long>(found->second.size())),
                found->second);
    }
    std::set<std::string> names(declared.begin(), declared.end());
    for (const auto& row : Select(*answer, "//*[local-name()='row']")) {
      for (pugi::xml_node field : row.node().children()) EXPECT_EQ(names.count(field.name()), 1u) << field.name();
    }
    bool empty = std::string(rowset.name) == "MDSCHEMA_SETS" || std::string(rowset.name) == "MDSCHEMA_KPIS";
    EXPECT_EQ(Select(*answer, "//*[local-name()='row']").empty(), empty);
  }
}

TEST(XmlaServiceTest, RestrictionsSelectRowsAndThoseThatMatchNothingGiveNone) {
  struct Case {
    const char* type;
    std::string restrictions;
    const char* column;
    std::vector<std::string> expected;
  } cases[] = {
      {"DBSCHEMA_CATALOGS", "<CATALOG_NAME>tiny</CATALOG_NAME>", "CATALOG_NAME", {"Tiny"}},
      {"MDSCHEMA_CUBES", "<CATALOG_NAME>Tiny</CATALOG_NAME><CUBE_NAME>Nope</CUBE_NAME>", "CUBE_NAME", {}},
      {"MDSCHEMA_CUBES", "<CATALOG_NAME>Nope</CATALOG_NAME>", "CUBE_NAME", {}},
      {"MDSCHEMA_LEVELS", "<CUBE_NAME>Sales</CUBE_NAME><HIERARCHY_UNIQUE_NAME>[Time]</HIERARCHY_UNIQUE_NAME>",
       "LEVEL_UNIQUE_NAME", {"[Time].[Year]", "[Time].[Quarter]", "[Time].[Month]"}},
      {"MDSCHEMA_MEMBERS", "<CUBE_NAME>Sales</CUBE_NAME><LEVEL_UNIQUE_NAME>[Store].[Store State]</LEVEL_UNIQUE_NAME>",
       "MEMBER_UNIQUE_NAME",
       {"[Store].[Canada].[BC]", "[Store].[USA].[CA]", "[Store].[USA].[OR]", "[Store].[USA].[WA]"}},
      {"MDSCHEMA_MEMBERS", "<MEMBER_UNIQUE_NAME>[Store].[USA].[CA]</MEMBER_UNIQUE_NAME><TREE_OP>1</TREE_OP>",
       "MEMBER_UNIQUE_NAME", {"[Store].[USA].[CA].[Los Angeles]", "[Store].[USA].[CA].[San Francisco]"}},
      {"MDSCHEMA_MEMBERS", "<MEMBER_UNIQUE_NAME>[Store].[USA].[CA]</MEMBER_UNIQUE_NAME><TREE_OP>36</TREE_OP>",
       "MEMBER_UNIQUE_NAME", {"[Store].[All Stores]", "[Store].[USA]"}},
      {"MDSCHEMA_MEMBERS", "<MEMBER_UNIQUE_NAME>[Store].[USA].[CA]</MEMBER_UNIQUE_NAME><TREE_OP>10</TREE_OP>",
       "MEMBER_UNIQUE_NAME", {"[Store].[USA].[CA]", "[Store].[USA].[OR]", "[Store].[USA].[WA]"}},
      {"MDSCHEMA_MEMBERS", "<MEMBER_UNIQUE_NAME>[Store].[Nowhere]</MEMBER_UNIQUE_NAME><TREE_OP>8</TREE_OP>",
       "MEMBER_UNIQUE_NAME", {}},
      {"MDSCHEMA_MEMBERS", "<MEMBER_UNIQUE_NAME>[Measures].[Profit]</MEMBER_UNIQUE_NAME>", "MEMBER_TYPE", {"3"}},
      {"MDSCHEMA_MEASURES", "<MEASURE_NAME><Value>Profit</Value><Value>Unit Sales</Value></MEASURE_NAME>",
       "MEASURE_UNIQUE_NAME", {"[Measures].[Unit Sales]", "[Measures].[Profit]"}},
      {"DISCOVER_PROPERTIES", "<PropertyName>Format</PropertyName>", "Value", {"Multidimensional"}},
      {"MDSCHEMA_CUBES", "<CUBE_SOURCE>1</CUBE_SOURCE>", "CUBE_NAME", {"Sales"}},
      {"MDSCHEMA_CUBES", "<CUBE_SOURCE>2</CUBE_SOURCE>", "CUBE_NAME", {}},
      {"MDSCHEMA_HIERARCHIES", "<HIERARCHY_VISIBILITY>3</HIERARCHY_VISIBILITY><HIERARCHY_NAME>Store</HIERARCHY_NAME>",
       "HIERARCHY_UNIQUE_NAME", {"[Store]"}},
      {"MDSCHEMA_LEVELS", "<LEVEL_VISIBILITY>2</LEVEL_VISIBILITY>", "LEVEL_UNIQUE_NAME", {}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.type + (" " + test.restrictions));
    auto answer = Call(Discover(test.type, test.restrictions, "<Catalog>Tiny</Catalog>"));
    ASSERT_EQ(answer->status, 200) << answer->text;
    EXPECT_EQ(Texts(*answer, std::string("//*[local-name()='row']/*[local-name()='") + test.column + "']"),
              test.expected);
  }
}

TEST(XmlaServiceTest, ExecuteGivesAxesAndTypedCells) {
  auto answer = Call(Execute(
      "SELECT {[Measures].[Unit Sales], [Measures].[Store Sales]} ON COLUMNS, "
      "{[Store].[USA], [Store].[USA].Children} DIMENSION PROPERTIES PARENT_UNIQUE_NAME ON ROWS "
      "FROM [Sales] WHERE [Time].[1997]"));
  ASSERT_EQ(answer->status, 200) << answer->text;
  const std::string root = "//*[local-name()='root']";
  EXPECT_EQ(Texts(*answer, root + "//*[local-name()='CubeName']"), std::vector<std::string>{"Sales"});
  EXPECT_EQ(Texts(*answer, root + "//*[local-name()='AxisInfo']/@name"),
            (std::vector<std::string>{"Axis0", "Axis1", "SlicerAxis"}));
  EXPECT_EQ(Texts(*answer, root + "//*[local-name()='Axis'][@name='Axis1']//*[local-name()='UName']"),
            (std::vector<std::string>{"[Store].[USA]", "[Store].[USA].[CA]", "[Store].[USA].[OR]",
                                      "[Store].[USA].[WA]"}));
  EXPECT_EQ(Texts(*answer, root + "//*[local-name()='Axis'][@name='Axis1']//*[local-name()='PARENT_UNIQUE_NAME']"),
            (std::vector<std::string>{"[Store].[All Stores]", "[Store].[USA]", "[Store].[USA]", "[Store].[USA]"}));
  // [USA] is followed by its children (drilled down, 3 children); the states share their parent.
  EXPECT_EQ(Texts(*answer, root + "//*[local-name()='Axis'][@name='Axis1']//*[local-name()='DisplayInfo']"),
            (std::vector<std::string>{std::to_string(0x10000 + 3), "2", std::to_string(0x20000 + 1),
                                      std::to_string(0x20000 + 1)}));
  auto slicer = Texts(*answer, root + "//*[local-name()='Axis'][@name='SlicerAxis']//*[local-name()='UName']");
  EXPECT_EQ(std::count(slicer.begin(), slicer.end(), "[Time].[1997]"), 1) << answer->text;

  auto data = [] {
    provider::Connection connection;
    connection.Open("Provider=Orvex;Data Source=Tiny");
    return connection.GetSession().Execute(
        "Tiny", "SELECT {[Measures].[Unit Sales], [Measures].[Store Sales]} ON COLUMNS, "
                "{[Store].[USA], [Store].[USA].Children} ON ROWS FROM [Sales] WHERE [Time].[1997]");
  }();
  auto cells = Select(*answer, root + "//*[local-name()='Cell']");
  ASSERT_EQ(cells.size(), 8u);
  for (const auto& node : cells) {
    int ordinal = node.node().attribute("CellOrdinal").as_int();
    SCOPED_TRACE(ordinal);
    auto cell = data->GetCell(ordinal);
    pugi::xml_node value = node.node().child("Value");
    EXPECT_STREQ(value.attribute("xsi:type").value(), "xsd:double");
    EXPECT_DOUBLE_EQ(value.text().as_double(), cell->Value().ToDouble());
    EXPECT_EQ(node.node().child("FmtValue").text().get(), cell->FormattedValue());
  }
}

TEST(XmlaServiceTest, ExecuteLeavesEmptyCellsOutAndKeepsTheRequestedCellProperties) {
  auto answer = Call(Execute("SELECT {[Store].[Canada], [Store].[USA]} ON COLUMNS FROM [Sales] "
                             "CELL PROPERTIES VALUE, CELL_ORDINAL"));
  ASSERT_EQ(answer->status, 200) << answer->text;
  EXPECT_EQ(Texts(*answer, "//*[local-name()='Cell']/@CellOrdinal"), std::vector<std::string>{"1"});
  EXPECT_EQ(Texts(*answer, "//*[local-name()='CellInfo']/*/@name"),
            (std::vector<std::string>{"VALUE", "CELL_ORDINAL"}));
  EXPECT_TRUE(Select(*answer, "//*[local-name()='FmtValue']").empty());
}

TEST(XmlaServiceTest, LargeAnswersGoOutInBoundedPieces) {
  auto reply = Service().Handle(Execute(
      "SELECT [Measures].Members ON 0, CrossJoin([Time].[Month].Members, CrossJoin([Store].[Store Name].Members, "
      "[Product].[Product Name].Members)) ON 1 FROM [Sales]"));
  ASSERT_EQ(reply->Status(), 200);
  size_t pieces = 0, largest = 0, total = 0;
  reply->Write([&](std::string_view piece) {
    ++pieces;
    largest = std::max(largest, piece.size());
    total += piece.size();
    return true;
  });
  EXPECT_GT(total, 256u * 1024u);
  EXPECT_GT(pieces, total / (80 * 1024));
  EXPECT_LT(largest, 80u * 1024u);
}

TEST(XmlaServiceTest, TabularFlattensTheRowsAxis) {
  auto answer = Call(Execute("SELECT {[Measures].[Unit Sales]} ON 0, [Store].[Store Country].Members ON 1 FROM Sales",
                             "<Catalog>Tiny</Catalog><Format>Tabular</Format>"));
  ASSERT_EQ(answer->status, 200) << answer->text;
  EXPECT_EQ(Texts(*answer, "//*[local-name()='complexType'][@name='row']//*[local-name()='element']/@sql:field"),
            (std::vector<std::string>{"[Store].[MEMBER_CAPTION]", "[Measures].[Unit Sales]"}));
  auto rows = Select(*answer, "//*[local-name()='row']");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_STREQ(rows[0].node().first_child().text().get(), "Canada");
  EXPECT_EQ(rows[0].node().first_child().next_sibling(), pugi::xml_node());  // Canada sold nothing
  EXPECT_STREQ(rows[1].node().first_child().text().get(), "USA");
}

TEST(XmlaServiceTest, SessionsCarryAcrossRequestsUntilEnded) {
  const std::string xmla = "xmlns=\"urn:schemas-microsoft-com:xml-analysis\"";
  const size_t sessions = Service().SessionCount();
  auto refused = Call(Execute("SELECT FROM Sales", "<Format>Pretty</Format>", "<BeginSession " + xmla + "/>"));
  EXPECT_EQ(FaultCode(*refused), "XMLAnalysisError.0xC10A0004");
  EXPECT_EQ(Service().SessionCount(), sessions);

  auto begun = Call(Discover("DBSCHEMA_CATALOGS", "", "", "<BeginSession " + xmla + "/>"));
  ASSERT_EQ(begun->status, 200);
  std::string id = begun->document.select_node("//*[local-name()='Session']/@SessionId").attribute().value();
  ASSERT_FALSE(id.empty());
  std::string in_session = "<Session " + xmla + " SessionId=\"" + id + "\"/>";
  auto used = Call(Execute("SELECT FROM Sales", "<Catalog>Tiny</Catalog>", in_session));
  EXPECT_EQ(used->status, 200) << used->text;
  EXPECT_EQ(Texts(*used, "//*[local-name()='Session']/@SessionId"), std::vector<std::string>{id});

  auto ended = Call(Discover("DBSCHEMA_CATALOGS", "", "", "<EndSession " + xmla + " SessionId=\"" + id + "\"/>"));
  EXPECT_EQ(ended->status, 200);
  EXPECT_EQ(Texts(*ended, "//*[local-name()='row']/*[local-name()='CATALOG_NAME']"), std::vector<std::string>{"Tiny"});
  const std::string end = "<EndSession " + xmla + " SessionId=\"" + id + "\"/>";
  for (const auto& body : {Execute("SELECT FROM Sales", "<Catalog>Tiny</Catalog>", in_session),
                           Discover("DBSCHEMA_CATALOGS", "", "", end)}) {
    auto after = Call(body);
    EXPECT_EQ(after->status, 200);
    EXPECT_EQ(FaultCode(*after), "XMLAnalysisError.0xC10A0005");
  }
}

TEST(XmlaServiceTest, NamesWithMarkupComeBackEscaped) {
  auto answer =
      Call(Discover("MDSCHEMA_CUBES", "", "<DataSourceInfo>Provider=MSOLAP;Data Source=Odd</DataSourceInfo>"));
  ASSERT_EQ(answer->status, 200) << answer->text;
  EXPECT_EQ(Texts(*answer, "//*[local-name()='row']/*[local-name()='CATALOG_NAME']"),
            std::vector<std::string>{testing::kOddCatalogName});
  EXPECT_EQ(answer->text.find("<i>"), std::string::npos);

  // Names with markup on the axes and in the cube name of an answer, too.
  const std::string odd = std::string("<DataSourceInfo>Data Source=Odd</DataSourceInfo><Catalog>") +
                          "Odd &quot;&lt;i&gt;&quot; \\ '</Catalog>";
  auto executed = Call(Execute("SELECT [Measures].Members ON 0, "
                               "[<img src=x onerror=\"window.injected=1\">].Members ON 1 "
                               "FROM [Odd \"<b>cube</b>\" 'x' \\ y]",
                               odd));
  ASSERT_EQ(executed->status, 200) << executed->text;
  EXPECT_EQ(Texts(*executed, "//*[local-name()='CubeName']"),
            std::vector<std::string>{"Odd \"<b>cube</b>\" 'x' \\ y"});
  EXPECT_EQ(Texts(*executed, "//*[local-name()='Axis'][@name='Axis0']//*[local-name()='UName']"),
            std::vector<std::string>{"[Measures].[Amount \"net\" <i>]"});
  EXPECT_EQ(executed->text.find("<img"), std::string::npos);
  EXPECT_EQ(executed->text.find("<b>"), std::string::npos);
}

}  // namespace
}  // namespace orvex::xmla
