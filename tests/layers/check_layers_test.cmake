# Runs the layer check over the tree in upward/, whose files hold includes of
# every kind: down, within the layer, to components outside the table (all
# allowed), and up, sideways, through ".." and from no layer (all refused).
execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_ROOT=${FIXTURE} -P ${CHECKER}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "The check passed a tree with upward includes:\n${output}")
endif()
string(REGEX MATCHALL "[^\n ]+ (includes [^\n: ]+|belongs to no layer)" found "${output}")
set(expected
  "engine/catalog/loader.cpp includes ../cells/segment.h"
  "engine/catalog/loader.cpp includes engine/eval/value.h"
  "engine/mdx/parser.cpp includes engine/model/member.h"
  "engine/model/cube_state.h includes engine/cells/cell_reader.h"
  "engine/stray.cpp belongs to no layer"
  "render/view.cpp includes frontend/orvex.h")
if(NOT found STREQUAL expected)
  string(REPLACE ";" "\n  " found_lines "${found}")
  string(REPLACE ";" "\n  " expected_lines "${expected}")
  message(FATAL_ERROR "The check reported\n  ${found_lines}\nwhere it should report\n  ${expected_lines}\nIts output:\n${output}")
endif()
