#pragma once

#include "scan/FingerprintIndex.h"
#include "scan/ReadOnlyFile.h"

#include <QFileInfo>
#include <QMutex>
#include <QStringList>

// A fingerprint index that notes the name of every file it reads.
struct CountingIndex {
    FingerprintIndex index;
    QStringList reads;
    QMutex mutex;
    CountingIndex()
    {
        // Called from the pool's threads.
        index.setReader([this](const QString& path) {
            {
                const QMutexLocker lock(&mutex);
                reads << QFileInfo(path).fileName();
            }
            return ReadOnlyFile::open(path);
        });
    }
};
