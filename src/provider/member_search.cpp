#include "provider/member_search.h"

#include <algorithm>

#include "platform/com/com_error.h"
#include "platform/text.h"

namespace orvex::provider {
namespace {

// Base letters of U+00C0 to U+00FF; '*' keeps the character, '1' is "ae", '2' is "ss".
constexpr std::string_view kLatin1 = "aaaaaa1ceeeeiiiidnooooo*ouuuuy*2aaaaaa1ceeeeiiiidnooooo*ouuuuy*y";
// Base letters of U+0100 to U+017F; '1' is "ij", '2' is "oe".
constexpr std::string_view kLatinExtendedA =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii11jjkkkllllllllllnnnnnnnnnoooooo22rrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";

static_assert(kLatin1.size() == 0x40 && kLatinExtendedA.size() == 0x80);

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Appends the folded form of one letter from a base-letter table.
bool AppendBase(std::string& out, char base, std::string_view one, std::string_view two) {
  if (base == '*') return false;
  if (base == '1') {
    out += one;
  } else if (base == '2') {
    out += two;
  } else {
    out += base;
  }
  return true;
}

ComError NotFound(const std::string& kind, const std::string& name) {
  return ComError(errors::kItemNotFound, "Orvex provider", "The " + kind + " '" + name + "' is not in the cube.");
}

}  // namespace

std::string FoldForSearch(std::string_view text) {
  std::string folded;
  folded.reserve(text.size());
  AppendFoldedForSearch(folded, text);
  return folded;
}

void AppendFoldedForSearch(std::string& folded, std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    // Most captions are mostly ASCII: those bytes need no decoding.
    auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) {
      folded += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte);
      ++at;
      continue;
    }
    size_t start = at;
    std::optional<char32_t> code = NextUtf8Character(text, at);
    if (!code) {
      folded += text[start];
      continue;
    }
    char32_t c = *code;
    if (c < 0x80) {
      folded += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    } else if (c >= 0x300 && c <= 0x36F) {
      // A combining accent of a decomposed letter: the letter before it stays.
    } else if (c == 0xDE) {
      AppendUtf8(folded, 0xFE);
    } else if (c >= 0xC0 && c <= 0xFF) {
      if (!AppendBase(folded, kLatin1[c - 0xC0], "ae", "ss")) AppendUtf8(folded, c);
    } else if (c >= 0x100 && c <= 0x17F) {
      AppendBase(folded, kLatinExtendedA[c - 0x100], "ij", "oe");
    } else if ((c >= 0x391 && c <= 0x3A9) || (c >= 0x410 && c <= 0x42F)) {
      AppendUtf8(folded, c + 0x20);
    } else if (c >= 0x400 && c <= 0x40F) {
      AppendUtf8(folded, c + 0x50);
    } else {
      AppendUtf8(folded, c);
    }
  }
}

std::optional<MatchKind> MatchFolded(std::string_view folded_caption, std::string_view folded_text) {
  if (folded_text.empty()) return std::nullopt;
  size_t found = folded_caption.find(folded_text);
  if (found == std::string_view::npos) return std::nullopt;
  return found == 0 ? MatchKind::kPrefix : MatchKind::kSubstring;
}

bool RanksBefore(const SearchRank& a, const SearchRank& b) {
  if (a.kind != b.kind) return a.kind < b.kind;
  if (a.depth != b.depth) return a.depth < b.depth;
  if (a.folded_caption != b.folded_caption) return a.folded_caption < b.folded_caption;
  if (a.caption != b.caption) return a.caption < b.caption;
  return a.unique_name < b.unique_name;
}

MemberSearchPage SearchByWalkingLevels(CubeDefs& cubes, const MemberSearch& search) {
  std::shared_ptr<CubeDef> cube;
  for (int index = 0; index < cubes.Count() && !cube; ++index) {
    if (EqualsIgnoreCase(cubes.Item(index)->Name(), search.cube)) cube = cubes.Item(index);
  }
  if (!cube) throw ComError(errors::kItemNotFound, "Orvex provider", "The cube '" + search.cube + "' is not in the catalog.");

  std::vector<std::shared_ptr<Hierarchy>> hierarchies;
  auto dimensions = cube->GetDimensions();
  for (int index = 0; index < dimensions->Count(); ++index) {
    auto dimension = dimensions->Item(index);
    bool measures = EqualsIgnoreCase(dimension->UniqueName(), "[Measures]");
    auto listed = dimension->GetHierarchies();
    for (int position = 0; position < listed->Count(); ++position) {
      auto hierarchy = listed->Item(position);
      if (search.hierarchy.empty() ? !measures : EqualsIgnoreCase(hierarchy->UniqueName(), search.hierarchy)) {
        hierarchies.push_back(hierarchy);
      }
    }
  }
  if (!search.hierarchy.empty() && hierarchies.empty()) throw NotFound("hierarchy", search.hierarchy);

  // Under a parent, only its hierarchy is searched, and a member counts when
  // the parent is on its path up.
  if (!search.parent.empty()) {
    std::shared_ptr<Hierarchy> owner;
    for (const auto& hierarchy : hierarchies) {
      auto levels = hierarchy->GetLevels();
      for (int position = 0; position < levels->Count() && !owner; ++position) {
        auto members = levels->Item(position)->GetMembers();
        for (int index = 0; index < members->Count() && !owner; ++index) {
          if (EqualsIgnoreCase(members->Item(index)->UniqueName(), search.parent)) owner = hierarchy;
        }
      }
      if (owner) break;
    }
    if (!owner) throw NotFound("member", search.parent);
    hierarchies = {owner};
  }
  auto under_parent = [&search](const Member& member) {
    if (search.parent.empty()) return true;
    for (auto above = member.Parent(); above; above = above->Parent()) {
      if (EqualsIgnoreCase(above->UniqueName(), search.parent)) return true;
    }
    return false;
  };

  struct Found {
    std::shared_ptr<Member> member;
    std::string folded;
    std::string caption;
    std::string unique_name;
    MatchKind kind;
    int depth;
  };
  std::vector<Found> found;
  bool level_seen = search.level.empty();
  std::string text = FoldForSearch(search.text);
  for (const auto& hierarchy : hierarchies) {
    auto levels = hierarchy->GetLevels();
    for (int position = 0; position < levels->Count(); ++position) {
      auto level = levels->Item(position);
      if (!search.level.empty() && !EqualsIgnoreCase(level->UniqueName(), search.level)) continue;
      level_seen = true;
      if (text.empty()) continue;
      auto members = level->GetMembers();
      for (int index = 0; index < members->Count(); ++index) {
        auto member = members->Item(index);
        if (!under_parent(*member)) continue;
        std::string caption = member->Caption();
        std::string folded = FoldForSearch(caption);
        if (auto kind = MatchFolded(folded, text)) {
          found.push_back({member, std::move(folded), std::move(caption), member->UniqueName(), *kind,
                           member->LevelDepth()});
        }
      }
    }
  }
  if (!level_seen) throw NotFound("level", search.level);

  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return RanksBefore({a.kind, a.depth, a.folded, a.caption, a.unique_name},
                       {b.kind, b.depth, b.folded, b.caption, b.unique_name});
  });
  MemberSearchPage page;
  page.total = static_cast<int>(found.size());
  for (size_t index = static_cast<size_t>(std::max(search.offset, 0));
       index < found.size() && static_cast<int>(page.members.size()) < search.limit; ++index) {
    page.members.push_back(found[index].member);
  }
  return page;
}

}  // namespace orvex::provider
