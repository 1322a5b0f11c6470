#include "engine/provider/member_search_index.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "engine/model/measure.h"

namespace orvex::engine {
namespace {

bool Listed(const Member& member) {
  if (member.measure) return member.measure->visible;
  if (member.calculated) return member.calculated->visible;
  return true;
}

// One index per hierarchy object, remembered with the catalog it belongs to:
// a hierarchy's address can be reused by a catalog loaded later, so an entry
// counts only while its own catalog is alive.
struct Slot {
  std::weak_ptr<const Catalog> catalog;
  std::once_flag built;
  std::shared_ptr<const MemberSearchIndex> index;
};

std::mutex slots_mutex;
std::map<const Hierarchy*, std::shared_ptr<Slot>> slots;  // guarded by slots_mutex

// The thread that builds queued indexes. Made on first use, so it is
// destroyed (and joined) before the statics that existed when it was made,
// among them the stores its builds read from.
class BackgroundBuilder {
 public:
  BackgroundBuilder() = default;
  BackgroundBuilder(const BackgroundBuilder&) = delete;
  BackgroundBuilder& operator=(const BackgroundBuilder&) = delete;
  ~BackgroundBuilder() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      queue_.clear();
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  void Add(const std::shared_ptr<const Catalog>& catalog, const std::vector<const Hierarchy*>& hierarchies) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      // The thread first: jobs queued with no thread to run them would keep Wait() waiting.
      if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
      for (const Hierarchy* hierarchy : hierarchies) queue_.push_back({catalog, hierarchy});
    }
    changed_.notify_all();
  }

  void Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
  }

 private:
  struct Job {
    std::weak_ptr<const Catalog> catalog;  // not kept alive by waiting here
    const Hierarchy* hierarchy;            // valid while `catalog` lives
  };

  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      Job job = queue_.front();
      queue_.pop_front();
      busy_ = true;
      lock.unlock();
      if (std::shared_ptr<const Catalog> catalog = job.catalog.lock()) {
        try {
          (void)MemberSearchIndex::For(catalog, *job.hierarchy);
        } catch (...) {
          // Nothing escapes a thread: the search that needs this index meets the failure itself.
        }
      }
      lock.lock();
      busy_ = false;
      changed_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> queue_;  // guarded by mutex_
  bool busy_ = false;      // guarded by mutex_
  bool stopping_ = false;  // guarded by mutex_
  std::thread thread_;
};

BackgroundBuilder& Builder() {
  static BackgroundBuilder builder;
  return builder;
}

}  // namespace

MemberSearchIndex::MemberSearchIndex(const std::vector<const Member*>& members) {
  entries_.reserve(members.size());
  size_t bytes = 0;
  for (const Member* member : members) bytes += member->caption.size() + 1;
  // Folding rarely grows a caption ("ß" to "ss" keeps its two bytes), so one
  // reservation holds them all and no caption is copied twice.
  captions_.reserve(bytes);
  for (const Member* member : members) {
    if (!Listed(*member)) continue;
    size_t start = captions_.size();
    provider::AppendFoldedForSearch(captions_, member->caption);
    // The 0 byte ends each caption; one inside a caption would let a match run into the next.
    std::replace(captions_.begin() + static_cast<std::ptrdiff_t>(start), captions_.end(), '\0', ' ');
    entries_.push_back({member, member->level, member->depth(), static_cast<uint32_t>(start),
                        static_cast<uint32_t>(captions_.size() - start)});
    captions_ += '\0';
  }
}

void MemberSearchIndex::Collect(std::string_view folded_text, const Level* level, std::vector<Hit>& hits) const {
  Collect(folded_text, level, nullptr, hits);
}

void MemberSearchIndex::Collect(std::string_view folded_text, const Level* level, const Member* ancestor,
                                std::vector<Hit>& hits) const {
  if (folded_text.empty() || folded_text.find('\0') != std::string_view::npos) return;
  // Entries are in hierarchy order, where a member's descendants follow it in
  // one run that ends with its last child's last descendant.
  size_t first = 0;
  size_t last = entries_.size();
  if (ancestor) {
    const Member* deepest = ancestor;
    while (!deepest->child_members.empty()) deepest = deepest->child_members.back();
    auto by_order = [](const Entry& entry, int32_t order) { return entry.member->order < order; };
    first = static_cast<size_t>(
        std::lower_bound(entries_.begin(), entries_.end(), ancestor->order + 1, by_order) - entries_.begin());
    last = static_cast<size_t>(
        std::lower_bound(entries_.begin(), entries_.end(), deepest->order + 1, by_order) - entries_.begin());
    if (first >= last) return;
  }
  const char* begin = captions_.data();
  const char* end = begin + (last < entries_.size() ? entries_[last].start : captions_.size());
  const char* at = begin + (first < entries_.size() ? entries_[first].start : captions_.size());
  size_t entry = first;
  // One pass of memmem over every caption at once is far faster than a search per member.
  while (at < end) {
    const void* found = memmem(at, static_cast<size_t>(end - at), folded_text.data(), folded_text.size());
    if (!found) break;
    auto offset = static_cast<uint32_t>(static_cast<const char*>(found) - begin);
    // Hits come in caption order, so the caption holding this one is found by walking on.
    while (entry + 1 < entries_.size() && entries_[entry + 1].start <= offset) ++entry;
    const Entry& hit = entries_[entry];
    if (!level || hit.level == level) {
      hits.push_back({hit.member, offset == hit.start ? provider::MatchKind::kPrefix : provider::MatchKind::kSubstring,
                      hit.depth, std::string_view(begin + hit.start, hit.length)});
    }
    at = begin + hit.start + hit.length + 1;  // the next caption: one hit per member
  }
}

std::shared_ptr<const MemberSearchIndex> MemberSearchIndex::For(const std::shared_ptr<const Catalog>& catalog,
                                                                const Hierarchy& hierarchy) {
  std::shared_ptr<Slot> slot;
  {
    std::lock_guard lock(slots_mutex);
    for (auto entry = slots.begin(); entry != slots.end();) {
      entry = entry->second->catalog.expired() ? slots.erase(entry) : std::next(entry);
    }
    std::shared_ptr<Slot>& found = slots[&hierarchy];
    if (!found || found->catalog.lock() != catalog) {
      found = std::make_shared<Slot>();
      found->catalog = catalog;
    }
    slot = found;
  }
  // Built outside the lock: reading one hierarchy's members must not hold up searches of others.
  std::call_once(slot->built, [&] { slot->index = std::make_shared<MemberSearchIndex>(hierarchy.AllMembers()); });
  return slot->index;
}

void MemberSearchIndex::BuildInBackground(const std::shared_ptr<const Catalog>& catalog,
                                          const std::vector<const Hierarchy*>& hierarchies) {
  try {
    Builder().Add(catalog, hierarchies);
  } catch (...) {
    // A hint that could not be queued (no memory, no thread) costs only the first search's speed.
  }
}

void MemberSearchIndex::WaitForBackgroundBuilds() { Builder().Wait(); }

}  // namespace orvex::engine
