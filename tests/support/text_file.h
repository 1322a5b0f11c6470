#pragma once
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

// Whole files in tests, read and written byte for byte.
namespace orvex::testing {

// The whole content of a file; empty when it cannot be read.
inline std::string ReadTextFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Replaces the file at `path` (whose folder must exist) with `text`; returns `path`.
inline std::filesystem::path WriteTextFile(const std::filesystem::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

}  // namespace orvex::testing
