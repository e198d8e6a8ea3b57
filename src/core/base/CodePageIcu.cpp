#include "base/CodePage.h"
