#include "b/B.h"
