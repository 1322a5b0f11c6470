#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

namespace orvex::tools {

// The options of a command-line tool: "--name value" pairs, repeatable
// ones collected in order, and "--flag" switches. Unknown options and a
// missing value are errors, reported by Parse.
class CommandLine {
 public:
  // `with_value` lists the options that take a value, `switches` those that do not.
  CommandLine(std::set<std::string> with_value, std::set<std::string> switches)
      : with_value_(std::move(with_value)), switches_(std::move(switches)) {}

  // Returns "" on success, else a message naming the bad argument.
  std::string Parse(int argc, char** argv);

  bool Has(const std::string& name) const { return values_.count(name) > 0 || set_.count(name) > 0; }
  // The last value given for `name`; "" when absent.
  std::string Value(const std::string& name) const;
  // Every value given for `name`, in order.
  std::vector<std::string> Values(const std::string& name) const;

 private:
  std::set<std::string> with_value_;
  std::set<std::string> switches_;
  std::map<std::string, std::vector<std::string>> values_;
  std::set<std::string> set_;
};

}  // namespace orvex::tools
