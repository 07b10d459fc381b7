#include "cli/Interrupts.h"

#include "export/AudioExport.h"

#include <atomic>
#include <csignal>

namespace kven::cli {

namespace {

std::atomic<bool> interruptCame{false};
std::atomic<AudioExport*> exporting{nullptr};

extern "C" void onInterrupt(int)
{
    interruptCame = true;
    // Lock-free stores only: an export blocked in Speak notices at once.
    if (AudioExport* job = exporting.load())
        job->cancel();
}

} // namespace

void catchInterrupts()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool interrupted()
{
    return interruptCame;
}

CancelOnInterrupt::CancelOnInterrupt(AudioExport& job)
{
    exporting = &job;
    if (interruptCame)
        job.cancel();
}

CancelOnInterrupt::~CancelOnInterrupt()
{
    exporting = nullptr;
}

} // namespace kven::cli
