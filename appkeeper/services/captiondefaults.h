#pragma once
// The built-in default texts of every caption key appkeeper shows.
//
// Each text is kept as GB2312 bytes, the way the program has always carried
// its Chinese texts, and turned into Unicode with Text_code() at the point of
// use, together with its caption key:
//
//     readLabelCaption("Win_MainMenu_Item1", Text_code(CaptionDefault::Win_MainMenu_Item1))
//
// CAPTION(Win_MainMenu_Item1) spells out that call (langcaption.h must be
// included where it is used).
//
// The constant's name is the caption key, except where one key serves two
// texts ("Msg_HintInfo_Items16": the uninstall hint of the main window and the
// start-at-boot failure of the properties dialog); those carry a suffix.
// The comment above each constant shows the text it decodes to.

#define CAPTION(key) readLabelCaption(QStringLiteral(#key), Text_code(CaptionDefault::key))

namespace CaptionDefault {

// appkeeperVer：1.0.2
inline constexpr char Win_Caption1[] = "appkeeperVer\xa3\xba" "1.0.2";
// 安装PKG
inline constexpr char Win_MainMenu_Item1[] = "\xb0\xb2\xd7\xb0PKG";
// 重命名
inline constexpr char Win_MainMenu_Item2[] = "\xd6\xd8\xc3\xfc\xc3\xfb";
// 卸载
inline constexpr char Win_MainMenu_Item3[] = "\xd0\xb6\xd4\xd8";
// 变更属性
inline constexpr char Win_MainMenu_Item4[] = "\xb1\xe4\xb8\xfc\xca\xf4\xd0\xd4";
// 刷新菜单
inline constexpr char Win_MainMenu_Item5[] = "\xcb\xa2\xd0\xc2\xb2\xcb\xb5\xa5";
// 关于
inline constexpr char Win_MainMenu_About[] = "\xb9\xd8\xd3\xda";
// 变更属性
inline constexpr char Win_MidBtn1[] = "\xb1\xe4\xb8\xfc\xca\xf4\xd0\xd4";
// 软件名称
inline constexpr char AppName[] = "\xc8\xed\xbc\xfe\xc3\xfb\xb3\xc6";
// 软件中的开机自动运行功能，仅适用于vortelin系列E6/E6e修改版，其它版本用户无法使用此功能。
inline constexpr char AppAbout[] = "\xc8\xed\xbc\xfe\xd6\xd0\xb5\xc4\xbf\xaa\xbb\xfa\xd7\xd4\xb6\xaf\xd4\xcb\xd0\xd0\xb9\xa6\xc4\xdc\xa3\xac\xbd\xf6\xca\xca\xd3\xc3\xd3\xdavortelin\xcf\xb5\xc1\xd0" "E6/E6e\xd0\xde\xb8\xc4\xb0\xe6\xa3\xac\xc6\xe4\xcb\xfc\xb0\xe6\xb1\xbe\xd3\xc3\xbb\xa7\xce\xde\xb7\xa8\xca\xb9\xd3\xc3\xb4\xcb\xb9\xa6\xc4\xdc\xa1\xa3";
// 重命名应用软件
inline constexpr char Dlg_Win_Caption1[] = "\xd6\xd8\xc3\xfc\xc3\xfb\xd3\xa6\xd3\xc3\xc8\xed\xbc\xfe";
// 应用软件属性
inline constexpr char Dlg_Win_Caption2[] = "\xd3\xa6\xd3\xc3\xc8\xed\xbc\xfe\xca\xf4\xd0\xd4";
// 安装PKG软件
inline constexpr char Dlg_Win_Caption3[] = "\xb0\xb2\xd7\xb0PKG\xc8\xed\xbc\xfe";
// 原软件名称：
inline constexpr char Dlg_Win_Item1[] = "\xd4\xad\xc8\xed\xbc\xfe\xc3\xfb\xb3\xc6\xa3\xba";
// 新软件名称：
inline constexpr char Dlg_Win_Item2[] = "\xd0\xc2\xc8\xed\xbc\xfe\xc3\xfb\xb3\xc6\xa3\xba";
// 软件名称:
inline constexpr char Dlg_Win_Item3[] = "\xc8\xed\xbc\xfe\xc3\xfb\xb3\xc6:";
// 软件类型:
inline constexpr char Dlg_Win_Item4[] = "\xc8\xed\xbc\xfe\xc0\xe0\xd0\xcd:";
// MPKG软件
inline constexpr char Dlg_Win_Item5[] = "MPKG\xc8\xed\xbc\xfe";
// Java软件
inline constexpr char Dlg_Win_Item6[] = "Java\xc8\xed\xbc\xfe";
// Java    域:
inline constexpr char Dlg_Win_Item7[] = "Java    \xd3\xf2:";
// 用户名称:
inline constexpr char Dlg_Win_Item8[] = "\xd3\xc3\xbb\xa7\xc3\xfb\xb3\xc6:";
// 用户组名:
inline constexpr char Dlg_Win_Item9[] = "\xd3\xc3\xbb\xa7\xd7\xe9\xc3\xfb:";
// PKG软件安装包：
inline constexpr char Dlg_Win_Item10[] = "PKG\xc8\xed\xbc\xfe\xb0\xb2\xd7\xb0\xb0\xfc\xa3\xba";
// 运行参数：
inline constexpr char Dlg_Win_Item11[] = "\xd4\xcb\xd0\xd0\xb2\xce\xca\xfd\xa3\xba";
// 开机自动运行
inline constexpr char Dlg_Win_Item12[] = "\xbf\xaa\xbb\xfa\xd7\xd4\xb6\xaf\xd4\xcb\xd0\xd0";
// 确定
inline constexpr char Dlg_Win_Button1[] = "\xc8\xb7\xb6\xa8";
// 取消
inline constexpr char Dlg_Win_Button2[] = "\xc8\xa1\xcf\xfb";
// 安装
inline constexpr char Dlg_Win_Button3[] = "\xb0\xb2\xd7\xb0";
// root
inline constexpr char Dlg_Win_ComBox_Item1[] = "root";
// ezx
inline constexpr char Dlg_Win_ComBox_Item2[] = "ezx";
// 请您选择一款软件后，再执行重命名功能！
inline constexpr char Msg_HintInfo_Items1[] = "\xc7\xeb\xc4\xfa\xd1\xa1\xd4\xf1\xd2\xbb\xbf\xee\xc8\xed\xbc\xfe\xba\xf3\xa3\xac\xd4\xd9\xd6\xb4\xd0\xd0\xd6\xd8\xc3\xfc\xc3\xfb\xb9\xa6\xc4\xdc\xa3\xa1";
// 请您选择一款软件后，再执行查看属性功能！
inline constexpr char Msg_HintInfo_Items2[] = "\xc7\xeb\xc4\xfa\xd1\xa1\xd4\xf1\xd2\xbb\xbf\xee\xc8\xed\xbc\xfe\xba\xf3\xa3\xac\xd4\xd9\xd6\xb4\xd0\xd0\xb2\xe9\xbf\xb4\xca\xf4\xd0\xd4\xb9\xa6\xc4\xdc\xa3\xa1";
// 保存软件属性失败！
inline constexpr char Msg_HintInfo_Items3[] = "\xb1\xa3\xb4\xe6\xc8\xed\xbc\xfe\xca\xf4\xd0\xd4\xca\xa7\xb0\xdc\xa3\xa1";
// 保存软件属性成功！
inline constexpr char Msg_HintInfo_Items4[] = "\xb1\xa3\xb4\xe6\xc8\xed\xbc\xfe\xca\xf4\xd0\xd4\xb3\xc9\xb9\xa6\xa3\xa1";
// 变更软件名称失败！
inline constexpr char Msg_HintInfo_Items6[] = "\xb1\xe4\xb8\xfc\xc8\xed\xbc\xfe\xc3\xfb\xb3\xc6\xca\xa7\xb0\xdc\xa3\xa1";
// 您选择的PKG安装包不存在！
inline constexpr char Msg_HintInfo_Items7[] = "\xc4\xfa\xd1\xa1\xd4\xf1\xb5\xc4PKG\xb0\xb2\xd7\xb0\xb0\xfc\xb2\xbb\xb4\xe6\xd4\xda\xa3\xa1";
// 系统无法创建临时安装文件夹！
inline constexpr char Msg_HintInfo_Items8[] = "\xcf\xb5\xcd\xb3\xce\xde\xb7\xa8\xb4\xb4\xbd\xa8\xc1\xd9\xca\xb1\xb0\xb2\xd7\xb0\xce\xc4\xbc\xfe\xbc\xd0\xa3\xa1";
// 系统无法创建软件安装注册文件！
inline constexpr char Msg_HintInfo_Items9[] = "\xcf\xb5\xcd\xb3\xce\xde\xb7\xa8\xb4\xb4\xbd\xa8\xc8\xed\xbc\xfe\xb0\xb2\xd7\xb0\xd7\xa2\xb2\xe1\xce\xc4\xbc\xfe\xa3\xa1";
// 您选择的安装包不正确，系统无法解压安装包！
inline constexpr char Msg_HintInfo_Items10[] = "\xc4\xfa\xd1\xa1\xd4\xf1\xb5\xc4\xb0\xb2\xd7\xb0\xb0\xfc\xb2\xbb\xd5\xfd\xc8\xb7\xa3\xac\xcf\xb5\xcd\xb3\xce\xde\xb7\xa8\xbd\xe2\xd1\xb9\xb0\xb2\xd7\xb0\xb0\xfc\xa3\xa1";
// 您选择的安装包不正确，系统无法取得相关的安装注册信息文件！
inline constexpr char Msg_HintInfo_Items11[] = "\xc4\xfa\xd1\xa1\xd4\xf1\xb5\xc4\xb0\xb2\xd7\xb0\xb0\xfc\xb2\xbb\xd5\xfd\xc8\xb7\xa3\xac\xcf\xb5\xcd\xb3\xce\xde\xb7\xa8\xc8\xa1\xb5\xc3\xcf\xe0\xb9\xd8\xb5\xc4\xb0\xb2\xd7\xb0\xd7\xa2\xb2\xe1\xd0\xc5\xcf\xa2\xce\xc4\xbc\xfe\xa3\xa1";
// 您选择的安装包不正确，系统无法取得相关的安装注册信息！
inline constexpr char Msg_HintInfo_Items12[] = "\xc4\xfa\xd1\xa1\xd4\xf1\xb5\xc4\xb0\xb2\xd7\xb0\xb0\xfc\xb2\xbb\xd5\xfd\xc8\xb7\xa3\xac\xcf\xb5\xcd\xb3\xce\xde\xb7\xa8\xc8\xa1\xb5\xc3\xcf\xe0\xb9\xd8\xb5\xc4\xb0\xb2\xd7\xb0\xd7\xa2\xb2\xe1\xd0\xc5\xcf\xa2\xa3\xa1";
// 无法安装PKG软件到系统目录！
inline constexpr char Msg_HintInfo_Items13[] = "\xce\xde\xb7\xa8\xb0\xb2\xd7\xb0PKG\xc8\xed\xbc\xfe\xb5\xbd\xcf\xb5\xcd\xb3\xc4\xbf\xc2\xbc\xa3\xa1";
// 无法注册软件信息！
inline constexpr char Msg_HintInfo_Items14[] = "\xce\xde\xb7\xa8\xd7\xa2\xb2\xe1\xc8\xed\xbc\xfe\xd0\xc5\xcf\xa2\xa3\xa1";
// 无法创建菜单项目！
inline constexpr char Msg_HintInfo_Items15[] = "\xce\xde\xb7\xa8\xb4\xb4\xbd\xa8\xb2\xcb\xb5\xa5\xcf\xee\xc4\xbf\xa3\xa1";
// 请您选择一款软件后，再执行卸载功能！
inline constexpr char Msg_HintInfo_Items16_Uninstall[] = "\xc7\xeb\xc4\xfa\xd1\xa1\xd4\xf1\xd2\xbb\xbf\xee\xc8\xed\xbc\xfe\xba\xf3\xa3\xac\xd4\xd9\xd6\xb4\xd0\xd0\xd0\xb6\xd4\xd8\xb9\xa6\xc4\xdc\xa3\xa1";
// 设置开机自动运行失败！
inline constexpr char Msg_HintInfo_Items16_Autorun[] = "\xc9\xe8\xd6\xc3\xbf\xaa\xbb\xfa\xd7\xd4\xb6\xaf\xd4\xcb\xd0\xd0\xca\xa7\xb0\xdc\xa3\xa1";
// PKG安装已取消！
inline constexpr char Msg_HintInfo_Items18[] = "PKG\xb0\xb2\xd7\xb0\xd2\xd1\xc8\xa1\xcf\xfb\xa3\xa1";
// 您将退出应用程序，是否继续？
inline constexpr char Msg_AskInfo_Items1[] = "\xc4\xfa\xbd\xab\xcd\xcb\xb3\xf6\xd3\xa6\xd3\xc3\xb3\xcc\xd0\xf2\xa3\xac\xca\xc7\xb7\xf1\xbc\xcc\xd0\xf8\xa3\xbf";
// 您的操作将卸载当前选择的软件，是否继续？
inline constexpr char Msg_AskInfo_Items2[] = "\xc4\xfa\xb5\xc4\xb2\xd9\xd7\xf7\xbd\xab\xd0\xb6\xd4\xd8\xb5\xb1\xc7\xb0\xd1\xa1\xd4\xf1\xb5\xc4\xc8\xed\xbc\xfe\xa3\xac\xca\xc7\xb7\xf1\xbc\xcc\xd0\xf8\xa3\xbf";
// 是否继续安装此软件？
inline constexpr char Msg_AskInfo_Items4[] = "\xca\xc7\xb7\xf1\xbc\xcc\xd0\xf8\xb0\xb2\xd7\xb0\xb4\xcb\xc8\xed\xbc\xfe\xa3\xbf";
// 系统将杀死AM进程实现菜单刷新，是否继续？
inline constexpr char Msg_AskInfo_Items5[] = "\xcf\xb5\xcd\xb3\xbd\xab\xc9\xb1\xcb\xc0" "AM\xbd\xf8\xb3\xcc\xca\xb5\xcf\xd6\xb2\xcb\xb5\xa5\xcb\xa2\xd0\xc2\xa3\xac\xca\xc7\xb7\xf1\xbc\xcc\xd0\xf8\xa3\xbf";
// 确定
inline constexpr char Msg_Hint_Button1[] = "\xc8\xb7\xb6\xa8";
// 是(Yes)
inline constexpr char Msg_Ask_Button1[] = "\xca\xc7(Yes)";
// 否(No)
inline constexpr char Msg_Ask_Button2[] = "\xb7\xf1(No)";

// One row per constant above: its name, the caption key it belongs to and its bytes.
struct Entry
{
    const char* name;
    const char* key;
    const char* gb2312;
};

inline constexpr Entry kAll[] = {
    {"Win_Caption1", "Win_Caption1", Win_Caption1},
    {"Win_MainMenu_Item1", "Win_MainMenu_Item1", Win_MainMenu_Item1},
    {"Win_MainMenu_Item2", "Win_MainMenu_Item2", Win_MainMenu_Item2},
    {"Win_MainMenu_Item3", "Win_MainMenu_Item3", Win_MainMenu_Item3},
    {"Win_MainMenu_Item4", "Win_MainMenu_Item4", Win_MainMenu_Item4},
    {"Win_MainMenu_Item5", "Win_MainMenu_Item5", Win_MainMenu_Item5},
    {"Win_MainMenu_About", "Win_MainMenu_About", Win_MainMenu_About},
    {"Win_MidBtn1", "Win_MidBtn1", Win_MidBtn1},
    {"AppName", "AppName", AppName},
    {"AppAbout", "AppAbout", AppAbout},
    {"Dlg_Win_Caption1", "Dlg_Win_Caption1", Dlg_Win_Caption1},
    {"Dlg_Win_Caption2", "Dlg_Win_Caption2", Dlg_Win_Caption2},
    {"Dlg_Win_Caption3", "Dlg_Win_Caption3", Dlg_Win_Caption3},
    {"Dlg_Win_Item1", "Dlg_Win_Item1", Dlg_Win_Item1},
    {"Dlg_Win_Item2", "Dlg_Win_Item2", Dlg_Win_Item2},
    {"Dlg_Win_Item3", "Dlg_Win_Item3", Dlg_Win_Item3},
    {"Dlg_Win_Item4", "Dlg_Win_Item4", Dlg_Win_Item4},
    {"Dlg_Win_Item5", "Dlg_Win_Item5", Dlg_Win_Item5},
    {"Dlg_Win_Item6", "Dlg_Win_Item6", Dlg_Win_Item6},
    {"Dlg_Win_Item7", "Dlg_Win_Item7", Dlg_Win_Item7},
    {"Dlg_Win_Item8", "Dlg_Win_Item8", Dlg_Win_Item8},
    {"Dlg_Win_Item9", "Dlg_Win_Item9", Dlg_Win_Item9},
    {"Dlg_Win_Item10", "Dlg_Win_Item10", Dlg_Win_Item10},
    {"Dlg_Win_Item11", "Dlg_Win_Item11", Dlg_Win_Item11},
    {"Dlg_Win_Item12", "Dlg_Win_Item12", Dlg_Win_Item12},
    {"Dlg_Win_Button1", "Dlg_Win_Button1", Dlg_Win_Button1},
    {"Dlg_Win_Button2", "Dlg_Win_Button2", Dlg_Win_Button2},
    {"Dlg_Win_Button3", "Dlg_Win_Button3", Dlg_Win_Button3},
    {"Dlg_Win_ComBox_Item1", "Dlg_Win_ComBox_Item1", Dlg_Win_ComBox_Item1},
    {"Dlg_Win_ComBox_Item2", "Dlg_Win_ComBox_Item2", Dlg_Win_ComBox_Item2},
    {"Msg_HintInfo_Items1", "Msg_HintInfo_Items1", Msg_HintInfo_Items1},
    {"Msg_HintInfo_Items2", "Msg_HintInfo_Items2", Msg_HintInfo_Items2},
    {"Msg_HintInfo_Items3", "Msg_HintInfo_Items3", Msg_HintInfo_Items3},
    {"Msg_HintInfo_Items4", "Msg_HintInfo_Items4", Msg_HintInfo_Items4},
    {"Msg_HintInfo_Items6", "Msg_HintInfo_Items6", Msg_HintInfo_Items6},
    {"Msg_HintInfo_Items7", "Msg_HintInfo_Items7", Msg_HintInfo_Items7},
    {"Msg_HintInfo_Items8", "Msg_HintInfo_Items8", Msg_HintInfo_Items8},
    {"Msg_HintInfo_Items9", "Msg_HintInfo_Items9", Msg_HintInfo_Items9},
    {"Msg_HintInfo_Items10", "Msg_HintInfo_Items10", Msg_HintInfo_Items10},
    {"Msg_HintInfo_Items11", "Msg_HintInfo_Items11", Msg_HintInfo_Items11},
    {"Msg_HintInfo_Items12", "Msg_HintInfo_Items12", Msg_HintInfo_Items12},
    {"Msg_HintInfo_Items13", "Msg_HintInfo_Items13", Msg_HintInfo_Items13},
    {"Msg_HintInfo_Items14", "Msg_HintInfo_Items14", Msg_HintInfo_Items14},
    {"Msg_HintInfo_Items15", "Msg_HintInfo_Items15", Msg_HintInfo_Items15},
    {"Msg_HintInfo_Items16_Uninstall", "Msg_HintInfo_Items16", Msg_HintInfo_Items16_Uninstall},
    {"Msg_HintInfo_Items16_Autorun", "Msg_HintInfo_Items16", Msg_HintInfo_Items16_Autorun},
    {"Msg_HintInfo_Items18", "Msg_HintInfo_Items18", Msg_HintInfo_Items18},
    {"Msg_AskInfo_Items1", "Msg_AskInfo_Items1", Msg_AskInfo_Items1},
    {"Msg_AskInfo_Items2", "Msg_AskInfo_Items2", Msg_AskInfo_Items2},
    {"Msg_AskInfo_Items4", "Msg_AskInfo_Items4", Msg_AskInfo_Items4},
    {"Msg_AskInfo_Items5", "Msg_AskInfo_Items5", Msg_AskInfo_Items5},
    {"Msg_Hint_Button1", "Msg_Hint_Button1", Msg_Hint_Button1},
    {"Msg_Ask_Button1", "Msg_Ask_Button1", Msg_Ask_Button1},
    {"Msg_Ask_Button2", "Msg_Ask_Button2", Msg_Ask_Button2},
};

} // namespace CaptionDefault
