#include "render/view.h"

#include "frontend/common/page_writer.h"
#include "olap/cube.h"
#include "frontend/orvex.h"
