#pragma once
#include "version/version.h"  // the earlier place; only for tests written against it
