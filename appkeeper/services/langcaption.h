#pragma once
// Text codecs, the program's identity, the phone's language and caption files.
//
// Every text appkeeper shows comes from readLabelCaption(key, default): the
// caption file "ezx_<program>_lang.cfg" holds one group per language code;
// a key missing from the current language's group is answered with the
// built-in default, which is also written there, so the file fills itself with
// every caption the program asks for and can then be edited or translated.
// Nothing is cached: each lookup opens and closes the files anew.

#include <QString>

class QTextCodec;
class QObject;

// The codecs, looked up once when the program is loaded.
extern QTextCodec* Text_codec;        // "GB2312" (the toolkit answers with GBK, a superset)
extern QTextCodec* Text_codec_Ascii;  // "GB2312" as well
extern QTextCodec* Text_codec_Utf8;   // "UTF-8"

// Where caption files live: true = the program's own folder (the program sets
// this first thing in main), false = "/ezx_user/download/appwrite/setup",
// filled from the program's folder when missing there.
extern bool Bool_LocalLanguage;

// The bytes decoded as GB2312 / GB2312 / UTF-8. A null pointer gives a null string.
QString Text_code(const char* bytes);
QString Text_code_ascii(const char* bytes);
QString Text_code_Utf8(const char* bytes);

// The program's folder: its first command-line argument up to and including
// the last "/" (empty when it has none); "/" without an application object.
QString getAppPath();

// The first command-line argument whole (full) or its last path component;
// "AppName" without an application object.
QString getAppName(bool full);

// The path of the program's caption file; creates it empty when missing.
QString getAppLangCfg();

// The phone's language code: "LanguageType" of group "SYS_SYSTEM_SET" in
// "/ezx_user/download/appwrite/setup/ezx_system.cfg", "zh-cn" when absent.
QString getLanguageType();

// The stored value of group/key in `file`; when the key is absent, stores
// `defaultText` there and returns it.
QString ReadWriteEntry(const QString& file, const QString& group, const QString& key,
                       const QString& defaultText);

// The caption of `key` in the current language from the program's caption file.
QString readLabelCaption(const QString& key, const QString& defaultText);
// The same with the widget's object name as the key.
QString readLabelCaption(const QObject* widget, const QString& defaultText);

// The package engine's message in the current language, from the caption
// file (key and Chinese default of pkgtexts.h), placeholders unfilled.
enum class PkgText;
QString pkgCaption(PkgText which);

// Button captions of the message boxes: readLabelCaption(key, defaultText).
QString getMsgButtonCaption(const QString& key, const QString& defaultText);

// Lookups in a named caption file of the caption folder instead of the
// program's own; the default untouched when that file cannot be made.
QString readLabelCaptionFromFile(const QString& fileName, const QString& key,
                                 const QString& defaultText);
QString readLabelCaptionFromFile(const QString& fileName, const QObject* widget,
                                 const QString& defaultText);

// Makes sure the named caption file exists in the caption folder; true when it does.
bool checkFileName(const QString& fileName);
