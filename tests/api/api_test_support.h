#pragma once
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "api/api_service.h"
#include "engine/catalog/data_sources.h"
#include "engine/provider/embedded_provider.h"
#include "temp_dir.h"
#include "tiny_catalog.h"
#include "tiny_engine.h"

// The API over the embedded engine, serving the Tiny and Odd catalogs and
// "Search": places whose captions hold accents and markup, with a named set.
namespace orvex::api::testing {

inline constexpr const char* kSearchSchema = R"(<?xml version="1.0" encoding="UTF-8"?>
<Schema name="Search">
  <Cube name="Places" defaultMeasure="Visits">
    <Table name="visits"/>
    <Dimension name="City" foreignKey="city_id">
      <Hierarchy hasAll="true" allMemberName="All Cities" primaryKey="city_id">
        <Table name="cities"/>
        <Level name="Country" column="country" uniqueMembers="true"/>
        <Level name="City" column="city" uniqueMembers="false"/>
      </Hierarchy>
    </Dimension>
    <Measure name="Visits" column="visits" aggregator="sum" formatString="#,###"/>
    <NamedSet name="Swiss Cities" caption="Cities of Switzerland"><Formula>[City].[Schweiz].Children</Formula></NamedSet>
  </Cube>
</Schema>
)";

// Under "zu": Zuid is the one prefix match a level up; Zürich and Zurich Nord
// the prefix matches among cities; the markup and Neu-Zürich hold it inside.
inline constexpr const char* kSearchData = R"(
CREATE TABLE cities (city_id INTEGER, country VARCHAR, city VARCHAR);
INSERT INTO cities VALUES
  (1, 'Schweiz', 'Zürich'), (2, 'Schweiz', 'Zurich Nord'), (3, 'Deutschland', 'Neu-Zürich'),
  (4, 'Deutschland', 'Köln'), (5, 'Österreich', '<b>zu</b> "x" & y'), (6, 'Zuid', 'Amsterdam'),
  (7, 'Österreich', 'Wien');
CREATE TABLE visits (city_id INTEGER, visits INTEGER);
INSERT INTO visits SELECT city_id, city_id * 10 FROM cities;
)";

inline void ServeApiCatalogs() {
  static std::once_flag once;
  std::call_once(once, [] {
    static orvex::testing::TempDir search_root;
    orvex::testing::WriteCatalog(search_root.path(), "Search", kSearchSchema, kSearchData);
    auto data_sources = std::make_shared<engine::DataSources>();
    data_sources->AddLocalNames(orvex::testing::TinyCatalogsRoot());
    data_sources->Add("Tiny", orvex::testing::TinyCatalogsRoot());
    data_sources->Add("Odd", orvex::testing::OddCatalogsRoot());
    data_sources->Add("Search", search_root.path());
    engine::RegisterEmbeddedProvider(std::move(data_sources));
  });
}

inline ApiService& Service() {
  ServeApiCatalogs();
  static ApiService service(ApiOptions{"Tiny", {"Tiny", "Odd", "Search"}, {}});
  return service;
}

inline ApiResponse Call(const std::string& method, const std::string& call,
                        std::map<std::string, std::string> params = {}, const std::string& body = "") {
  ApiRequest request{method, call, std::move(params), body};
  return Service().Handle(request);
}

// A GET answer's JSON; fails the test when it is none.
inline nlohmann::json Get(const std::string& call, std::map<std::string, std::string> params, int status = 200) {
  ApiResponse response = Call("GET", call, std::move(params));
  EXPECT_EQ(response.status, status) << response.body;
  nlohmann::json answer = nlohmann::json::parse(response.body, nullptr, false);
  EXPECT_FALSE(answer.is_discarded()) << response.body;
  return answer;
}

}  // namespace orvex::api::testing
