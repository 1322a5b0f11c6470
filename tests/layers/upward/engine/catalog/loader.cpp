#include "engine/catalog/loader.h"

#include "engine/common/engine_error.h"
#include "engine/schema/schema_def.h"
#include "../cells/segment.h"
#include "engine/eval/value.h"
