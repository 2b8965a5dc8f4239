#include "amtexts.h"

#include "phonelanguage.h"

QString amText(AmText which)
{
    struct Pair
    {
        const char16_t* chinese;
        const char16_t* english;
    };
    static const Pair table[] = {
        {u"它的文件夹 %1 不存在。", u"Its folder %1 is missing."},
        {u"%1 不是应用程序自己的文件夹。", u"Its folder %1 is not an application's own folder."},
        {u"它的程序 %1 不存在。", u"Its program %1 is missing."},
        {u"它的程序 %1 指向其文件夹之外。", u"Its program %1 leads out of its folder."},
        {u"%1 不是可执行的程序。", u"%1 is not a program."},
        {u"这是为其他处理器（%1）编译的程序；本机运行 %2 程序。",
         u"It is a program for another processor (%1); this phone runs %2 programs."},
        {u"系统无法运行该程序。", u"The system could not run the program."},
        {u"此文件夹中没有应用程序。", u"There are no applications in this folder."},
        {u"菜单中没有文件夹。", u"The menu has no folders."},
    };
    const Pair& p = table[int(which)];
    return QString::fromUtf16(phoneSpeaksChinese() ? p.chinese : p.english);
}
