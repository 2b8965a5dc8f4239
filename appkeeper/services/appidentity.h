#pragma once
// Application UIDs and names in the platform's registries.
//
// A UID is the 36-character lower-case UUID text that names an application's
// record (its group) in every registry. CreateUID() makes one that no registry
// holds yet; getAppNameInfo()/setAppNameInfo() read and change the record's
// "Name".

#include <QString>
#include <functional>

// A fresh UID: candidate i (from 0) is drawn after seeding the random source
// with the current time in seconds plus i (the program's own source is the
// system's random generator, which ignores the seed), and is returned when none of the
// user, installed-application, system, card and preloaded-application
// registries has a group of that name. After 55,535 taken candidates the last one is returned in braces.
QString CreateUID();

// The application's name from the first of the installed-application, user,
// preloaded-application and card registries that has one; null when `uid` is
// null or none has.
QString getAppNameInfo(const QString& uid);

// Writes "Name" = `name` into the first registry (same order) that has the
// group `uid`. -1: `uid` or `name` null; 0: no registry has the group, or the
// file could not be written; 1: written.
int setAppNameInfo(const QString& uid, const QString& name);

// Where CreateUID takes its time and random numbers from. The program uses
// time(0) and the system's random generator (QRandomGenerator::system());
// tests put in their own to fix the candidates.
// next() must answer between 0 and 2^31 - 1.
struct UidRandomSource
{
    std::function<long long()> now;              // seconds
    std::function<void(unsigned int)> seed;
    std::function<long long()> next;
};

// Installs `source` (members left empty take the program's defaults) and
// returns the previous one.
UidRandomSource setUidRandomSource(UidRandomSource source);
