#pragma once

// Failed logins counted per client address: each failure makes the next refusal come later,
// and an address that keeps failing is refused outright for a while. The count lives in memory
// only and forgets an address that has not failed for a while.

#include <QString>

#include <chrono>
#include <map>
#include <mutex>

namespace tds {

struct ThrottleLimits {
    // Failures within `window` of each other that make the address refused for `blockFor`.
    int blockAfter = 10;
    std::chrono::milliseconds window{60000};
    std::chrono::milliseconds blockFor{60000};
    // The delay before a refusal: `step` for each failure counted, at most `maxDelay`.
    std::chrono::milliseconds step{200};
    std::chrono::milliseconds maxDelay{2000};
    // Addresses remembered at most; beyond, the ones that failed longest ago are forgotten.
    qsizetype maxAddresses = 4096;
};

class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    explicit LoginThrottle(ThrottleLimits limits = {})
        : m_limits(limits) {}

    struct Verdict {
        std::chrono::milliseconds delay{0}; // wait this long before answering the refusal
        bool blockStarts = false;           // this failure made the address refused
        int failures = 0;                   // failures counted for the address, this one included
    };
    // Records a failed login from `address`.
    Verdict failed(const QString& address, Clock::time_point now = Clock::now());
    // Whether connections from `address` are refused now.
    bool blocked(const QString& address, Clock::time_point now = Clock::now());
    const ThrottleLimits& limits() const { return m_limits; }

private:
    struct Entry {
        int failures = 0;
        Clock::time_point lastFailure;
        Clock::time_point blockedUntil;
    };

    void makeRoom(Clock::time_point now);

    ThrottleLimits m_limits;
    std::mutex m_mutex;
    std::map<QString, Entry> m_entries;
};

} // namespace tds
