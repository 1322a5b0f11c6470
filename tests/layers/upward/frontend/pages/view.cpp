#include "frontend/orvex.h"
#include "html/general.h"
#include "render/view.h"
