// One slip in the use of a lock or a role per TRAWL_CASE: each must stop the
// build when the analysis is on (check_annotations.sh says which warning).

#include "platform/threadsafety.h"

class Counter {
public:
#if TRAWL_CASE == 1
    int read() { return m_count; }
#elif TRAWL_CASE == 2
    void write() { m_count = 1; }
#elif TRAWL_CASE == 3
    void call() { bump(); }
#elif TRAWL_CASE == 4
    void afterUnlock()
    {
        platform::UniqueLock lock(m_mutex);
        lock.unlock();
        m_count = 2;
    }
#elif TRAWL_CASE == 5
    void keep() { m_mutex.lock(); }
#elif TRAWL_CASE == 6
    int offRole() { return m_steps; }
#elif TRAWL_CASE == 7
    void pointee() { *m_slot = 3; }
#elif TRAWL_CASE == 8
    void twice()
    {
        platform::MutexLock lock(m_mutex);
        post();
    }
#elif TRAWL_CASE == 9
    void whileLetGo()
    {
        platform::MutexLock lock(m_mutex);
        platform::MutexUnlock unlocked(m_mutex);
        bump();
    }
#endif

private:
    void bump() TRAWL_REQUIRES(m_mutex) { ++m_count; }
    void post() TRAWL_EXCLUDES(m_mutex) {}

    platform::Mutex m_mutex;
    int m_count TRAWL_GUARDED_BY(m_mutex) = 0;
    int* m_slot TRAWL_PT_GUARDED_BY(m_mutex) = nullptr;
    platform::ThreadRole m_worker;
    int m_steps TRAWL_GUARDED_BY(m_worker) = 0;
};

Counter* makeCounter() { return new Counter; }
