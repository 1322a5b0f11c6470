#include "host/users.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace orvex::host {
namespace {

constexpr int kIterations = 100'000;
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;
constexpr size_t kMaxRemembered = 1024;

std::string Hex(const unsigned char* bytes, size_t count) {
  std::string text;
  char pair[3];
  for (size_t index = 0; index < count; ++index) {
    std::snprintf(pair, sizeof pair, "%02x", bytes[index]);
    text += pair;
  }
  return text;
}

std::optional<std::vector<unsigned char>> FromHex(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<unsigned char> bytes;
  for (size_t index = 0; index < text.size(); index += 2) {
    unsigned value = 0;
    for (char c : text.substr(index, 2)) {
      value <<= 4;
      if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') value |= static_cast<unsigned>(c - 'a' + 10);
      else return std::nullopt;
    }
    bytes.push_back(static_cast<unsigned char>(value));
  }
  return bytes;
}

std::vector<unsigned char> Derive(std::string_view password, const std::vector<unsigned char>& salt, int iterations) {
  std::vector<unsigned char> hash(kHashBytes);
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(), static_cast<int>(salt.size()),
                        iterations, EVP_sha256(), static_cast<int>(hash.size()), hash.data()) != 1) {
    throw std::runtime_error("the password hash cannot be computed");
  }
  return hash;
}

std::string Digest(std::string_view text) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
  return Hex(digest, sizeof digest);
}

std::vector<std::string> Fields(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> fields;
  for (std::string field; in >> field;) fields.push_back(field);
  return fields;
}

}  // namespace

std::string HashPassword(std::string_view password) {
  std::vector<unsigned char> salt(kSaltBytes);
  if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1) throw std::runtime_error("no random salt");
  auto hash = Derive(password, salt, kIterations);
  return "pbkdf2-sha256$" + std::to_string(kIterations) + "$" + Hex(salt.data(), salt.size()) + "$" +
         Hex(hash.data(), hash.size());
}

bool VerifyPassword(std::string_view password, std::string_view hash) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    size_t end = hash.find('$', start);
    parts.push_back(hash.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (parts.size() != 4 || parts[0] != "pbkdf2-sha256") return false;
  int iterations = 0;
  for (char c : parts[1]) {
    if (c < '0' || c > '9' || iterations > 10'000'000) return false;
    iterations = iterations * 10 + (c - '0');
  }
  auto salt = FromHex(parts[2]);
  auto expected = FromHex(parts[3]);
  if (iterations < 1 || !salt || !expected || expected->size() != kHashBytes) return false;
  auto actual = Derive(password, *salt, iterations);
  return CRYPTO_memcmp(actual.data(), expected->data(), kHashBytes) == 0;
}

std::optional<std::string> DecodeBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  unsigned buffer = 0;
  int bits = 0;
  size_t padding = 0;
  for (size_t index = 0; index < text.size(); ++index) {
    char c = text[index];
    int value;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    else if (c >= '0' && c <= '9') value = c - '0' + 52;
    else if (c == '+') value = 62;
    else if (c == '/') value = 63;
    else if (c == '=' && index + 2 >= text.size()) {
      ++padding;
      continue;
    } else {
      return std::nullopt;
    }
    if (padding > 0) return std::nullopt;
    buffer = (buffer << 6) | static_cast<unsigned>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  return out;
}

Users::Users(Users&& other) noexcept : hashes_(std::move(other.hashes_)), roles_(std::move(other.roles_)) {}

std::string Users::RoleOf(std::string_view name) const {
  auto found = roles_.find(std::string(name));
  return found == roles_.end() ? std::string() : found->second;
}

Users Users::Load(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) throw std::runtime_error("cannot read the users file " + file.string());
  Users users;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    std::vector<std::string> fields = Fields(line);
    if (fields.empty() || fields[0][0] == '#') continue;
    std::string where = file.string() + " line " + std::to_string(number);
    // The rest of the line is the user's role, which may have blanks in it ("California manager").
    std::string role;
    for (size_t field = 2; field < fields.size(); ++field) role += (role.empty() ? "" : " ") + fields[field];
    if (role.find(';') != std::string::npos) {
      throw std::runtime_error(where + ": a role name cannot hold ';'");
    }
    if (fields.size() < 2 || fields[1].rfind("pbkdf2-sha256$", 0) != 0 || fields[0].find(':') != std::string::npos) {
      throw std::runtime_error(where + ": expected a name without ':' and the hash that --hash-password prints");
    }
    if (!users.hashes_.emplace(fields[0], fields[1]).second) {
      throw std::runtime_error(where + ": the user " + fields[0] + " is given twice");
    }
    if (!role.empty()) users.roles_.emplace(fields[0], role);
  }
  if (users.hashes_.empty()) throw std::runtime_error("the users file " + file.string() + " names nobody");
  return users;
}

std::optional<std::string> Users::Authenticate(std::string_view authorization) const {
  constexpr std::string_view kBasic = "Basic ";
  if (authorization.size() <= kBasic.size() || authorization.substr(0, kBasic.size()) != kBasic) return std::nullopt;
  std::string digest = Digest(authorization);
  {
    std::lock_guard lock(mutex_);
    if (auto found = accepted_.find(digest); found != accepted_.end()) return found->second;
  }
  std::optional<std::string> decoded = DecodeBase64(authorization.substr(kBasic.size()));
  if (!decoded) return std::nullopt;
  size_t colon = decoded->find(':');
  if (colon == std::string::npos) return std::nullopt;
  std::string name = decoded->substr(0, colon);
  auto user = hashes_.find(name);
  if (user == hashes_.end() || !VerifyPassword(std::string_view(*decoded).substr(colon + 1), user->second)) {
    return std::nullopt;
  }
  std::lock_guard lock(mutex_);
  if (accepted_.size() >= kMaxRemembered) accepted_.erase(accepted_.begin());
  accepted_.emplace(digest, name);
  return name;
}

}  // namespace orvex::host
