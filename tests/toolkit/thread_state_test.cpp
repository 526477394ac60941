// Thread states: the start-up thread's default dialog font, one block per thread
// in the slot, the font copied into a later thread's state as it is at that
// moment, and what releasing a state gives back.
#include "toolkit/thread_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

using namespace vornelle;

namespace {

struct ThreadStateTest : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(open_thread_states()); }
    void TearDown() override { close_thread_states(); }
};

DWORD WINAPI run_function(void* argument) {
    (*static_cast<std::function<void()>*>(argument))();
    return 0;
}

// Runs work on a new platform thread and waits for it to end.
void run_on_new_thread(std::function<void()> work) {
    HANDLE thread = CreateThread(0, 0, run_function, &work, 0, 0);
    ASSERT_NE(thread, (HANDLE)0);
    ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    CloseHandle(thread);
}

void set_font(ToolkitThreadState* state, const char* face, int32_t size) {
    std::memset(state->inherited.defaultFontFace, 0, sizeof state->inherited.defaultFontFace);
    std::strcpy(state->inherited.defaultFontFace, face);
    state->inherited.defaultFontSize = size;
}

struct Font {
    std::string face;
    int32_t size;
};

Font font_of(const ToolkitThreadState* state) {
    return Font{state->inherited.defaultFontFace, state->inherited.defaultFontSize};
}

TEST_F(ThreadStateTest, StartupThreadHasTheDefaultDialogFont) {
    ToolkitThreadState* state = thread_state();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state, firstThreadState);
    EXPECT_EQ(TlsGetValue(stateSlot), state);
    EXPECT_STREQ(state->inherited.defaultFontFace, "MS Sans Serif");
    EXPECT_EQ(state->inherited.defaultFontSize, 8);
    // The rest of the block is zero.
    EXPECT_EQ(state->closeOnRelease, (HANDLE)0);
    EXPECT_EQ(state->errorGuard, 0u);
    EXPECT_EQ(state->errorStatementStart, nullptr);
    EXPECT_EQ(state->errorStatementEnd, nullptr);
    for (size_t i = sizeof "MS Sans Serif"; i < sizeof state->inherited.defaultFontFace; ++i)
        EXPECT_EQ(state->inherited.defaultFontFace[i], 0) << "byte " << i;
}

void* no_memory(SIZE_T) { return nullptr; }

TEST_F(ThreadStateTest, NoMemoryGivesCodeSevenAndALaterCallTriesAgain) {
    run_on_new_thread([] {
        stateAllocator = no_memory;
        uint8_t code = 0;
        EXPECT_EQ(thread_state(&code), nullptr);
        EXPECT_EQ(code, 7);
        EXPECT_EQ(TlsGetValue(stateSlot), nullptr) << "a failed thread keeps no state";
        stateAllocator = platform_state_allocate;
        ToolkitThreadState* state = thread_state(&code);
        ASSERT_NE(state, nullptr);
        EXPECT_STREQ(state->inherited.defaultFontFace, "MS Sans Serif");
        release_thread_state();
    });
    stateAllocator = platform_state_allocate;
}

TEST(ThreadStateOpening, FailsWhenTheFirstStateCannotBeMade) {
    stateAllocator = no_memory;
    bool opened = open_thread_states();
    stateAllocator = platform_state_allocate;
    EXPECT_FALSE(opened);
    EXPECT_EQ(firstThreadState, nullptr);
    TlsFree(stateSlot);
}

TEST_F(ThreadStateTest, SameThreadGetsTheSameBlock) {
    ToolkitThreadState* state = thread_state();
    set_font(state, "Tahoma", 11);
    EXPECT_EQ(thread_state(), state);
    EXPECT_STREQ(thread_state()->inherited.defaultFontFace, "Tahoma");
    EXPECT_EQ(thread_state()->inherited.defaultFontSize, 11);
}

