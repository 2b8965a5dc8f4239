#pragma once
// Filling a slide flow with the pictures of a folder without making the user
// wait, in memory bounded by the screen rather than the folder.
//
// The folder's names are laid out at once as placeholders, in their final
// order and around their final centre; nothing of the files is read before
// the first frame. Background threads then open each file, from the centre
// outward and following wherever the flow heads: a file that is no picture,
// or does not decode, leaves the flow without a gap. Only the slides within
// a window around the centre keep their pixels; the others go back to
// placeholders and are decoded again (from the thumbnail cache for large
// pictures) when the flow comes near.

#include "picturedecoder.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class SlideFlow;

// Counts of present entries in a list whose entries drop out one by one
// (a Fenwick tree): where the n-th present entry stands, and how many are
// present before a given one, each in logarithmic time.
class PresenceIndex
{
public:
    void reset(int size);                // all present
    void remove(int entry);              // present before
    int presentBefore(int entry) const;  // among entries [0, entry)
    int nth(int n) const;                // the entry of the n-th present one (from 0); -1 past the end
    int presentCount() const { return m_present; }

private:
    std::vector<int> m_tree;
    int m_present = 0;
};

class SlideLoader : public QObject
{
    Q_OBJECT
public:
    // The loader belongs to the flow (its child) and fills only that flow.
    explicit SlideLoader(SlideFlow* flow);
    ~SlideLoader() override;

    // Slides kept decoded on each side of the centre, and of the slide the
    // flow is heading to: the six the flow shows on a side, and room for a
    // jump of ten and the quick presses queued behind it.
    static constexpr int kWindowRadius = 24;

    // Whether reduced pictures are kept in, and taken from, the thumbnail
    // cache (on by default).
    void setCacheEnabled(bool enabled) { m_useCache = enabled; }
    // Decoding threads; 0 (the default) for one per core, at most four.
    void setThreadCount(int threads) { m_threadCount = threads; }
    // Slides kept decoded on each side (kWindowRadius by default).
    void setWindowRadius(int slides) { m_radius = qMax(0, slides); }
    // Called on a decoding thread with a file's path once the file is open
    // and before it is read: lets a test change the file at that moment.
    void setDecodeHook(std::function<void(const QByteArray&)> hook) { m_hook = std::move(hook); }

    // Lays out one placeholder slide for each of the folder's files (names
    // as bytes, in the order wanted), centres the flow on the middle one and
    // starts recognising and decoding them in the background. `folder` is an
    // absolute path. Returns the number of placeholders laid out.
    int start(const QByteArray& folder, const QList<QByteArray>& names);

    // Every file has been opened once (each a slide or dropped) and every
    // slide of the window holds its picture.
    bool isFinished() const;
    // Runs the event loop until finished or `msecs` have passed.
    bool waitForFinished(int msecs = 60000);
    // Files not yet opened and decoded once.
    int remaining() const { return m_unopened; }
    // Slides of the flow that hold their picture now.
    int decodedSlideCount() const { return int(m_shown.size()); }

    // One picture as a slide of the given size: recognised by its first
    // bytes when `format` is None (and then reported in `recognised`),
    // decoded reduced (through the thumbnail cache when one is used), then
    // brought to no more pixels than the slide shows. Null when it is no
    // picture or does not decode.
    static QImage decodeSlide(const QByteArray& folder, const QByteArray& name, PictureFormat format,
                              QSize slideSize, bool useCache,
                              const std::function<void(const QByteArray&)>& hook = {},
                              PictureFormat* recognised = nullptr);

signals:
    // Every file is opened and the window is filled (again after the flow
    // moved).
    void finished();

public slots:
    // Brings the window to where the flow stands and heads: slides outside
    // it become placeholders, those inside are decoded first.
    void followFlow();

private:
    enum class State : quint8 { Unopened, Picture, Gone };
    struct Entry
    {
        quint32 nameStart = 0;
        quint16 nameLength = 0;
        PictureFormat format = PictureFormat::None;
        State state = State::Unopened;
        bool busy = false;  // being decoded, or its result not yet delivered
        bool shown = false; // its slide holds the picture
    };
    struct Result
    {
        int entry;
        QImage slide;     // null when not kept (outside the window) or no picture
        bool picture;
        PictureFormat format;
    };

    QByteArray nameOf(int entry) const;
    bool wanted(int entry) const;
    int takeNextEntry();
    void work();
    void deliverReady();
    void deliver(const Result& result);
    int flowIndexOf(int entry) const;
    int entryAt(int flowIndex) const;
    void checkFinished();
    bool untouched();
    void stopWorkers();
    void tidyCache();

    SlideFlow* m_flow;
    QByteArray m_folder;
    QSize m_slideSize;
    bool m_useCache = true;
    int m_threadCount = 0;
    int m_radius = kWindowRadius;
    std::function<void(const QByteArray&)> m_hook;

    QByteArray m_names;           // every name, one after the other
    std::vector<Entry> m_entries; // the folder's files in order; guarded by m_mutex
    PresenceIndex m_present;      // GUI thread: which entries are still in the flow
    std::vector<int> m_shown;     // GUI thread: entries whose slide holds its picture
    int m_firstIndex = 0;         // the flow's index of the first entry
    int m_unopened = 0;           // GUI thread
    bool m_wasFinished = false;
    // Until the flow is first moved, the centre stays on the middle of
    // what is left as files drop out; then on the picture the user chose.
    bool m_untouched = true;
    int m_placedCentre = 0;

    mutable std::mutex m_mutex;   // guards m_entries' flags, the window and m_ready
    std::condition_variable m_wake;
    int m_focus = 0;              // the entry decoded first
    int m_low = 0, m_high = -1;   // the window, as entries
    int m_unopenedIdle = 0;       // unopened entries no thread has taken
    std::vector<Result> m_ready;  // decoded, not yet in the flow
    bool m_decodeInline = false;
    std::atomic<bool> m_cancel{false};
    std::vector<std::thread> m_workers;
    std::thread m_tidier;
};
