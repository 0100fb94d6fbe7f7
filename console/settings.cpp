#include "console/settings.h"

Settings settings{};
