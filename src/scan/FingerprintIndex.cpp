#include "scan/FingerprintIndex.h"

#include "base/Errors.h"
#include "base/PathRules.h"
#include "base/WriteAll.h"
#include "scan/ComparisonStream.h"
#include "scan/TextCodec.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>
#include <QThreadPool>

#include <unicode/uvernum.h>

#include <xxhash.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

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

FileStamp FingerprintIndex::stampOf(const QString& path, int* err) const
{
    const QByteArray name = nameInFolder(path);
    errno = 0;
    FileStamp stamp;
    struct stat info;
    if (name.isEmpty())
        stamp = FileStamp::of(path);
    else if (::fstatat(m_folderFd, name.constData(), &info, 0) == 0)
        stamp = FileStamp::of(info);
    if (err)
        *err = stamp.isValid() ? 0 : errno;
    return stamp;
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
    entry.seenSecs = QDateTime::currentSecsSinceEpoch();
    try {
        const ReadOnlyFile file = m_reader ? m_reader(path) : open(path);
        if (file.size() <= ComparisonStream::kChunk) {
            // A mail of a chunk or less is read once, whole: the stream's two passes cost more.
            const QByteArray bytes = ReadDescriptor(file.fd(), file.size(), path);
            entry.print = Fingerprint::ofFile(bytes, &entry.textLength);
            return entry;
        }
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

bool FingerprintIndex::cacheable(const Entry& entry)
{
    return !entry.error && entry.stamp.isValid() && entry.stamp.regular;
}

void FingerprintIndex::markSeen(Entry& entry, qint64 nowSecs)
{
    // Kept to the day: a folder scanned again and again, unchanged, is not written every time.
    if (nowSecs - entry.seenSecs < kSeenStepSecs && nowSecs >= entry.seenSecs)
        return;
    entry.seenSecs = nowSecs;
    m_unsaved = true;
}

const FingerprintIndex::Entry& FingerprintIndex::update(const QString& path)
{
    int err = 0;
    const FileStamp stamp = stampOf(path, &err);
    const auto found = m_entries.find(path);
    if (found != m_entries.end() && stamp.isValid() && found->stamp == stamp) {
        markSeen(*found, QDateTime::currentSecsSinceEpoch());
        return *found;
    }
    const bool wasCached = found != m_entries.end() && cacheable(*found);
    if (err == ENOENT) {
        // Gone, as every duplicate moved earlier in the scan is when its turn as a reference
        // comes: the error an open would raise, without opening, raising and catching it. Still
        // gone in a later scan, it is found as it was left.
        if (found != m_entries.end() && found->missing)
            return *found;
        Entry entry;
        entry.stamp = stamp;
        entry.missing = true;
        entry.seenSecs = QDateTime::currentSecsSinceEpoch();
        entry.error =
            std::make_exception_ptr(FileOpenError(path, base::EInOutError::systemText(ENOENT)));
        m_unsaved = m_unsaved || wasCached;
        return *m_entries.insert(path, std::move(entry));
    }
    Entry entry = compute(path, stamp);
    m_unsaved = m_unsaved || wasCached || cacheable(entry);
    return *m_entries.insert(path, std::move(entry));
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
        bool unchanged = false;
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
            job.unchanged = job.hadEntry && stamp.isValid() && stamp == job.known;
            if (!job.unchanged) {
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
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (Job& job : jobs) {
        if (job.done) {
            const auto entry = m_entries.find(job.path);
            const bool wasCached = entry != m_entries.end() && cacheable(*entry);
            if (wasCached || cacheable(job.result))
                m_unsaved = true;
            if (entry != m_entries.end())
                *entry = std::move(job.result);
            else
                m_entries.insert(job.path, std::move(job.result));
        } else if (job.unchanged) {
            const auto entry = m_entries.find(job.path);
            if (entry != m_entries.end())
                markSeen(*entry, now);
        }
    }
}

namespace {

const QByteArray kCacheMagic("twindrop-fingerprints\n", 22);
constexpr quint32 kCacheVersion = 1;
constexpr quint32 kLongestPath = 65536;
// Bytes of one entry besides its path.
constexpr qsizetype kEntryFixed = 4 + 8 * 10 + 1;

// What a fingerprint depends on besides the file: a cache made under other rules is not used.
QByteArray cacheRules()
{
    return QByteArrayLiteral("xxh3-128 icu-" U_ICU_VERSION " turkic-") +
           (SystemIsTurkic() ? "1" : "0") + " pane-" + QByteArray::number(kTextPaneCapacity);
}

template <typename T> void put(QByteArray& out, T value)
{
    const T little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&little), sizeof little);
}

class Cursor {
public:
    explicit Cursor(QByteArrayView bytes) : m_bytes(bytes) {}
    template <typename T> bool take(T* value)
    {
        if (m_bytes.size() - m_pos < qsizetype(sizeof(T)))
            return false;
        T little;
        std::memcpy(&little, m_bytes.data() + m_pos, sizeof little);
        m_pos += sizeof little;
        *value = qFromLittleEndian(little);
        return true;
    }
    bool take(qsizetype n, QByteArrayView* out)
    {
        if (n < 0 || m_bytes.size() - m_pos < n)
            return false;
        *out = m_bytes.sliced(m_pos, n);
        m_pos += n;
        return true;
    }
    qsizetype left() const { return m_bytes.size() - m_pos; }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

bool keptInCache(const FingerprintIndex::Entry& entry, qint64 nowSecs)
{
    return FingerprintIndex::cacheable(entry) &&
           entry.seenSecs > nowSecs - FingerprintIndex::kCacheKeepSecs &&
           entry.seenSecs <= nowSecs + 24 * 3600;
}

} // namespace

QString FingerprintIndex::cachePath()
{
    // GenericCacheLocation is $XDG_CACHE_HOME, else ~/.cache (a private folder while tests run).
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/twindrop/fingerprints");
}

QByteArray FingerprintIndex::encode(const QHash<QString, Entry>& entries, qint64 nowSecs)
{
    QList<std::pair<const QString*, const Entry*>> kept;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (keptInCache(*it, nowSecs) && !it.key().isEmpty() &&
            quint32(it.key().size()) <= kLongestPath)
            kept.append({&it.key(), &*it});
    }
    // The most recently seen first, so that the bound drops the longest unseen.
    std::sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) {
        return a.second->seenSecs != b.second->seenSecs ? a.second->seenSecs > b.second->seenSecs
                                                        : *a.first < *b.first;
    });
    const QByteArray rules = cacheRules();
    QByteArray out = kCacheMagic;
    put<quint32>(out, kCacheVersion);
    put<quint32>(out, quint32(rules.size()));
    out += rules;
    const qsizetype countAt = out.size();
    put<quint64>(out, 0);
    quint64 count = 0;
    for (const auto& [path, entry] : std::as_const(kept)) {
        const qsizetype bytes = kEntryFixed + path->size() * 2;
        if (out.size() + bytes + 8 > kCacheMaxBytes)
            break;
        put<quint32>(out, quint32(path->size()));
        const qsizetype at = out.size();
        out.resize(at + path->size() * 2);
        qToLittleEndian<quint16>(path->utf16(), path->size(), out.data() + at);
        put<quint64>(out, entry->stamp.device);
        put<quint64>(out, entry->stamp.inode);
        put<qint64>(out, entry->stamp.size);
        put<qint64>(out, entry->stamp.modifiedNs);
        put<qint64>(out, entry->stamp.changedNs);
        put<quint8>(out, 1);
        put<qint64>(out, entry->print.length);
        put<quint64>(out, entry->print.low);
        put<quint64>(out, entry->print.high);
        put<qint64>(out, entry->textLength);
        put<qint64>(out, entry->seenSecs);
        ++count;
    }
    const quint64 littleCount = qToLittleEndian(count);
    std::memcpy(out.data() + countAt, &littleCount, sizeof littleCount);
    put<quint64>(out, XXH3_64bits(out.constData(), size_t(out.size())));
    return out;
}

