// One contract suite, two worlds: natively against the simulated PC, under
// Wine against the Win32 adapters. When the two disagree, the fake is wrong.
// Each world also offers what a test needs to set the scene.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/machine.h"

namespace devstart::contract {

class ContractEnv {
 public:
  virtual ~ContractEnv() = default;
  // Every port of the world under test.
  virtual Machine& machine() = 0;

  // Files: a fresh folder for this test (with its trailing backslash), and
  // files written and read behind the ports' back.
  virtual std::wstring Scratch() = 0;
  virtual void PutFile(const std::wstring& path, const std::string& bytes) = 0;
  virtual std::optional<std::string> ReadFile(const std::wstring& path) = 0;
  // A file carrying a version resource, and the file version it holds.
  virtual std::wstring VersionedFile(FixedFileInfo* expected) = 0;

  // A name no other test (and no earlier run) uses, for keys and services.
  virtual std::wstring UniqueName(const std::wstring& stem) = 0;
  // Removes the keys a test created under a predefined root.
  virtual void DeleteTree(RegKey root, const std::wstring& path) = 0;

  // The running test process: identifier and executable file name; a
  // program that starts, runs briefly and ends by itself, with arguments.
  virtual std::uint32_t OwnProcessId() = 0;
  virtual std::wstring OwnExeName() = 0;
  virtual std::wstring ShortProgram() = 0;
  virtual std::wstring ShortProgramArguments() = 0;
  // A top-level window of this process; the private-range messages posted to
  // it since it was made.
  virtual WindowHandle MakeWindow(const std::wstring& class_name, const std::wstring& title) = 0;
  virtual std::vector<std::uint32_t> PostedTo(WindowHandle w) = 0;

  // Pipes: offers a pipe with one instance that will answer `reply`; the
  // server's turn after the client wrote (reads the request, returned,
  // writes the reply, lets go of its end); occupies the only instance.
  virtual void ServePipe(const std::wstring& name, const std::string& reply) = 0;
  virtual std::string Answer(const std::wstring& name) = 0;
  virtual void OccupyPipe(const std::wstring& name) = 0;
  // The server takes the request and never answers (Answer is not called).
  virtual void SilencePipe(const std::wstring& name) = 0;
  // Removes a service the test created.
  virtual void DeleteService(const std::wstring& name) = 0;

  // What the live-update library's calls need. A cabinet holding `entries`
  // (name inside the cabinet, content) under exactly the names given, with
  // no path clean-up (CabinetBytes is one way to write it).
  virtual void PutCabinet(const std::wstring& path,
                          const std::vector<std::pair<std::string, std::string>>& entries) = 0;
  // A library this world loads by name, and one function it exports.
  virtual std::string LoadableLibrary(std::string* function) = 0;
  // The loopback update server as an origin ("http://127.0.0.1:PORT"):
  // it answers the routes of tests/contract/http_scenario.json, and
  // /files/large.bin with LargeBody(). And an origin where nothing listens.
  virtual std::string UpdateServer() = 0;
  virtual std::string NothingListens() = 0;
  // Whether a read-only file refuses to be written. Wine keeps the attribute
  // in the Unix mode bits, which do not stop root (as CI runs).
  virtual bool ReadOnlyEnforced() = 0;
};

// The scratch folder and the test program lie on ASCII paths in both worlds,
// so the wide paths the environment gives narrow without a code page.
inline std::string Narrow(const std::wstring& path) {
  std::string out;
  for (wchar_t c : path) {
    EXPECT_LT(static_cast<std::uint32_t>(c), 0x80u) << "a path outside ASCII";
    out.push_back(static_cast<char>(c));
  }
  return out;
}

// What the update server sends with every 404.
inline const std::string kUpdateServerErrorPage =
    "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>";

// The body of the update server's /files/large.bin: more than two 64 KiB
// reads, and a period that does not divide them, so a read that loses or
// repeats bytes shows. tests/contract/http_fixture.py writes the same bytes.
inline std::string LargeBody() {
  std::string body(150000, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i % 251);
  return body;
}

// An uncompressed cabinet (one folder, stored blocks of up to 32 KiB, no
// checksums) with the names exactly as given; a packer would normalise the
// awkward ones ("..\\", "C:\\") that the tests need.
inline std::string CabinetBytes(const std::vector<std::pair<std::string, std::string>>& entries) {
  auto u16 = [](std::size_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; };
  auto u32 = [&](std::size_t v) { return u16(v & 0xFFFF) + u16((v >> 16) & 0xFFFF); };
  constexpr std::size_t kHeader = 36, kFolder = 8, kBlock = 32768;
  std::string data, files;
  for (const auto& [name, content] : entries) {
    // Size, offset in the folder, folder 0, date, time, archive attribute.
    files += u32(content.size()) + u32(data.size()) + u16(0) + u16(0x5A21) + u16(0x6000) + u16(0x20) + name + '\0';
    data += content;
  }
  std::string blocks;
  std::size_t count = 0;
  for (std::size_t at = 0; at < data.size() || count == 0; at += kBlock, ++count) {
    std::string part = data.substr(at, kBlock);
    blocks += u32(0) + u16(part.size()) + u16(part.size()) + part;
  }
  const std::size_t first_block = kHeader + kFolder + files.size();
  std::string header = "MSCF" + u32(0) + u32(first_block + blocks.size()) + u32(0) + u32(kHeader + kFolder) + u32(0) +
                       std::string{3, 1} + u16(1) + u16(entries.size()) + u16(0) + u16(0x1234) + u16(0);
  std::string folder = u32(first_block) + u16(count) + u16(0);
  return header + folder + files + blocks;
}

std::unique_ptr<ContractEnv> MakeContractEnv();

}  // namespace devstart::contract
