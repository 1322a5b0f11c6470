#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include <unistd.h>

#include "frontend/orvex.h"
#include "platform/asp/application.h"
#include "platform/asp/memory_request.h"
#include "platform/asp/memory_response.h"
#include "platform/asp/server.h"
#include "platform/runtime/runtime.h"
#include "support/page_compare.h"

// Plays the hosting page in tests: the four hosting objects in memory, and
// the call of WriteInterface.
namespace orvex::test {

// A Variant holding `object`.
inline Variant ObjectVariant(std::shared_ptr<ComObject> object) { return Variant(std::move(object)); }

struct HostedRequest {
  std::shared_ptr<asp::MemoryRequest> request;
  std::shared_ptr<asp::MemoryResponse> response = std::make_shared<asp::MemoryResponse>();
  std::shared_ptr<asp::FolderServer> server =
      std::make_shared<asp::FolderServer>(std::filesystem::path(ORVEX_SOURCE_DIR) / "web");
  std::shared_ptr<asp::Application> application = std::make_shared<asp::Application>();

  // A GET of `url`, e.g. "/explorer?id=4".
  explicit HostedRequest(std::string_view url)
      : request(std::make_shared<asp::MemoryRequest>(asp::MemoryRequest::Get(url))) {}

  // Calls WriteInterface with the four objects and returns what was written.
  std::string Write(frontend::Orvex& orvex) {
    orvex.WriteInterface(ObjectVariant(request), ObjectVariant(response), ObjectVariant(server),
                         ObjectVariant(application));
    return response->Body();
  }
};

// The display-mode setters of the parameters pane's sections, in the pane's order.
using DisplayModeSetter = void (frontend::Orvex::*)(int32_t);
inline constexpr DisplayModeSetter kSectionDisplayModes[] = {
    &frontend::Orvex::SetDataSourceDisplayMode, &frontend::Orvex::SetCatalogDisplayMode,
    &frontend::Orvex::SetCubeDisplayMode,       &frontend::Orvex::SetMeasureDisplayMode,
    &frontend::Orvex::SetAxesDisplayMode,       &frontend::Orvex::SetRangesDisplayMode,
    &frontend::Orvex::SetSavedViewsDisplayMode};

// Gives every section of the parameters pane the display mode `mode`.
inline void SetEveryDisplayMode(frontend::Orvex& orvex, int32_t mode) {
  for (DisplayModeSetter set : kSectionDisplayModes) (orvex.*set)(mode);
}

// Writes the page for `url` with a fresh Orvex on a new thread whose locale is
// `locale` (so that its language is chosen afresh).
inline std::string WritePage(std::string_view url, int32_t locale = runtime::kLocaleEnglishUs) {
  std::string page;
  std::thread([&] {
    runtime::SetThreadLocale(locale);
    frontend::Orvex orvex;
    HostedRequest hosted(url);
    page = hosted.Write(orvex);
  }).join();
  return page;
}

// Sends the events of its lifetime to a fresh file of its own.
class ScopedEventLog {
 public:
  explicit ScopedEventLog(const std::string& name)
      : path_(std::filesystem::temp_directory_path() /
              ("orvex-" + name + "-" + std::to_string(::getpid()) + ".log")) {
    std::filesystem::remove(path_);
    if (const char* previous = std::getenv("ORVEX_EVENT_LOG")) previous_ = previous;
    ::setenv("ORVEX_EVENT_LOG", path_.c_str(), 1);
  }
  ~ScopedEventLog() {
    if (previous_) {
      ::setenv("ORVEX_EVENT_LOG", previous_->c_str(), 1);
    } else {
      ::unsetenv("ORVEX_EVENT_LOG");
    }
    std::filesystem::remove(path_);
  }
  ScopedEventLog(const ScopedEventLog&) = delete;
  ScopedEventLog& operator=(const ScopedEventLog&) = delete;

  std::string Text() const { return ReadTextFile(path_); }

 private:
  std::filesystem::path path_;
  std::optional<std::string> previous_;
};

}  // namespace orvex::test