TEST_F(ThreadStateTest, NewThreadCopiesTheFontAsItIsThenAndSharesNoLaterChange) {
    ToolkitThreadState* first = thread_state();
    set_font(first, "Tahoma", 10);

    HANDLE made = CreateEventA(0, TRUE, FALSE, 0);
    HANDLE changed = CreateEventA(0, TRUE, FALSE, 0);
    HANDLE changedBack = CreateEventA(0, TRUE, FALSE, 0);
    ToolkitThreadState* workerState = nullptr;
    Font workerAtStart{}, workerAfterStartupChange{};
    std::function<void()> work = [&] {
        workerState = thread_state();
        if (!workerState) return;
        workerAtStart = font_of(workerState);
        SetEvent(made);
        WaitForSingleObject(changed, 30000);
        workerAfterStartupChange = font_of(workerState);
        set_font(workerState, "Courier New", 9);
        SetEvent(changedBack);
        release_thread_state();
    };
    HANDLE thread = CreateThread(0, 0, run_function, &work, 0, 0);
    ASSERT_NE(thread, (HANDLE)0);
    ASSERT_EQ(WaitForSingleObject(made, 30000), WAIT_OBJECT_0);
    set_font(first, "Arial", 12);
    SetEvent(changed);
    ASSERT_EQ(WaitForSingleObject(changedBack, 30000), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(made);
    CloseHandle(changed);
    CloseHandle(changedBack);

    ASSERT_NE(workerState, nullptr);
    EXPECT_NE(workerState, first);
    EXPECT_EQ(workerAtStart.face, "Tahoma");
    EXPECT_EQ(workerAtStart.size, 10);
    EXPECT_EQ(workerAfterStartupChange.face, "Tahoma");
    EXPECT_EQ(workerAfterStartupChange.size, 10);
    EXPECT_STREQ(first->inherited.defaultFontFace, "Arial");
    EXPECT_EQ(first->inherited.defaultFontSize, 12);
}

TEST_F(ThreadStateTest, NewThreadStateInheritsOnlyTheFont) {
    ToolkitThreadState* first = thread_state();
    first->errorGuard = 0x1234;
    first->errorStatementStart = first;
    first->errorStatementEnd = first;
    first->closeOnRelease = (HANDLE)0;
    ToolkitThreadState copy{};
    run_on_new_thread([&] {
        ToolkitThreadState* state = thread_state();
        if (state) copy = *state;
        release_thread_state();
    });
    EXPECT_EQ(copy.errorGuard, 0u);
    EXPECT_EQ(copy.errorStatementStart, nullptr);
    EXPECT_EQ(copy.errorStatementEnd, nullptr);
    EXPECT_STREQ(copy.inherited.defaultFontFace, "MS Sans Serif");
    EXPECT_EQ(copy.inherited.defaultFontSize, 8);
}

TEST_F(ThreadStateTest, ReleaseClearsTheSlotAndTheNextUseMakesAFreshState) {
    bool emptyBefore = false, emptyAfterRelease = false, fresh = false;
    Font remade{};
    run_on_new_thread([&] {
        release_thread_state();  // no state yet: nothing happens
        emptyBefore = TlsGetValue(stateSlot) == nullptr;
        ToolkitThreadState* state = thread_state();
        if (!state) return;
        set_font(state, "Courier New", 9);
        release_thread_state();
        emptyAfterRelease = TlsGetValue(stateSlot) == nullptr;
        ToolkitThreadState* again = thread_state();
        if (!again) return;
        fresh = TlsGetValue(stateSlot) == again;
        remade = font_of(again);
        release_thread_state();
    });
    EXPECT_TRUE(emptyBefore);
    EXPECT_TRUE(emptyAfterRelease);
    EXPECT_TRUE(fresh);
    EXPECT_EQ(remade.face, "MS Sans Serif");
    EXPECT_EQ(remade.size, 8);
}

TEST_F(ThreadStateTest, ReleaseClosesTheCloseOnReleaseHandle) {
    HANDLE event = CreateEventA(0, TRUE, FALSE, 0);
    ASSERT_NE(event, (HANDLE)0);
    DWORD info = 0;
    ASSERT_TRUE(GetHandleInformation(event, &info));
    run_on_new_thread([&] {
        ToolkitThreadState* state = thread_state();
        if (state) state->closeOnRelease = event;
        release_thread_state();
    });
    SetLastError(0);
    EXPECT_FALSE(GetHandleInformation(event, &info));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

}  // namespace
