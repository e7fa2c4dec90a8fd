#pragma once

#include <QByteArrayView>

namespace base {

// Writes every byte to the descriptor, going on after interruptions and short writes; false (with
// errno set) when a write fails.
bool WriteAll(int fd, QByteArrayView bytes);

} // namespace base
