#include "instrument/boundedcall.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// What a call and its waiter share; the one that leaves last frees it.
struct Call
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
};

// The count of abandoned calls still running. Never destroyed: an abandoned call may come back
// while the program ends.
struct Abandoned
{
    std::mutex mutex;
    std::condition_variable none;
    int running = 0;
};

Abandoned &abandoned()
{
    static Abandoned *registry = new Abandoned;
    return *registry;
}

} // namespace

bool BoundedCall::run(int timeoutMs, std::function<void()> call,
                      std::function<void()> afterAbandoned)
{
    auto shared = std::make_shared<Call>();
    std::thread([shared, call = std::move(call), afterAbandoned = std::move(afterAbandoned)] {
        call();
        std::unique_lock<std::mutex> lock(shared->mutex);
        shared->finished = true;
        if (!shared->abandoned) {
            shared->done.notify_all();
            return;
        }
        lock.unlock();
        if (afterAbandoned)
            afterAbandoned();
        Abandoned &registry = abandoned();
        std::lock_guard<std::mutex> count(registry.mutex);
        --registry.running;
        registry.none.notify_all();
    }).detach();

    std::unique_lock<std::mutex> lock(shared->mutex);
    if (shared->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return shared->finished; }))
        return true;
    // Counted before the call can see that it was abandoned, so the count never runs behind.
    shared->abandoned = true;
    Abandoned &registry = abandoned();
    std::lock_guard<std::mutex> count(registry.mutex);
    ++registry.running;
    return false;
}
int BoundedCall::abandonedRunning()
{
    Abandoned &registry = abandoned();
    std::lock_guard<std::mutex> lock(registry.mutex);
    return registry.running;
}

bool BoundedCall::joinAbandoned(int timeoutMs)
{
    Abandoned &registry = abandoned();
    std::unique_lock<std::mutex> lock(registry.mutex);
    const auto none = [&] { return registry.running == 0; };
    if (timeoutMs < 0) {
        registry.none.wait(lock, none);
        return true;
    }
    return registry.none.wait_for(lock, std::chrono::milliseconds(timeoutMs), none);
}
