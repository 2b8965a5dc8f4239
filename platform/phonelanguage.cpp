#include "phonelanguage.h"

#include "zconfig.h"

QString phoneLanguage()
{
    const ZConfig system(QStringLiteral("/ezx_user/download/appwrite/setup/ezx_system.cfg"), false);
    return system.readEntry(QStringLiteral("SYS_SYSTEM_SET"), QStringLiteral("LanguageType"),
                            QStringLiteral("zh-cn"));
}

bool phoneSpeaksChinese()
{
    return phoneLanguage().startsWith(QLatin1String("zh"), Qt::CaseInsensitive);
}

QString platformText(PlatformText which)
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
    };
    const Pair& p = table[int(which)];
    return QString::fromUtf16(phoneSpeaksChinese() ? p.chinese : p.english);
}
