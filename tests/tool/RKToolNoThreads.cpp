// Preloaded into the tool by a test: no thread can be started, a fault the
// tool has to report as its own.
#include <errno.h>
#include <pthread.h>

extern "C" int pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*)
{
    return EAGAIN;
}
