#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

// Services of the component runtime that the platform offered and that the
// system reads: the calling thread's locale, the millisecond tick counter, the
// thread identifier, the folder of a module, and the process's account name.
namespace orvex::runtime {

// Locale identifiers the system distinguishes.
inline constexpr int32_t kLocaleEnglishUs = 1033;
inline constexpr int32_t kLocaleDutch = 1043;
inline constexpr int32_t kLocaleDutchBelgium = 2067;

// The calling thread's locale. A thread that never set one gets the process
// default (SetDefaultLocale, else taken from LANG: nl_NL gives 1043, nl_BE
// 2067, anything else 1033).
int32_t GetThreadLocale();
void SetThreadLocale(int32_t locale);
void SetDefaultLocale(int32_t locale);
// Maps a language option or LANG value ("nl", "nl_NL.UTF-8", "en") to a locale identifier.
int32_t LocaleFromName(const std::string& name);

// Milliseconds since the system started, wrapping at 32 bits.
uint32_t GetTickCount();
// A number that identifies the calling thread.
uint64_t GetCurrentThreadId();
// A number that identifies the loaded module (the program or shared library) holding `address`.
uint64_t GetModuleHandle(const void* address);
// The folder holding the module (program or shared library) that contains `address`.
std::filesystem::path ModuleFolder(const void* address);
// The account name of the running process; empty when it cannot be read.
std::string AccountName();

}  // namespace orvex::runtime
