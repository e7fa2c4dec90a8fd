#include "shell/SystemSound.h"

#include <QApplication>

namespace {
std::function<void(unsigned)>& recorder()
{
    static std::function<void(unsigned)> r;
    return r;
}
} // namespace

void SetSoundRecorder(std::function<void(unsigned)> r)
{
    recorder() = std::move(r);
}

void MessageBeep(unsigned kind)
{
    if (recorder()) {
        recorder()(kind);
        return;
    }
    QApplication::beep();
}
