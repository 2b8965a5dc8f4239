#include "zglobal.h"

namespace {

constexpr int W = ZGlobal::ScreenWidth;
constexpr int H = ZGlobal::ScreenHeight;
constexpr int TH = ZGlobal::TitleHeight;
constexpr int CH = ZGlobal::CstHeight;
constexpr int CstTop = H - CH;

// Dialogs stand on the soft-key strip and reach up to their top edge.
constexpr int LargeTop = 0;
constexpr int MiddleTop = 110;
constexpr int SmallTop = 180;

QRect dialogR(int top) { return QRect(0, top, W, H - top); }
QRect dialogTitleR(int top) { return QRect(0, top, W, TH); }
QRect dialogConR(int top) { return QRect(0, top + TH, W, CstTop - top - TH); }

} // namespace

QRect ZGlobal::getScreenR() { return QRect(0, 0, W, H); }
QRect ZGlobal::getTitleR() { return QRect(0, 0, W, TH); }
QRect ZGlobal::getContentR() { return QRect(0, TH, W, CstTop - TH); }
QRect ZGlobal::getCstR() { return QRect(0, CstTop, W, CH); }

QRect ZGlobal::getCst3_1R() { return QRect(0, CstTop, 70, CH); }
QRect ZGlobal::getCst3_2R() { return QRect(70, CstTop, 100, CH); }
QRect ZGlobal::getCst3_3R() { return QRect(170, CstTop, 70, CH); }
QRect ZGlobal::getCst2_1R() { return QRect(0, CstTop, W / 2, CH); }
QRect ZGlobal::getCst2_2R() { return QRect(W / 2, CstTop, W / 2, CH); }

QRect ZGlobal::getDlgSmallR() { return dialogR(SmallTop); }
QRect ZGlobal::getDlgSmallConR() { return dialogConR(SmallTop); }
QRect ZGlobal::getDlgCstSR() { return getCstR(); }
QRect ZGlobal::getDlgTitleSR() { return dialogTitleR(SmallTop); }

QRect ZGlobal::getDlgMiddleR() { return dialogR(MiddleTop); }
QRect ZGlobal::getDlgMiddleConR() { return dialogConR(MiddleTop); }
QRect ZGlobal::getDlgCstMR() { return getCstR(); }
QRect ZGlobal::getDlgTitleMR() { return dialogTitleR(MiddleTop); }

QRect ZGlobal::getDlgLargeR() { return dialogR(LargeTop); }
QRect ZGlobal::getDlgLargeConR() { return dialogConR(LargeTop); }
QRect ZGlobal::getDlgCstLR() { return getCstR(); }
QRect ZGlobal::getDlgTitleLR() { return dialogTitleR(LargeTop); }

QRect ZGlobal::getDlgA2a_1R() { return getCst2_1R(); }
QRect ZGlobal::getDlgA2a_2R() { return getCst2_2R(); }

QRect ZGlobal::diffRect(const QRect& outer, const QRect& inner)
{
    return QRect(inner.x() - outer.x(), inner.y() - outer.y(), inner.width(), inner.height());
}
