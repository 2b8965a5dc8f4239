#pragma once
// The command-line forms of appkeeper besides its main window.

// Writes the identification line ("vortelin", CR LF) to standard output.
void DisHelp();

// Runs the install dialog modally on `path` (a null pointer gives an empty
// package field). Needs the application object.
void InstallPKG(const char* path);
