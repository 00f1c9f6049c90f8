#ifndef TOVRIN_OPTIONDLG_OPTIONDIALOGIDS_H
#define TOVRIN_OPTIONDLG_OPTIONDIALOGIDS_H
/* Resource and control ids of the option dialog. Plain macros: the resource script includes this file. */

#define IDD_OPTION 201         /* dialog template */
#define IDB_OPTION_PICTURE 203 /* bitmap of the picture control */

#define IDC_SETTINGS_GROUP 2000 /* group box around the two settings buttons */
#define IDC_STORE_DEFAULTS 2001
#define IDC_RESTORE_DEFAULTS 2002

#endif
