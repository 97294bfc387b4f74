#include "rds_window.h"

// The RDS text window and its template are still to come.
void open_rds_window() {}
