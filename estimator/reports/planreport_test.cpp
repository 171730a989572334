#include "reports/planreport.h"
