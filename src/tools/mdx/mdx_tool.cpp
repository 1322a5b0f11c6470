#include "tools/mdx/mdx_tool.h"

#include <ostream>

#include "engine/provider/cellset_text.h"
#include "engine/mdx/lexer.h"
#include "engine/provider/embedded_provider.h"
#include "platform/com/com_error.h"
#include "platform/com/variant.h"
#include "platform/text.h"
#include "provider/cellset.h"
#include "provider/connection.h"
#include "tools/common/command_line.h"

namespace orvex::tools {

namespace {

const std::set<std::string> kWithValue = {"--catalogs", "--data-source", "--catalog", "--format", "--max-cells",
                                          "--query-timeout", "--max-statement-memory"};

// Whether the statement's first word is DRILLTHROUGH, past any comments:
// such a statement answers with rows, not a cell set.
bool IsDrillthrough(const std::string& statement) {
  try {
    std::vector<engine::mdx::Token> tokens = engine::mdx::Lexer(statement).Tokenize();
    return !tokens.empty() && tokens.front().kind == engine::mdx::TokenKind::kIdentifier &&
           EqualsIgnoreCase(tokens.front().text, "DRILLTHROUGH");
  } catch (const ComError&) {
    return false;  // the cell set's parser reports the fault with its place
  }
}

}  // namespace

std::string ParseMdxArguments(int argc, char** argv, MdxRequest& request, bool& help) {
  // "--" ends the options: the argument after it, if any, is the statement.
  // Without it the statement is the last argument unless that is an option
  // or an option's value; a statement may itself start with "--" (a comment),
  // which an option name never follows with a blank.
  int options_end = argc;
  for (int index = 1; index < argc; ++index) {
    if (std::string(argv[index]) != "--") continue;
    if (index + 2 < argc) return "Only one statement may follow '--'.";
    if (index + 1 < argc) request.statement = argv[index + 1];
    options_end = index;
    break;
  }
  if (options_end == argc && argc > 1) {
    std::string last = argv[argc - 1];
    std::string before = argc > 2 ? argv[argc - 2] : "";
    bool is_value = kWithValue.count(before) > 0;
    bool is_option = last.rfind("--", 0) == 0 && last.find_first_of(" \t\r\n") == std::string::npos;
    if (!is_option && !is_value) {
      request.statement = last;
      options_end = argc - 1;
    }
  }
  CommandLine command_line(kWithValue, {"--help"});
  std::string error = command_line.Parse(options_end, argv);
  if (!error.empty()) return error;
  help = command_line.Has("--help");
  if (command_line.Has("--catalogs")) request.catalogs = command_line.Value("--catalogs");
  if (command_line.Has("--data-source")) request.data_source = command_line.Value("--data-source");
  request.catalog = command_line.Value("--catalog");
  if (command_line.Has("--format")) request.format = command_line.Value("--format");
  if (request.format != "table" && request.format != "json") {
    return "The option --format takes table or json, not '" + request.format + "'.";
  }
  if (command_line.Has("--max-cells")) {
    auto number = ParseNumber(command_line.Value("--max-cells"));
    if (!number || *number < 1) return "The option --max-cells takes a positive number.";
    request.max_cells = static_cast<int64_t>(*number);
  }
  if (command_line.Has("--query-timeout")) {
    auto number = ParseNumber(command_line.Value("--query-timeout"));
    if (!number || !(*number >= 0 && *number <= 7 * 24 * 3600)) {
      return "The option --query-timeout takes a number of seconds (0 for no limit).";
    }
    request.query_timeout_seconds = *number;
  }
  if (command_line.Has("--max-statement-memory")) {
    auto number = ParseNumber(command_line.Value("--max-statement-memory"));
    if (!number || !(*number >= 0 && *number < 9.2e18)) {
      return "The option --max-statement-memory takes a number of bytes (0 for no limit).";
    }
    request.max_statement_memory = static_cast<int64_t>(*number);
  }
  return "";
}

int RunMdx(const MdxRequest& request, std::ostream& out, std::ostream& err) {
  try {
    auto sources = std::make_shared<engine::DataSources>();
    sources->AddLocalNames(request.catalogs);
    std::string name = request.data_source;
    if (auto equals = name.find('='); equals != std::string::npos) {
      sources->Add(name.substr(0, equals), name.substr(equals + 1));
      name = name.substr(0, equals);
    }
    engine::EngineOptions options;
    options.max_cells = request.max_cells;
    options.query_timeout =
        std::chrono::milliseconds(static_cast<int64_t>(request.query_timeout_seconds * 1000 + 0.5));
    options.max_statement_memory = request.max_statement_memory;
    engine::RegisterEmbeddedProvider(sources, options);

    auto connection = std::make_shared<provider::Connection>();
    std::string connection_string = std::string("Provider=") + engine::kEmbeddedProviderName + ";Data Source=" + name;
    if (!request.catalog.empty()) connection_string += ";SOURCE_DSN=" + request.catalog;
    connection->Open(connection_string);
    if (IsDrillthrough(request.statement)) {
      provider::TabularData rows = connection->GetSession().Drillthrough(connection->DefaultDatabase(), request.statement);
      out << (request.format == "json" ? engine::TabularToJson(rows) + "\n" : engine::TabularToTable(rows));
      return 0;
    }
    provider::Cellset cellset;
    cellset.SetActiveConnection(connection);
    cellset.Open(request.statement);
    if (request.format == "json") {
      out << engine::CellsetToJson(*cellset.Data()) << "\n";
    } else {
      out << engine::CellsetToTable(*cellset.Data(), true);
    }
    return 0;
  } catch (const ComError& error) {
    err << "orvex-mdx: " << error.description() << "\n";
  } catch (const std::exception& error) {
    err << "orvex-mdx: " << error.what() << "\n";
  }
  return 1;
}

}  // namespace orvex::tools
