// The structured-exception guard around foreign libraries, on the real
// exception dispatch: what the guarded call reports, and that the thread's
// exception chain is as it was afterwards. Only the 32-bit program ships,
// and only its build has the guard.
#include "platform/win32/win_api.h"

#include <gtest/gtest.h>

#include "platform/win32/adapters.h"

namespace devstart {
namespace {

#if defined(__i386__)

// What Microsoft's compiler builds for `throw T(...)` on x86, by hand.
struct TypeDescriptor {
  const void* vftable;
  void* spare;
  char name[32];
};
struct CatchableType {
  unsigned properties;
  TypeDescriptor* type;
  int mdisp, pdisp, vdisp, size;
  void* copy;
};
struct CatchableTypeArray {
  int count;
  CatchableType* types[1];
};
struct ThrowInfo {
  unsigned attributes;
  void* unwind;
  void* forward;
  CatchableTypeArray* catchable;
};
struct ComError {
  const void* vftable;
  LONG hresult;
  void* info;
  wchar_t* message;
};

TypeDescriptor g_com_type{nullptr, nullptr, ".?AV_com_error@@"};
TypeDescriptor g_other_type{nullptr, nullptr, ".?AVbad_alloc@std@@"};
CatchableType g_com_catchable{0, &g_com_type, 0, -1, 0, sizeof(ComError), nullptr};
CatchableType g_other_catchable{0, &g_other_type, 0, -1, 0, sizeof(ComError), nullptr};
CatchableTypeArray g_com_array{1, {&g_com_catchable}};
CatchableTypeArray g_other_array{1, {&g_other_catchable}};
ThrowInfo g_com_info{0, nullptr, nullptr, &g_com_array};
ThrowInfo g_other_info{0, nullptr, nullptr, &g_other_array};

void ThrowLikeMsvc(ThrowInfo* info, LONG hresult) {
  ComError object{nullptr, hresult, nullptr, nullptr};
  ULONG_PTR args[3] = {0x19930520, reinterpret_cast<ULONG_PTR>(&object), reinterpret_cast<ULONG_PTR>(info)};
  ::RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 3, args);
}

void* ChainHead() {
  void* head;
  __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
  return head;
}

TEST(GuardedCall, ReportsWhatEndedTheCall) {
  struct Row {
    const char* name;
    int (*body)();
    GuardedCall expected;
  };
  const Row rows[] = {
      {"returns", [] { return 7; }, {7, false, 0, std::nullopt}},
      {"com_error",
       [] {
         ThrowLikeMsvc(&g_com_info, static_cast<LONG>(0x80070005u));
         return 1;
       },
       {0, true, 0xE06D7363u, static_cast<std::int32_t>(0x80070005u)}},
      {"other_cpp_type",
       [] {
         ThrowLikeMsvc(&g_other_info, 5);
         return 1;
       },
       {0, true, 0xE06D7363u, std::nullopt}},
      {"record_with_a_bad_pointer",
       [] {
         ThrowLikeMsvc(reinterpret_cast<ThrowInfo*>(16), 5);
         return 1;
       },
       {0, true, 0xE06D7363u, std::nullopt}},
      {"access_violation",
       [] {
         ::RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
         return 1;
       },
       {0, true, 0xC0000005u, std::nullopt}},
  };
  Win32Modules modules;
  for (const Row& row : rows) {
    void* before = ChainHead();
    GuardedCall got = modules.CallGuarded(row.body);
    EXPECT_EQ(got.result, row.expected.result) << row.name;
    EXPECT_EQ(got.raised, row.expected.raised) << row.name;
    EXPECT_EQ(got.code, row.expected.code) << row.name;
    EXPECT_EQ(got.com_hresult, row.expected.com_hresult) << row.name;
    EXPECT_EQ(ChainHead(), before) << row.name;
  }
}

#endif

}  // namespace
}  // namespace devstart
