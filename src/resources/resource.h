// Resource ids of tidewell.exe and of every language library (RC*.dll).
//
// The numbers are the ones the program is known by: language libraries, the
// tests and the pages look resources up by them, so a number never changes.
// Each macro's name mirrors its number (IDS_57755 is string 57755), with a
// prefix for the kind of resource. Where a string and a command share a
// number, both macros exist.
//
// Included by the resource scripts (windres) and by C++: plain #defines only.
#ifndef TIDEWELL_RESOURCES_RESOURCE_H
#define TIDEWELL_RESOURCES_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// ---------------------------------------------------------------------------
// Dialog templates
#define IDD_100 100  // about page
#define IDD_102 102  // main window
#define IDD_129 129  // registry page
#define IDD_130 130  // junk-file page
#define IDD_138 138  // add a file type ("Temp File Type")
#define IDD_145 145  // clock page
#define IDD_160 160  // the program's message box
#define IDD_165 165  // choose path ("选择路径")
#define IDD_171 171  // scan-status strip
#define IDD_174 174  // uninstall page
#define IDD_178 178  // plug-in page
#define IDD_181 181  // version check
#define IDD_VERSION_CHECK IDD_181

// ---------------------------------------------------------------------------
// Menus
#define IDR_131 131  // "TrayMenu": tray icon and status strip
#define IDR_135 135  // "DeleteList": result lists of the registry and junk-file pages
#define IDR_143 143  // "ScanType": registry scan categories

// ---------------------------------------------------------------------------
// Icons
#define IDI_128 128  // window icon
#define IDI_163 163  // message box
#define IDI_164 164  // notification area

// ---------------------------------------------------------------------------
// Bitmaps
#define IDB_134 134  // list check boxes: 2 images 11 wide (empty, ticked), white transparent
#define IDB_136 136  // tree tick boxes: 3 images 11 wide (blank, empty, ticked), white transparent
#define IDB_137 137  // tree images, 16x16, strip 139 wide: computer, folder open, folder, drive
#define IDB_150 150  // logo, top of the navigation column
#define IDB_151 151  // site picture, bottom of the navigation column
#define IDB_154 154  // navigation: registry
#define IDB_155 155  // navigation: junk files
#define IDB_156 156  // navigation: clock
#define IDB_158 158  // navigation: about
#define IDB_172 172  // status strip icons, 15x15, transparent RGB(222,222,222)
#define IDB_175 175  // default program icon 16x16, white transparent
#define IDB_176 176  // navigation: uninstall
#define IDB_179 179  // navigation: plug-ins

// ---------------------------------------------------------------------------
// Controls
// Main window (102)
#define IDC_1000 1000  // navigation: about
#define IDC_1001 1001  // navigation: registry
#define IDC_1002 1002  // navigation: junk files
#define IDC_1003 1003  // navigation: plug-ins; registry page: category list
#define IDC_1037 1037  // navigation: clock
#define IDC_1057 1057  // navigation: uninstall
#define IDC_1053 1053  // main window: site picture; about page: support-site link
#define IDC_1006 1006  // main window: page frame (about); plug-in page: kind 2 button
#define IDC_1007 1007  // main window: page frame (tools); registry page: delete; plug-in page: kind 3
#define IDC_1076 1076  // main window: hint line (clips siblings: raise pages above it)

// About page (100)
#define IDC_1055 1055  // exit button
#define IDC_1056 1056  // support-mail link
#define IDC_1060 1060  // help button
#define IDC_1070 1070  // language combo box
#define IDC_1071 1071  // second web address, plain text under the support-site link

// Message box (160): style 1 shows IDOK ("确定"); style 0 shows 1082 ("是",
// answers 1) and 1083 ("否", answers 2).
#define IDC_1080 1080  // icon (163)
#define IDC_1081 1081  // message text
#define IDC_1082 1082  // "是"
#define IDC_1083 1083  // "否"

// Status strip (171), invisible: the strip paints itself
#define IDC_1005 1005  // strip; uninstall page: uninstall button; plug-in page: kind 1
#define IDC_1062 1062
#define IDC_1063 1063
#define IDC_1064 1064

// Version check (181); IDCANCEL closes it
#define IDC_1090 1090  // log box
#define IDC_1091 1091  // "检测新版本"
#define IDC_1092 1092  // "在线升级"

// Registry page (129)
#define IDC_1004 1004  // result list
#define IDC_1008 1008  // delete all (hidden); plug-in page: kind 4
#define IDC_1009 1009  // back up; plug-in page: delete registration
#define IDC_1010 1010  // restore
#define IDC_1035 1035  // scan / stop
#define IDC_1059 1059  // repair

