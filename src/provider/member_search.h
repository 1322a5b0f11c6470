#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "provider/metadata.h"

// Member search by caption: what a search asks, how captions are compared and
// how matches are ranked, shared by every provider so they all answer alike.
namespace orvex::provider {

// A caption as search compares it: letters in lower case and without their
// accents ("Élan" and "elan" fold alike), other characters as they are.
// Bytes that are not UTF-8 are kept.
std::string FoldForSearch(std::string_view text);
// The same, appended to `out`: an index folds many captions into one buffer.
void AppendFoldedForSearch(std::string& out, std::string_view text);

struct MemberSearch {
  std::string cube;
  // A hierarchy's unique name; "" searches every visible hierarchy of the
  // cube but the measures.
  std::string hierarchy;
  // A level's unique name; "" searches every level.
  std::string level;
  // Folded before use; a text that folds to nothing matches nothing.
  std::string text;
  int offset = 0;
  int limit = 100;
  // A member's unique name: only its descendants (not the member itself) are
  // searched; "" searches the whole hierarchy. It must belong to `hierarchy`
  // where one is named.
  std::string parent;
};

struct MemberSearchPage {
  // At most `limit` matches from `offset` on, best first.
  std::vector<std::shared_ptr<Member>> members;
  // Every match, on every page.
  int total = 0;
};

// How a member's folded caption contains the folded text, better first.
enum class MatchKind { kPrefix, kSubstring };
[[nodiscard]] std::optional<MatchKind> MatchFolded(std::string_view folded_caption, std::string_view folded_text);

// One match as ranking sees it; the views must outlive the comparison.
struct SearchRank {
  MatchKind kind;
  int depth;
  std::string_view folded_caption;
  std::string_view caption;
  std::string_view unique_name;
};
// Prefix matches before substring matches, then the higher level (smaller
// depth), then the caption, then the unique name, so the order is total.
bool RanksBefore(const SearchRank& a, const SearchRank& b);

// The search any provider can answer: walks the members of the searched
// levels through the metadata objects of `cubes`. Throws ComError naming the
// cube, hierarchy, level or parent member that `cubes` does not hold.
MemberSearchPage SearchByWalkingLevels(CubeDefs& cubes, const MemberSearch& search);

}  // namespace orvex::provider
