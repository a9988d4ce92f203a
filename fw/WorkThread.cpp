#include "fw/WorkThread.h"

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>

#include "fw/CScopedHandle.h"
#else
#include <chrono>
#include <random>
#include <system_error>
#include <thread>
#endif

#include <memory>

#ifdef _WIN32

namespace {

DWORD WINAPI RunWork(void* parameter)
{
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    return 0;
}

} // namespace

bool StartWorkThread(std::function<void()> work)
{
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    const CKernelHandle thread(::CreateThread(nullptr, 0, RunWork, owned.get(), 0, nullptr));
    if (!thread)
        return false;
    owned.release(); // the thread's now
    return true;
}

unsigned RandomTicketBase()
{
    unsigned base = 0;
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&base), sizeof base,
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        base = static_cast<unsigned>(::GetTickCount64() * 2654435761u) ^ ::GetCurrentThreadId() ^ ::GetCurrentProcessId();
    return base;
}

#else

bool StartWorkThread(std::function<void()> work)
{
    try {
        std::thread(std::move(work)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

unsigned RandomTicketBase()
{
    try {
        std::random_device device;
        return static_cast<unsigned>(device());
    } catch (const std::exception&) {
        return static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count() * 2654435761u);
    }
}

#endif
