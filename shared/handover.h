#pragma once
// Calls that Qt carries to another thread (a queued invokeMethod, a thread
// pool task), marked for the thread sanitizer. Qt is not built with it, so the
// locks of its event queue and thread pool are invisible to it, and the data a
// call carries across looks unguarded. The marks stand in for those locks; in a
// build without the sanitizer they are nothing.
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define ORM_TSAN_MARKS 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORM_TSAN_MARKS 1
#endif
#endif

#ifdef ORM_TSAN_MARKS
#include <sanitizer/tsan_interface.h>
// What a thread did before a release at an address happens before what a
// thread does after an acquire at the same address.
#define ORM_TSAN_RELEASE(address)                                                                  \
    __tsan_release(const_cast<void *>(static_cast<const void *>(address)))
#define ORM_TSAN_ACQUIRE(address)                                                                  \
    __tsan_acquire(const_cast<void *>(static_cast<const void *>(address)))
#else
#define ORM_TSAN_RELEASE(address) static_cast<void>(address)
#define ORM_TSAN_ACQUIRE(address) static_cast<void>(address)
#endif

namespace orm {

// A call to hand to Qt for another thread. Qt moves it into the object it
// queues; that copy releases once it is complete, before Qt can pass it on.
// Running it or destroying it acquires first, in whichever thread Qt does so,
// and a run releases again: Qt may destroy its copy in the thread that queued it.
template <typename Call> class HandedOver {
public:
    explicit HandedOver(Call call) : m_call(std::move(call)) {}
    HandedOver(const HandedOver &other) : m_call(other.m_call) { ORM_TSAN_RELEASE(this); }
    HandedOver(HandedOver &&other) noexcept : m_call(std::move(other.m_call))
    {
        ORM_TSAN_RELEASE(this);
    }
    HandedOver &operator=(const HandedOver &) = delete;
    ~HandedOver() { ORM_TSAN_ACQUIRE(this); }

    void operator()()
    {
        ORM_TSAN_ACQUIRE(this);
        m_call();
        ORM_TSAN_RELEASE(this);
    }

private:
    Call m_call;
};

} // namespace orm