bool FingerprintIndex::decode(const QByteArray& bytes, QHash<QString, Entry>* entries,
                              qint64 nowSecs)
{
    entries->clear();
    if (bytes.size() < kCacheMagic.size() + 8 + 8 + 8 || !bytes.startsWith(kCacheMagic))
        return false;
    const qsizetype body = bytes.size() - 8;
    quint64 sum = 0;
    std::memcpy(&sum, bytes.constData() + body, sizeof sum);
    if (qFromLittleEndian(sum) != XXH3_64bits(bytes.constData(), size_t(body)))
        return false;
    Cursor in(QByteArrayView(bytes).first(body).sliced(kCacheMagic.size()));
    quint32 version = 0;
    quint32 rulesSize = 0;
    QByteArrayView rules;
    quint64 count = 0;
    if (!in.take(&version) || version != kCacheVersion || !in.take(&rulesSize) ||
        !in.take(qsizetype(rulesSize), &rules) || rules != cacheRules() || !in.take(&count) ||
        count > quint64(in.left() / kEntryFixed))
        return false;
    QHash<QString, Entry> read;
    read.reserve(qsizetype(count));
    for (quint64 i = 0; i < count; ++i) {
        quint32 units = 0;
        QByteArrayView pathBytes;
        if (!in.take(&units) || units == 0 || units > kLongestPath ||
            !in.take(qsizetype(units) * 2, &pathBytes))
            return false;
        QString path(qsizetype(units), Qt::Uninitialized);
        qFromLittleEndian<quint16>(pathBytes.data(), qsizetype(units), path.data());
        Entry entry;
        quint8 regular = 0;
        if (!in.take(&entry.stamp.device) || !in.take(&entry.stamp.inode) ||
            !in.take(&entry.stamp.size) || !in.take(&entry.stamp.modifiedNs) ||
            !in.take(&entry.stamp.changedNs) || !in.take(&regular) ||
            !in.take(&entry.print.length) || !in.take(&entry.print.low) ||
            !in.take(&entry.print.high) || !in.take(&entry.textLength) || !in.take(&entry.seenSecs))
            return false;
        entry.stamp.regular = regular == 1;
        if (regular != 1 || entry.stamp.size < 0 || entry.print.length < -1 ||
            entry.textLength < 0 || read.contains(path))
            return false;
        if (keptInCache(entry, nowSecs))
            read.insert(path, entry);
    }
    if (in.left() != 0)
        return false;
    *entries = std::move(read);
    return true;
}

