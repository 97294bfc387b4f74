// Ids of the receiver library's own resources.
#pragma once

#define IDD_SIGNAL_SOURCE 100

#define IDC_SOURCE_CARD 1001
#define IDC_SOURCE_SERVER 1002
#define IDC_HOST 1003
#define IDC_PORT 1004
#define IDC_GAIN_AUTO 1005
#define IDC_GAIN 1006
#define IDC_PPM 1007
#define IDC_STATUS 1008
#define IDC_LABEL -1