// Junk-file page (130)
#define IDC_1012 1012  // folder tree (also in 165)
#define IDC_1015 1015  // settings view
#define IDC_1016 1016  // result list
#define IDC_1017 1017  // group "设置"
#define IDC_1018 1018  // radio: recycle bin
#define IDC_1019 1019  // radio: delete directly
#define IDC_1020 1020  // radio: backup folder
#define IDC_1021 1021  // backup folder edit
#define IDC_1022 1022  // "..."
#define IDC_1023 1023  // file-type list
#define IDC_1024 1024  // add type
#define IDC_1025 1025  // delete type
#define IDC_1026 1026  // select all types
#define IDC_1027 1027  // label "要删除的文件类型"
#define IDC_1028 1028  // option: browser cache
#define IDC_1029 1029  // option: system temporary folder
#define IDC_1032 1032  // delete
#define IDC_1033 1033  // delete all (hidden)
#define IDC_1034 1034  // scan / stop
#define IDC_1036 1036  // scan results view

// Add a file type (138)
#define IDC_1030 1030  // pattern
#define IDC_1031 1031  // description

// Clock page (145)
#define IDC_1038 1038  // server list
#define IDC_1039 1039  // log
#define IDC_1040 1040  // add (hidden)
#define IDC_1041 1041  // delete (hidden)
#define IDC_1042 1042  // up (hidden)
#define IDC_1043 1043  // down (hidden)
#define IDC_1058 1058  // "时间校正"

// Uninstall page (174)
#define IDC_1065 1065  // software list
#define IDC_1066 1066  // hidden
#define IDC_1067 1067  // hidden
#define IDC_1068 1068  // hidden
#define IDC_1069 1069  // refresh

// Plug-in page (178): kind buttons 1005-1008, removal 1009 and 1073
#define IDC_1073 1073  // uninstall plug-in
#define IDC_1074 1074  // plug-in list

// ---------------------------------------------------------------------------
// Menu commands
#define IDM_32771 32771  // show Tidewell
#define IDM_32780 32780  // categories: check all
#define IDM_32781 32781  // categories: check none
#define IDM_32782 32782  // categories: invert
#define IDM_32791 32791  // results: check all
#define IDM_32792 32792  // results: invert
#define IDM_32793 32793  // results: check none
#define IDM_32794 32794  // results: delete checked
#define IDM_32795 32795  // results: delete all
#define IDM_32808 32808  // visit the maker's site
#define IDM_32809 32809  // stop scan
#define IDM_32810 32810  // pause / resume scan
#define IDM_57670 57670  // help
#define IDM_EXIT 2       // exit Tidewell (IDCANCEL)

// Status bar
#define ID_STATUS_BAR 0xE801
#define ID_PANE_32786 32786
#define ID_PANE_32787 32787
#define ID_PANE_32788 32788

