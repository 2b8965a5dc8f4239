#include "slideloader.h"

#include "phonerawfiles.h"
#include "slideflow.h"
#include "slidemotion.h"
#include "thumbnailcache.h"

#include <QEventLoop>
#include <QFile>
#include <QImageReader>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

// --- PresenceIndex

void PresenceIndex::reset(int size)
{
    m_tree.assign(size_t(size) + 1, 0);
    for (int i = 1; i <= size; ++i) { // every entry present: built in linear time
        m_tree[size_t(i)] += 1;
        const int parent = i + (i & -i);
        if (parent <= size)
            m_tree[size_t(parent)] += m_tree[size_t(i)];
    }
    m_present = size;
}

void PresenceIndex::remove(int entry)
{
    for (int i = entry + 1; i < int(m_tree.size()); i += i & -i)
        --m_tree[size_t(i)];
    --m_present;
}

int PresenceIndex::presentBefore(int entry) const
{
    int sum = 0;
    for (int i = entry; i > 0; i -= i & -i)
        sum += m_tree[size_t(i)];
    return sum;
}

int PresenceIndex::nth(int n) const
{
    if (n < 0 || n >= m_present)
        return -1;
    const int size = int(m_tree.size()) - 1;
    int pos = 0;
    int step = 1;
    while (step * 2 <= size)
        step *= 2;
    // The largest position whose prefix holds no more than n present entries.
    for (; step > 0; step /= 2) {
        if (pos + step <= size && m_tree[size_t(pos + step)] <= n) {
            pos += step;
            n -= m_tree[size_t(pos)];
        }
    }
    return pos; // 0-based: the entry after that prefix
}

namespace {

// Enough of a file to recognise any of the formats, an SVG's XML prologue
// included.
constexpr int kHeadBytes = 512;

// No more pixels than the slide shows: each side at most the slide's.
QImage toSlide(const QImage& picture, QSize slideSize)
{
    if (picture.isNull())
        return picture;
    const QSize kept(qMin(picture.width(), slideSize.width()), qMin(picture.height(), slideSize.height()));
    if (kept == picture.size())
        return picture;
    return picture.scaled(kept, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// A picture whose visible parts are nearly white (a light logo on nothing)
// would vanish on the viewer's white background: its transparent parts are
// laid on grey instead. Any other picture keeps its transparency, which
// shows the background.
QImage visibleOnWhite(const QImage& slide)
{
    if (slide.isNull() || !slide.hasAlphaChannel())
        return slide;
    const QImage argb = slide.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    qint64 coverage = 0, light = 0;
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const int a = qAlpha(row[x]);
            coverage += a;
            // Premultiplied: a colour's lightness times its opacity.
            light += (qRed(row[x]) * 11 + qGreen(row[x]) * 16 + qBlue(row[x]) * 5) / 32;
        }
    }
    const qint64 full = qint64(argb.width()) * argb.height() * 255;
    // Opaque enough to be seen, transparent enough to vanish, and light: on
    // average within a tenth of white where it is drawn.
    if (coverage == 0 || coverage > full * 95 / 100 || light * 10 < coverage * 9)
        return slide;
    QImage flat(argb.size(), QImage::Format_RGB32);
    flat.fill(qRgb(128, 128, 128));
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        QRgb* out = reinterpret_cast<QRgb*>(flat.scanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const int keep = 255 - qAlpha(in[x]);
            out[x] = qRgb(qRed(in[x]) + qRed(out[x]) * keep / 255, qGreen(in[x]) + qGreen(out[x]) * keep / 255,
                          qBlue(in[x]) + qBlue(out[x]) * keep / 255);
        }
    }
    return flat;
}

} // namespace

SlideLoader::SlideLoader(SlideFlow* flow)
    : QObject(flow)
    , m_flow(flow)
{
    // Every step of the motion moves the window along with it.
    connect(&flow->motion().stepTimer, &QTimer::timeout, this, &SlideLoader::followFlow);
}

SlideLoader::~SlideLoader()
{
    stopWorkers();
}

void SlideLoader::stopWorkers()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancel = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_workers)
        t.join();
    m_workers.clear();
    if (m_tidier.joinable())
        m_tidier.join();
}

