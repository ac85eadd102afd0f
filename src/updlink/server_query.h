// The conversation with the update server: COM and the document for its
// lifetime, answers read whole, size probes, and what one export call shares.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/handles.h"
#include "platform/machine.h"
#include "updlink/answer.h"
#include "updlink/registry_state.h"

namespace updlink {

// Owning handles: each kind closes through its own port, so that no path out
// of a step leaves a key, a file, an internet handle, the document or COM
// behind. Keys, files and internet handles are platform/handles.h's; COM is
// the library's alone.
// Held only when CoInitialize succeeded: only that is balanced by CoUninitialize.
struct ComApartmentTraits {
  using Port = devstart::ICom;
  using Value = bool;
  static constexpr Value kInvalid = false;
  static void Close(Port& p, Value) { p.CoUninitialize(); }
};
struct DocumentTraits {
  using Port = devstart::ICom;
  using Value = void*;
  static constexpr Value kInvalid = nullptr;
  static void Close(Port& p, Value v) { p.Release(v); }
};

std::string Utf8ToAnsi(devstart::Machine& m, const std::string& line);

// One conversation with the server: COM on the calling thread and the
// document object for its lifetime, the handles of the last size probe.
class ServerQuery {
 public:
  explicit ServerQuery(devstart::Machine& m);
  ServerQuery(const ServerQuery&) = delete;
  ServerQuery& operator=(const ServerQuery&) = delete;
  std::string FetchUrlText(const std::string& url);
  int GetContentLength(const std::string& url);
  bool HasDocument() const { return document_.valid(); }

 private:
  devstart::Machine& m_;
  // Declared in the order they are taken; released in reverse, COM last.
  devstart::ScopedHandle<ComApartmentTraits> com_;
  devstart::ScopedHandle<DocumentTraits> document_;
  devstart::UniqueInternet probeSession_, probeRequest_;
};

// What one export call hands down its steps: the server's origin, read once
// when the call begins, and a single conversation with the server, begun at
// the first request (a call that asks the server nothing starts no COM).
class ExportCall {
 public:
  explicit ExportCall(devstart::Machine& m) : m_(m), base_(ServerBase(m)) {}
  devstart::Machine& machine() const { return m_; }
  ServerQuery& Query();
  // The answer text for a path on the server.
  std::string Fetch(const std::string& pathAndQuery) { return Query().FetchUrlText(base_ + pathAndQuery); }

 private:
  devstart::Machine& m_;
  std::string base_;
  std::optional<ServerQuery> query_;
};

// How a request came back: no text at all (no server, an error page, a
// broken read), an answer without the acceptance word, or an accepted one.
enum class Reply { kNone, kRefused, kAccepted };
// Fetches the answer for a path, loads it into `answer` (even when there is
// no text) and tells whether it carries the acceptance word.
Reply FetchAnswer(ExportCall& call, const std::string& pathAndQuery, AnswerParser& answer,
                  std::string_view word = "OK");

}  // namespace updlink
