#include "render/view.h"

#include "html/page_writer.h"
#include "olap/cube.h"
#include "frontend/orvex.h"
