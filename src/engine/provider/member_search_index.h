#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/model/catalog.h"
#include "engine/model/hierarchy.h"
#include "provider/member_search.h"

namespace orvex::engine {

// The folded captions of one hierarchy's members, for search by caption.
// Immutable once built and safe to share between threads. It points into the
// catalog that holds the members: whoever searches keeps that catalog alive.
class MemberSearchIndex {
 public:
  // Over `members` (in hierarchy order), leaving out measures and calculated
  // measures the schema hides.
  explicit MemberSearchIndex(const std::vector<const Member*>& members);
  MemberSearchIndex(const MemberSearchIndex&) = delete;
  MemberSearchIndex& operator=(const MemberSearchIndex&) = delete;

  struct Hit {
    const Member* member;
    provider::MatchKind kind;
    int depth;
    std::string_view folded_caption;  // lives as long as the index
  };
  // Appends the members whose folded caption holds `folded_text` (already
  // folded; nothing for ""), only those of `level` unless it is nullptr.
  void Collect(std::string_view folded_text, const Level* level, std::vector<Hit>& hits) const;
  // The same among the descendants of `ancestor` only (nullptr: every member).
  // `ancestor` must be a member of the tree the index was built over, with its
  // place in hierarchy order (Member::order) set: its descendants then follow
  // it in one run, and only their captions are read.
  void Collect(std::string_view folded_text, const Level* level, const Member* ancestor,
               std::vector<Hit>& hits) const;

  // The index of `hierarchy` of `catalog` as its role sees it, built on first
  // use (reading the members) and kept while the catalog lives. Thread-safe;
  // throws ComError when the members cannot be read, and tries again next time.
  static std::shared_ptr<const MemberSearchIndex> For(const std::shared_ptr<const Catalog>& catalog,
                                                      const Hierarchy& hierarchy);

  // Queues the indexes of `hierarchies` (of `catalog`) to be built on one
  // background thread, one after another, and returns at once, so that the
  // first search finds them built, or waits only for the rest of a build in
  // progress. A catalog released before its turn is skipped; a build that
  // fails is left for For() to try again. Thread-safe; never throws.
  static void BuildInBackground(const std::shared_ptr<const Catalog>& catalog,
                                const std::vector<const Hierarchy*>& hierarchies);
  // Returns when every build queued so far has ended (for tests and benchmarks).
  static void WaitForBackgroundBuilds();

 private:
  // What ranking and the level filter need, kept beside the captions so a
  // search over a big level does not visit every member it matches.
  struct Entry {
    const Member* member;
    const Level* level;
    int depth;
    uint32_t start;  // of the folded caption in captions_
    uint32_t length;
  };
  // Every folded caption, each followed by a 0 byte, in entry order.
  std::string captions_;
  std::vector<Entry> entries_;
};

}  // namespace orvex::engine
