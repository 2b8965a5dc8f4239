#include "slideloader.h"

#include "phonerawfiles.h"
#include "slideflow.h"
#include "slidemotion.h"
#include "thumbnailcache.h"

#include <QEventLoop>
#include <QFile>
#include <QImageReader>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

namespace {

// Enough of a file to recognise any of the formats, an SVG's XML prologue
// included.
constexpr int kHeadBytes = 512;

QByteArray readHead(const QByteArray& path)
{
    const int fd = phoneOpenReadRaw(path);
    if (fd < 0)
        return QByteArray();
    QByteArray head(kHeadBytes, '\0');
    qsizetype got = 0;
    while (got < head.size()) {
        const ssize_t n = ::read(fd, head.data() + got, size_t(head.size() - got));
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    head.truncate(got);
    return head;
}

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

} // namespace

SlideLoader::SlideLoader(SlideFlow* flow)
    : QObject(flow)
    , m_flow(flow)
{
}

SlideLoader::~SlideLoader()
{
    stopWorkers();
}

void SlideLoader::stopWorkers()
{
    m_cancel = true;
    for (std::thread& t : m_workers)
        t.join();
    m_workers.clear();
}

int SlideLoader::start(const QByteArray& folder, const QList<QByteArray>& names)
{
    stopWorkers();
    {
        std::lock_guard<std::mutex> lock(m_readyMutex);
        m_ready.clear(); // anything decoded for an earlier start
    }
    m_cancel = false;
    m_folder = folder;
    while (m_folder.size() > 1 && m_folder.endsWith('/'))
        m_folder.chop(1);
    m_slideSize = m_flow->slideSize();
    m_jobs.clear();
    for (const QByteArray& name : names) {
        const PictureFormat format = sniffPictureFormat(readHead(m_folder + '/' + name), name);
        if (format != PictureFormat::None)
            m_jobs.push_back(Job{name, format, true});
    }

    // Slides already in the flow stay before the folder's.
    m_firstIndex = m_flow->slideCount();
    for (size_t i = 0; i < m_jobs.size(); ++i)
        m_flow->addSlide(QImage());
    m_flow->setCenterIndex(m_flow->slideCount() / 2);

    m_remaining = int(m_jobs.size());
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.clear();
        for (int i = 0; i < m_remaining; ++i)
            m_pending.push_back(i);
    }
    m_focus = m_flow->centerIndex() - m_firstIndex;
    if (m_remaining == 0) {
        QTimer::singleShot(0, this, &SlideLoader::finished);
        return 0;
    }
    int threads = m_threadCount > 0 ? m_threadCount : std::clamp(QThread::idealThreadCount(), 1, 4);
    threads = std::min(threads, m_remaining);
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
    return int(m_jobs.size());
}

int SlideLoader::takeNextJob()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pending.empty() || m_cancel)
        return -1;
    // The pending file nearest to where the flow stands; on a tie the one
    // after it, so that the centre fills first, then both sides in turn.
    const int focus = m_focus;
    auto best = m_pending.begin();
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        const int d = std::abs(*it - focus);
        const int bestD = std::abs(*best - focus);
        if (d < bestD || (d == bestD && *it > *best))
            best = it;
    }
    const int job = *best;
    m_pending.erase(best);
    return job;
}

void SlideLoader::work()
{
    for (int job = takeNextJob(); job >= 0; job = takeNextJob()) {
        const Job& j = m_jobs[size_t(job)];
        const QImage slide = decodeSlide(m_folder, j.name, j.format, m_slideSize, m_useCache, m_hook);
        if (m_cancel)
            return;
        if (m_decodeInline) { // decoding on the GUI thread itself
            deliver(job, slide);
            followFlow();
            continue;
        }
        // Slides decoded while the GUI thread is busy (drawing a frame, say)
        // reach the flow together, in one frame.
        bool first = false;
        {
            std::lock_guard<std::mutex> lock(m_readyMutex);
            first = m_ready.empty();
            m_ready.emplace_back(job, slide);
        }
        if (first)
            QMetaObject::invokeMethod(this, &SlideLoader::deliverReady, Qt::QueuedConnection);
    }
}

