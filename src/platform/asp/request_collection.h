#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvex::asp {

// The values a request gives for one key, in the order the client sent them.
// As a string, the values are joined with ", " (so a key given twice as 1 and
// 2 reads "1, 2"); a key that was not sent gives no values and the empty string.
class StringList {
 public:
  StringList() = default;
  explicit StringList(std::vector<std::string> values) : values_(std::move(values)) {}

  int Count() const { return static_cast<int>(values_.size()); }
  // The value at a 1-based index; empty outside 1..Count.
  std::string Item(int index) const;
  std::string ToString() const;

 private:
  std::vector<std::string> values_;
};

// One collection of a request (query string, form, cookies, server variables):
// keys in order of first appearance, looked up without regard to letter case;
// a repeated key collects all its values. Also keeps the raw text it was read
// from, which is what the whole collection reads as.
class RequestCollection {
 public:
  RequestCollection() = default;
  // Reads "a=1&b=x+y%21" form encoding: see ParseUrlEncoded.
  static RequestCollection FromUrlEncoded(std::string_view text);

  void Add(std::string_view key, std::string value);
  // Makes `value` the only value under `key`, keeping the key's place.
  void Set(std::string_view key, std::string value);
  // The values under `key`; an absent key gives an empty list.
  StringList Item(std::string_view key) const;
  bool Contains(std::string_view key) const;
  // Number of distinct keys, and the key at a 1-based index (empty outside 1..Count).
  int Count() const { return static_cast<int>(entries_.size()); }
  std::string Key(int index) const;

  const std::string& Text() const { return text_; }
  void SetText(std::string text) { text_ = std::move(text); }

 private:
  static constexpr size_t kMissing = static_cast<size_t>(-1);
  // The index of the entry under `key`, or kMissing.
  size_t Find(std::string_view key) const;
  std::vector<std::pair<std::string, std::vector<std::string>>> entries_;
  std::string text_;
};

// Decodes form encoding: "+" is a blank and "%XX" the byte XX; a "%" that is
// not followed by two hexadecimal digits is kept as it is. Never fails.
std::string UrlDecode(std::string_view text);

// Splits "k=v&k2=v2" at "&" and the first "=" of each pair and decodes both
// sides. A pair without "=" is a key with an empty value; empty pairs are
// skipped. Malformed escapes are taken as text.
void ParseUrlEncoded(std::string_view text, RequestCollection& into);

}  // namespace orvex::asp
