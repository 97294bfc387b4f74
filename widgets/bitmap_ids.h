// Ids of the bitmap resources that the widgets load from the program's own
// resources. Plain macros because the resource script includes this file
// as well as the C++ sources.
#pragma once

// Frequency read-out: light digits on black with black-on-white masks.
#define IDB_FREQUENCY_POINT 133      // 6 x 21
#define IDB_FREQUENCY_POINT_MASK 134 // 6 x 21
#define IDB_FREQUENCY_DIGITS 138     // 253 x 21, cells 23 wide
#define IDB_FREQUENCY_DIGITS_MASK 139

// Tuning scale knob, 22 x 22.
#define IDB_SCALE_THUMB 135
#define IDB_SCALE_THUMB_MASK 136
#define IDB_SCALE_DRAG_THUMB 137

// Preset labels: dark digits on white, no masks.
#define IDB_PRESET_POINT 140  // 5 x 9
#define IDB_PRESET_DIGITS 141 // 110 x 9, cells 10 wide

// Volume slider knob, 16 x 16.
#define IDB_VOLUME_THUMB 142
#define IDB_VOLUME_THUMB_MASK 143
#define IDB_VOLUME_DRAG_THUMB 144
