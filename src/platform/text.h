#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Small text helpers shared by every component. "Blank" means the space
// character only, as the platform's Trim does.
namespace orvex {

std::string Trim(std::string_view text);
std::string ToLower(std::string_view text);
std::string ToUpper(std::string_view text);
// Letter case is ignored for ASCII letters; other bytes compare exactly.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// Splits at every occurrence of `separator`; an empty text gives one empty piece.
std::vector<std::string> Split(std::string_view text, std::string_view separator);
// Replaces every non-overlapping occurrence, scanning left to right.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Reads the UTF-8 character that starts at byte `at` and moves `at` past it;
// nullopt, with `at` moved on by one byte, when the bytes there are not UTF-8.
std::optional<char32_t> NextUtf8Character(std::string_view text, size_t& at);

// A hash and equality for maps keyed without regard to ASCII letter case.
struct CaseInsensitiveHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const;
};
struct CaseInsensitiveEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return EqualsIgnoreCase(a, b); }
};

}  // namespace orvex