// ---------------------------------------------------------------------------
// Strings
#define IDS_32772 32772
#define IDS_32773 32773
#define IDS_32774 32774
#define IDS_32776 32776
#define IDS_32777 32777
#define IDS_32778 32778
#define IDS_32783 32783
#define IDS_32784 32784
#define IDS_32785 32785
#define IDS_32786 32786
#define IDS_32787 32787
#define IDS_32788 32788
#define IDS_32789 32789
#define IDS_32790 32790
#define IDS_32796 32796
#define IDS_32797 32797
#define IDS_32798 32798
#define IDS_32799 32799
#define IDS_32800 32800
#define IDS_32801 32801
#define IDS_32802 32802
#define IDS_32803 32803
#define IDS_32804 32804
#define IDS_32805 32805
#define IDS_32807 32807
#define IDS_57680 57680
#define IDS_57681 57681
#define IDS_57682 57682
#define IDS_57684 57684
#define IDS_57685 57685
#define IDS_57686 57686
#define IDS_57692 57692
#define IDS_57693 57693
#define IDS_57694 57694
#define IDS_57695 57695
#define IDS_57696 57696
#define IDS_57697 57697
#define IDS_57698 57698
#define IDS_57699 57699
#define IDS_57700 57700
#define IDS_57703 57703
#define IDS_57704 57704
#define IDS_57705 57705
#define IDS_57706 57706
#define IDS_57707 57707
#define IDS_57708 57708
#define IDS_57709 57709
#define IDS_57710 57710
#define IDS_57711 57711
#define IDS_57712 57712
#define IDS_57713 57713
#define IDS_57714 57714
#define IDS_57715 57715
#define IDS_57716 57716
#define IDS_57717 57717
#define IDS_57718 57718
#define IDS_57719 57719
#define IDS_57720 57720
#define IDS_57721 57721
#define IDS_57722 57722
#define IDS_57723 57723
#define IDS_57724 57724
#define IDS_57725 57725
#define IDS_57726 57726
#define IDS_57728 57728
#define IDS_57729 57729
#define IDS_57730 57730
#define IDS_57731 57731
#define IDS_57732 57732
#define IDS_57734 57734
#define IDS_57735 57735
#define IDS_57736 57736
#define IDS_57737 57737
#define IDS_57740 57740
#define IDS_57741 57741
#define IDS_57742 57742
#define IDS_57743 57743
#define IDS_57744 57744
#define IDS_57745 57745
#define IDS_57746 57746
#define IDS_57747 57747
#define IDS_57755 57755
#define IDS_57756 57756
#define IDS_57771 57771
#define IDS_57772 57772
#define IDS_57773 57773
#define IDS_57774 57774
#define IDS_57775 57775
#define IDS_57776 57776
#define IDS_57777 57777
#define IDS_57778 57778
#define IDS_57779 57779
#define IDS_57783 57783
#define IDS_57784 57784
#define IDS_57785 57785
#define IDS_57786 57786
#define IDS_57787 57787
#define IDS_57788 57788
#define IDS_57789 57789
#define IDS_57790 57790
#define IDS_57791 57791
#define IDS_57792 57792
#define IDS_57793 57793
#define IDS_57794 57794
#define IDS_57795 57795
#define IDS_57796 57796
#define IDS_57797 57797
#define IDS_57798 57798
#define IDS_57799 57799
#define IDS_57800 57800
#define IDS_57801 57801
#define IDS_57802 57802
#define IDS_57803 57803
#define IDS_57804 57804
#define IDS_57805 57805
#define IDS_57806 57806
#define IDS_57807 57807
#define IDS_57808 57808
#define IDS_57809 57809
#define IDS_57810 57810
#define IDS_57811 57811
#define IDS_57920 57920
#define IDS_57930 57930
#define IDS_61859 61859

// Texts the pages show that have no fixed number of their own; kept in the
// string table so that language libraries translate them too.
#define IDS_57850 57850  // clock page tooltip, button 1040
#define IDS_57851 57851  // clock page tooltip, button 1041
#define IDS_57852 57852  // clock page tooltip, button 1042
#define IDS_57853 57853  // clock page tooltip, button 1043
#define IDS_57854 57854  // clock page tooltip, button 1058
#define IDS_57855 57855  // clock page column 0
#define IDS_57856 57856  // clock page column 1
#define IDS_57857 57857  // clock server 0 description
#define IDS_57858 57858  // clock server 1 description
#define IDS_57859 57859  // clock server 2 description
#define IDS_57860 57860  // clock server 3 description
#define IDS_57861 57861  // uninstall page column 0
#define IDS_57862 57862  // uninstall page column 1
#define IDS_57863 57863  // uninstall page column 2
#define IDS_57864 57864  // uninstall page column 3
#define IDS_57865 57865  // version check dialog caption
#define IDS_57866 57866  // message box button "确定"
#define IDS_57867 57867  // message box button "是"
#define IDS_57868 57868  // message box button "否"
#define IDS_57870 57870  // clock report: a reply that was not used (host, reason)
#define IDS_57871 57871  // 57871-57877: the reasons, in the client's order
#define IDS_57872 57872
#define IDS_57873 57873
#define IDS_57874 57874
#define IDS_57875 57875
#define IDS_57876 57876
#define IDS_57877 57877
#define IDS_57900 57900  // junk-file page: File.ini could not be saved
#define IDS_57901 57901  // junk-file page: File.ini could not be read
#define IDS_57902 57902  // junk-file page: files that could not be removed (%d)
#define IDS_57921 57921  // plug-in page: a user's own plug-in lost only its registration

// ---------------------------------------------------------------------------
// Window messages (not resources; shared here so every window agrees)
#ifndef WM_TRAY_NOTIFY
#define WM_TRAY_NOTIFY 0x800A
#endif
#ifndef WM_SCAN_STATUS
#define WM_SCAN_STATUS 0x8014
#endif
#ifndef WM_PAGE_HINT
#define WM_PAGE_HINT 0x801E
#endif
#ifndef WM_BUTTON_HOVER
#define WM_BUTTON_HOVER 0x2AB6
#endif
#ifndef WM_BUTTON_LEAVE
#define WM_BUTTON_LEAVE 0x2AB7
#endif

#endif  // TIDEWELL_RESOURCES_RESOURCE_H
