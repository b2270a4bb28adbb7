// Control and command ids of the harness's sample window program.
#pragma once
#define IDD_SAMPLE_DIALOG 100
#define IDC_SAMPLE_EDIT 101
#define IDC_SAMPLE_COMBO 102
#define IDC_SAMPLE_LIST 103
#define IDC_SAMPLE_CHECK 104
#define IDC_SAMPLE_STATUS 105
#define IDM_SAMPLE_OPEN_DIALOG 40001
#define IDM_SAMPLE_MESSAGE 40002
