#pragma once
#include "engine/model/cube.h"
#include "engine/store/store.h"
#include "platform/text.h"
#include "engine/cells/cell_reader.h"
#include <vector>
