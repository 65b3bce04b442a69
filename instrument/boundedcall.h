#ifndef BOUNDEDCALL_H
#define BOUNDEDCALL_H

#include <functional>
#include <memory>
#include <optional>

// A call that has no time-out of its own (the system's resolver, the RPC library under VXI-11,
// which waits 25 s whatever it is told), bounded in time: it runs on a thread of its own and the
// caller waits for it at most the time-out. A call that takes longer is abandoned: it runs on
// there to its end, and is counted until it has come back, so that the program's end can wait
// for every such call instead of leaving it running.
class BoundedCall
{
public:
    // Runs call and waits at most timeoutMs: true when it returned within that time. An
    // abandoned call runs afterAbandoned on its own thread once it has come back (to free what
    // it made). Whatever call writes must be owned by call itself, as the caller may be gone.
    static bool run(int timeoutMs, std::function<void()> call,
                    std::function<void()> afterAbandoned = {});

    // The same for a call with a result: nullopt when it was abandoned; orphan then gets the
    // result once it comes.
    template <typename Result>
    static std::optional<Result> run(int timeoutMs, std::function<Result()> call,
                                     std::function<void(Result)> orphan = {})
    {
        auto result = std::make_shared<std::optional<Result>>();
        const bool returned = run(
            timeoutMs, [result, call] { *result = call(); },
            [result, orphan] {
                if (orphan)
                    orphan(**result);
            });
        if (!returned)
            return std::nullopt;
        return *result;
    }

    // How many abandoned calls are still running.
    static int abandonedRunning();

    // Waits until every abandoned call has come back, at most timeoutMs (< 0: as long as it
    // takes). True when none runs any more.
    static bool joinAbandoned(int timeoutMs = -1);
};

#endif // BOUNDEDCALL_H
