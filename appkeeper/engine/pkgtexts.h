#pragma once
// The package engine's messages, in the phone's language.
//
// The software manager shows them through its caption file (each has a
// caption key, so a translation can replace it); the package tool for
// scripts prints them as they stand, Chinese on a Chinese phone, English
// otherwise.

#include <QString>

enum class PkgText {
    // The install steps that can fail, as the install dialog names them.
    NoPackage,           // "Msg_HintInfo_Items7"
    NoInstallArea,       // "Msg_HintInfo_Items8"
    NoCardRegistry,      // "Msg_HintInfo_Items9"
    NotUnpacked,         // "Msg_HintInfo_Items10"
    NoDesktopFile,       // "Msg_HintInfo_Items11"
    NoDesktopName,       // "Msg_HintInfo_Items12"
    NotCopied,           // "Msg_HintInfo_Items13"
    NotRegistered,       // "Msg_HintInfo_Items14"
    NoMenuEntry,         // "Msg_HintInfo_Items15"
    // Writers, space and the rest.
    WriterBusy,          // another writer holds the lock
    WriterUnavailable,   // the lock cannot be taken at all
    CardFull,            // %1: bytes needed, %2: bytes free
    UninstallFailed,
    NoSuchApplication,   // %1: the UID
    SparseNotUnpacked,   // %1: the member's path
    NoJournal,           // the journal cannot be written in phone memory
    RegistryUnreadable,  // %1: the registries that cannot be read
};

// The caption key of the message.
QString pkgTextKey(PkgText which);

// The message in Chinese (chinese true) or English, placeholders unfilled.
QString pkgTextIn(PkgText which, bool chinese);

// The message in the phone's language, placeholders unfilled.
QString pkgText(PkgText which);

// A size for people: "512 B", "12.0 KB", "5.3 MB".
QString pkgSizeText(qint64 bytes);
