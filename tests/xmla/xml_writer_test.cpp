#include "xmla/xml_writer.h"

#include <gtest/gtest.h>

#include "xmla/mdx_clauses.h"

namespace orvex::xmla {
namespace {

TEST(XmlWriterTest, EscapesMarkupAndDropsWhatXmlCannotCarry) {
  const std::pair<std::string, std::string> cases[] = {
      {"a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c&apos;"},
      {std::string("x\x01y\x1fz", 5), "xyz"},
      {"tab\there\r\nline", "tab&#9;here&#13;\nline"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},
  };
  for (const auto& [text, escaped] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Escape(text), escaped);
  }
}

TEST(XmlWriterTest, EncodesNamesThatAreNoXmlNames) {
  EXPECT_EQ(EncodeName("[Store].[USA]"), "_x005B_Store_x005D_._x005B_USA_x005D_");
  EXPECT_EQ(EncodeName("1997"), "_x0031_997");
  EXPECT_EQ(EncodeName("a_x0020_b"), "a_x005F_x0020_b");
  EXPECT_EQ(EncodeName(""), "_");
}

TEST(XmlWriterTest, SendsInPiecesAndStopsWhenTheReceiverIsGone) {
  int pieces = 0;
  std::string received;
  {
    XmlWriter out([&](std::string_view piece) {
      ++pieces;
      received.append(piece);
      return pieces < 2;
    }, 16);
    for (int index = 0; index < 100; ++index) out.Element("a", "0123456789");
    EXPECT_TRUE(out.failed());
  }
  EXPECT_EQ(pieces, 2);
  EXPECT_LT(received.size(), 100u);
}

TEST(MdxClausesTest, FindsCubeDimensionAndCellPropertiesOutsideStringsAndComments) {
  MdxClauses clauses = ScanMdxClauses(
      "WITH MEMBER [Measures].[x] AS 'CELL PROPERTIES FROM [Fake]' -- FROM [Comment]\n"
      "SELECT {[Measures].[x]} DIMENSION PROPERTIES PARENT_UNIQUE_NAME, [Store].[Store Name].[Store Type] ON 0,\n"
      "[Store].Members DIMENSION PROPERTIES CHILDREN_CARDINALITY ON ROWS\n"
      "FROM [Sal]]es] WHERE [Time].[1997] CELL PROPERTIES VALUE, formatted_value");
  EXPECT_EQ(clauses.cube, "Sal]es");
  ASSERT_EQ(clauses.dimension_properties.size(), 2u);
  EXPECT_EQ(clauses.dimension_properties[0],
            (std::vector<std::string>{"PARENT_UNIQUE_NAME", "[Store].[Store Name].[Store Type]"}));
  EXPECT_EQ(clauses.dimension_properties[1], std::vector<std::string>{"CHILDREN_CARDINALITY"});
  EXPECT_EQ(clauses.cell_properties, (std::vector<std::string>{"VALUE", "FORMATTED_VALUE"}));
  EXPECT_EQ(LastNamePart("[Store].[Store Name].[Store Type]"), "Store Type");
}

}  // namespace
}  // namespace orvex::xmla
