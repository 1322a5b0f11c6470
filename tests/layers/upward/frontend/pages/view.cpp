#include "frontend/orvex.h"
#include "frontend/common/general.h"
#include "render/view.h"
