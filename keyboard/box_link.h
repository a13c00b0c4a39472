// The control loop's view of the interface box: one exchange per tick. The
// program uses the serial InterfacePort; benchmarks and loop tests an
// in-memory box.
#pragma once

#include <cstdint>

namespace kinemo::keyboard {

class InterfacePort;

class BoxLink {
  public:
    virtual ~BoxLink() = default;
    // Sends the Motor output word of M1..M4 and returns the Input word of
    // E1..E8. Blocks for the exchange; its duration is the tick.
    virtual std::uint8_t Exchange(std::uint8_t output) = 0;
    // False while no connection exists; a run is not started then.
    virtual bool Connected() const { return true; }
    // True once the line itself is gone: exchanges return at once unanswered.
    virtual bool LinkLost() const { return false; }
    // Before a run: after a lost line, tries to open the same port again (a
    // replugged box works again); otherwise does nothing.
    virtual void Reopen() {}
};

// The serial link of the program.
class PortLink final : public BoxLink {
  public:
    explicit PortLink(InterfacePort& port) : port_(port) {}
    std::uint8_t Exchange(std::uint8_t output) override;
    bool Connected() const override;
    bool LinkLost() const override;
    void Reopen() override;

  private:
    InterfacePort& port_;
};

}  // namespace kinemo::keyboard
