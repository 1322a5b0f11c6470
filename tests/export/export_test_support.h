#pragma once
// Reading export files back for the tests: a CSV parser and a cell set run on
// the test catalogs through the provider API.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "provider/cellset_data.h"
#include "provider/connection.h"
#include "tiny_engine.h"

namespace orvex::testing {

// Records of RFC 4180 CSV text (CR LF or LF ends a record outside quotes).
// Throws on a quote inside an unquoted field or an unclosed quote.
inline std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  size_t index = 0;
  bool field_started = false;
  auto end_field = [&] {
    record.push_back(field);
    field.clear();
    field_started = false;
  };
  while (index < text.size()) {
    char c = text[index];
    if (c == '"' && !field_started && field.empty()) {
      size_t at = index + 1;
      for (;;) {
        if (at >= text.size()) throw std::runtime_error("csv: unclosed quote");
        if (text[at] == '"') {
          if (at + 1 < text.size() && text[at + 1] == '"') {
            field += '"';
            at += 2;
            continue;
          }
          break;
        }
        field += text[at++];
      }
      index = at + 1;
      field_started = true;
      if (index < text.size() && text[index] != ',' && text[index] != '\r' && text[index] != '\n') {
        throw std::runtime_error("csv: text after a closing quote");
      }
      continue;
    }
    if (c == ',') {
      end_field();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && index + 1 < text.size() && text[index + 1] == '\n') ++index;
      end_field();
      records.push_back(std::move(record));
      record.clear();
    } else {
      if (c == '"') throw std::runtime_error("csv: quote inside an unquoted field");
      field += c;
      field_started = true;
    }
    ++index;
  }
  if (field_started || !record.empty()) {
    end_field();
    records.push_back(std::move(record));
  }
  return records;
}

// Runs `mdx` on the Tiny catalog (or `data_source`'s first catalog).
inline std::shared_ptr<provider::CellsetData> RunMdx(const std::string& mdx, const std::string& data_source = "Tiny") {
  ServeTestCatalogs();
  provider::Connection connection;
  connection.Open("Provider=MSOLAP;Data Source=" + data_source);
  return connection.GetSession().Execute(connection.DefaultDatabase(), mdx);
}

}  // namespace orvex::testing
