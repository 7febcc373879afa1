#pragma once

#include <filesystem>
#include <string>

namespace keelvault {

inline constexpr const char* kServiceUnitName = "keelvaultsvc.service";
inline constexpr const char* kServiceLockFileName = "KeelvaultSvc.lock";

// Whether a systemd ActiveState counts as a running service.
bool isRunningUnitState(const std::string& active_state);

// Whether the companion service runs: the systemd unit (user scope, then
// system scope) is activating, active or reloading, or another process holds
// the service lock in the data folder. Any failure counts as not running.
bool probeServiceRunning(const std::filesystem::path& data_folder);

// Whether some process holds the service lock of the data folder.
bool serviceLockHeld(const std::filesystem::path& data_folder);

// The exclusive lock the service holds for as long as it runs.
class ServiceLock {
public:
    ServiceLock() = default;
    ~ServiceLock();
    ServiceLock(const ServiceLock&) = delete;
    ServiceLock& operator=(const ServiceLock&) = delete;

    // False when the lock cannot be taken (another service holds it).
    bool acquire(const std::filesystem::path& data_folder);
    void release();
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace keelvault
