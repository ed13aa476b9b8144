#ifndef DESKCLOCK_RESOURCE_H
#define DESKCLOCK_RESOURCE_H

/* Bitmaps */
#define IDB_SKIN            101
#define IDB_MINUTE_NEEDLE   102
#define IDB_HOUR_NEEDLE     103

/* Icons */
#define IDI_CLOCK           104

/* Menus */
#define IDR_TRAY_MENU       105

/* Menu commands */
#define IDM_ABOUT           40001
#define IDM_EXIT            40002

/* Child controls */
#define IDC_ADJUST_TIME     300
#define IDC_EXIT            301
#define IDC_READOUT         302

/* Timers */
#define IDT_SECOND          303
#define IDT_MINUTE          304
#define IDT_TRAY_RETRY      305

#endif
