// The one emulated system of the process: its settings, fault hooks and the
// reset that each area of the platform follows.
#include "kvp/system.h"

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace kvp {
namespace {

struct Settings {
    std::string stateDir;
    bool fixedClock = false;
    SYSTEMTIME clock{};
    UINT ansiCodePage = 932;
    std::string userName = "user";
    std::string machineName = "KVHOST";
    std::string tempDir;
    int faults[3] = {0, 0, 0};
};

Settings &S()
{
    static Settings s;
    return s;
}

std::vector<ResetHook> &Hooks()
{
    static std::vector<ResetHook> hooks;
    return hooks;
}

std::string DefaultTempDir()
{
    const char *t = std::getenv("TMPDIR");
    std::string dir = (t && *t) ? t : "/tmp";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

void ApplyDefaults(const std::string &stateDir)
{
    Settings fresh;
    fresh.stateDir = stateDir;
    fresh.tempDir = DefaultTempDir();
    S() = fresh;
    for (ResetHook h : Hooks()) h();
}

}  // namespace

void SystemReset() { ApplyDefaults(std::string()); }

bool SystemOpenState(const char *dir)
{
    if (!dir || !*dir) return false;
    std::string d(dir);
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    ApplyDefaults(d);
    return true;
}

const char *SystemStateDir() { return S().stateDir.c_str(); }

void SystemSetLocalTime(const SYSTEMTIME *time)
{
    S().fixedClock = time != nullptr;
    if (time) S().clock = *time;
}

bool SystemFixedLocalTime(SYSTEMTIME *out)
{
    if (!S().fixedClock) return false;
    *out = S().clock;
    return true;
}

void SystemSetAnsiCodePage(UINT codePage) { S().ansiCodePage = codePage; }
UINT SystemAnsiCodePage() { return S().ansiCodePage; }
void SystemSetUserName(const char *utf8) { S().userName = utf8 ? utf8 : ""; }
void SystemSetMachineName(const char *utf8) { S().machineName = utf8 ? utf8 : ""; }
const char *SystemUserName() { return S().userName.c_str(); }
const char *SystemMachineName() { return S().machineName.c_str(); }

void SystemSetTempDir(const char *path)
{
    std::string d = path ? path : "";
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    S().tempDir = d.empty() ? DefaultTempDir() : d;
}

const char *SystemTempDir()
{
    if (S().tempDir.empty()) S().tempDir = DefaultTempDir();
    return S().tempDir.c_str();
}

void SystemFailNext(Fault fault, int count) { S().faults[static_cast<int>(fault)] = count; }

bool SystemTakeFault(Fault fault)
{
    int &n = S().faults[static_cast<int>(fault)];
    if (n <= 0) return false;
    --n;
    return true;
}

void SystemAddResetHook(ResetHook hook) { Hooks().push_back(hook); }

// A process that names a state directory in KVPS_STATE works on that
// persisted system from the start, as every process on one Windows machine
// shares its registry and spooler.
namespace {
struct StateFromEnvironment {
    StateFromEnvironment()
    {
        const char *dir = std::getenv("KVPS_STATE");
        if (dir && *dir) S().stateDir = dir;
        S().tempDir = DefaultTempDir();
    }
};
}  // namespace
// Runs after the areas' own static registrations (init_priority keeps the
// settings ready before any area reads them).
__attribute__((init_priority(200))) static StateFromEnvironment g_stateFromEnvironment;

}  // namespace kvp
