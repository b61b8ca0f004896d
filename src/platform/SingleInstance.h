// The guard that lets one copy of the program run per desktop session.
#pragma once

#include <cstdint>
#include <string>

namespace trs {

// Holds the named guard for as long as the object lives. The name plays the part of a
// session-wide mutex name; the guard is released by the system if the process dies.
class TSingleInstance {
 public:
  explicit TSingleInstance(const std::string& name);
  ~TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // False when another process of this session already holds the guard.
  bool Acquired() const { return Handle != NoHandle; }
  // Where the guard lives (for messages).
  const std::string& Path() const { return GuardPath; }

 private:
  // The OS's handle of the guard (a descriptor, or a Windows mutex handle), NoHandle when
  // the guard is not held.
  static constexpr std::intptr_t NoHandle = -1;
  std::intptr_t Handle = NoHandle;
  std::string GuardPath;
};

}  // namespace trs