QByteArray SlideLoader::nameOf(int entry) const
{
    const Entry& e = m_entries[size_t(entry)];
    return QByteArray(m_names.constData() + e.nameStart, e.nameLength);
}

int SlideLoader::start(const QByteArray& folder, const QList<QByteArray>& names)
{
    stopWorkers();
    m_cancel = false;
    m_ready.clear(); // anything decoded for an earlier start
    m_folder = folder;
    while (m_folder.size() > 1 && m_folder.endsWith('/'))
        m_folder.chop(1);
    m_slideSize = m_flow->slideSize();

    // The names, packed one after the other: a folder of ten thousand
    // pictures costs a few hundred kilobytes here.
    m_names.clear();
    m_entries.clear();
    qsizetype bytes = 0;
    for (const QByteArray& name : names)
        bytes += name.size();
    m_names.reserve(bytes);
    m_entries.reserve(size_t(names.size()));
    for (const QByteArray& name : names) {
        if (name.isEmpty() || name.size() > 0xFFFF)
            continue;
        Entry e;
        e.nameStart = quint32(m_names.size());
        e.nameLength = quint16(name.size());
        m_names += name;
        m_entries.push_back(e);
    }
    const int count = int(m_entries.size());

    // Slides already in the flow stay before the folder's.
    m_firstIndex = m_flow->slideCount();
    for (int i = 0; i < count; ++i)
        m_flow->addSlide(QImage());
    m_flow->setCenterIndex(m_flow->slideCount() / 2);
    m_untouched = true;
    m_placedCentre = m_flow->centerIndex();
    m_present.reset(count);
    m_shown.clear();
    m_unopened = count;
    m_unopenedIdle = count;
    m_wasFinished = true; // told by the first check, queued below
    followFlow();
    m_wasFinished = false;
    QTimer::singleShot(0, this, &SlideLoader::checkFinished);
    if (count == 0)
        return 0;

    if (m_useCache)
        m_tidier = std::thread(&SlideLoader::tidyCache, this);
    int threads = m_threadCount > 0 ? m_threadCount : std::clamp(QThread::idealThreadCount(), 1, 4);
    threads = std::min(threads, count);
    for (int t = 0; t < threads; ++t) {
        try {
            m_workers.emplace_back(&SlideLoader::work, this);
        } catch (const std::system_error&) {
            break;
        }
    }
    if (m_workers.empty()) { // no thread to be had: decode here, one by one
        m_decodeInline = true;
        work();
        m_decodeInline = false;
    }
    return count;
}

void SlideLoader::tidyCache()
{
    // The folder's thumbnails of pictures no longer there go, judged by the
    // whole listing; an empty one may be a folder that could not be read.
    if (m_entries.empty())
        return;
    QSet<QByteArray> present;
    present.reserve(qsizetype(m_entries.size()));
    for (int i = 0; i < int(m_entries.size()); ++i)
        present.insert(nameOf(i));
    ThumbnailCache(phoneHostPathRaw(m_folder))
        .tidy([&present](const QByteArray& name) { return present.contains(name); }, &m_cancel);
}

bool SlideLoader::wanted(int entry) const
{
    const Entry& e = m_entries[size_t(entry)];
    if (e.busy || e.state == State::Gone)
        return false;
    return e.state == State::Unopened || (entry >= m_low && entry <= m_high && !e.shown);
}

int SlideLoader::takeNextEntry()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_cancel)
            return -1;
        // The wanted entry nearest to the focus; on a tie the one after it,
        // so that the centre fills first, then both sides in turn. With
        // every file opened once, only the window can want anything.
        const int n = int(m_entries.size());
        const int focus = std::clamp(m_focus, 0, qMax(0, n - 1));
        const int low = m_unopenedIdle > 0 ? 0 : std::max(0, m_low);
        const int high = m_unopenedIdle > 0 ? n - 1 : std::min(n - 1, m_high);
        int found = -1;
        for (int d = 0; found < 0 && (focus + d <= high || focus - d >= low); ++d) {
            if (focus + d <= high && focus + d >= low && wanted(focus + d))
                found = focus + d;
            else if (d > 0 && focus - d >= low && focus - d <= high && wanted(focus - d))
                found = focus - d;
        }
        if (found >= 0) {
            Entry& e = m_entries[size_t(found)];
            e.busy = true;
            if (e.state == State::Unopened)
                --m_unopenedIdle;
            return found;
        }
        if (m_decodeInline)
            return -1;
        m_wake.wait(lock);
    }
}

