#pragma once
// A reader of just enough of an XLSX file to check what the writer put in
// it: the ZIP container (stored and deflated entries, through zlib), the
// first sheet's cells with their shared strings and number formats, its
// merged ranges and its frozen pane. Throws std::runtime_error on anything
// it cannot read, so a corrupt file fails the test that reads it.
#include <zlib.h>

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <pugixml.hpp>

namespace orvex::testing {

inline uint32_t ReadLittle(const std::string& bytes, size_t at, int width) {
  if (at + static_cast<size_t>(width) > bytes.size()) throw std::runtime_error("zip: truncated");
  uint32_t value = 0;
  for (int index = width - 1; index >= 0; --index) {
    value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(index)]);
  }
  return value;
}

// Every entry of a ZIP archive by name, uncompressed.
inline std::map<std::string, std::string> ReadZip(const std::string& bytes) {
  size_t end = bytes.size() < 22 ? std::string::npos : bytes.rfind("PK\x05\x06");
  if (end == std::string::npos) throw std::runtime_error("zip: no end of central directory");
  uint32_t entries = ReadLittle(bytes, end + 10, 2);
  size_t at = ReadLittle(bytes, end + 16, 4);
  std::map<std::string, std::string> files;
  for (uint32_t entry = 0; entry < entries; ++entry) {
    if (ReadLittle(bytes, at, 4) != 0x02014b50) throw std::runtime_error("zip: bad central directory");
    uint32_t method = ReadLittle(bytes, at + 10, 2);
    uint32_t packed = ReadLittle(bytes, at + 20, 4);
    uint32_t size = ReadLittle(bytes, at + 24, 4);
    uint32_t name_length = ReadLittle(bytes, at + 28, 2);
    uint32_t extra_length = ReadLittle(bytes, at + 30, 2);
    uint32_t comment_length = ReadLittle(bytes, at + 32, 2);
    size_t local = ReadLittle(bytes, at + 42, 4);
    std::string name = bytes.substr(at + 46, name_length);
    at += 46 + name_length + extra_length + comment_length;
    if (ReadLittle(bytes, local, 4) != 0x04034b50) throw std::runtime_error("zip: bad local header of " + name);
    size_t data = local + 30 + ReadLittle(bytes, local + 26, 2) + ReadLittle(bytes, local + 28, 2);
    if (data + packed > bytes.size()) throw std::runtime_error("zip: truncated entry " + name);
    std::string content(size, '\0');
    if (method == 0) {
      content = bytes.substr(data, packed);
    } else if (method == 8) {
      z_stream stream{};
      if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw std::runtime_error("zip: inflateInit2");
      stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + data));
      stream.avail_in = packed;
      stream.next_out = reinterpret_cast<Bytef*>(content.data());
      stream.avail_out = size;
      int result = inflate(&stream, Z_FINISH);
      inflateEnd(&stream);
      if (result != Z_STREAM_END || stream.total_out != size) throw std::runtime_error("zip: cannot inflate " + name);
    } else {
      throw std::runtime_error("zip: unknown method of " + name);
    }
    files[name] = std::move(content);
  }
  return files;
}

struct SheetCell {
  std::string type;   // the cell's t attribute: "s" shared string, "b" boolean, "" number, ...
  std::string value;  // the text of a string cell, else the <v> as written
  bool formula = false;
  std::string number_format;  // the format code of its style, "" for general
};

struct Sheet {
  // By (row, column), both from 0.
  std::map<std::pair<int, int>, SheetCell> cells;
  std::vector<std::string> merges;  // "B1:C1", as written
  int frozen_rows = 0;
  int frozen_columns = 0;

  const SheetCell* Find(int row, int column) const {
    auto found = cells.find({row, column});
    return found == cells.end() ? nullptr : &found->second;
  }
};

// "AB12" as (11, 27).
inline std::pair<int, int> CellPlace(const std::string& reference) {
  int column = 0;
  size_t index = 0;
  while (index < reference.size() && reference[index] >= 'A' && reference[index] <= 'Z') {
    column = column * 26 + (reference[index++] - 'A' + 1);
  }
  return {std::stoi(reference.substr(index)) - 1, column - 1};
}

inline pugi::xml_document ParseXml(const std::map<std::string, std::string>& files, const std::string& name) {
  auto found = files.find(name);
  if (found == files.end()) throw std::runtime_error("xlsx: no " + name);
  pugi::xml_document document;
  if (!document.load_string(found->second.c_str())) throw std::runtime_error("xlsx: " + name + " is no XML");
  return document;
}

inline Sheet ReadXlsx(const std::string& bytes) {
  std::map<std::string, std::string> files = ReadZip(bytes);
  std::vector<std::string> strings;
  if (files.count("xl/sharedStrings.xml")) {
    pugi::xml_document shared = ParseXml(files, "xl/sharedStrings.xml");
    for (pugi::xml_node item : shared.child("sst").children("si")) {
      std::string text;
      for (pugi::xpath_node t : item.select_nodes(".//t")) text += t.node().text().get();
      strings.push_back(text);
    }
  }
  pugi::xml_document styles = ParseXml(files, "xl/styles.xml");
  std::map<int, std::string> format_codes;
  for (pugi::xml_node format : styles.child("styleSheet").child("numFmts").children("numFmt")) {
    format_codes[format.attribute("numFmtId").as_int()] = format.attribute("formatCode").value();
  }
  std::vector<int> style_formats;
  for (pugi::xml_node xf : styles.child("styleSheet").child("cellXfs").children("xf")) {
    style_formats.push_back(xf.attribute("numFmtId").as_int());
  }

  pugi::xml_document document = ParseXml(files, "xl/worksheets/sheet1.xml");
  pugi::xml_node worksheet = document.child("worksheet");
  Sheet sheet;
  for (pugi::xml_node row : worksheet.child("sheetData").children("row")) {
    for (pugi::xml_node c : row.children("c")) {
      SheetCell cell;
      cell.type = c.attribute("t").value();
      cell.formula = static_cast<bool>(c.child("f"));
      cell.value = c.child("v").text().get();
      if (cell.type == "s") cell.value = strings.at(std::stoul(cell.value));
      if (cell.type == "inlineStr") cell.value = c.child("is").child("t").text().get();
      size_t style = c.attribute("s").as_uint();
      if (style < style_formats.size()) {
        int id = style_formats[style];
        cell.number_format = format_codes.count(id) ? format_codes[id] : (id == 0 ? "" : "builtin " + std::to_string(id));
      }
      sheet.cells[CellPlace(c.attribute("r").value())] = cell;
    }
  }
  for (pugi::xml_node merge : worksheet.child("mergeCells").children("mergeCell")) {
    sheet.merges.push_back(merge.attribute("ref").value());
  }
  pugi::xml_node pane = worksheet.child("sheetViews").child("sheetView").child("pane");
  if (std::string(pane.attribute("state").value()) == "frozen") {
    sheet.frozen_rows = pane.attribute("ySplit").as_int();
    sheet.frozen_columns = pane.attribute("xSplit").as_int();
  }
  return sheet;
}

}  // namespace orvex::testing
