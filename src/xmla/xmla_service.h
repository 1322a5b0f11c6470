#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "xmla/xml_writer.h"

// The XML for Analysis service: SOAP 1.1 Discover and Execute requests
// answered through the provider API (never the engine directly), with
// sessions kept across requests. Functions and types are PascalCase.
namespace orvex::xmla {

// XMLA error codes of the faults this service answers with.
namespace codes {
inline constexpr uint32_t kMalformedRequest = 0xC10A0001u;
inline constexpr uint32_t kUnknownRequest = 0xC10A0002u;
inline constexpr uint32_t kBadRestriction = 0xC10A0003u;
inline constexpr uint32_t kBadProperty = 0xC10A0004u;
inline constexpr uint32_t kSessionNotFound = 0xC10A0005u;
inline constexpr uint32_t kStatementFailed = 0xC10A0006u;
inline constexpr uint32_t kConnectionFailed = 0xC10A0007u;
}  // namespace codes

struct XmlaOptions {
  // The registered provider every connection goes through, whatever a client's DataSourceInfo names.
  std::string provider_name = "Orvex";
  // The server's own data source: what DISCOVER_DATASOURCES lists and the
  // data source of requests whose DataSourceInfo names none.
  std::string data_source_name = "localhost";
  // The endpoint as DISCOVER_DATASOURCES shows it.
  std::string url;
  // Sessions kept at most; beyond it the least recently used one ends.
  size_t max_sessions = 256;
};

// An answer ready to be written: its HTTP status is known before any byte
// goes out: 400 for a body that is no SOAP request (with a fault all the same),
// else 200, faults included.
class XmlaReply {
 public:
  virtual ~XmlaReply() = default;
  virtual int Status() const = 0;
  // Writes the whole SOAP envelope to `sink`, in pieces. Throws ComError when
  // the provider fails half-way (the answer is then cut short).
  virtual void Write(const Sink& sink) const = 0;
};

// Thread-safe: requests run on many threads at once; a session is used by one
// request at a time (others wait for it).
class XmlaService {
 public:
  explicit XmlaService(XmlaOptions options);
  ~XmlaService();
  XmlaService(const XmlaService&) = delete;
  XmlaService& operator=(const XmlaService&) = delete;

  // Parses and runs one SOAP request body, under `role` (a role of the
  // catalogs' schemas; "" sees everything): its connection runs under that
  // role, and a session begun under another role is not found. Anything wrong
  // with the request, its session or its statement gives a fault reply;
  // nothing throws.
  std::unique_ptr<XmlaReply> Handle(std::string_view body, const std::string& role = "");

  // The reply as one string, for tests and small answers.
  static std::string WriteToString(const XmlaReply& reply);

  size_t SessionCount() const;

 private:
  struct SessionState;
  std::shared_ptr<SessionState> FindSession(const std::string& id);
  // A new session and its id; ends the least recently used one when full.
  std::pair<std::string, std::shared_ptr<SessionState>> BeginSession(const std::string& role);
  // `session` when it was begun under `role`, else nullptr.
  static std::shared_ptr<SessionState> SessionOfRole(std::shared_ptr<SessionState> session, const std::string& role);
  // Removes the session and hands it to its last request; nullptr when there is none.
  std::shared_ptr<SessionState> EndSession(const std::string& id);

  XmlaOptions options_;
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<SessionState>> sessions_;  // guarded by mutex_
  uint64_t use_counter_ = 0;                                          // guarded by mutex_
};

}  // namespace orvex::xmla
