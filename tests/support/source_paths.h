#pragma once
// The source and build folders of this build, for tests and benchmarks that
// read the repository's files or start its programs. The paths are compiled
// into one generated file only, so that no other object holds an absolute
// path and a clone in another folder reuses the compiler cache. The build
// forces this header into every source of orvex_source_paths' users; the
// macros give a `const char*` that lives as long as the program.
namespace orvex::testing {
const char* SourceDir();
const char* BinaryDir();
}  // namespace orvex::testing

#define ORVEX_SOURCE_DIR (::orvex::testing::SourceDir())
#define ORVEX_BINARY_DIR (::orvex::testing::BinaryDir())
