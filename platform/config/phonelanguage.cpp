#include "phonelanguage.h"

#include "phonefiles.h"
#include "zconfig.h"

QString phoneLanguage()
{
    const ZConfig system(QLatin1String(phonefile::kSystemSettings), false);
    return system.readEntry(QStringLiteral("SYS_SYSTEM_SET"), QStringLiteral("LanguageType"),
                            QStringLiteral("zh-cn"));
}

bool phoneSpeaksChinese()
{
    return phoneLanguage().startsWith(QLatin1String("zh"), Qt::CaseInsensitive);
}

QString platformText(PlatformText which)
{
    return platformText(which, phoneSpeaksChinese());
}

bool textsAreChinese(const QStringList& texts)
{
    bool latin = false;
    for (const QString& text : texts) {
        for (const QChar c : text) {
            // The CJK ideographs and the full-width punctuation Chinese uses.
            const char16_t u = c.unicode();
            if ((u >= 0x4e00 && u <= 0x9fff) || (u >= 0x3400 && u <= 0x4dbf)
                || (u >= 0x3000 && u <= 0x303f) || (u >= 0xff00 && u <= 0xffef))
                return true;
            if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'))
                latin = true;
        }
    }
    return latin ? false : phoneSpeaksChinese();
}

QString platformText(PlatformText which, bool chinese)
{
    struct Pair
    {
        const char16_t* chinese;
        const char16_t* english;
    };
    static const Pair table[] = {
        {u"确定", u"OK"},
        {u"打开", u"Open"},
        {u"取消", u"Cancel"},
        {u"选择", u"Select"},
        {u"返回", u"Back"},
        {u"安装完成。", u"Installation complete."},
        {u"主菜单", u"Main menu"},
        {u"%1 是 Java 应用程序，需要手机的 Java 运行环境。",
         u"%1 is a Java application: it needs the phone's Java runtime."},
        {u"无法启动 %1。", u"%1 cannot be started."},
        {u"无服务", u"No service"},
        {u"菜单", u"Menu"},
        {u"按键", u"Keys"},
        {u"F1：左软键（菜单）\nF2：右软键（返回）\n回车：中间键（打开、启动）\n上下键：移动",
         u"F1: left soft key (menu)\nF2: right soft key (back)\nReturn: centre key (open, start)\nUp, Down: move"},
        {u"菜单正在启动，请稍候再试。", u"The menu is starting; try again in a moment."},
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
    return QString::fromUtf16(chinese ? p.chinese : p.english);
}
