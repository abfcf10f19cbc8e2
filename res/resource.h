// Resource symbols of the brander: shared by the resource script and the code.
#pragma once

#define IDD_BRANDER_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_QLBLINK 1007
#define IDC_CBID 1008
#define IDC_WEBNAME 1009
#define IDC_WEBLINK 1010
#define IDC_MRWLINK 1011
#define IDC_CLICKHERE 1023

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
