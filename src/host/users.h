#pragma once
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace orvex::host {

// The users of --users FILE, who alone may use the server once the file is
// given. One user a line: a name, then the salted hash that
// `orvex-server --hash-password` prints, then optionally the role of the
// catalogs' schemas the user works under (the rest of the line); blank lines
// and lines that start with '#' are skipped. Thread-safe once loaded.
class Users {
 public:
  // Throws std::runtime_error naming the file and line for a line that is
  // malformed, a name given twice, a role with ';' in it (a connection
  // string could not carry it), or a file that cannot be read or names nobody.
  static Users Load(const std::filesystem::path& file);

  Users(Users&& other) noexcept;
  Users& operator=(Users&&) = delete;
  Users(const Users&) = delete;
  Users& operator=(const Users&) = delete;

  // The user of an Authorization header ("Basic " and base64 of
  // "name:password"), or nullopt when it names no user or the wrong password.
  // A header that passed once is remembered (as a digest), so that the slow
  // hash runs once per user and password, not once per request.
  std::optional<std::string> Authenticate(std::string_view authorization) const;
  // The role of a user, "" for one without a role (who sees everything).
  std::string RoleOf(std::string_view name) const;

 private:
  Users() = default;
  std::map<std::string, std::string> hashes_;  // by name
  std::map<std::string, std::string> roles_;   // by name, for users with a role
  mutable std::mutex mutex_;
  mutable std::map<std::string, std::string> accepted_;  // guarded by mutex_: header digest -> name
};

// "pbkdf2-sha256$ITERATIONS$SALT$HASH" (salt and hash in hexadecimal) of a
// password, with a fresh random salt.
std::string HashPassword(std::string_view password);

// Whether `password` matches a hash made by HashPassword; false for a hash
// that is not of that form.
bool VerifyPassword(std::string_view password, std::string_view hash);

// Base64 (RFC 4648, with padding) decoded; nullopt for anything else.
std::optional<std::string> DecodeBase64(std::string_view text);

}  // namespace orvex::host
