// Run control of the sequencer: the player thread and the operations behind
// "Bewegung Testen", "LOS!", "NOT-AUS" and "Ende".
//
// The dialog thread owns the movement table and computes the timeline; the
// player thread plays it, one output word per tick through an InterfaceLink,
// and reports the end of every run through a RunEndedListener. No locks: the
// timeline is written only between runs, and the values both threads touch
// during a run are single atomic bytes.
#pragma once

#include <cstdint>
#include <cstdio>

#include "sequencer/engine/movement_list.h"
#include "sequencer/engine/timeline.h"

namespace kinemo::engine {

// One tick of the interface: sends a Motor output word, returns the Input word.
class InterfaceLink {
public:
    virtual ~InterfaceLink() = default;
    virtual std::uint32_t Exchange(std::uint32_t output) = 0;
};

// Learns of the end of every run, finished or stopped. Called on the player
// thread: an implementation only posts a message (the window posts RunEnded)
// and never touches the dialog itself.
class RunEndedListener {
public:
    virtual ~RunEndedListener() = default;
    virtual void PostRunEnded() = 0;
};

class RunControl;  // defined by the player implementation
}  // namespace kinemo::engine
