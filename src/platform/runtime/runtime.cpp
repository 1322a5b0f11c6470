#include "platform/runtime/runtime.h"

#include <dlfcn.h>
#include <pwd.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace orvex::runtime {
namespace {

std::atomic<int32_t> default_locale{0};
thread_local int32_t thread_locale = 0;

int32_t DefaultLocale() {
  int32_t locale = default_locale.load();
  if (locale != 0) return locale;
  const char* lang = std::getenv("LANG");
  return LocaleFromName(lang ? lang : "");
}

}  // namespace

int32_t LocaleFromName(const std::string& name) {
  if (name.rfind("nl_BE", 0) == 0) return kLocaleDutchBelgium;
  if (name == "nl" || name.rfind("nl_", 0) == 0 || name.rfind("nl.", 0) == 0) return kLocaleDutch;
  return kLocaleEnglishUs;
}

int32_t GetThreadLocale() { return thread_locale != 0 ? thread_locale : DefaultLocale(); }
void SetThreadLocale(int32_t locale) { thread_locale = locale; }
void SetDefaultLocale(int32_t locale) { default_locale.store(locale); }

uint32_t GetTickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t milliseconds = static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
  return static_cast<uint32_t>(milliseconds);
}

uint64_t GetCurrentThreadId() { return static_cast<uint64_t>(syscall(SYS_gettid)); }

uint64_t GetModuleHandle(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0) return 0;
  return reinterpret_cast<uint64_t>(info.dli_fbase);
}

std::filesystem::path ModuleFolder(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) != 0 && info.dli_fname && info.dli_fname[0] != '\0') {
    std::error_code error;
    auto path = std::filesystem::canonical(info.dli_fname, error);
    if (!error) return path.parent_path();
  }
  std::error_code error;
  auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path() : self.parent_path();
}

std::string AccountName() {
  passwd entry{};
  passwd* result = nullptr;
  char buffer[1024];
  if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &result) == 0 && result && result->pw_name) {
    return result->pw_name;
  }
  return "";
}

}  // namespace orvex::runtime
