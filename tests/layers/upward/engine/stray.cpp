#include "engine/model/catalog.h"
