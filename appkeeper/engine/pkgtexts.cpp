#include "pkgtexts.h"

#include "phonelanguage.h"

namespace {

struct Text
{
    const char* key;
    const char16_t* chinese;
    const char16_t* english;
};

// In the order of PkgText.
const Text kTexts[] = {
    {"Msg_HintInfo_Items7", u"您选择的PKG安装包不存在！", u"The PKG package you selected does not exist!"},
    {"Msg_HintInfo_Items8", u"系统无法创建临时安装文件夹！",
     u"The system cannot create the temporary install folder!"},
    {"Msg_HintInfo_Items9", u"系统无法创建软件安装注册文件！",
     u"The system cannot create the software install registry file!"},
    {"Msg_HintInfo_Items10", u"您选择的安装包不正确，系统无法解压安装包！",
     u"The package is not valid; the system cannot unpack it!"},
    {"Msg_HintInfo_Items11", u"您选择的安装包不正确，系统无法取得相关的安装注册信息文件！",
     u"The package is not valid; the system cannot get its registration file!"},
    {"Msg_HintInfo_Items12", u"您选择的安装包不正确，系统无法取得相关的安装注册信息！",
     u"The package is not valid; the system cannot get its registration information!"},
    {"Msg_HintInfo_Items13", u"无法安装PKG软件到系统目录！",
     u"Cannot install the PKG software into the system folder!"},
    {"Msg_HintInfo_Items14", u"无法注册软件信息！", u"Cannot register the software information!"},
    {"Msg_HintInfo_Items15", u"无法创建菜单项目！", u"Cannot create the menu entry!"},
    {"Msg_HintInfo_Items19", u"另一个安装正在进行，请稍后再试。",
     u"Another install is running; please try again later."},
    {"Msg_HintInfo_Items20", u"无法锁定手机的软件注册表，没有做任何更改。",
     u"The phone's software registries cannot be locked; nothing was changed."},
    {"Msg_HintInfo_Items21", u"存储卡空间不足：安装需要 %1 可用空间，卡上只有 %2。",
     u"The memory card is full: the install needs %1 free, the card has %2."},
    {"Msg_HintInfo_Items22", u"无法卸载此软件！", u"Cannot uninstall this application!"},
    {"Msg_HintInfo_Items23", u"没有 UID 为 %1 的软件。", u"No application has the UID %1."},
    {"Msg_HintInfo_Items24", u"本机的 tar 无法解压稀疏文件 %1，安装包未安装。",
     u"This phone's tar cannot unpack the sparse file %1; the package was not installed."},
    {"Msg_HintInfo_Items25", u"手机内存已满，无法记录此操作，没有做任何更改。",
     u"The phone memory is full and cannot record this operation; nothing was changed."},
    {"Msg_HintInfo_Items26", u"无法读取注册表 %1（不是普通文件、无法读取或大于 8 MB），其中的软件未列出。",
     u"The registry %1 cannot be read (no regular file, unreadable, or larger than 8 MB): its applications are not listed."},
};

const Text& text(PkgText which)
{
    return kTexts[int(which)];
}

} // namespace

QString pkgTextKey(PkgText which)
{
    return QLatin1String(text(which).key);
}

QString pkgTextIn(PkgText which, bool chinese)
{
    return QString::fromUtf16(chinese ? text(which).chinese : text(which).english);
}

QString pkgText(PkgText which)
{
    return pkgTextIn(which, phoneSpeaksChinese());
}

QString pkgSizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(double(bytes) / 1024, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}
