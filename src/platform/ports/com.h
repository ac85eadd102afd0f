// COM.
#pragma once

#include <cstdint>
#include <string>

#include "platform/results.h"

namespace devstart {

class ICom {
 public:
  virtual ~ICom() = default;
  // CoInitialize(NULL): its HRESULT.
  virtual std::int32_t CoInitialize() = 0;
  // CLSIDFromProgID, CoCreateInstance (in-process), OleRun and the query for
  // the document interface; nullptr when any of them fails.
  virtual void* CreateDocument(const std::string& prog_id) = 0;
  // IUnknown::Release of what CreateDocument returned.
  virtual void Release(void* object) = 0;
  virtual void CoUninitialize() = 0;
};

}  // namespace devstart
