#pragma once

#include <QString>

// The prefix that candidate names must begin with, taken from the reference's name by the scan
// mode: 0 the leading letters A to Z (after an optional "LE "), 1 the first character, 2 nothing,
// any other value the whole name.
QString CandidatePrefix(const QString& name, int mode);
// The mask that chooses a reference's candidates: its prefix followed by "*".
QString CandidateMask(const QString& name, int mode);
