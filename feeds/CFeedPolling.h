// Polite polling: what the popup keeps of each feed between its downloads, and what a refresh
// asks of the feed's server. The last feed read from an address is kept with the validators of
// its answer, so the next download asks for the document only if it changed, and a "304 Not
// Modified" shows the feed kept without a body read or parsed; a server that answered 429 or
// 503 with a Retry-After is not asked again before that time, and the refresh shows what is kept.
// Portable and for one thread; the time is the system's clock in seconds since 1970.
#pragma once
#include <map>
#include <memory>
#include <string>

#include "feeds/CFeed.h"
#include "feeds/HttpAnswer.h"

class CFeedPolling {
public:
    struct Plan {
        bool ask = true;              // false: the server asked to be left alone until later
        CHttpValidators conditions;   // sent with the request: empty without a feed kept
        std::shared_ptr<CFeed> kept;  // the feed kept from the last full answer, if any
    };

    // What a refresh of the address at `now` does.
    Plan PlanLoad(const std::string& url, long long now) const;

    // The download of the address ended with `answer` (status 0: no answer at all) and `loaded`
    // (what was read, empty when nothing was); gives the feed to show: the loaded one, or after
    // a 304 (or a 429 or 503) the one kept, when there is one.
    std::shared_ptr<CFeed> Answered(const std::string& url, long long now, const CHttpAnswer& answer,
                                    const std::shared_ptr<CFeed>& loaded);

    // Only the addresses of the list in use are kept.
    template <class Addresses>
    void KeepOnly(const Addresses& addresses)
    {
        std::map<std::string, Memory> kept;
        for (const auto& url : addresses) {
            auto found = m_memory.find(url);
            if (found != m_memory.end())
                kept.insert(*found);
        }
        m_memory.swap(kept);
    }

    size_t KeptCount() const { return m_memory.size(); }

private:
    struct Memory {
        std::shared_ptr<CFeed> feed;
        CHttpValidators validators;
        long long notBefore = 0;
    };
    std::map<std::string, Memory> m_memory;
};
