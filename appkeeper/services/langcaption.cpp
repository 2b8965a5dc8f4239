#include "langcaption.h"

#include "phonelanguage.h"
#include "phonepath.h"
#include "pkgtexts.h"
#include "shellrunner.h"
#include "zconfig.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextCodec>
#include <QObject>

QTextCodec* Text_codec = QTextCodec::codecForName("GB2312");
QTextCodec* Text_codec_Ascii = QTextCodec::codecForName("GB2312");
QTextCodec* Text_codec_Utf8 = QTextCodec::codecForName("UTF-8");

bool Bool_LocalLanguage = false;

namespace {

const char kSetupDir[] = "/ezx_user/download/appwrite/setup";

// A caption stored blank (a translator's unfinished line) would blank a
// title, a soft key or a message-box button: the built-in text stands in for
// it, and the file is left as it is.
QString shownCaption(const QString& stored, const QString& defaultText)
{
    return stored.trimmed().isEmpty() ? defaultText : stored;
}

QString decode(QTextCodec* codec, const char* bytes)
{
    if (!bytes)
        return QString();
    if (!codec)  // never the case with Qt's own codecs; keeps the text readable regardless
        return QString::fromLatin1(bytes);
    return codec->toUnicode(bytes);
}

// The application object's first argument; false when there is none.
bool firstArgument(QString* arg)
{
    if (!QCoreApplication::instance())
        return false;
    const QStringList args = QCoreApplication::arguments();
    if (args.isEmpty())
        return false;
    *arg = args.first();
    return true;
}

QString setupPath(const QString& fileName)
{
    return QLatin1String(kSetupDir) + QLatin1Char('/') + fileName;
}

// Where a caption file of this name lives in the current mode.
QString captionFolderPath(const QString& fileName)
{
    return Bool_LocalLanguage ? getAppPath() + fileName : setupPath(fileName);
}

void copyFromProgramFolder(const QString& fileName, const QString& target)
{
    runShellCommand(QStringLiteral("cp -f ") + shellPath(getAppPath() + fileName)
                    + QLatin1Char(' ') + shellPath(target));
}

} // namespace

QString Text_code(const char* bytes)
{
    return decode(Text_codec, bytes);
}

QString Text_code_ascii(const char* bytes)
{
    return decode(Text_codec_Ascii, bytes);
}

QString Text_code_Utf8(const char* bytes)
{
    return decode(Text_codec_Utf8, bytes);
}

QString getAppPath()
{
    QString arg;
    if (!firstArgument(&arg))
        return QStringLiteral("/");
    return arg.left(arg.lastIndexOf(QLatin1Char('/')) + 1);
}

QString getAppName(bool full)
{
    QString arg;
    if (!firstArgument(&arg))
        return QStringLiteral("AppName");
    if (full)
        return arg;
    return arg.mid(arg.lastIndexOf(QLatin1Char('/')) + 1);
}

QString getAppLangCfg()
{
    QString name = getAppName(false);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    const QString fileName = QStringLiteral("ezx_") + name + QStringLiteral("_lang.cfg");

    QString path;
    if (Bool_LocalLanguage) {
        path = getAppPath() + fileName;
    } else {
        path = setupPath(fileName);
        // Anything already there (a folder included) is left alone: cp would
        // put the copy inside a folder.
        if (!phoneExists(path))
            copyFromProgramFolder(fileName, path);
    }
    // A caption file that cannot be made is no error: lookups then answer
    // with their defaults.
    if (!phoneIsFile(path))
        phoneTouchFile(path);
    return path;
}

QString getLanguageType()
{
    return phoneLanguage();
}

QString ReadWriteEntry(const QString& file, const QString& group, const QString& key,
                       const QString& defaultText)
{
    ZConfig cfg(file, false);
    const QString stored = cfg.readEntry(group, key, QString());
    if (!stored.isNull())
        return stored;
    // A failed write leaves the file as it was; the default is still the answer.
    cfg.writeEntry(group, key, defaultText);
    return defaultText;
}

QString readLabelCaption(const QString& key, const QString& defaultText)
{
    // A key-less lookup (a widget without object name) has no entry to read
    // or to fill.
    if (key.isEmpty())
        return defaultText;
    const QString language = getLanguageType();
    const QString file = getAppLangCfg();
    return shownCaption(ReadWriteEntry(file, language, key, defaultText), defaultText);
}

QString readLabelCaption(const QObject* widget, const QString& defaultText)
{
    return widget ? readLabelCaption(widget->objectName(), defaultText) : defaultText;
}

QString pkgCaption(PkgText which)
{
    return readLabelCaption(pkgTextKey(which), pkgTextIn(which, true));
}

QString getMsgButtonCaption(const QString& key, const QString& defaultText)
{
    return readLabelCaption(key, defaultText);
}

QString readLabelCaptionFromFile(const QString& fileName, const QString& key,
                                 const QString& defaultText)
{
    if (fileName.isEmpty() || key.isEmpty())
        return defaultText;
    const QString language = getLanguageType();
    const QString path = captionFolderPath(fileName);
    if (!checkFileName(fileName))
        return defaultText;
    return shownCaption(ReadWriteEntry(path, language, key, defaultText), defaultText);
}

QString readLabelCaptionFromFile(const QString& fileName, const QObject* widget,
                                 const QString& defaultText)
{
    return widget ? readLabelCaptionFromFile(fileName, widget->objectName(), defaultText)
                  : defaultText;
}

bool checkFileName(const QString& fileName)
{
    if (fileName.isEmpty())
        return false;
    const QString path = captionFolderPath(fileName);
    if (phoneIsFile(path))
        return true;
    if (!Bool_LocalLanguage && !phoneExists(path) && phoneIsFile(getAppPath() + fileName)) {
        copyFromProgramFolder(fileName, path);
        return phoneIsFile(path);
    }
    phoneTouchFile(path);
    return phoneIsFile(path);
}
