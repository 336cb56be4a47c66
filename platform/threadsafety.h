#pragma once

// What clang's thread-safety analysis (-Wthread-safety, the build option
// TRAWL_THREAD_SAFETY) needs to check the project's locking: the annotation
// macros, which expand to nothing for other compilers, a mutex and the scoped
// locks that carry them (the C++ library's own are not annotated), and a
// thread role, a capability no lock stands behind, for the members that only
// one thread touches.
//
//     class Reader {
//         platform::Mutex m_mutex;
//         std::condition_variable m_wake;
//         std::deque<Job> m_jobs TRAWL_GUARDED_BY(m_mutex);
//         platform::ThreadRole m_readerThread;            // the reader's own thread
//         int m_depth TRAWL_GUARDED_BY(m_readerThread) = 0;
//
//         void post(Job job) TRAWL_EXCLUDES(m_mutex) {
//             platform::MutexLock lock(m_mutex);
//             m_jobs.push_back(std::move(job));
//             m_wake.notify_one();
//         }
//         void run() {                                     // the body of the reader's thread
//             platform::ThreadRoleScope role(m_readerThread);
//             platform::UniqueLock lock(m_mutex);
//             for (;;) {
//                 lock.wait(m_wake, [&]() TRAWL_REQUIRES(m_mutex) { return !m_jobs.empty(); });
//                 Job job = std::move(m_jobs.front());
//                 m_jobs.pop_front();
//                 lock.unlock();
//                 work(job);
//                 lock.lock();
//             }
//         }
//         void work(const Job& job) TRAWL_REQUIRES(m_readerThread) { ++m_depth; ... }
//     };
//
// A lambda is a function of its own to the analysis: one that touches guarded
// members says what it needs (TRAWL_REQUIRES), as the predicate above does.
// The analysis follows a lock object only in the function that declares it: a
// function handed a UniqueLock& that lets the mutex go for a while says
// TRAWL_REQUIRES(the mutex) and lets it go with a MutexUnlock on the mutex,
// not with the lock's unlock().
//
// The analysis sees no further than one function at a time and does not follow
// pointers' aliases; what it cannot prove, a function may assert
// (Mutex::assertHeld, ThreadRole::assertHeld) or, as a last resort, leave
// unchecked (TRAWL_NO_THREAD_SAFETY_ANALYSIS).

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

#if defined(__clang__)
#define TRAWL_THREAD_ANNOTATION(attribute) __attribute__((attribute))
#else
#define TRAWL_THREAD_ANNOTATION(attribute)
#endif

// On a class: its objects are capabilities (a lock, a role); name is what the
// warnings call them.
#define TRAWL_CAPABILITY(name) TRAWL_THREAD_ANNOTATION(capability(name))
// On a class: its objects hold a capability from construction to destruction.
#define TRAWL_SCOPED_CAPABILITY TRAWL_THREAD_ANNOTATION(scoped_lockable)
// On a member: read and written only with the capability held.
#define TRAWL_GUARDED_BY(capability) TRAWL_THREAD_ANNOTATION(guarded_by(capability))
// On a pointer member: what it points to is read and written only with the capability held.
#define TRAWL_PT_GUARDED_BY(capability) TRAWL_THREAD_ANNOTATION(pt_guarded_by(capability))
// On a function: called only with the capabilities held, and leaves them held.
#define TRAWL_REQUIRES(...) TRAWL_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// On a function: takes the capabilities (its own object's when none is named).
#define TRAWL_ACQUIRE(...) TRAWL_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
// On a function: gives the capabilities back (its own object's when none is named).
#define TRAWL_RELEASE(...) TRAWL_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// On a function: takes the capabilities when it returns the value given first.
#define TRAWL_TRY_ACQUIRE(...) TRAWL_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
// On a function: called only without the capabilities held (it takes them itself).
#define TRAWL_EXCLUDES(...) TRAWL_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// On a function: the capability is held from its call on, as it checks or promises.
#define TRAWL_ASSERT_CAPABILITY(capability) TRAWL_THREAD_ANNOTATION(assert_capability(capability))
// On a function: returns (a reference to) the capability named.
#define TRAWL_RETURN_CAPABILITY(capability) TRAWL_THREAD_ANNOTATION(lock_returned(capability))
// On a function: not analysed at all.
#define TRAWL_NO_THREAD_SAFETY_ANALYSIS TRAWL_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace platform {

