#pragma once
// The platform's service name: the text the idle screen shows where it would
// show the network operator's name.
//
// The name is kept as raw bytes (UTF-8 by convention) in one small file of the
// phone's user tree, kServiceNamePath, mapped with phoneHostPath so that
// EZX_ROOT moves it. Setting replaces the file atomically (a temporary file
// beside it, renamed over it), so a reader sees either the old or the new name,
// never a cut one, and successive readings report the same name as long as
// nobody sets another.

#include <cstddef>

// Where the name lives, as a phone path.
extern const char* const kServiceNamePath;

// Size of the buffer UTIL_GetServiceName fills: at most 63 bytes of name and
// the terminating zero.
constexpr std::size_t kServiceNameBufferSize = 64;

// Makes `name` (zero-terminated bytes, stored unchanged and in full) the
// service name. Returns false, and leaves the stored name as it was, when
// `name` is null or the file cannot be written.
bool UTIL_SetServiceName(const char* name);

// Writes the current service name, zero-terminated, into `buffer`, which must
// hold kServiceNameBufferSize (64) bytes. Never writes more than 64 bytes: a
// longer name is cut to at most 63 bytes, at a UTF-8 character boundary, and
// a name stops at an embedded zero byte. When no name is stored, or it cannot
// be read, the buffer receives the empty name and false is returned.
bool UTIL_GetServiceName(char* buffer);

// The number of leading bytes of `bytes` (length `size`) that fit into `limit`
// bytes without splitting a UTF-8 character. A text that is not UTF-8 is cut
// at most three bytes before the limit.
std::size_t utf8PrefixLength(const char* bytes, std::size_t size, std::size_t limit);
