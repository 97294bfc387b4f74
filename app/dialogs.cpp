#include "dialogs.h"

// The dialogs and their templates are still to come.
void show_about_dialog() {}
void show_settings_dialog() {}
