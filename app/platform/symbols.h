// The compiler-specific spellings of the add-in, in one place, so that the rest of the code
// builds with any C++20 compiler the host's platform uses.
#pragma once

// Marks the one function that the host looks up by name in the loaded library. Everything
// else stays inside: on Windows a DLL exports only what is marked; elsewhere the build hides
// every other symbol.
#if defined(_WIN32)
#define TOLVANE_EXPORTED __declspec(dllexport)
#elif defined(__GNUC__)
#define TOLVANE_EXPORTED __attribute__((visibility("default")))
#else
#define TOLVANE_EXPORTED
#endif

// Lets the compiler check the arguments of a printf-style function against its format
// (formatIndex is the index of the format parameter, firstArgument that of the first variadic one),
// where the compiler can; elsewhere it checks nothing.
#if defined(__GNUC__)
#define TOLVANE_PRINTF_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define TOLVANE_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

// Asks the compiler to keep a function out of line (a thread_local's one lookup, made once
// per call rather than inlined at every use) or to put it inline (a step of a hot loop), where
// the compiler takes such a request; elsewhere the compiler decides.
#if defined(__GNUC__)
#define TOLVANE_NOINLINE __attribute__((noinline))
#define TOLVANE_ALWAYS_INLINE __attribute__((always_inline)) inline
#elif defined(_MSC_VER)
#define TOLVANE_NOINLINE __declspec(noinline)
#define TOLVANE_ALWAYS_INLINE __forceinline
#else
#define TOLVANE_NOINLINE
#define TOLVANE_ALWAYS_INLINE inline
#endif
