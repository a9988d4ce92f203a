#include "feeds/CFeedPolling.h"

CFeedPolling::Plan CFeedPolling::PlanLoad(const std::string& url, long long now) const
{
    Plan plan;
    const auto found = m_memory.find(url);
    if (found == m_memory.end())
        return plan;
    plan.kept = found->second.feed;
    plan.ask = now >= found->second.notBefore;
    if (plan.kept)
        plan.conditions = found->second.validators;
    return plan;
}

std::shared_ptr<CFeed> CFeedPolling::Answered(const std::string& url, long long now, const CHttpAnswer& answer,
                                              const std::shared_ptr<CFeed>& loaded)
{
    Memory& memory = m_memory[url];
    if (answer.status == 304 && memory.feed)
        return memory.feed;
    if (answer.status == 429 || answer.status == 503) {
        if (answer.retryAfterSeconds >= 0)
            memory.notBefore = now + answer.retryAfterSeconds;
        if (memory.feed)
            return memory.feed;
        return loaded;
    }
    memory.notBefore = 0;
    if (answer.status >= 200 && answer.status < 300 && loaded && loaded->m_items.GetSize() > 0) {
        memory.feed = loaded;
        memory.validators = answer.validators;
    }
    if (!memory.feed)
        m_memory.erase(url);
    return loaded;
}