void SlideLoader::work()
{
    for (int entry = takeNextEntry(); entry >= 0; entry = takeNextEntry()) {
        QByteArray name;
        PictureFormat format;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            name = nameOf(entry);
            format = m_entries[size_t(entry)].format;
        }
        PictureFormat recognised = format;
        QImage slide = decodeSlide(m_folder, name, format, m_slideSize, m_useCache, m_hook, &recognised);
        if (m_cancel)
            return;
        bool first;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const bool picture = !slide.isNull();
            // Outside the window by now: only what the file turned out to be
            // is kept, not its pixels.
            if (entry < m_low || entry > m_high)
                slide = QImage();
            first = m_ready.empty();
            m_ready.push_back(Result{entry, slide, picture, recognised});
        }
        if (m_decodeInline) {
            deliverReady();
            continue;
        }
        // Slides decoded while the GUI thread is busy (drawing a frame, say)
        // reach the flow together, in one frame.
        if (first)
            QMetaObject::invokeMethod(this, &SlideLoader::deliverReady, Qt::QueuedConnection);
    }
}

QImage SlideLoader::decodeSlide(const QByteArray& folder, const QByteArray& name, PictureFormat format,
                                QSize slideSize, bool useCache,
                                const std::function<void(const QByteArray&)>& hook,
                                PictureFormat* recognised)
{
    const QByteArray path = folder + '/' + name;
    const int fd = phoneOpenReadRaw(path);
    if (fd < 0)
        return QImage();
    struct stat before;
    QFile file;
    if (::fstat(fd, &before) != 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QImage();
    }
    if (hook)
        hook(path);
    if (format == PictureFormat::None)
        format = sniffPictureFormat(file.peek(kHeadBytes), name);
    if (recognised)
        *recognised = format;
    if (format == PictureFormat::None)
        return QImage();

    const ThumbnailCache cache(phoneHostPathRaw(folder));
    const qint64 mtime = qint64(before.st_mtime);
    if (useCache) {
        // Straight to the slide's size: each side reduced on its own.
        const QImage thumbnail = cache.load(name, mtime, slideSize, false);
        if (!thumbnail.isNull())
            return visibleOnWhite(thumbnail);
    }

    // Only pictures of more than a megapixel (sixteen times a thumbnail's
    // pixels) get one: a smaller picture decodes about as fast as its
    // compressed thumbnail reads.
    auto worthAThumbnail = [useCache](QSize size) {
        return useCache && qint64(size.width()) * size.height() > 16 * qint64(ThumbnailCache::kSide) * ThumbnailCache::kSide;
    };
    // Decoded to fit the thumbnail's size when it is to be kept, else to
    // twice the slide's: enough for a smooth reduction to the slide. A JPEG
    // that gets no thumbnail stops at libjpeg's own reduction nearest above
    // twice the slide's size.
    const QSize box = useCache ? ThumbnailCache::box().expandedTo(slideSize) : slideSize * 2;
    QSize enough = slideSize * 2;
    if (format == PictureFormat::Jpeg && useCache) {
        QImageReader header(&file, "jpeg");
        if (worthAThumbnail(header.size()))
            enough = box;
        file.seek(0);
    }
    QSize full;
    bool complete = true;
    const QImage picture = decodePictureReduced(&file, format, box, &PixelBudget::shared(), &full, enough, &complete);
    if (picture.isNull())
        return picture;
    // A picture cut short is shown as far as it goes, but never kept: the
    // rest may still arrive.
    if (complete && worthAThumbnail(full)) {
        // Kept only when the file did not change while it was read: a file
        // rewritten meanwhile may have given a mixture of old and new.
        struct stat after;
        if (::fstat(fd, &after) == 0 && after.st_mtime == before.st_mtime
            && after.st_mtim.tv_nsec == before.st_mtim.tv_nsec && after.st_size == before.st_size)
            cache.store(name, mtime, picture);
    }
    return visibleOnWhite(toSlide(picture, slideSize));
}

