#pragma once
// Trimming and cutting of short 8-bit texts: UID lists of the menu tree and
// the autorun list, lines of a Java application's registry.txt. Everything
// works on single bytes; a QString is taken as Latin-1, so characters outside
// Latin-1 do not survive (the texts served hold only ASCII).

#include <QString>
#include <string>

// `s` without its leading and trailing blanks (the byte 0x20 only; tabs and
// line ends are ordinary characters).
std::string DelSpaceISO(std::string s);

// The same trimming on the Latin-1 bytes of `s`.
QString DelSpace(QString s);

// `text` with the first occurrence of `pattern` removed (letter case
// significant). An empty pattern, or one longer than the text, leaves the
// text as it is.
QString StrDelete(QString text, QString pattern);

// `text`, a list of entries separated by ";", with the first occurrence of
// `pattern` removed whose ends fall on entry boundaries (the start or end of
// the list, or a ";"), so that a cut never eats into a longer entry that
// merely contains the pattern ("chess" is not cut out of "chess2"). Works on
// the text itself, so other characters of a hand-edited list survive.
QString StrDeleteEntry(QString text, const QString& pattern);

// `list` without the entry `uid` in any of the forms a list can hold it
// (";uid", "uid;", "uid" alone, each cut once as whole entries).
QString listWithoutEntry(const QString& list, const QString& uid);

// True when the list holds `uid` as a whole entry.
bool listHasEntry(const QString& list, const QString& uid);
