// Whatever plays the host's mixed stream: a sound card in the window program, memory in
// the runner and the tests.
#pragma once

#include <string>

class CAudioMixer;

class CAudioOutput {
public:
    CAudioOutput() = default;
    CAudioOutput(const CAudioOutput&) = delete;
    CAudioOutput& operator=(const CAudioOutput&) = delete;
    virtual ~CAudioOutput() = default;

    // Starts pulling from the mixer; false with a reason when there is nothing to play on.
    // Opening an open output succeeds at once.
    virtual bool Open(CAudioMixer& mixer, std::string& errorText) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Called before anything changes what the mixer plays. An output that renders on the
    // caller's thread catches up to the present here, so the change lands at its moment.
    virtual void Synchronize() {}
};
