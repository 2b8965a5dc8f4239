#pragma once
// ZGlobal: the fixed screen rectangles of the 240 by 320 phone screen.
//
// Every rectangle is in screen coordinates. The main window has a title strip
// at the top, a soft-key (CST) strip at the bottom and the content between.
// Dialogs come in three sizes (small, middle, large); each has its own title,
// content and soft-key rectangles, and all three sizes share the soft-key strip
// at the bottom of the screen.

#include <QRect>

class ZGlobal
{
public:
    enum : int {
        ScreenWidth = 240,
        ScreenHeight = 320,
        TitleHeight = 24,
        CstHeight = 30,
    };

    static QRect getScreenR();      // the whole screen
    static QRect getTitleR();       // title strip of a main window
    static QRect getContentR();     // content area of a main window
    static QRect getCstR();         // soft-key strip of a main window

    // Positions of the keys in the soft-key strip when it holds three keys
    // (left, middle, right) or two keys (left, right).
    static QRect getCst3_1R();
    static QRect getCst3_2R();
    static QRect getCst3_3R();
    static QRect getCst2_1R();
    static QRect getCst2_2R();

    // The three dialog sizes: the whole dialog, its content area, its soft-key
    // strip and its title strip.
    static QRect getDlgSmallR();
    static QRect getDlgSmallConR();
    static QRect getDlgCstSR();
    static QRect getDlgTitleSR();
    static QRect getDlgMiddleR();
    static QRect getDlgMiddleConR();
    static QRect getDlgCstMR();
    static QRect getDlgTitleMR();
    static QRect getDlgLargeR();
    static QRect getDlgLargeConR();
    static QRect getDlgCstLR();
    static QRect getDlgTitleLR();

    // The two key positions of a dialog's soft-key strip (accepting, cancelling).
    static QRect getDlgA2a_1R();
    static QRect getDlgA2a_2R();

    // `inner` expressed relative to the top-left corner of `outer`.
    static QRect diffRect(const QRect& outer, const QRect& inner);
};
