// A structured-exception guard for calls into foreign libraries. GCC has no
// __try, so on x86 the guard is a hand-made registration record on the
// thread's exception chain (fs:[0]) whose handler unwinds the frames the
// library registered above it and jumps back to the guard.
//
// A C++ exception thrown by Microsoft's compiler arrives as code 0xE06D7363
// with the thrown object and its type description in the record. When that
// type is `_com_error`, the error it carries is read from the object (its
// HRESULT sits right after the virtual table pointer), so the caller can show
// the same text the thrower's own catch would have shown. Every pointer in
// the record is checked before it is read: the record comes from code we do
// not control.
#include "platform/win32/convert.h"

#include <cstring>
#include <functional>

#include "platform/win32/adapters.h"

namespace devstart {

#if defined(__i386__)

namespace {

bool Readable(const void* p, std::size_t size) {
  if (p == nullptr) return false;
  MEMORY_BASIC_INFORMATION info;
  if (::VirtualQuery(p, &info, sizeof info) != sizeof info) return false;
  if (info.State != MEM_COMMIT || (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0) return false;
  auto begin = reinterpret_cast<std::uintptr_t>(p);
  auto end = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
  return begin + size <= end;
}

// The x86 layout of what Microsoft's compiler throws with: ThrowInfo points
// to an array of catchable types, each naming its type by decorated name.
constexpr char kComErrorName[] = ".?AV_com_error@@";

std::optional<std::int32_t> ComErrorOf(const EXCEPTION_RECORD* record) {
  if (record->ExceptionCode != 0xE06D7363u || record->NumberParameters != 3) return std::nullopt;
  ULONG_PTR magic = record->ExceptionInformation[0];
  if (magic < 0x19930520u || magic > 0x19930522u) return std::nullopt;
  const auto* object = reinterpret_cast<const unsigned char*>(record->ExceptionInformation[1]);
  const auto* throw_info = reinterpret_cast<const std::uint32_t*>(record->ExceptionInformation[2]);
  if (!Readable(throw_info, 16)) return std::nullopt;
  const auto* types = reinterpret_cast<const std::int32_t*>(throw_info[3]);
  if (!Readable(types, 4) || types[0] < 1 || types[0] > 64) return std::nullopt;
  if (!Readable(types, 4 * (1 + static_cast<std::size_t>(types[0])))) return std::nullopt;
  for (std::int32_t i = 1; i <= types[0]; ++i) {
    const auto* catchable = reinterpret_cast<const std::uint32_t*>(types[i]);
    if (!Readable(catchable, 8)) continue;
    const auto* descriptor = reinterpret_cast<const char*>(catchable[1]);
    if (!Readable(descriptor, 8 + sizeof kComErrorName)) continue;
    if (std::memcmp(descriptor + 8, kComErrorName, sizeof kComErrorName) != 0) continue;
    if (!Readable(object, 8)) return std::nullopt;
    std::int32_t hresult;
    std::memcpy(&hresult, object + 4, sizeof hresult);
    return hresult;
  }
  return std::nullopt;
}

// Windows finds the handler through `prev` and `handler`, which must come
// first and in this order.
struct GuardFrame {
  GuardFrame* prev;
  void* handler;
  GuardedCall* out;
  void* resume[5];  // __builtin_setjmp's buffer
};

EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  auto* guard = static_cast<GuardFrame*>(frame);
  guard->out->raised = true;
  guard->out->code = record->ExceptionCode;
  guard->out->com_hresult = ComErrorOf(record);
  // The library's own frames above ours get their unwind call; RtlUnwind
  // returns here with our record at the head of the chain.
  ::RtlUnwind(frame, nullptr, record, nullptr);
  __builtin_longjmp(guard->resume, 1);
}

GuardFrame* ChainHead() {
  GuardFrame* head;
  __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetChainHead(GuardFrame* head) { __asm__ __volatile__("movl %0, %%fs:0" : : "r"(head) : "memory"); }

}  // namespace

GuardedCall Win32Modules::CallGuarded(const std::function<int()>& call) {
  GuardedCall out;
  GuardFrame frame{};
  frame.handler = reinterpret_cast<void*>(&GuardHandler);
  frame.out = &out;
  if (__builtin_setjmp(frame.resume) == 0) {
    frame.prev = ChainHead();
    SetChainHead(&frame);
    out.result = call();
  }
  SetChainHead(frame.prev);
  return out;
}

#else

// Only the 32-bit program ships; other builds are test helpers, and there
// the call runs unguarded.
GuardedCall Win32Modules::CallGuarded(const std::function<int()>& call) {
  GuardedCall out;
  out.result = call();
  return out;
}

#endif

}  // namespace devstart
