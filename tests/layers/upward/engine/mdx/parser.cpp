#include "engine/mdx/parser.h"

#include "engine/common/engine_error.h"
  #  include "engine/model/member.h"
