#pragma once

#include "scan/FingerprintIndex.h"

#include <QString>

// Texts of files that are already open, so that what is compared is exactly what is then acted
// on. Each reads from offset 0 whatever the descriptor's own offset, and raises as ReadFileBytes
// does (EFOpenError naming the path) when a read fails or a file reaches 2 GiB.

// Whether the two files' texts are equal as TextsEqual decides. Both are read a chunk at a time,
// in step, up to the first difference, so any size takes the same memory; an unmarked file is
// read twice (to choose its decoding, then to decode it) and a change between the two readings
// that shows raises EFOpenError too.
bool DescriptorTextsEqual(int fdA, const QString& pathA, int fdB, const QString& pathB);
// Fingerprint::ofFile of the file's whole content, read a chunk at a time.
Fingerprint DescriptorFingerprint(int fd, const QString& path);
