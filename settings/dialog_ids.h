/* Identifiers of the configuration dialog and its controls. Read by the
   resource compiler as well as by C++, so plain macros only. */
#ifndef VELTO_DIALOG_IDS_H
#define VELTO_DIALOG_IDS_H

#define VELTO_DIALOG_SETTING 1000
#define VELTO_SLIDER_R 1001
#define VELTO_LABEL_R 1002
#define VELTO_SLIDER_G 1003
#define VELTO_SLIDER_B 1004
#define VELTO_LABEL_G 1005
#define VELTO_LABEL_B 1006
#define VELTO_BUTTON_PREVIEW 1015
#define VELTO_BUTTON_OK 1016
#define VELTO_BUTTON_CANCEL 1017

#endif
