#pragma once
// QWallpaper: how the screen's wallpaper stands behind an application's
// windows. The programs only choose a mode once at start-up.

class QWallpaper
{
public:
    enum Mode {
        Normal = 0,      // the desktop's wallpaper behind the application
        Transparent = 1, // windows let the wallpaper show through
        NoWallpaper = 2  // the application paints the whole screen itself
    };

    static void setAppWallpaperMode(Mode mode);
    // The mode last chosen (Normal before any call) and how often one was chosen.
    static Mode appWallpaperMode();
    static int modeChanges();
};
