#include "platform/asp/request_collection.h"

#include "platform/text.h"

namespace orvex::asp {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string StringList::Item(int index) const {
  if (index < 1 || index > Count()) return "";
  return values_[static_cast<size_t>(index - 1)];
}

std::string StringList::ToString() const {
  std::string joined;
  for (size_t index = 0; index < values_.size(); ++index) {
    if (index > 0) joined += ", ";
    joined += values_[index];
  }
  return joined;
}

RequestCollection RequestCollection::FromUrlEncoded(std::string_view text) {
  RequestCollection collection;
  ParseUrlEncoded(text, collection);
  collection.SetText(std::string(text));
  return collection;
}

size_t RequestCollection::Find(std::string_view key) const {
  for (size_t index = 0; index < entries_.size(); ++index) {
    if (EqualsIgnoreCase(entries_[index].first, key)) return index;
  }
  return kMissing;
}

void RequestCollection::Add(std::string_view key, std::string value) {
  size_t index = Find(key);
  if (index == kMissing) {
    entries_.emplace_back(std::string(key), std::vector<std::string>{std::move(value)});
  } else {
    entries_[index].second.push_back(std::move(value));
  }
}

void RequestCollection::Set(std::string_view key, std::string value) {
  size_t index = Find(key);
  if (index == kMissing) {
    entries_.emplace_back(std::string(key), std::vector<std::string>{std::move(value)});
  } else {
    entries_[index].second = {std::move(value)};
  }
}

StringList RequestCollection::Item(std::string_view key) const {
  size_t index = Find(key);
  return index == kMissing ? StringList() : StringList(entries_[index].second);
}

bool RequestCollection::Contains(std::string_view key) const { return Find(key) != kMissing; }

std::string RequestCollection::Key(int index) const {
  if (index < 1 || index > Count()) return "";
  return entries_[static_cast<size_t>(index - 1)].first;
}

std::string UrlDecode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t at = 0; at < text.size(); ++at) {
    char c = text[at];
    if (c == '+') {
      decoded.push_back(' ');
    } else if (c == '%' && at + 2 < text.size() && HexValue(text[at + 1]) >= 0 && HexValue(text[at + 2]) >= 0) {
      decoded.push_back(static_cast<char>(HexValue(text[at + 1]) * 16 + HexValue(text[at + 2])));
      at += 2;
    } else {
      decoded.push_back(c);
    }
  }
  return decoded;
}

void ParseUrlEncoded(std::string_view text, RequestCollection& into) {
  for (const std::string& pair : Split(text, "&")) {
    if (pair.empty()) continue;
    size_t equals = pair.find('=');
    if (equals == std::string::npos) {
      into.Add(UrlDecode(pair), "");
    } else {
      into.Add(UrlDecode(std::string_view(pair).substr(0, equals)), UrlDecode(std::string_view(pair).substr(equals + 1)));
    }
  }
}

}  // namespace orvex::asp
