#include "settings/ConvertInfo.h"
