// Controls of DIALOG_MMSVIEW, the view of one received MMS message.
#pragma once

#define IDC_MMSVIEW_HEADER_LABEL 101
#define IDC_MMSVIEW_HEADER 102
#define IDC_MMSVIEW_PARTS 103
#define IDC_MMSVIEW_PARTS_LABEL 104
#define IDC_MMSVIEW_VIEW 105
