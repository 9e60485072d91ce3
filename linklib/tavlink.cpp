// Placeholder translation unit of the link library; it exports nothing yet.
#include "tavlink.h"
