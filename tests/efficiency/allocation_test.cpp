// A frame allocates nothing on the heap: update and draw, with GL sent to a sink that draws
// nothing, run a hundred frames while every allocation in this test binary is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

#include "field/MetaballField.h"
#include "render/ContourRenderer.h"

namespace
{

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void noteAllocation()
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}

long allocationsDuring(void (*work)())
{
    allocations = 0;
    counting = true;
    work();
    counting = false;
    return allocations;
}

} // namespace

// A sanitizer brings its own allocator and must keep it; there only operator new is counted.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VORNELLE_SANITIZED_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
#define VORNELLE_SANITIZED_ALLOCATOR 1
#endif
#endif
#ifndef VORNELLE_SANITIZED_ALLOCATOR
extern "C"
{
    void* __libc_malloc(std::size_t size);
    void* __libc_calloc(std::size_t count, std::size_t size);
    void* __libc_realloc(void* pointer, std::size_t size);
    void* __libc_memalign(std::size_t alignment, std::size_t size);
    void __libc_free(void* pointer);

    void* malloc(std::size_t size)
    {
        noteAllocation();
        return __libc_malloc(size);
    }

    void* calloc(std::size_t count, std::size_t size)
    {
        noteAllocation();
        return __libc_calloc(count, size);
    }

    void* realloc(void* pointer, std::size_t size)
    {
        noteAllocation();
        return __libc_realloc(pointer, size);
    }

    void* aligned_alloc(std::size_t alignment, std::size_t size)
    {
        noteAllocation();
        return __libc_memalign(alignment, size);
    }

    int posix_memalign(void** result, std::size_t alignment, std::size_t size)
    {
        noteAllocation();
        *result = __libc_memalign(alignment, size);
        return *result != nullptr ? 0 : ENOMEM;
    }

    void free(void* pointer)
    {
        __libc_free(pointer);
    }
} // extern "C"
#define VORNELLE_COUNTS_MALLOC 1
#endif

void* operator new(std::size_t size)
{
#ifndef VORNELLE_COUNTS_MALLOC
    noteAllocation();
#endif
    void* pointer = std::malloc(size != 0 ? size : 1);
    if (pointer == nullptr)
        throw std::bad_alloc();
    return pointer;
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void operator delete(void* pointer) noexcept
{
    std::free(pointer);
}

void operator delete[](void* pointer) noexcept
{
    std::free(pointer);
}

void operator delete(void* pointer, std::size_t) noexcept
{
    std::free(pointer);
}

void operator delete[](void* pointer, std::size_t) noexcept
{
    std::free(pointer);
}

namespace
{

MetaballField* field = nullptr;
ContourRenderer* renderer = nullptr;

void runHundredFrames()
{
    for (int frame = 0; frame < 100; ++frame)
    {
        field->update(1.0f / 60.0f);
        renderer->draw();
    }
}

void allocateOnceEachWay()
{
    int* volatile object = new int(1);
    delete object;
    void* volatile block = std::malloc(32);
    std::free(block);
}

} // namespace

TEST(Allocations, TheCounterSeesNewAndMalloc)
{
#ifdef VORNELLE_COUNTS_MALLOC
    EXPECT_EQ(allocationsDuring(allocateOnceEachWay), 2);
#else
    EXPECT_GE(allocationsDuring(allocateOnceEachWay), 1);
#endif
}

TEST(Allocations, AHundredFramesOfUpdateAndDrawAllocateNothing)
{
    std::srand(12345);
    field = new MetaballField();
    renderer = new ContourRenderer(field, 1.0f);
    renderer->draw(); // the first frame may settle one-time choices, such as the CPU path

    EXPECT_EQ(allocationsDuring(runHundredFrames), 0);

    delete renderer;
    delete field;
}
