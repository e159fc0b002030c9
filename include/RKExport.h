// The one export macro of the library's public classes and functions.
#ifndef RKEXPORT_H
#define RKEXPORT_H

#if defined(_WIN32)
#if defined(RKDRV_BUILDING_LIBRARY)
#define RKDRV_API __declspec(dllexport)
#else
#define RKDRV_API __declspec(dllimport)
#endif
#else
#define RKDRV_API __attribute__((visibility("default")))
#endif

// For engine modules: marks the factory function exported, unmangled.
#if defined(_WIN32)
#define RKDRV_ENGINE_EXPORT extern "C" __declspec(dllexport)
#else
#define RKDRV_ENGINE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#endif
