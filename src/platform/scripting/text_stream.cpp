#include "platform/scripting/text_stream.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>
#include <vector>

namespace orvex::scripting {
namespace {

// Names the store can create never begin with a full stop, so this prefix
// cannot collide with a saved file or folder.
constexpr std::string_view kPendingPrefix = ".~pending-";
constexpr std::string_view kPendingSuffix = ".tmp";
constexpr size_t kPendingDigits = 16;
constexpr int kNoDescriptor = -1;
// Deeper folders than the store ever makes; a bound on the walk all the same.
constexpr int kMaxCleanupDepth = 64;

// A fixed-length name, so that a target name near the file system's limit
// still has a temporary name that fits.
std::string PendingName() {
  thread_local std::mt19937_64 random{std::random_device{}()};
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(random()));
  return std::string(kPendingPrefix) + digits + ".tmp";
}

// Exactly the names PendingName makes, so that nothing else is ever removed as one.
bool IsPendingFileName(std::string_view name) {
  if (!name.starts_with(kPendingPrefix) || !name.ends_with(kPendingSuffix)) return false;
  auto digits = name.substr(kPendingPrefix.size(), name.size() - kPendingPrefix.size() - kPendingSuffix.size());
  return digits.size() == kPendingDigits && std::all_of(digits.begin(), digits.end(), [](char digit) {
           return (digit >= '0' && digit <= '9') || (digit >= 'a' && digit <= 'f');
         });
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Removes the abandoned temporary files of the folder open as `folder` and of
// the folders below it; takes over the descriptor.
int RemoveAbandonedIn(int folder, int depth) {
  DIR* listing = ::fdopendir(folder);
  if (listing == nullptr) {
    ::close(folder);
    return 0;
  }
  const int at = ::dirfd(listing);
  int removed = 0;
  std::vector<std::string> subfolders;
  while (const dirent* entry = ::readdir(listing)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat status {};
    if (::fstatat(at, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(status.st_mode)) {
      subfolders.emplace_back(name);
      continue;
    }
    if (!S_ISREG(status.st_mode) || !IsPendingFileName(name)) continue;
    int file = ::openat(at, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) continue;
    // A stream that is still writing holds a lock on its file, and the lock
    // ends with its process: a file whose lock can be had was abandoned.
    struct stat opened {};
    struct stat named {};
    if (::flock(file, LOCK_EX | LOCK_NB) == 0 && ::fstat(file, &opened) == 0 &&
        ::fstatat(at, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named) &&
        ::unlinkat(at, entry->d_name, 0) == 0) {
      ++removed;
    }
    ::close(file);
  }
  if (depth < kMaxCleanupDepth) {
    for (const auto& name : subfolders) {
      int subfolder = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (subfolder >= 0) removed += RemoveAbandonedIn(subfolder, depth + 1);
    }
  }
  ::closedir(listing);
  return removed;
}

ComError MisuseError() { return ComError::Platform(errors::kInvalidProcedureCall, ""); }

}  // namespace

TextStream::TextStream(Mode mode, int descriptor) : mode_(mode), descriptor_(descriptor) {}

TextStream::TextStream(TextStream&& other) noexcept
    : mode_(std::exchange(other.mode_, Mode::kClosed)),
      descriptor_(std::exchange(other.descriptor_, kNoDescriptor)),
      lock_descriptor_(std::exchange(other.lock_descriptor_, kNoDescriptor)),
      disk_(std::move(other.disk_)),
      pending_path_(std::exchange(other.pending_path_, {})),
      target_(std::move(other.target_)),
      overwrite_(other.overwrite_),
      failure_(std::move(other.failure_)) {}

TextStream& TextStream::operator=(TextStream&& other) noexcept {
  if (this != &other) {
    Discard();
    mode_ = std::exchange(other.mode_, Mode::kClosed);
    descriptor_ = std::exchange(other.descriptor_, kNoDescriptor);
    lock_descriptor_ = std::exchange(other.lock_descriptor_, kNoDescriptor);
    disk_ = std::move(other.disk_);
    pending_path_ = std::exchange(other.pending_path_, {});
    target_ = std::move(other.target_);
    overwrite_ = other.overwrite_;
    failure_ = std::move(other.failure_);
  }
  return *this;
}

TextStream::~TextStream() { Discard(); }

TextStream TextStream::OpenForReading(const std::filesystem::path& path) {
  int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) throw DiskError({errno, std::system_category()}, errors::kFileNotFound);
  return TextStream(Mode::kReading, descriptor);
}

TextStream TextStream::CreateForWriting(std::shared_ptr<DiskWriter> disk, const std::filesystem::path& target,
                                        bool overwrite) {
  std::filesystem::path pending;
  int descriptor = kNoDescriptor;
  std::error_code error;
  // A clash with another writer's temporary name is retried with a new name.
  for (int attempt = 0; attempt < 8; ++attempt) {
    pending = target.parent_path() / PendingName();
    error = disk->CreateFile(pending, &descriptor);
    if (error != std::errc::file_exists) break;
  }
  if (error) throw DiskError(error, errors::kPathNotFound);
  TextStream stream(Mode::kWriting, descriptor);
  // A second handle on the file holds its lock until the file is published,
  // past the close of the first, so that RemoveAbandonedWrites leaves it alone.
  stream.lock_descriptor_ = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  if (stream.lock_descriptor_ != kNoDescriptor) (void)::flock(stream.lock_descriptor_, LOCK_EX | LOCK_NB);
  stream.disk_ = std::move(disk);
  stream.pending_path_ = std::move(pending);
  stream.target_ = target;
  stream.overwrite_ = overwrite;
  return stream;
}

bool TextStream::IsPendingWriteName(std::string_view file_name) { return file_name.starts_with(kPendingPrefix); }

int TextStream::RemoveAbandonedWrites(const std::filesystem::path& root) {
  int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return folder < 0 ? 0 : RemoveAbandonedIn(folder, 0);
}

void TextStream::ReleaseLock() noexcept {
  if (lock_descriptor_ != kNoDescriptor) ::close(std::exchange(lock_descriptor_, kNoDescriptor));
}

void TextStream::Discard() noexcept {
  if (descriptor_ != kNoDescriptor) {
    if (mode_ == Mode::kWriting) {
      (void)disk_->Close(descriptor_);
    } else {
      ::close(descriptor_);
    }
    descriptor_ = kNoDescriptor;
  }
  if (!pending_path_.empty()) {
    (void)disk_->RemoveFile(pending_path_);
    pending_path_.clear();
  }
  ReleaseLock();
  mode_ = Mode::kClosed;
}

void TextStream::Fail(ComError error) {
  Discard();
  failure_ = error;
  throw error;
}

std::string TextStream::ReadAll() {
  if (mode_ != Mode::kReading) throw MisuseError();
  std::string text;
  char buffer[65536];
  while (true) {
    ssize_t count = ::read(descriptor_, buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw DiskError({errno, std::system_category()}, errors::kFileNotFound);
    }
    if (count == 0) return text;
    text.append(buffer, static_cast<size_t>(count));
  }
}

void TextStream::Write(std::string_view text) {
  if (failure_) throw *failure_;
  if (mode_ != Mode::kWriting) throw MisuseError();
  if (auto error = disk_->Write(descriptor_, text)) Fail(DiskError(error, errors::kFileNotFound));
}

void TextStream::Close() {
  if (failure_) throw *failure_;
  if (mode_ == Mode::kReading) Discard();
  if (mode_ != Mode::kWriting) return;
  auto error = disk_->Close(std::exchange(descriptor_, kNoDescriptor));
  if (error) Fail(DiskError(error, errors::kFileNotFound));
  error = overwrite_ ? disk_->Rename(pending_path_, target_) : disk_->RenameNoReplace(pending_path_, target_);
  if (error) Fail(DiskError(error, errors::kPathNotFound));
  pending_path_.clear();
  ReleaseLock();
  mode_ = Mode::kClosed;
}

}  // namespace orvex::scripting
