# The compiler cache, used by default when ccache is installed and the caller
# chose no launcher of their own (-DCMAKE_CXX_COMPILER_LAUNCHER=... wins;
# -DORVEX_CCACHE=OFF builds without it). Paths below the source folder are
# hashed relative to it and the working directory is left out of the hash, so
# that a fresh clone in any folder, the fuzz and sanitizer build folders
# included, reuses what another clone compiled. Included from the top-level
# CMakeLists.txt before the first target.
option(ORVEX_CCACHE "Compile through ccache when it is installed" ON)
if(ORVEX_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(ORVEX_CCACHE_PROGRAM ccache)
  if(ORVEX_CCACHE_PROGRAM)
    set(CMAKE_CXX_COMPILER_LAUNCHER
        env "CCACHE_BASEDIR=${CMAKE_SOURCE_DIR}" CCACHE_NOHASHDIR=1 ${ORVEX_CCACHE_PROGRAM})
  endif()
endif()
