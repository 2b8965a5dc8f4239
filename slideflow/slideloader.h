#pragma once
// Filling a slide flow with the pictures of a folder without making the user
// wait: the files are recognised by their first bytes and laid out at once as
// placeholders, in their final order and around their final centre; then
// background threads decode them, the centre first and outward from wherever
// the flow stands, and each decoded slide replaces its placeholder. A file
// that turns out not to decode leaves the flow without a gap.

#include "picturedecoder.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class SlideFlow;

class SlideLoader : public QObject
{
    Q_OBJECT
public:
    // The loader belongs to the flow (its child) and fills only that flow.
    explicit SlideLoader(SlideFlow* flow);
    ~SlideLoader() override;

    // Whether reduced pictures are kept in, and taken from, the thumbnail
    // cache (on by default).
    void setCacheEnabled(bool enabled) { m_useCache = enabled; }
    // Decoding threads; 0 (the default) for one per core, at most four.
    void setThreadCount(int threads) { m_threadCount = threads; }
    // Called on a decoding thread with a file's path once the file is open
    // and before it is read: lets a test change the file at that moment.
    void setDecodeHook(std::function<void(const QByteArray&)> hook) { m_hook = std::move(hook); }

    // Lays out one placeholder slide for each of the folder's files (names
    // as bytes, in the order wanted) that is a picture by its first bytes,
    // centres the flow on the middle one and starts decoding. `folder` is an
    // absolute path. Returns the number of slides laid out.
    int start(const QByteArray& folder, const QList<QByteArray>& names);

    bool isFinished() const { return m_remaining == 0; }
    // Runs the event loop until every file is decoded or `msecs` have passed.
    bool waitForFinished(int msecs = 60000);
    int remaining() const { return m_remaining; }

    // One picture as a slide of the given size: decoded reduced (through the
    // thumbnail cache when one is given), then brought to no more pixels
    // than the slide shows. Null when it does not decode.
    static QImage decodeSlide(const QByteArray& folder, const QByteArray& name, PictureFormat format,
                              QSize slideSize, bool useCache,
                              const std::function<void(const QByteArray&)>& hook = {});

signals:
    // Every file is decoded (or dropped).
    void finished();

private:
    struct Job
    {
        QByteArray name;
        PictureFormat format = PictureFormat::None;
        bool alive = true;
    };

    int takeNextJob();
    void work();
    void deliver(int job, const QImage& slide);
    void deliverReady();
    void followFlow();
    void stopWorkers();

    SlideFlow* m_flow;
    QByteArray m_folder;
    QSize m_slideSize;
    bool m_useCache = true;
    int m_threadCount = 0;
    std::function<void(const QByteArray&)> m_hook;

    std::vector<Job> m_jobs;   // the flow's files in order; alive until dropped
    int m_remaining = 0;       // GUI thread only
    int m_firstIndex = 0;      // the flow's index of the first job
    bool m_decodeInline = false;

    std::mutex m_mutex;        // guards m_pending
    std::vector<int> m_pending;
    std::atomic<int> m_focus{0};
    std::mutex m_readyMutex;   // guards m_ready
    std::vector<std::pair<int, QImage>> m_ready; // decoded, not yet in the flow
    std::atomic<bool> m_cancel{false};
    std::vector<std::thread> m_workers;
};
