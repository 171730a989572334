#include "sources/reportfile.h"
