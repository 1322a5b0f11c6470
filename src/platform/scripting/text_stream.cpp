#include "platform/scripting/text_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>

namespace orvex::scripting {
namespace {

// Names the store can create never begin with a full stop, so this prefix
// cannot collide with a saved file or folder.
constexpr std::string_view kPendingPrefix = ".~pending-";
constexpr int kNoDescriptor = -1;

// A fixed-length name, so that a target name near the file system's limit
// still has a temporary name that fits.
std::string PendingName() {
  thread_local std::mt19937_64 random{std::random_device{}()};
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(random()));
  return std::string(kPendingPrefix) + digits + ".tmp";
}

ComError MisuseError() { return ComError::Platform(errors::kInvalidProcedureCall, ""); }

}  // namespace

TextStream::TextStream(Mode mode, int descriptor) : mode_(mode), descriptor_(descriptor) {}

TextStream::TextStream(TextStream&& other) noexcept
    : mode_(std::exchange(other.mode_, Mode::kClosed)),
      descriptor_(std::exchange(other.descriptor_, kNoDescriptor)),
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
  stream.disk_ = std::move(disk);
  stream.pending_path_ = std::move(pending);
  stream.target_ = target;
  stream.overwrite_ = overwrite;
  return stream;
}

bool TextStream::IsPendingWriteName(std::string_view file_name) { return file_name.starts_with(kPendingPrefix); }

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
  mode_ = Mode::kClosed;
}

}  // namespace orvex::scripting
