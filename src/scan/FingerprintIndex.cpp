#include "scan/FingerprintIndex.h"

#include "base/Errors.h"
#include "base/PathRules.h"
#include "scan/ComparisonStream.h"
#include "scan/TextCodec.h"

#include <QThreadPool>

#include <xxhash.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/stat.h>

FileStamp FileStamp::of(const QByteArray& localPath)
{
    struct stat info;
    if (localPath.isEmpty() || ::stat(localPath.constData(), &info) != 0)
        return FileStamp();
    return of(info);
}

FileStamp FileStamp::of(const struct ::stat& info)
{
    FileStamp stamp;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changedNs = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    stamp.regular = S_ISREG(info.st_mode);
    return stamp;
}

FileStamp FileStamp::of(const QString& path)
{
    return of(base::PathRules::localPath(path));
}

Fingerprint Fingerprint::of(const QString& comparisonForm)
{
    const XXH128_hash_t hash =
        XXH3_128bits(comparisonForm.utf16(), size_t(comparisonForm.size()) * sizeof(char16_t));
    return Fingerprint{comparisonForm.size(), hash.low64, hash.high64};
}

namespace {

class StreamingHash {
public:
    StreamingHash() : m_state(XXH3_createState())
    {
        if (!m_state)
            throw std::bad_alloc();
        XXH3_128bits_reset(m_state);
    }
    ~StreamingHash() { XXH3_freeState(m_state); }
    StreamingHash(const StreamingHash&) = delete;
    StreamingHash& operator=(const StreamingHash&) = delete;

    void add(QStringView piece)
    {
        XXH3_128bits_update(m_state, piece.utf16(), size_t(piece.size()) * sizeof(char16_t));
        m_length += piece.size();
    }
    Fingerprint print() const
    {
        const XXH128_hash_t hash = XXH3_128bits_digest(m_state);
        return Fingerprint{m_length, hash.low64, hash.high64};
    }

private:
    XXH3_state_t* m_state;
    qint64 m_length = 0;
};

} // namespace

Fingerprint Fingerprint::ofFile(QByteArrayView bytes, qint64* textLength)
{
    StreamingHash hash;
    const qsizetype text = StreamComparisonForm(bytes, [&](QStringView piece) { hash.add(piece); });
    if (textLength)
        *textLength = text;
    return hash.print();
}

Fingerprint Fingerprint::ofStream(ComparisonStream& stream, qint64* textLength)
{
    StreamingHash hash;
    for (QStringView piece = stream.next(); !piece.isEmpty(); piece = stream.next())
        hash.add(piece);
    if (textLength)
        *textLength = stream.textLength();
    return hash.print();
}

size_t qHash(const Fingerprint& print, size_t seed) noexcept
{
    return size_t(print.low) ^ seed;
}

FingerprintIndex::FingerprintIndex() = default;

void FingerprintIndex::setFolder(int folderFd, const QString& folderPath)
{
    m_folderFd = folderFd;
    m_folderPrefix = folderPath == QLatin1String("/") ? folderPath : folderPath + QLatin1Char('/');
}

QByteArray FingerprintIndex::nameInFolder(const QString& path) const
{
    QByteArray name;
    if (m_folderFd < 0 || !path.startsWith(m_folderPrefix) ||
        !base::PathRules::encodePath(path.mid(m_folderPrefix.size()), name) || name.contains('/'))
        return QByteArray();
    return name;
}

FileStamp FingerprintIndex::stampOf(const QString& path) const
{
    const QByteArray name = nameInFolder(path);
    if (name.isEmpty())
        return FileStamp::of(path);
    struct stat info;
    return ::fstatat(m_folderFd, name.constData(), &info, 0) == 0 ? FileStamp::of(info)
                                                                  : FileStamp();
}

ReadOnlyFile FingerprintIndex::open(const QString& path) const
{
    const QByteArray name = nameInFolder(path);
    return name.isEmpty() ? ReadOnlyFile::open(path) : ReadOnlyFile::openAt(m_folderFd, name, path);
}

