#include "olap/ranges.h"

#include <gtest/gtest.h>

#include "error_expect.h"
#include "olap/cube_view.h"
#include "olap/range.h"

namespace orvex::olap {
namespace {

using testing::ExpectComError;

// Ranges on a view that has no cube: enough for everything but cells.
std::shared_ptr<Ranges> NewRanges(const std::shared_ptr<CubeView>& view) {
  auto ranges = std::make_shared<Ranges>();
  ranges->f_Construct(view);
  return ranges;
}

TEST(RangesTest, LastMatchingRangeWins) {
  auto view = std::make_shared<CubeView>();
  auto ranges = NewRanges(view);
  EXPECT_EQ(ranges->Add(Variant(0), Variant(100), clrRed), 0);
  EXPECT_EQ(ranges->Add(Variant(50), Variant(150), clrBlue), 1);
  struct Case {
    double value;
    int32_t index;
  };
  for (const Case c : {Case{75, 1}, Case{25, 0}, Case{200, -1}, Case{0, 0}, Case{150, 1}, Case{-0.5, -1}}) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ranges->FindLast(c.value), c.index);
  }
  ranges->Remove();
  EXPECT_EQ(ranges->Count(), 0);
  EXPECT_EQ(ranges->FindLast(1), -1);
}

TEST(RangesTest, OpenBoundsAndDefaults) {
  auto view = std::make_shared<CubeView>();
  auto ranges = NewRanges(view);
  ranges->Add();
  auto unbounded = ranges->Item(0);
  EXPECT_TRUE(unbounded->Floor().IsNull());
  EXPECT_TRUE(unbounded->Ceiling().IsNull());
  EXPECT_EQ(unbounded->Colour(), clrHidden);

  ranges->Add(Variant(0), Variant::Null(), clrGreen);
  ranges->Add(Variant::Null(), Variant("-10"), clrYellow);
  struct Case {
    double value;
    int32_t index;
  };
  // The unbounded range first acts as the default colour.
  for (const Case c : {Case{0, 1}, Case{1e9, 1}, Case{-1, 0}, Case{-10, 2}, Case{-1e9, 2}}) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ranges->FindLast(c.value), c.index);
  }
  EXPECT_FALSE(ranges->Item(1)->IncludesValue(-0.001));
  auto inverted = std::make_shared<Range>();
  inverted->f_Construct(view, Variant(10), Variant(5), clrRed);
  for (double value : {4.0, 5.0, 7.0, 10.0, 11.0}) EXPECT_FALSE(inverted->IncludesValue(value)) << value;
}

TEST(RangesTest, BoundsConvertNumbersAndNumericText) {
  auto view = std::make_shared<CubeView>();
  auto ranges = NewRanges(view);
  ranges->Add();
  auto range = ranges->Item(0);
  range->SetFloor(Variant("12"));
  EXPECT_EQ(range->Floor().type(), Variant::Type::kDouble);
  EXPECT_EQ(range->Floor().ToDouble(), 12);
  range->SetCeiling(Variant(" 1.5e3 "));
  EXPECT_EQ(range->Ceiling().ToDouble(), 1500);
  range->SetFloor(Variant::Null());
  EXPECT_TRUE(range->Floor().IsNull());
  ComError error = ExpectComError(errors::kTypeMismatch, [&] { range->SetCeiling(Variant("12,5")); });
  EXPECT_EQ(error.source(), "\r\nin Range.f_Ceiling [PropertyLet]\r\nin Range.Ceiling [PropertyLet]");
  EXPECT_EQ(range->Ceiling().ToDouble(), 1500);
  range->SetColour(clrMagenta);
  EXPECT_EQ(range->Colour(), clrMagenta);
  range->Properties()->Add("note", Variant("x"));
  EXPECT_FALSE(range->Properties()->Exists("NOTE"));
}

