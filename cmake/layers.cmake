# The layers of the embedded engine and of the web front end, lowest first.
# Each entry names a folder under src/ and the folders its files may include
# directly; through those, everything below them. The libraries link the same
# way (orvex_layer_link), so that a call upward does not link, and
# check_layers.cmake fails the build when a file includes a header of a
# folder that is not below its own. A file belongs to the longest listed
# folder that holds it (engine/model/x.h to engine/model). Folders not listed here (platform, errors, olap,
# ...) are components of their own and are not checked.
set(ORVEX_LAYERS
  "engine/common"
  "engine/store     engine/common"
  "engine/schema    engine/common"
  "engine/mdx       engine/common"
  "engine/model     engine/store"
  "engine/cells     engine/model"
  "engine/catalog   engine/cells engine/schema"
  "engine/eval      engine/catalog engine/mdx"
  "engine/provider  engine/eval"
  "html"
  "render           html"
  "frontend         render")

# The folders listed, lowest first.
function(orvex_layer_folders out)
  set(folders)
  foreach(entry IN LISTS ORVEX_LAYERS)
    separate_arguments(parts UNIX_COMMAND "${entry}")
    list(GET parts 0 folder)
    list(APPEND folders ${folder})
  endforeach()
  set(${out} ${folders} PARENT_SCOPE)
endfunction()

# The top folders under src/ that hold layers: engine, frontend, render.
function(orvex_layer_components out)
  orvex_layer_folders(folders)
  set(components)
  foreach(folder IN LISTS folders)
    string(REGEX REPLACE "/.*" "" component "${folder}")
    list(APPEND components ${component})
  endforeach()
  list(REMOVE_DUPLICATES components)
  set(${out} ${components} PARENT_SCOPE)
endfunction()

# The folders `folder` may include directly; fails for a folder not listed.
function(orvex_layer_deps folder out)
  foreach(entry IN LISTS ORVEX_LAYERS)
    separate_arguments(parts UNIX_COMMAND "${entry}")
    list(POP_FRONT parts name)
    if(name STREQUAL folder)
      set(${out} ${parts} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "${folder} is not in the table of layers (cmake/layers.cmake)")
endfunction()

# Every folder below `folder`: its direct dependencies and theirs.
function(orvex_layer_below folder out)
  set(below)
  set(pending ${folder})
  while(pending)
    list(POP_FRONT pending current)
    orvex_layer_deps(${current} deps)
    foreach(dep IN LISTS deps)
      if(NOT dep IN_LIST below)
        list(APPEND below ${dep})
        list(APPEND pending ${dep})
      endif()
    endforeach()
  endwhile()
  set(${out} ${below} PARENT_SCOPE)
endfunction()

# The listed folder that holds `path` (relative to src/), "" for none.
function(orvex_layer_of path out)
  orvex_layer_folders(folders)
  set(best "")
  foreach(folder IN LISTS folders)
    string(LENGTH "${folder}/" length)
    string(SUBSTRING "${path}" 0 ${length} head)
    string(LENGTH "${best}" best_length)
    if(head STREQUAL "${folder}/" AND length GREATER best_length)
      set(best ${folder})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

# The library that builds a folder: engine/cells -> orvex_engine_cells.
function(orvex_layer_target folder out)
  string(REPLACE "/" "_" name "orvex_${folder}")
  set(${out} ${name} PARENT_SCOPE)
endfunction()

# Makes `folder`'s library, from `sources`, linking the libraries of the
# folders the table lets it include.
function(orvex_layer_library folder)
  orvex_layer_target(${folder} target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  orvex_layer_deps(${folder} deps)
  foreach(dep IN LISTS deps)
    orvex_layer_target(${dep} dep_target)
    target_link_libraries(${target} PUBLIC ${dep_target})
  endforeach()
endfunction()
