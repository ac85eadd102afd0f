// COM: the apartment and the XML document the live-update library holds.
#include "platform/win32/convert.h"

#include <ole2.h>

#include <string>

#include "platform/win32/adapters.h"

namespace devstart {

std::int32_t Win32Com::CoInitialize() { return ::CoInitialize(nullptr); }

void* Win32Com::CreateDocument(const std::string& prog_id) {
  // IXMLDOMDocument2, spelled out: msxml2.h would bring the whole DOM in.
  static const IID kIidDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
  // Programmatic identifiers are ASCII.
  std::wstring wide(prog_id.begin(), prog_id.end());
  CLSID clsid;
  if (FAILED(::CLSIDFromProgID(wide.c_str(), &clsid))) return nullptr;
  IUnknown* unknown = nullptr;
  if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&unknown))) ||
      unknown == nullptr) {
    return nullptr;
  }
  void* document = nullptr;
  if (FAILED(::OleRun(unknown)) || FAILED(unknown->QueryInterface(kIidDocument2, &document))) document = nullptr;
  unknown->Release();
  return document;
}

void Win32Com::Release(void* object) { static_cast<IUnknown*>(object)->Release(); }

void Win32Com::CoUninitialize() { ::CoUninitialize(); }

}  // namespace devstart
