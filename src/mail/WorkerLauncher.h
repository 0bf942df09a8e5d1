#pragma once

#include <functional>

namespace mail {

// Runs jobs one after another on a thread of its own, kept for the life of
// the process. Starting a thread costs a few hundred microseconds on a busy
// machine (stack mapping, TLB shootdowns across the process's other
// threads); a burst of conversations started from the run loop would stall
// it for all of them, so the loop hands the starting over to this thread.
void LaunchInBackground(std::function<void()> job);

// Lets the calling thread's wake-ups wait for the run loop rather than
// preempt it: its work is never in a hurry measured in milliseconds.
void RunAsBackgroundThread();

}  // namespace mail
