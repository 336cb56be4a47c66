// Every lock and role of platform/threadsafety.h used as it should be: the
// analysis must find nothing here (compiled with -Werror=thread-safety).

#include <chrono>
#include <condition_variable>
#include <deque>

#include "platform/threadsafety.h"

class Queue {
public:
    void post(int job) TRAWL_EXCLUDES(m_mutex)
    {
        platform::MutexLock lock(m_mutex);
        m_jobs.push_back(job);
        m_wake.notify_one();
    }

    bool tryClear() TRAWL_EXCLUDES(m_mutex)
    {
        if (!m_mutex.try_lock())
            return false;
        m_jobs.clear();
        m_mutex.unlock();
        return true;
    }

    void run() TRAWL_EXCLUDES(m_mutex)
    {
        platform::ThreadRoleScope role(m_worker);
        platform::UniqueLock lock(m_mutex);
        lock.wait(m_wake, [&]() TRAWL_REQUIRES(m_mutex) { return !m_jobs.empty(); });
        int job = takeFront();
        lock.unlock();
        work(job);
        lock.lock();
        while (m_jobs.empty())
            lock.wait(m_wake);
        lock.waitFor(m_wake, std::chrono::milliseconds(1), [&]() TRAWL_REQUIRES(m_mutex) { return m_jobs.empty(); });
        drain(lock);
    }

    void onWorker() TRAWL_EXCLUDES(m_mutex)
    {
        m_worker.assertHeld();
        ++m_done;
        m_mutex.lock();
        m_mutex.assertHeld();
        *m_last = m_done;
        m_mutex.unlock();
    }

private:
    int takeFront() TRAWL_REQUIRES(m_mutex)
    {
        int job = m_jobs.front();
        m_jobs.pop_front();
        return job;
    }
    void work(int job) TRAWL_REQUIRES(m_worker) { m_done += job; }
    void drain(platform::UniqueLock& lock) TRAWL_REQUIRES(m_mutex, m_worker)
    {
        while (!m_jobs.empty()) {
            int job = takeFront();
            platform::MutexUnlock unlocked(m_mutex);
            work(job);
        }
        lock.wait(m_wake);
    }

    platform::Mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<int> m_jobs TRAWL_GUARDED_BY(m_mutex);
    int m_lastStore = 0;
    int* m_last TRAWL_PT_GUARDED_BY(m_mutex) = &m_lastStore;
    platform::ThreadRole m_worker;
    int m_done TRAWL_GUARDED_BY(m_worker) = 0;
};

void useQueue(Queue& queue)
{
    queue.post(1);
    queue.tryClear();
    queue.run();
    queue.onWorker();
}
