#pragma once
// The start-at-boot list: key "Apps" of group "AutoRun" in
// "/ezx_user/download/appwrite/setup/ezx_sysregistry.cfg", UIDs separated by
// ";" in the order they were added. The list is read at boot by modified
// firmware; without that file the feature is unavailable and nothing here
// creates it.
//
// Results: -1 the file does not exist; 0 `uid` is null, empty or holds a ";"
// (no entry can be that), or the list could not be written, or (for
// checkAppAutorun) it is not listed; 1 done.
//
// "Listed" means the text occurs in the list anywhere, also inside a longer
// entry. Deleting cuts whole entries only, so it never changes another one.

#include <QString>

// 1 when `uid` occurs in the list (as text, anywhere in it).
int checkAppAutorun(const QString& uid);

// Appends `uid` unless the list already holds it; 1 when it is listed afterwards.
int addAppAutorun(const QString& uid);

// Removes `uid` from the list; 1 when it is no longer listed (also when it never was).
int deleteAppAutorun(const QString& uid);