void SlideLoader::deliverReady()
{
    std::vector<Result> ready;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ready.swap(m_ready);
    }
    for (const Result& r : ready)
        deliver(r);
    followFlow();
}

int SlideLoader::flowIndexOf(int entry) const
{
    return m_firstIndex + m_present.presentBefore(entry);
}

int SlideLoader::entryAt(int flowIndex) const
{
    return m_present.nth(flowIndex - m_firstIndex);
}

void SlideLoader::deliver(const Result& r)
{
    if (r.entry < 0 || r.entry >= int(m_entries.size()))
        return;
    State was;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Entry& e = m_entries[size_t(r.entry)];
        was = e.state;
        e.busy = false;
        if (was != State::Gone) {
            e.state = r.picture ? State::Picture : State::Gone;
            e.format = r.format;
        }
        if (r.picture && !r.slide.isNull() && !e.shown) {
            e.shown = true;
            m_shown.push_back(r.entry);
        }
    }
    if (was == State::Unopened)
        --m_unopened;
    if (was == State::Gone)
        return;
    const int index = flowIndexOf(r.entry);
    if (!r.picture) {
        m_present.remove(r.entry);
        const bool middle = untouched();
        m_flow->removeSlide(index);
        if (middle) {
            m_flow->setCenterIndex(m_flow->slideCount() / 2);
            m_placedCentre = m_flow->centerIndex();
        }
    } else if (!r.slide.isNull()) {
        m_flow->setSlide(index, r.slide);
    }
}

bool SlideLoader::untouched()
{
    if (m_flow->motion().isMoving() || m_flow->centerIndex() != m_placedCentre)
        m_untouched = false;
    return m_untouched;
}

void SlideLoader::followFlow()
{
    untouched();
    const int count = m_present.presentCount();
    int low = 0, high = -1, focus = 0;
    if (count > 0) {
        const int last = count - 1;
        const int centre = std::clamp(m_flow->centerIndex() - m_firstIndex, 0, last);
        const int target = std::clamp((m_flow->motion().isMoving() ? m_flow->motion().targetIndex
                                                                   : m_flow->centerIndex()) - m_firstIndex,
                                      0, last);
        const int lowSlide = std::max(0, std::min(centre, target) - m_radius);
        const int highSlide = std::min(last, std::max(centre, target) + m_radius);
        low = m_present.nth(lowSlide);
        high = m_present.nth(highSlide);
        focus = m_present.nth(target);
        // Slides that left the window give their pixels back.
        std::vector<int> evicted;
        for (size_t i = 0; i < m_shown.size();) {
            const int slide = m_present.presentBefore(m_shown[i]);
            if (slide < lowSlide || slide > highSlide) {
                evicted.push_back(m_shown[i]);
                m_flow->setSlide(m_firstIndex + slide, QImage());
                m_shown[i] = m_shown.back();
                m_shown.pop_back();
            } else {
                ++i;
            }
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int e : evicted)
            m_entries[size_t(e)].shown = false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_low = low;
        m_high = high;
        m_focus = focus;
    }
    m_wake.notify_all();
    checkFinished();
}

bool SlideLoader::isFinished() const
{
    if (m_unopened > 0)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = std::max(0, m_low); i <= m_high && i < int(m_entries.size()); ++i) {
        const Entry& e = m_entries[size_t(i)];
        if (e.state == State::Picture && !e.shown)
            return false;
    }
    return true;
}

void SlideLoader::checkFinished()
{
    const bool now = isFinished();
    const bool news = now && !m_wasFinished;
    m_wasFinished = now;
    if (news)
        emit finished();
}

bool SlideLoader::waitForFinished(int msecs)
{
    if (isFinished())
        return true;
    QEventLoop loop;
    connect(this, &SlideLoader::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    loop.exec();
    return isFinished();
}