// std::mutex as a capability. native() is for std::condition_variable and the
// like only: a lock taken through it is not seen by the analysis (UniqueLock
// is the way to wait on a condition variable).
class TRAWL_CAPABILITY("mutex") Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() TRAWL_ACQUIRE() { m_mutex.lock(); }
    void unlock() TRAWL_RELEASE() { m_mutex.unlock(); }
    bool try_lock() TRAWL_TRY_ACQUIRE(true) { return m_mutex.try_lock(); }
    // Tells the analysis that the caller holds the mutex where it cannot see
    // that for itself (a callback called under the lock). Checks nothing.
    void assertHeld() const TRAWL_ASSERT_CAPABILITY(this) {}

    std::mutex& native() TRAWL_RETURN_CAPABILITY(this) { return m_mutex; }

private:
    std::mutex m_mutex;
};

// Holds a Mutex for its lifetime.
class TRAWL_SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) TRAWL_ACQUIRE(mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~MutexLock() TRAWL_RELEASE() { m_mutex.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& m_mutex;
};

// Lets a held Mutex go for its lifetime and takes it again at its end. Works
// whatever holds the mutex (a MutexLock, a UniqueLock, lock()).
class TRAWL_SCOPED_CAPABILITY MutexUnlock {
public:
    explicit MutexUnlock(Mutex& mutex) TRAWL_RELEASE(mutex) : m_mutex(mutex) { m_mutex.unlock(); }
    // Takes the mutex again (the analysis calls the end of the scope a release).
    ~MutexUnlock() TRAWL_RELEASE() { m_mutex.lock(); }
    MutexUnlock(const MutexUnlock&) = delete;
    MutexUnlock& operator=(const MutexUnlock&) = delete;

private:
    Mutex& m_mutex;
};

// Holds a Mutex for its lifetime but for where it is unlocked and locked again,
// and waits on a std::condition_variable. The analysis counts the mutex held
// across a wait: it is, whenever the caller's code runs.
class TRAWL_SCOPED_CAPABILITY UniqueLock {
public:
    explicit UniqueLock(Mutex& mutex) TRAWL_ACQUIRE(mutex) : m_lock(mutex.native()) {}
    ~UniqueLock() TRAWL_RELEASE() {}
    UniqueLock(const UniqueLock&) = delete;
    UniqueLock& operator=(const UniqueLock&) = delete;

    void lock() TRAWL_ACQUIRE() { m_lock.lock(); }
    void unlock() TRAWL_RELEASE() { m_lock.unlock(); }

    void wait(std::condition_variable& condition) { condition.wait(m_lock); }
    // Until predicate() is true, as it is on return (or until the time is up:
    // false). A predicate that reads guarded members is a lambda annotated
    // TRAWL_REQUIRES(the mutex); the condition variable calls it with the
    // mutex held, out of the analysis's sight.
    template <typename Predicate>
    void wait(std::condition_variable& condition, Predicate predicate) TRAWL_NO_THREAD_SAFETY_ANALYSIS
    {
        condition.wait(m_lock, std::move(predicate));
    }
    template <typename Rep, typename Period, typename Predicate>
    bool waitFor(std::condition_variable& condition, const std::chrono::duration<Rep, Period>& timeout,
                 Predicate predicate) TRAWL_NO_THREAD_SAFETY_ANALYSIS
    {
        return condition.wait_for(m_lock, timeout, std::move(predicate));
    }
    template <typename Clock, typename Duration, typename Predicate>
    bool waitUntil(std::condition_variable& condition, const std::chrono::time_point<Clock, Duration>& deadline,
                   Predicate predicate) TRAWL_NO_THREAD_SAFETY_ANALYSIS
    {
        return condition.wait_until(m_lock, deadline, std::move(predicate));
    }

private:
    std::unique_lock<std::mutex> m_lock;
};

// A capability no lock stands behind: the part one thread plays. Members that
// only that thread touches are TRAWL_GUARDED_BY(the role), the functions that
// run on it TRAWL_REQUIRES(the role), and the thread's body takes the role
// (ThreadRoleScope, or assertHeld() on entry). The analysis then checks that
// nothing outside the thread's functions reaches those members; nothing is
// checked at run time.
class TRAWL_CAPABILITY("thread role") ThreadRole {
public:
    void acquire() TRAWL_ACQUIRE() {}
    void release() TRAWL_RELEASE() {}
    void assertHeld() const TRAWL_ASSERT_CAPABILITY(this) {}
};

// Plays a ThreadRole for its lifetime.
class TRAWL_SCOPED_CAPABILITY ThreadRoleScope {
public:
    explicit ThreadRoleScope(ThreadRole& role) TRAWL_ACQUIRE(role) : m_role(role) { m_role.acquire(); }
    ~ThreadRoleScope() TRAWL_RELEASE() { m_role.release(); }
    ThreadRoleScope(const ThreadRoleScope&) = delete;
    ThreadRoleScope& operator=(const ThreadRoleScope&) = delete;

private:
    ThreadRole& m_role;
};

}  // namespace platform
