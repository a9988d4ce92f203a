#include "feeds/FeedHealth.h"

#include <algorithm>

namespace {

// The system's result codes that say the server's certificate was not to be trusted: the
// moniker library's own, the certificate chain's (CERT_E_*, TRUST_E_*), and WinINet's security
// errors as HRESULTs.
bool IsCertificateResult(unsigned long code)
{
    const unsigned long invalidCertificate = 0x800C0019ul; // INET_E_INVALID_CERTIFICATE
    const unsigned long securityProblem = 0x800C000Eul;   // INET_E_SECURITY_PROBLEM
    if (code == invalidCertificate || code == securityProblem)
        return true;
    if (code >= 0x800B0100ul && code <= 0x800B01FFul) // CERT_E_*, TRUST_E_* of the chain
        return true;
    const unsigned long wininet = code - 0x80070000ul; // ERROR_INTERNET_* as HRESULTs
    return code >= 0x80070000ul && ((wininet >= 12037 && wininet <= 12045) || wininet == 12157 || wininet == 12169 ||
                                    wininet == 12175 || wininet == 12179);
}

std::string Number(unsigned value)
{
    return std::to_string(value);
}

} // namespace

FeedHealthKind ClassifyFeedLoad(const FeedLoadFacts& facts)
{
    if (facts.status == 304)
        return FeedHealthKind::NotModified;
    if (facts.status == 404 || facts.status == 410)
        return FeedHealthKind::NotFound;
    if (facts.status >= 400)
        return FeedHealthKind::ServerError;
    if (facts.downloaded)
        return facts.parsed ? FeedHealthKind::Items : FeedHealthKind::NotAFeed;
    if (!facts.abandoned && facts.status == 0 && IsCertificateResult(static_cast<unsigned long>(facts.result)))
        return FeedHealthKind::CertificateNotTrusted;
    return FeedHealthKind::NoAnswer;
}

bool IsFailure(FeedHealthKind kind)
{
    return kind != FeedHealthKind::Items && kind != FeedHealthKind::NotModified;
}

std::string FeedHealthText(const FeedHealth& health)
{
    std::string text;
    switch (health.kind) {
    case FeedHealthKind::Items:
        text = health.items == 1 ? "1 item" : Number(static_cast<unsigned>(std::max(health.items, 0))) + " items";
        break;
    case FeedHealthKind::NotModified:
        text = "unchanged";
        break;
    case FeedHealthKind::NotFound:
        text = "not found (" + Number(health.status) + ")";
        break;
    case FeedHealthKind::ServerError:
        text = "server error (" + Number(health.status) + ")";
        break;
    case FeedHealthKind::NotAFeed:
        text = "not a feed";
        break;
    case FeedHealthKind::CertificateNotTrusted:
        text = "certificate not trusted";
        break;
    case FeedHealthKind::NoAnswer:
        text = "no answer";
        break;
    }
    if (!health.when.empty())
        text += ", " + health.when;
    if (!health.movedTo.empty())
        text += ", moved to " + health.movedTo;
    return text;
}

const FeedHealth& CFeedHealthBook::Record(const std::string& feed, const std::string& requested,
                                          const FeedLoadFacts& facts, const std::string& when)
{
    FeedHealth& health = m_feeds[feed];
    health.kind = ClassifyFeedLoad(facts);
    health.status = facts.status;
    health.items = facts.items;
    health.when = when;
    health.movedTo = facts.redirectedTo != requested ? facts.redirectedTo : std::string();
    health.failuresInRow = IsFailure(health.kind) ? health.failuresInRow + 1 : 0;
    return health;
}

const FeedHealth* CFeedHealthBook::Find(const std::string& feed) const
{
    const auto found = m_feeds.find(feed);
    return found == m_feeds.end() ? nullptr : &found->second;
}

void CFeedHealthBook::KeepOnly(const std::vector<std::string>& listed)
{
    for (auto it = m_feeds.begin(); it != m_feeds.end();) {
        if (std::find(listed.begin(), listed.end(), it->first) == listed.end())
            it = m_feeds.erase(it);
        else
            ++it;
    }
}
