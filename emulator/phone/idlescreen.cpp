#include "idlescreen.h"

#include "amchannel.h"
#include "phonefiles.h"
#include "phonelanguage.h"
#include "safefile.h"
#include "stockicons.h"
#include "utilservicename.h"
#include "zconfig.h"
#include "zglobal.h"
#include "zmessagebox.h"
#include "zpushbutton.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QThread>
#include <QTimer>

#include <cstdio>

QString idleServiceName()
{
    char buffer[kServiceNameBufferSize] = {};
    UTIL_GetServiceName(buffer);
    const QString name = QString::fromUtf8(buffer).trimmed();
    return name.isEmpty() ? platformText(PlatformText::NoService) : name;
}

IdleView::IdleView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("idleView"));
}

QString IdleView::timeText() const
{
    const QDateTime now = m_fixed.isValid() ? m_fixed : QDateTime::currentDateTime();
    return now.toString(QStringLiteral("HH:mm"));
}

QString IdleView::dateText() const
{
    const QDateTime now = m_fixed.isValid() ? m_fixed : QDateTime::currentDateTime();
    if (phoneSpeaksChinese()) {
        static const char16_t* const days[] = {u"星期一", u"星期二", u"星期三", u"星期四",
                                               u"星期五", u"星期六", u"星期日"};
        return now.toString(QStringLiteral("yyyy-MM-dd ")) +
               QString::fromUtf16(days[now.date().dayOfWeek() - 1]);
    }
    return QLocale(QLocale::English).toString(now.date(), QStringLiteral("ddd d MMM yyyy"));
}

void IdleView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!m_wallpaper.isNull()) {
        const QImage scaled =
            m_wallpaper.scaled(size(), Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        p.drawImage((width() - scaled.width()) / 2, (height() - scaled.height()) / 2, scaled);
    } else {
        // The phone's own wallpaper: dusk blue over a soft horizon.
        QLinearGradient sky(0, 0, 0, height());
        sky.setColorAt(0, QColor(20, 40, 90));
        sky.setColorAt(0.65, QColor(70, 120, 190));
        sky.setColorAt(1, QColor(230, 170, 110));
        p.fillRect(rect(), sky);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 40));
        p.drawEllipse(QPointF(width() * 0.8, height() * 0.85), 90, 40);
        p.drawEllipse(QPointF(width() * 0.1, height() * 0.95), 110, 35);
    }
    // Time and date on a soft shadow, readable on any picture.
    QFont big = font();
    big.setPixelSize(48);
    big.setBold(true);
    QFont small = font();
    small.setPixelSize(15);
    const QRect timeBox(0, 24, width(), 60);
    const QRect dateBox(0, 84, width(), 24);
    p.setPen(QColor(0, 0, 0, 120));
    p.setFont(big);
    p.drawText(timeBox.translated(1, 2), Qt::AlignCenter, timeText());
    p.setFont(small);
    p.drawText(dateBox.translated(1, 1), Qt::AlignCenter, dateText());
    p.setPen(Qt::white);
    p.setFont(big);
    p.drawText(timeBox, Qt::AlignCenter, timeText());
    p.setFont(small);
    p.drawText(dateBox, Qt::AlignCenter, dateText());
}

IdleScreen::IdleScreen(QWidget* parent)
    : ZMainWidget(idleServiceName(), false, parent, "idleScreen")
{
    m_serviceName = caption();
    // Beneath every other window, and never taking the keys from one: the
    // screen's window keeper gives them to the idle screen when nothing
    // else is up.
    setWindowFlag(Qt::WindowStaysOnBottomHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_view = new IdleView(this);
    const ZConfig system(QLatin1String(phonefile::kSystemSettings), false);
    const QString wallpaper =
        system.readEntry(QStringLiteral("SYS_SYSTEM_SET"), QStringLiteral("Wallpaper"));
    if (!wallpaper.isEmpty())
        m_view->setWallpaper(loadPhonePicture(wallpaper, QSize(720, 960)));

    QWidget* strip = getCSTWidget(true);
    auto* menuKey = new ZPushButton(QStringLiteral("CST_Menu"), strip, ZPushButton::SoftKeyLeft, -1, -1);
    menuKey->setGeometry(ZGlobal::diffRect(ZGlobal::getCstR(), ZGlobal::getCst2_1R()));
    auto* keysKey = new ZPushButton(strip, ZPushButton::SoftKeyMiddle, -1, -1);
    keysKey->setText(platformText(PlatformText::Keys));
    keysKey->setGeometry(ZGlobal::diffRect(ZGlobal::getCstR(), ZGlobal::getCst2_2R()));
    connect(menuKey, &QAbstractButton::clicked, this, [this] { openMenu(); });
    connect(keysKey, &QAbstractButton::clicked, this, &IdleScreen::showKeys);

    // The clock turns over on the minute; a tick a second keeps it exact.
    m_tick = new QTimer(this);
    m_tick->setInterval(1000);
    connect(m_tick, &QTimer::timeout, m_view, qOverload<>(&QWidget::update));
    m_tick->start();
    m_view->installEventFilter(this);
}

void IdleScreen::showBelow()
{
    show();
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    // Where nobody keeps the idle screen at the bottom (no window keeper):
    // lowered, it leaves every later window (menu, applications, labels) on top.
    lower();
}

bool IdleScreen::openMenu(int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    do {
        if (askAm("show", 1000) == "shown")
            return true;
        QThread::msleep(50);
    } while (clock.elapsed() < waitMs);
    std::fprintf(stderr, "phone: no menu answered\n");
    ZMessageBox::timerMessage(this, QPixmap(), platformText(PlatformText::MenuStarting), 2);
    return false;
}

void IdleScreen::showKeys()
{
    ZMessageBox::information(this, QPixmap(), platformText(PlatformText::KeysHelp),
                             platformText(PlatformText::Ok));
}

void IdleScreen::resizeEvent(QResizeEvent* event)
{
    ZMainWidget::resizeEvent(event);
    m_view->setGeometry(0, ZGlobal::TitleHeight, width(),
                        qMax(0, height() - ZGlobal::TitleHeight - ZGlobal::CstHeight));
}

void IdleScreen::keyPressEvent(QKeyEvent* event)
{
    // The centre key on the idle screen opens the menu, as F1 does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openMenu();
        return;
    }
    ZMainWidget::keyPressEvent(event);
}

bool IdleScreen::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::Paint && !m_shownOnce) {
        m_shownOnce = true;
        QTimer::singleShot(0, this, [this] {
            std::printf("phone: idle screen shown (%s)\n", m_serviceName.toUtf8().constData());
            std::fflush(stdout);
            emit firstShown();
        });
    }
    return ZMainWidget::eventFilter(watched, event);
}
