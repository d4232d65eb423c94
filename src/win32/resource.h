#pragma once
// Identifiers of the window's resources (Corvane.rc) and of its menu commands and controls.

#define IDI_CORVANE 1
#define IDR_MAINMENU 100
#define IDR_ACCELERATORS 101
#define IDR_LISTMENU 102
#define IDR_TREEMENU 103

#define IDM_OPEN 1001
#define IDM_CLOSE 1002
#define IDM_EXIT 1003
#define IDM_GOTOOFFSET 1004
#define IDM_HEXEDIT 1005
#define IDM_CHECKSTREAM 1006
#define IDM_CHECKFORUPDATES 1007
#define IDM_ABOUT 1008
#define IDM_COPYLIST 1009
#define IDM_COPYTREE 1010
#define IDM_MEASURELOUDNESS 1011
#define IDM_STREAMOVERVIEW 1012
// The recent files of File > Open Recent, one id each from here on.
#define IDM_RECENTFILE 1100

#define IDC_LISTVIEW1 2001
#define IDC_SCROLLBAR1 2002
#define IDC_TREEVIEW1 2003
#define IDC_MEMO1 2004
#define IDC_SCROLLBAR2 2005
#define IDC_STATUSBAR 2006
#define IDC_LBPACKET 2007