TEST(RangesTest, ARangeThatLeftItsViewStoresTheValueThenFails) {
  auto view = std::make_shared<CubeView>();
  auto ranges = NewRanges(view);
  ranges->Add(Variant(1), Variant(2), clrRed);
  ranges->Add(Variant(3), Variant(4), clrBlue);
  auto removed = ranges->Item(0);
  ranges->Remove(Variant(0));
  EXPECT_EQ(ranges->Count(), 1);
  EXPECT_EQ(ranges->Item(0)->Colour(), clrBlue);
  ExpectComError(errors::kObjectNotSet, [&] { removed->SetFloor(Variant(7)); });
  EXPECT_EQ(removed->Floor().ToDouble(), 7);
  ExpectComError(errors::kObjectNotSet, [&] { removed->SetColour(clrWhite); });
  EXPECT_EQ(removed->Colour(), clrWhite);
  EXPECT_EQ(removed->Properties(), nullptr);
}

TEST(RangesTest, BadIndexesAndMissingView) {
  auto view = std::make_shared<CubeView>();
  auto ranges = NewRanges(view);
  ranges->Add();
  for (int32_t index : {-1, 1}) {
    SCOPED_TRACE(index);
    ExpectComError(errors::kSubscriptOutOfRange, [&] { ranges->Item(index); });
    ExpectComError(errors::kSubscriptOutOfRange, [&] { ranges->Remove(Variant(index)); });
  }
  ComError error = ExpectComError(errors::kInvalidProcedureCall, [] { std::make_shared<Ranges>()->f_Construct(nullptr); });
  EXPECT_EQ(error.description(), "The 'CubeView' argument must be a reference to a valid 'CubeView' object.");
  EXPECT_EQ(error.source(), "Tessel\r\nin Ranges.f_Construct");
  ExpectComError(errors::kInvalidProcedureCall,
                 [] { std::make_shared<Range>()->f_Construct(nullptr, Variant(), Variant(), 0); });
  view.reset();
  ExpectComError(errors::kObjectNotSet, [&] { ranges->Add(); });
}

TEST(RangesTest, PopulateReplacesRangesInDocumentOrder) {
  auto view = std::make_shared<CubeView>();
  auto ranges = NewRanges(view);
  ranges->Add(Variant(1), Variant(2), clrRed);
  ranges->Populate(
      "<ranges><range><floor/><ceiling>100</ceiling><colour>-1</colour></range>"
      "<range><floor>-2.5</floor><ceiling></ceiling><colour>255</colour></range></ranges>");
  ASSERT_EQ(ranges->Count(), 2);
  EXPECT_TRUE(ranges->Item(0)->Floor().IsNull());
  EXPECT_EQ(ranges->Item(0)->Ceiling().ToDouble(), 100);
  EXPECT_EQ(ranges->Item(0)->Colour(), clrHidden);
  EXPECT_EQ(ranges->Item(1)->Floor().ToDouble(), -2.5);
  EXPECT_TRUE(ranges->Item(1)->Ceiling().IsNull());
  ranges->Populate("<ranges/>");
  EXPECT_EQ(ranges->Count(), 0);
}

TEST(RangesTest, PopulateRejectsBadDocumentsAndKeepsWhatItRead) {
  auto view = std::make_shared<CubeView>();
  auto ranges = NewRanges(view);
  const std::string good = "<range><floor>1</floor><ceiling>2</ceiling><colour>0</colour></range>";
  struct Case {
    std::string xml;
    int32_t number;
  };
  const Case cases[] = {
      {"<ranges>", errors::kInvalidProcedureCall},
      {"<ranges>" + good + "<range><ceiling/><colour>1</colour></range></ranges>", errors::kObjectNotSet},
      {"<ranges>" + good + "<range><floor/><ceiling/></range></ranges>", errors::kObjectNotSet},
      {"<ranges>" + good + "<range><floor>low</floor><ceiling/><colour>1</colour></range></ranges>",
       errors::kTypeMismatch},
      {"<ranges>" + good + "<range><floor/><ceiling/><colour>red</colour></range></ranges>", errors::kTypeMismatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    ComError error = ExpectComError(c.number, [&] { ranges->Populate(c.xml); });
    if (c.number == errors::kInvalidProcedureCall) {
      EXPECT_EQ(error.description(), "The XML document could not be loaded.");
      EXPECT_EQ(error.source(), "Tessel\r\nin Ranges.f_Populate\r\nin Ranges.Populate");
    } else {
      EXPECT_EQ(ranges->Count(), 1);
    }
  }
}

}  // namespace
}  // namespace orvex::olap
