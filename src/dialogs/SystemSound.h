#pragma once

#include <functional>

// Sound kinds, with the values of the platform they come from.
enum SoundKind : unsigned { MB_OK = 0, MB_ICONEXCLAMATION = 48, MB_ICONASTERISK = 64 };

// Plays the freedesktop sound event for a kind: "bell" (0), "dialog-warning" (48),
// "dialog-information" (64); QApplication::beep() when no sound can be played. Returns at once.
// A beep asked for while the previous one still sounds, or just after it, is not played
// (BeepThrottle): a quick run of beeps is heard as one.
void MessageBeep(unsigned kind);

// Tests record every requested kind instead of playing them; an empty function plays again.
void SetSoundRecorder(std::function<void(unsigned)> recorder);
