#include "olap/globals.h"

#include <gtest/gtest.h>

#include <thread>

#include "error_expect.h"

namespace orvex::olap {
namespace {

using testing::ExpectComError;

Globals& G() { return Globals::Instance(); }

TEST(GlobalsTest, OneSharedInstancePerThread) {
  Globals* here = &Globals::Instance();
  EXPECT_EQ(here, &Globals::Instance());
  Globals* there = nullptr;
  std::thread([&] { there = &Globals::Instance(); }).join();
  EXPECT_NE(here, there);
}

TEST(GlobalsTest, BuildConnectionStringTrimsNameAndCatalogButNotProvider) {
  struct Case {
    std::string data_source;
    Variant catalog;
    std::string provider;
    std::string expected;
  };
  const Case cases[] = {
      {"d", Variant("c"), "MSOLAP", "Provider=MSOLAP;Data Source=d;SOURCE_DSN=c"},
      {"  server  ", Variant(" Sales DB "), " X ", "Provider= X ;Data Source=server;SOURCE_DSN=Sales DB"},
      {"d", Variant(), "MSOLAP", "Provider=MSOLAP;Data Source=d"},
      {"d", Variant(""), "MSOLAP", "Provider=MSOLAP;Data Source=d"},
      {"d", Variant("   "), "MSOLAP", "Provider=MSOLAP;Data Source=d"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(G().BuildConnectionString(c.data_source, c.catalog, c.provider), c.expected);
  }
  EXPECT_EQ(G().BuildConnectionString("d"), "Provider=MSOLAP;Data Source=d");
}

TEST(GlobalsTest, ParseConnectionStringKeepsOrderAndIgnoresKeyCase) {
  Dictionary items = G().ParseConnectionString(" Provider = MSOLAP ;Data Source=a=b;Flag;; ");
  ASSERT_EQ(items.Count(), 3);
  EXPECT_EQ(items.Entries()[0].first, "Provider");
  EXPECT_EQ(items.Item("provider").ToString(), "MSOLAP");
  EXPECT_EQ(items.Item("DATA SOURCE").ToString(), "a=b");
  EXPECT_TRUE(items.Exists("Flag"));
  EXPECT_EQ(items.Item("Flag").ToString(), "");
  EXPECT_EQ(G().ParseConnectionString("   ").Count(), 0);
  EXPECT_EQ(G().ParseConnectionString("a=1; ;b=2").Item("").ToString(), "");

  for (const char* twice : {"Provider=a;provider=b", "a=1; ; ;b=2"}) {
    SCOPED_TRACE(twice);
    ComError error = ExpectComError(errors::kDuplicateKey, [&] { G().ParseConnectionString(twice); });
    EXPECT_NE(error.source().find("in Globals.ParseConnectionString"), std::string::npos);
  }
}

TEST(GlobalsTest, UniqueNamesEscapeBracketsAndRoundTrip) {
  EXPECT_EQ(G().BuildUniqueName(Variant(Variant::Array{"Time", "1997", "Q1"})), "[Time].[1997].[Q1]");
  EXPECT_EQ(G().BuildUniqueName(Variant("Sales")), "[Sales]");
  EXPECT_EQ(G().BuildUniqueName(Variant("A]B")), "[A]]B]");
  EXPECT_EQ(G().BuildUniqueName(Variant(Variant::Array{})), "");
  EXPECT_EQ(G().BuildUniqueName(Variant(Variant::Array{"", 1997})), "[].[1997]");
  ExpectComError(errors::kInvalidUseOfNull, [] { G().BuildUniqueName(Variant::Null()); });
  ExpectComError(errors::kInvalidUseOfNull, [] { G().BuildUniqueName(Variant(Variant::Array{"a", Variant::Null()})); });

  struct Case {
    std::string text;
    std::vector<std::string> parts;
  };
  const Case cases[] = {
      {"[Time].[1997].[Q1]", {"Time", "1997", "Q1"}},
      {"[A]]B].[C]", {"A]B", "C"}},
      {"[A]]].[B]", {"A]", "B"}},
      {"[Sales]", {"Sales"}},
      {"[A]", {"A"}},
      {"Time.1997", {"Time.1997"}},
      {"[]", {}},
      {"", {}},
      {"   [Time].[1997]  ", {"Time", "1997"}},
      {std::string("[Ti\0me]", 7), {"Time"}},
      {"[", {"["}},
      {"[a].[b.c", {"[a].[b.c"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(G().ParseUniqueName(c.text), c.parts);
  }

  const std::vector<std::vector<std::string>> round_trips = {
      {"Product", "Bob's \"Best\" [Big] Cola"}, {"a]]", "[b", "c.d"}, {"x"}, {"", "y"}};
  for (const auto& parts : round_trips) {
    Variant::Array names(parts.begin(), parts.end());
    EXPECT_EQ(G().ParseUniqueName(G().BuildUniqueName(Variant(names))), parts);
  }
}

TEST(GlobalsTest, ListsAndCrossJoins) {
  EXPECT_EQ(G().AppendToList("", "x", ", "), "x");
  EXPECT_EQ(G().AppendToList("a", "", ", "), "a, ");
  EXPECT_EQ(G().AppendToList("a", "b", "."), "a.b");
  EXPECT_EQ(G().AppendToList(" a ", " b ", ""), " a  b ");

  struct Case {
    std::string set1, set2, expected;
  };
  const Case cases[] = {
      {"", "b", "{b}"},
      {"  ", "  ", "{}"},
      {"a", "", "{a}"},
      {" a ", " b ", "CrossJoin({a}, {b})"},
      {"{a}", "b", "CrossJoin({{a}}, {b})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.set1 + "|" + c.set2);
    EXPECT_EQ(G().CrossJoinSets(c.set1, c.set2), c.expected);
  }
}

TEST(GlobalsTest, Clauses) {
  EXPECT_EQ(G().BuildAxisClause(0, "a, b"), "Distinct({a, b}) ON Axis(0)");
  EXPECT_EQ(G().BuildAxisClause(0, "a, b", false, false), "NON EMPTY {a, b} ON Axis(0)");
  EXPECT_EQ(G().BuildAxisClause(1, "{x}"), "Distinct({{x}}) ON Axis(1)");
  EXPECT_EQ(G().BuildAxisClause(12, " x ", false, true), "NON EMPTY Distinct({ x }) ON Axis(12)");
  EXPECT_EQ(G().BuildNamedSetClause("Axis 0", "[P].['x']"), "SET [Axis 0] AS '{[P].[''x'']}'");
  EXPECT_EQ(G().BuildNamedMemberClause("[Measures].[F]", "IIf(a, NULL, 'b')"),
            "MEMBER [Measures].[F] AS 'IIf(a, NULL, ''b'')'");
}

TEST(GlobalsTest, ConvertSetNodeToMDX) {
  struct Case {
    std::string xml, expected;
  };
  const Case cases[] = {
      {"<set><t><m>a</m><m>b</m></t><t><m>c</m><m>d</m></t></set>", "{(a,b),(c,d)}"},
      {"<set><mdx>[Time].[1997].Children</mdx></set>", "{{[Time].[1997].Children}}"},
      {"<set/>", "{}"},
      {"<set><t/></set>", "{()}"},
      {"<t><m>a</m><m>b</m></t>", "(a,b)"},
      {"<set>\n  <t>\n    <m>a</m>\n  </t>\n</set>", "{(a)}"},
      {"<set><set><t><m>a</m></t></set><mdx>x</mdx></set>", "{{(a)},{x}}"},
      {"<set><mdx/></set>", "{{}}"},
      {"<set>text<t><m>a</m></t></set>", "{text,(a)}"},
      {"<set><t><m>[P].[Bob&apos;s &quot;Best&quot; [Big]] Cola]</m></t></set>",
       "{([P].[Bob's \"Best\" [Big]] Cola])}"},
      {"<set a='1'><t><m>a</m></t></set>", "{(a)}"},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- saved -->\n<set><t><m>a</m></t></set>\n", "{(a)}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    EXPECT_EQ(G().ConvertSetNodeToMDX(c.xml), c.expected);
  }
  for (const char* bad : {"", "<set>", "not xml", "<set/><set/>", "<set/>tail"}) {
    SCOPED_TRACE(bad);
    ComError error = ExpectComError(errors::kInvalidProcedureCall, [&] { G().ConvertSetNodeToMDX(bad); });
    EXPECT_EQ(error.description(), "The <set> document node could not be loaded.");
    EXPECT_EQ(error.source(), "Tessel\r\nin Globals.ConvertSetNodeToMDX");
  }
}

TEST(GlobalsTest, CheckConnectionRejectsWhatIsNotAnOpenConnection) {
  auto closed = std::make_shared<provider::Connection>();
  EXPECT_TRUE(G().CheckConnection(Variant(std::static_pointer_cast<ComObject>(closed)), false));
  ComError error =
      ExpectComError(errors::kInvalidProcedureCall, [&] { G().CheckConnection(Variant(std::static_pointer_cast<ComObject>(closed))); });
  EXPECT_EQ(error.description(), "The Connection is not open.");
  for (const Variant& wrong : {Variant(), Variant("Provider=MSOLAP"), Variant::Nothing()}) {
    SCOPED_TRACE(wrong.TypeName());
    error = ExpectComError(errors::kInvalidProcedureCall, [&] { G().CheckConnection(wrong, false); });
    EXPECT_EQ(error.description(), "The Connection must be a reference to a valid 'ADODB.Connection' object.");
    EXPECT_EQ(error.source(), "Tessel\r\nin Globals.CheckConnection");
  }
}

TEST(GlobalsTest, GetConnectionPassesOpenFailuresOnWithItsTrail) {
  ComError error = ExpectComError(provider::kErrProviderNotFound,
                                  [] { G().GetConnection("Provider=NoSuchProvider;Data Source=x"); });
  EXPECT_EQ(error.source(), "Provider\r\nin Globals.GetConnection");
  EXPECT_TRUE(G().PositionToTuple(nullptr).empty());
  EXPECT_TRUE(G().PositionsToTupleList(nullptr).empty());
}

}  // namespace
}  // namespace orvex::olap
