// What the live-update library reaches beyond the installer's concerns: the
// update server's answers (WinINet and the URL download), cabinets, COM and
// the phone identity DLLs. Downloads and extracted files land on the one
// simulated disk.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fake/sim_files.h"

namespace devstart::sim {

struct HttpAnswer {
  int status = 200;
  std::string body;
  bool unreachable = false;   // the connection itself fails
  long content_length = -1;   // what Content-Length announces; -1: the body's length
  bool no_length = false;     // no Content-Length header at all
  long read_error_at = -1;    // a read from this position on fails
  bool endless = false;       // the body repeats without end
  std::uint32_t ms_per_read = 0;  // each read or downloaded piece takes this long (a trickling server)
  // Answers with a redirect to this URL instead: WinINet sees 302 and the
  // Location (it never follows here), the URL download follows it.
  std::string redirect = {};
};

class FakeInternet : public IInternet {
 public:
  explicit FakeInternet(FakeFiles& files) : files_(files) {}
  std::map<std::string, HttpAnswer> answers;  // by full URL; unscripted URLs are unreachable
  std::vector<std::string> requests;          // every URL opened or downloaded, in order
  std::vector<std::string> agents;            // the user agent of every session
  int open_handles() const { return static_cast<int>(handles_.size()); }
  // The program's wide calls: the flags of every open, every option set (on
  // which kind of handle), every read size asked.
  struct OptionSet {
    bool on_session;
    std::uint32_t option, value;
  };
  std::vector<std::uint32_t> open_flags;
  std::vector<OptionSet> options;
  std::vector<std::uint32_t> read_sizes;
  std::uint32_t available_chunk = 8192;  // what InternetQueryDataAvailable reports at most
  bool session_fails = false;
  // The system's tick count, advanced by trickling answers; none: time stands still.
  std::uint32_t* clock = nullptr;
  std::vector<DownloadLimits> download_limits;  // those of every URL download

  Handle InternetOpenA(const std::string& agent, std::uint32_t access_type, std::uint32_t flags) override;
  Handle InternetOpenUrlA(Handle session, const std::string& url, std::uint32_t flags,
                          std::uintptr_t context) override;
  bool InternetReadFile(Handle file, char* buffer, std::uint32_t size, std::uint32_t* read) override;
  bool HttpQueryInfoA(Handle request, std::uint32_t level, std::uint32_t buffer_size, std::string* out) override;
  bool InternetCloseHandle(Handle h) override { return handles_.erase(h) == 1; }
  Handle InternetOpenW(const std::wstring& agent, std::uint32_t access_type, std::uint32_t flags) override;
  Handle InternetOpenUrlW(Handle session, const std::wstring& url, std::uint32_t flags) override;
  bool InternetSetOption(Handle h, std::uint32_t option, std::uint32_t value) override;
  bool InternetQueryDataAvailable(Handle file, std::uint32_t* available) override;
  // As the adapter's callback makes it: an answer other than 200 or a
  // redirect to another scheme is refused with nothing kept; a body past the
  // limits ends with E_ABORT and leaves what had arrived (its first piece).
  std::int32_t URLDownloadToFileA(const std::string& url, const std::string& path, const DownloadLimits& limits) override;

 private:
  struct Open {
    bool session = false;
    std::string url;
    std::size_t position = 0;
  };
  FakeFiles& files_;
  std::map<Handle, Open> handles_;
  Handle next_ = 0xCC0000;
};

class FakeCabinets : public ICabinets {
 public:
  explicit FakeCabinets(FakeFiles& files) : files_(files) {}
  // A cabinet is a file whose whole content is a key here: its entries, name
  // as stored and content, in order. Downloads thus carry cabinets by body.
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> by_content;
  std::uint64_t disk_room = UINT64_MAX;  // bytes that still fit on the disk; an entry past it fails

  bool SetupIterateCabinetA(const std::string& cabinet, const CabinetCallback& callback) override;

 private:
  FakeFiles& files_;
};

class FakeCom : public ICom {
 public:
  bool msxml_present = true;
  int initialized = 0, uninitialized = 0, documents_created = 0, documents_released = 0;

  std::int32_t CoInitialize() override;
  void* CreateDocument(const std::string& prog_id) override;
  void Release(void*) override { ++documents_released; }
  void CoUninitialize() override { ++uninitialized; }

 private:
  int document_ = 0;
};

// Phonelink.dll (whose _A123 fills a table of functions) and AuthDll (whose
// GetPhoneInfo gives a serial), in front of one phone. Their functions are
// plain C functions: they answer from the phone whose Proc handed them out
// last.
class IdentityPhone {
 public:
  IdentityPhone() = default;
  IdentityPhone(const IdentityPhone&) = delete;
  IdentityPhone& operator=(const IdentityPhone&) = delete;
  ~IdentityPhone();

  std::string folder = "C:\\Sync";  // where both DLLs are
  bool phonelink_present = true;
  bool auth_present = true;
  bool fill_ok = true;  // _A123's result
  std::set<int> missing_slots;
  int count = 1;
  std::string serial = "ESN0001";
  bool serial_ok = true;
  std::string model = "AB-100";
  std::string software = "1.0+A";
  std::string auth_serial = "AUTH77";
  std::vector<std::string> calls;  // "A123", "12:115200,400", "0", "11", "5", "GetPhoneInfo", ...

  // LoadLibraryA and GetProcAddress of the two libraries.
  Handle Load(const std::string& name) const;
  void* Proc(Handle module, const std::string& name);
};

}  // namespace devstart::sim
