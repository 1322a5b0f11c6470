#include <map>
#include <mutex>

#include "platform/text.h"
#include "provider/session.h"

namespace orvex::provider {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, ProviderFactory> factories;  // guarded by mutex; keys in lower case
};

Registry& GetRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

void RegisterProvider(const std::string& name, ProviderFactory factory) {
  auto& registry = GetRegistry();
  std::lock_guard lock(registry.mutex);
  registry.factories[ToLower(name)] = std::move(factory);
}

void UnregisterProvider(const std::string& name) {
  auto& registry = GetRegistry();
  std::lock_guard lock(registry.mutex);
  registry.factories.erase(ToLower(name));
}

ProviderFactory FindProvider(const std::string& name) {
  auto& registry = GetRegistry();
  std::lock_guard lock(registry.mutex);
  auto found = registry.factories.find(ToLower(name));
  return found == registry.factories.end() ? nullptr : found->second;
}

}  // namespace orvex::provider
