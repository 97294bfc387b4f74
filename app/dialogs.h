// The two modal dialogs of the radio: About (version and band) and Settings
// (band plan and stereo noise cancelling).
#pragma once

void show_about_dialog();
void show_settings_dialog();
