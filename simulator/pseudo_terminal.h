// The line of the simulated box: a pseudo-terminal pair.
//
// The box answers on the master side; programs open the slave device by its
// path exactly as they open a serial port. Both sides are raw (no echo, no
// line editing, 8 bits, no flow control), so bytes pass unchanged.
//
// The box keeps a descriptor of the slave open for its whole life: without
// it the master reports hangup whenever no program has the device open, and
// a program's close would tear down the line between two connections.
#pragma once

#include <string>

namespace kinemo::simulator {

class PseudoTerminal {
  public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Creates the pair. Returns false (and *error set) on failure.
    bool Open(std::string* error);
    void Close();

    // Programs open the device exclusively (advisory lock plus the terminal's
    // exclusive mode) and leave exclusive mode on if they die without closing.
    // Since the box keeps the terminal alive, that mode would then refuse
    // every later open by a normal user. When the device is exclusive but no
    // program holds its lock, this clears the stale mode. Call it when the
    // line is idle; it costs two system calls.
    void ReleaseStaleExclusiveMode();

    int master() const { return master_; }
    // The box's own descriptor of the slave side (raw, like the master).
    int slaveKeeper() const { return slaveKeeper_; }
    const std::string& slavePath() const { return slavePath_; }
    bool isOpen() const { return master_ >= 0; }

  private:
    int master_ = -1;
    int slaveKeeper_ = -1;
    std::string slavePath_;
};

}  // namespace kinemo::simulator