bool FingerprintIndex::load(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray bytes;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kCacheMaxBytes;
    if (ok) {
        bytes.resize(qsizetype(st.st_size));
        qsizetype done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            done += std::max<ssize_t>(n, 0);
        }
    }
    ::close(fd);
    QHash<QString, Entry> read;
    if (!ok || !decode(bytes, &read, QDateTime::currentSecsSinceEpoch()))
        return false;
    for (auto it = read.cbegin(); it != read.cend(); ++it) {
        if (!m_entries.contains(it.key()))
            m_entries.insert(it.key(), *it);
    }
    return true;
}

bool FingerprintIndex::save(const QString& path) const
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    const QByteArray bytes = encode(m_entries, QDateTime::currentSecsSinceEpoch());
    // A new file that then takes the old one's place in one step. It is not forced to the disk:
    // a cache cut short by a crash fails its checksum and is only read again from the files.
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary;
    int fd = -1;
    for (int n = 0; n < 100 && fd < 0; ++n) {
        temporary = target + ".new-" + QByteArray::number(QCoreApplication::applicationPid()) +
                    '-' + QByteArray::number(n);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0600);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    const bool written = base::WriteAll(fd, bytes);
    if (::close(fd) != 0 || !written || ::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    m_unsaved = false;
    return true;
}

void FingerprintIndex::loadCache()
{
    if (m_cacheLoaded)
        return;
    m_cacheLoaded = true;
    load(cachePath());
}

bool FingerprintIndex::saveIfChanged(const QString& path) const
{
    // Nothing new since the file was read or written: it says what it would say again.
    return !m_unsaved || save(path);
}

bool FingerprintIndex::saveCache() const noexcept
{
    try {
        return saveIfChanged(cachePath());
    } catch (...) {
        // Only time is lost: the next run reads the files again.
        return false;
    }
}
