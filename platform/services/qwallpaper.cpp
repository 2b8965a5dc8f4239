#include "qwallpaper.h"

namespace {
QWallpaper::Mode g_mode = QWallpaper::Normal;
int g_changes = 0;
}

void QWallpaper::setAppWallpaperMode(Mode mode)
{
    // On a desktop the windows of the program are drawn over the desktop's own
    // background: the chosen mode is kept for whoever asks.
    g_mode = mode;
    ++g_changes;
}

QWallpaper::Mode QWallpaper::appWallpaperMode()
{
    return g_mode;
}

int QWallpaper::modeChanges()
{
    return g_changes;
}
