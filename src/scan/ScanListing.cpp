#include "scan/ScanListing.h"

#include "base/MaskMatcher.h"
#include "base/PathRules.h"

#include <algorithm>
#include <sys/stat.h>

void ScanListing::read(const QString& folder, base::FolderListing::FileKinds kinds)
{
    read(-1, folder, kinds);
}

void ScanListing::read(int folderFd, const QString& folder, base::FolderListing::FileKinds kinds,
                       const std::function<void()>& progress)
{
    // Built aside and taken at the end: the window may be shown while the folder is read.
    const FileStamp stamp = folderFd >= 0 ? stampOf(folderFd) : FileStamp::of(folder);
    QStringList names = folderFd >= 0 ? base::FolderListing::listAt(folderFd, {}, kinds, progress)
                                      : base::FolderListing::list(folder, {}, kinds);
    QStringList upperNames;
    upperNames.reserve(names.size());
    QHash<QString, int> indexByName;
    indexByName.reserve(names.size());
    for (int i = 0; i < names.size(); ++i) {
        if (progress && i % 1024 == 1023)
            progress();
        upperNames.append(base::MaskMatcher::upperCase(names[i]));
        indexByName.insert(names[i], i);
    }
    m_folder = folder;
    m_folderFd = folderFd;
    m_kinds = kinds;
    // Stamped before reading: a change during the read shows as stale next time.
    m_folderStamp = stamp;
    m_names = std::move(names);
    m_upperNames = std::move(upperNames);
    m_indexByName = std::move(indexByName);
    m_gone = QList<bool>(m_names.size(), false);
    m_groups.clear();
    m_apart.clear();
    ++m_version;
}

FileStamp ScanListing::stampOf(int folderFd)
{
    struct stat info;
    return ::fstat(folderFd, &info) == 0 ? FileStamp::of(info) : FileStamp();
}

FileStamp ScanListing::folderStamp() const
{
    if (m_folderFd >= 0)
        return stampOf(m_folderFd);
    return FileStamp::of(m_folder);
}

bool ScanListing::isStale() const
{
    const FileStamp now = folderStamp();
    return !now.isValid() || !(now == m_folderStamp);
}

void ScanListing::removeOwn(int index, const FileStamp& folderBefore)
{
    if (index < 0 || index >= m_names.size() || m_gone[index])
        return;
    m_gone[index] = true;
    m_indexByName.remove(m_names[index]);
    if (folderBefore == m_folderStamp)
        m_folderStamp = folderStamp();
    ++m_version;
}

QString ScanListing::path(int index) const
{
    return base::PathRules::fullName(m_folder, m_names.at(index));
}

QStringList ScanListing::paths() const
{
    QStringList result;
    result.reserve(m_names.size());
    for (const QString& name : m_names)
        result.append(base::PathRules::fullName(m_folder, name));
    return result;
}

int ScanListing::indexOf(const QString& name) const
{
    return m_indexByName.value(name, -1);
}

bool ScanListing::matches(const QStringList& patterns, int index) const
{
    return base::MaskMatcher::matchesAny(patterns, m_upperNames.at(index));
}

QList<int> ScanListing::matching(const QString& mask) const
{
    const QStringList patterns = base::MaskMatcher::splitMask(mask);
    QList<int> result;
    for (int i = 0; i < m_names.size(); ++i) {
        if (!m_gone[i] && matches(patterns, i))
            result.append(i);
    }
    return result;
}

void ScanListing::group(const FingerprintIndex& index, qsizetype paneCapacity)
{
    m_groups.clear();
    m_apart.clear();
    for (int i = 0; i < m_names.size(); ++i) {
        const FingerprintIndex::Entry* entry = index.find(path(i));
        if (!entry || entry->error || entry->textLength > paneCapacity)
            m_apart.append(i);
        else
            m_groups[entry->print].append(i);
    }
}

QList<int> ScanListing::visits(const QString& referenceName, const Fingerprint& print,
                               const QStringList& patterns) const
{
    const QList<int> same = m_groups.value(print);
    QList<int> merged;
    merged.reserve(same.size() + m_apart.size());
    std::merge(same.cbegin(), same.cend(), m_apart.cbegin(), m_apart.cend(),
               std::back_inserter(merged));
    QList<int> result;
    for (auto it = merged.crbegin(); it != merged.crend(); ++it) {
        const int i = *it;
        if (!m_gone[i] && m_names[i] != referenceName && matches(patterns, i))
            result.append(i);
    }
    return result;
}
