#include "am_global.h"

#include "stockicons.h"
#include "zconfig.h"
#include "zmessagebox.h"

namespace {

// The platform speaks the phone's language: Chinese for a "zh" language
// (the phone's default when none is set), English for any other.
bool phoneSpeaksChinese()
{
    const ZConfig system(QStringLiteral("/ezx_user/download/appwrite/setup/ezx_system.cfg"), false);
    const QString language = system.readEntry(QStringLiteral("SYS_SYSTEM_SET"),
                                              QStringLiteral("LanguageType"), QStringLiteral("zh-cn"));
    return language.startsWith(QLatin1String("zh"), Qt::CaseInsensitive);
}

} // namespace

void AM_Global::installCompleteMessageBox(QWidget* parent)
{
    const bool chinese = phoneSpeaksChinese();
    ZMessageBox::information(parent, stockIcon(QStringLiteral("AM_InstallComplete")),
                             chinese ? QStringLiteral("安装完成。") : QStringLiteral("Installation complete."),
                             chinese ? QStringLiteral("确定") : QStringLiteral("OK"));
}
