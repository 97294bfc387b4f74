// The modeless window that shows the RDS text the card receives, glued to
// the main window's right edge. At most one exists at a time.
#pragma once

// Opens the window unless it is open already.
void open_rds_window();
// Closes the window if it is open.
void close_rds_window();
// Moves the open window back onto the main window's right edge.
void follow_main_window();
