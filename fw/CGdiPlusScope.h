// GDI+ for the life of the process: started once, on the thread that owns this object, before
// any picture is decoded, and shut down when it goes, unless a decoding still runs on another
// thread (the process's end then takes GDI+ down).
//
// Work that decodes on another thread holds a Use from the moment it is started (on the owner's
// thread) until it ends, so that the shutdown never comes while it may still decode.
#pragma once
#include <memory>

class CGdiPlusScope {
public:
    CGdiPlusScope();
    ~CGdiPlusScope();
    CGdiPlusScope(const CGdiPlusScope&) = delete;
    CGdiPlusScope& operator=(const CGdiPlusScope&) = delete;

    bool Started() const { return m_started; }

    // Held by work that may decode; let go of when the work ends, on any thread.
    using Use = std::shared_ptr<void>;
    static Use Hold();

private:
    bool m_started;
};
