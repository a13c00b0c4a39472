// A symbolic link to the simulator's device that lives as long as the guard.
#pragma once

#include <string>

namespace kinemo::simulator {

class SymlinkGuard {
  public:
    SymlinkGuard() = default;
    ~SymlinkGuard() { Remove(); }
    SymlinkGuard(const SymlinkGuard&) = delete;
    SymlinkGuard& operator=(const SymlinkGuard&) = delete;

    // Creates linkPath -> target. A symbolic link already at linkPath (left
    // by an earlier run) is replaced; any other file there is kept and the
    // call fails.
    bool Create(const std::string& linkPath, const std::string& target, std::string* error);
    // Removes the link if it still points where we made it point.
    void Remove();

  private:
    std::string linkPath_;
    std::string target_;
};

}  // namespace kinemo::simulator
