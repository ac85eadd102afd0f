// Version texts and file version resources.
#pragma once

#include <string>

#include "platform/ports.h"

namespace devstart {

// Found version against required version: 1 when found >= required, else 0.
// Components are compared as the decimal numbers they start with; a text that
// runs out supplies 0, so "1.0" equals "1.0.0.0" and is below "1.0.0.1". A
// found text without any component (empty) means "version unknown" and counts
// as current, so a product that records no version is not reinstalled.
int CompareVersionText(const std::wstring& found, const std::wstring& required);

// The fixed block of a file's version resource; 1 when read, else 0.
int ReadFixedFileInfo(IVersionInfo& versions, const std::wstring& path, FixedFileInfo* info);

// "%d.%d.%d.%d" of the file version of a fixed block.
std::wstring FileVersionText(const FixedFileInfo& info);

}  // namespace devstart