FingerprintIndex::Entry FingerprintIndex::compute(const QString& path, const FileStamp& stamp) const
{
    Entry entry;
    entry.stamp = stamp;
    try {
        const ReadOnlyFile file = m_reader ? m_reader(path) : open(path);
        ComparisonStream stream(file.fd(), path);
        const qint64 atLeast = stream.textLengthAtLeast();
        if (atLeast > kTextPaneCapacity) {
            // Kept apart, as a pane would refuse it, without reading it through.
            entry.textLength = atLeast;
            return entry;
        }
        entry.print = Fingerprint::ofStream(stream, &entry.textLength);
    } catch (const std::bad_alloc&) {
        entry.error =
            std::make_exception_ptr(base::EOutOfMemory(QStringLiteral("Mémoire insuffisante")));
    } catch (...) {
        entry.error = std::current_exception();
    }
    return entry;
}

const FingerprintIndex::Entry& FingerprintIndex::update(const QString& path)
{
    const FileStamp stamp = stampOf(path);
    const auto found = m_entries.constFind(path);
    if (found != m_entries.constEnd() && stamp.isValid() && found->stamp == stamp)
        return *found;
    return *m_entries.insert(path, compute(path, stamp));
}

const FingerprintIndex::Entry* FingerprintIndex::find(const QString& path) const
{
    const auto found = m_entries.constFind(path);
    return found == m_entries.constEnd() ? nullptr : &*found;
}

void FingerprintIndex::raiseError(const Entry& entry)
{
    if (entry.error)
        std::rethrow_exception(entry.error);
}

void FingerprintIndex::refresh(const QStringList& paths, const std::function<bool()>& waiting)
{
    struct Job {
        QString path;
        FileStamp known;
        bool hadEntry = false;
        bool done = false;
        Entry result;
    };
    QList<Job> jobs;
    jobs.reserve(paths.size());
    for (const QString& path : paths) {
        Job job;
        job.path = path;
        if (const Entry* entry = find(path)) {
            job.known = entry->stamp;
            job.hadEntry = true;
        }
        jobs.append(std::move(job));
    }
    if (jobs.isEmpty())
        return;

    // The workers index the jobs through a plain pointer: the list is never touched meanwhile.
    Job* const jobItems = jobs.data();
    const qsizetype count = jobs.size();
    std::atomic<qsizetype> next{0};
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::condition_variable finished;
    int running = 0;
    auto work = [&] {
        for (;;) {
            if (cancelled.load())
                break;
            const qsizetype i = next.fetch_add(1);
            if (i >= count)
                break;
            Job& job = jobItems[i];
            // Stat first: a change after it shows as a new stamp next time.
            const FileStamp stamp = stampOf(job.path);
            if (!(job.hadEntry && stamp.isValid() && stamp == job.known)) {
                job.result = compute(job.path, stamp);
                job.done = true;
            }
        }
        const std::lock_guard lock(mutex);
        if (--running == 0)
            finished.notify_all();
    };

    QThreadPool* pool = QThreadPool::globalInstance();
    const int workers =
        int(std::clamp<qsizetype>(jobs.size() / 16 + 1, 1, std::max(1, pool->maxThreadCount())));
    running = workers;
    for (int w = 0; w < workers; ++w) {
        // With no free thread the pool queues the task; this thread never runs one, so it stays
        // free to keep the window alive.
        pool->start(work);
    }
    std::unique_lock lock(mutex);
    while (running > 0) {
        if (waiting) {
            finished.wait_for(lock, std::chrono::milliseconds(15));
            if (running == 0)
                break;
            lock.unlock();
            if (!waiting())
                cancelled = true;
            lock.lock();
        } else {
            finished.wait(lock);
        }
    }
    lock.unlock();
    for (Job& job : jobs) {
        if (job.done)
            m_entries.insert(job.path, std::move(job.result));
    }
}
