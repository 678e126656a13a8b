#pragma once
#include "engine/text_case.h"  // the earlier place; only for tests written against it
