// Failing allocations for the library's unit tests: the C allocation functions, replaced.
#include "test_support.h"

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define KESTRIN_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRIN_TEST_SANITIZED 1
#endif
#endif

namespace {
bool failing = false;
}

namespace kestrin_test {

#if defined(KESTRIN_TEST_SANITIZED) || !defined(__GLIBC__)
bool FailingAllocations::available() { return false; }
#else
bool FailingAllocations::available() { return true; }
#endif

FailingAllocations::FailingAllocations() { failing = available(); }
FailingAllocations::~FailingAllocations() { failing = false; }

}  // namespace kestrin_test

#if !defined(KESTRIN_TEST_SANITIZED) && defined(__GLIBC__)
// The executable's own allocation functions take precedence over the C library's; they hand the
// work to the C library's entry points unless a test has armed the failure.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);

void* malloc(size_t size) { return failing ? nullptr : __libc_malloc(size); }
void* calloc(size_t count, size_t size) { return failing ? nullptr : __libc_calloc(count, size); }
void* realloc(void* block, size_t size) { return failing ? nullptr : __libc_realloc(block, size); }
}
#endif