QImage SlideLoader::decodeSlide(const QByteArray& folder, const QByteArray& name, PictureFormat format,
                                QSize slideSize, bool useCache,
                                const std::function<void(const QByteArray&)>& hook)
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

    const ThumbnailCache cache(phoneHostPathRaw(folder));
    const qint64 mtime = qint64(before.st_mtime);
    if (useCache) {
        // Straight to the slide's size: each side reduced on its own.
        const QImage thumbnail = cache.load(name, mtime, slideSize, false);
        if (!thumbnail.isNull())
            return thumbnail;
    }

    // Only pictures of more than four times a thumbnail's pixels get one:
    // a smaller picture decodes about as fast as its thumbnail would.
    auto worthAThumbnail = [useCache](QSize size) {
        return useCache && qint64(size.width()) * size.height() > 4 * qint64(ThumbnailCache::kSide) * ThumbnailCache::kSide;
    };
    // Decoded to fit the thumbnail's size when it is to be kept, else to
    // twice the slide's: enough for a smooth reduction to the slide. A JPEG
    // that gets no thumbnail stops at libjpeg's own reduction nearest above
    // twice the slide's size.
    const QSize box = useCache ? ThumbnailCache::box() : slideSize * 2;
    QSize enough = slideSize * 2;
    if (format == PictureFormat::Jpeg && useCache) {
        QImageReader header(&file, "jpeg");
        if (worthAThumbnail(header.size()))
            enough = box;
        file.seek(0);
    }
    QSize full;
    const QImage picture = decodePictureReduced(&file, format, box, &PixelBudget::shared(), &full, enough);
    if (picture.isNull())
        return picture;
    if (worthAThumbnail(full)) {
        // Kept only when the file did not change while it was read: a file
        // rewritten meanwhile may have given a mixture of old and new.
        struct stat after;
        if (::fstat(fd, &after) == 0 && after.st_mtime == before.st_mtime
            && after.st_mtim.tv_nsec == before.st_mtim.tv_nsec && after.st_size == before.st_size)
            cache.store(name, mtime, picture);
    }
    return toSlide(picture, slideSize);
}

void SlideLoader::deliver(int job, const QImage& slide)
{
    if (job < 0 || job >= int(m_jobs.size()) || !m_jobs[size_t(job)].alive)
        return;
    int index = m_firstIndex;
    for (int i = 0; i < job; ++i)
        index += m_jobs[size_t(i)].alive ? 1 : 0;
    if (slide.isNull()) {
        m_jobs[size_t(job)].alive = false;
        m_flow->removeSlide(index);
    } else {
        m_flow->setSlide(index, slide);
    }

    if (--m_remaining == 0)
        emit finished();
}

void SlideLoader::deliverReady()
{
    std::vector<std::pair<int, QImage>> ready;
    {
        std::lock_guard<std::mutex> lock(m_readyMutex);
        ready.swap(m_ready);
    }
    const bool wasFinished = isFinished();
    for (const auto& r : ready)
        deliver(r.first, r.second);
    if (!wasFinished)
        followFlow();
}

void SlideLoader::followFlow()
{
    // Decoding follows the flow: the next file taken is the one nearest to
    // where the motion is heading.
    const int target = (m_flow->motion().isMoving() ? m_flow->motion().targetIndex
                                                    : m_flow->centerIndex()) - m_firstIndex;
    int seen = -1;
    int focus = int(m_jobs.size()) - 1;
    for (int i = 0; i < int(m_jobs.size()); ++i) {
        if (m_jobs[size_t(i)].alive && ++seen == target) {
            focus = i;
            break;
        }
    }
    m_focus = focus;
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
