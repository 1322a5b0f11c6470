#include "tools/common/command_line.h"

namespace orvex::tools {

std::string CommandLine::Parse(int argc, char** argv) {
  for (int index = 1; index < argc; ++index) {
    std::string argument = argv[index];
    std::string value;
    bool inline_value = false;
    if (auto equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = argument.substr(equals + 1);
      argument = argument.substr(0, equals);
      inline_value = true;
    }
    if (switches_.count(argument) && !inline_value) {
      set_.insert(argument);
    } else if (with_value_.count(argument)) {
      if (!inline_value) {
        if (index + 1 >= argc) return "The option " + argument + " needs a value.";
        value = argv[++index];
      }
      values_[argument].push_back(value);
    } else {
      return "Unknown argument: " + argument;
    }
  }
  return "";
}

std::string CommandLine::Value(const std::string& name) const {
  auto found = values_.find(name);
  return found == values_.end() || found->second.empty() ? "" : found->second.back();
}

std::vector<std::string> CommandLine::Values(const std::string& name) const {
  auto found = values_.find(name);
  return found == values_.end() ? std::vector<std::string>{} : found->second;
}

}  // namespace orvex::tools
