#include "errors/error_builder.h"

#include <gtest/gtest.h>

#include <regex>

namespace orvex {
namespace {

TEST(ErrorBuilderTest, AppendingBuildsTheTrailInnermostFirst) {
  EXPECT_EQ(ErrorBuilder::AppendToErrorSource("A", "View", "WriteHeading"), "A\r\nin View.WriteHeading");
  std::string source = "Tessel";
  source = ErrorBuilder::AppendToErrorSource(source, "CubeView", "ToXML");
  source = ErrorBuilder::AppendToErrorSource(source, "View", "Populate");
  source = ErrorBuilder::AppendToErrorSource(source, "Orvex", "WriteView");
  EXPECT_EQ(source, "Tessel\r\nin CubeView.ToXML\r\nin View.Populate\r\nin Orvex.WriteView");
  EXPECT_EQ(ErrorBuilder::AppendToErrorSource("", "", ""), "\r\nin .");
}

TEST(ErrorBuilderTest, ReportHasEveryLabelInItsPlace) {
  std::string report = ErrorBuilder::BuildErrorString(-2147219503, "Porlane\r\nin WebFileSystem.AddFolder", "Bad");
  const std::string rule(47, '-');
  std::regex layout(
      "\r\n\r\n" + rule +
      "\r\nTime: \\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d [ap]\r\n"
      "Millisecond Counter: \\d+\r\n\r\n"
      "Description: Bad\r\n"
      "Number: -2147219503\r\n\r\n"
      "Source: Porlane\r\nin WebFileSystem.AddFolder\r\n\r\n"
      "ThreadID: \\d+\r\n"
      "hInstance: \\d+\r\n"
      "User: [^\r\n]*\r\n" +
      rule);
  EXPECT_TRUE(std::regex_match(report, layout)) << report;
}

TEST(ErrorBuilderTest, EmptyErrorStillHasEveryLabel) {
  std::string report = ErrorBuilder::BuildErrorString(0, "", "");
  EXPECT_NE(report.find("\r\nDescription: \r\nNumber: 0\r\n\r\nSource: \r\n\r\n"), std::string::npos) << report;
  EXPECT_EQ(report.substr(0, 4), "\r\n\r\n");
  EXPECT_EQ(report.back(), '-');
}

TEST(ErrorBuilderTest, LogErrorWithoutALogDoesNothing) {
  ErrorBuilder::LogError(nullptr, 5, "x", "y");
  SUCCEED();
}

}  // namespace
}  // namespace orvex
