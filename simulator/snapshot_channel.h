// The simulated box publishes its state through the platform layer's
// sequence-lock channel (platform/snapshot_channel.h), as the sequencer's
// player does.
#pragma once

#include "platform/snapshot_channel.h"

namespace kinemo::simulator {

using platform::SnapshotChannel;

}  // namespace kinemo::simulator
