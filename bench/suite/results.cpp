#include "results.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <thread>

namespace orvex::bench {
namespace {

std::string Format(const char* format, auto... values) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

std::string Number(double value) { return Format("%.3f", value); }

std::string JsonText(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// The largest of `value` over the statements `which` selects, and the statement it comes from.
std::optional<std::pair<double, const Results::Statement*>> Worst(
    const Results& results, const std::function<bool(const Results::Statement&)>& which,
    const std::function<double(const Results::Statement&)>& value) {
  std::optional<std::pair<double, const Results::Statement*>> worst;
  for (const auto& statement : results.statements) {
    if (!which(statement)) continue;
    if (!worst || value(statement) > worst->first) worst = {value(statement), &statement};
  }
  return worst;
}

struct Target {
  std::string name;
  std::optional<double> value;  // none: not measured in this run
  double limit;
  bool at_most;                 // value <= limit, else value < limit
  std::string where;
  std::string unit;
};

std::vector<Target> Targets(const Results& results) {
  std::vector<Target> targets;
  auto add_worst = [&](const std::string& name, const std::function<bool(const Results::Statement&)>& which,
                       const std::function<double(const Results::Statement&)>& value, double limit, bool at_most,
                       const std::string& unit) {
    auto worst = Worst(results, which, value);
    targets.push_back({name, worst ? std::optional(worst->first) : std::nullopt, limit, at_most,
                       worst ? worst->second->store + " " + Format("%g", worst->second->scale) + ", " + worst->second->title : "",
                       unit});
  };
  add_worst("engine cold / hand-written DuckDB SQL, scale 100",
            [](const auto& s) { return s.store == "duckdb" && s.scale == 100; }, [](const auto& s) { return s.ratio(); },
            1.5, true, "x");
  add_worst("engine warm, every statement and scale", [](const auto&) { return true; },
            [](const auto& s) { return s.warm_ms; }, 10, false, "ms");
  add_worst("engine cold / hand-written PostgreSQL SQL, scale 10",
            [](const auto& s) { return s.store == "postgres" && s.scale == 10; },
            [](const auto& s) { return s.ratio(); }, 2, true, "x");
  Target page{"view page p50, scale 1, warm, 8 clients", std::nullopt, 50, false, "", "ms"};
  for (const auto& http : results.http) {
    if (http.scale == 1 && http.clients == 8) page.value = http.load.p50_ms;
  }
  targets.push_back(page);
  Target memory{"server peak memory, scale 100", std::nullopt, 1024, false, "", "MB"};
  for (const auto& figure : results.memory) {
    if (figure.scale == 100) memory.value = figure.peak_mb;
  }
  targets.push_back(memory);
  return targets;
}

std::string Verdict(const Target& target) {
  if (!target.value) return "not measured";
  bool met = target.at_most ? *target.value <= target.limit : *target.value < target.limit;
  return met ? "met" : "MISSED";
}

}  // namespace

std::string ResultTable(const Results& results) {
  std::string text = Format("Orvex benchmark: medians of %d runs, %u cores; times in ms\n\n", results.runs,
                            std::thread::hardware_concurrency());
  text += Format("%-9s %6s  %-52s %7s %10s %9s %10s %7s\n", "store", "scale", "statement", "cells", "cold", "warm",
                 "hand SQL", "ratio");
  for (const auto& s : results.statements) {
    text += Format("%-9s %6g  %-52s %7ld %10.2f %9.2f %10.2f %7.2f\n", s.store.c_str(), s.scale, s.title.c_str(),
                   s.cells, s.cold_ms, s.warm_ms, s.sql_ms, s.ratio());
  }
  text += "\ncold: a fresh process, the catalog open, nothing read yet (member trees included); warm: the same\n"
          "statement again; hand SQL: the same cells by hand-written SQL on the same store, in a fresh process;\n"
          "ratio: cold / hand SQL.\n\n";
  text += Format("%-40s %7s %9s %9s %9s %7s\n", "view page over HTTP, warm", "clients", "p50", "p95", "req/s", "errors");
  for (const auto& h : results.http) {
    text += Format("%-40s %7d %9.2f %9.2f %9.1f %7ld\n", Format("scale %g", h.scale).c_str(), h.clients, h.load.p50_ms,
                   h.load.p95_ms, h.load.requests_per_second, static_cast<long>(h.load.errors));
  }
  text += "\n";
  for (const auto& m : results.memory) text += Format("server peak memory, scale %g: %.0f MB\n", m.scale, m.peak_mb);
  text += "\nTargets\n";
  for (const auto& target : Targets(results)) {
    std::string value = target.value ? Format("%.2f %s", *target.value, target.unit.c_str()) : "-";
    text += Format("  %-52s %s %-6g %s  %-12s %s\n", target.name.c_str(), target.at_most ? "<=" : "< ", target.limit,
                   target.unit.c_str(), (value + "  " + Verdict(target)).c_str(),
                   target.where.empty() ? "" : ("(" + target.where + ")").c_str());
  }
  return text;
}

std::string ResultJson(const Results& results) {
  std::time_t now = std::time(nullptr);
  char date[32];
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
  std::string json = "{\n  \"date\": " + JsonText(date) + ",\n  \"cores\": " +
                     std::to_string(std::thread::hardware_concurrency()) + ",\n  \"runs\": " +
                     std::to_string(results.runs) + ",\n  \"statements\": [";
  for (size_t index = 0; index < results.statements.size(); ++index) {
    const auto& s = results.statements[index];
    json += std::string(index ? "," : "") + "\n    {\"store\": " + JsonText(s.store) + ", \"scale\": " + Number(s.scale) +
            ", \"statement\": " + JsonText(s.key) + ", \"cells\": " + std::to_string(s.cells) +
            ", \"cold_ms\": " + Number(s.cold_ms) + ", \"warm_ms\": " + Number(s.warm_ms) +
            ", \"hand_sql_ms\": " + Number(s.sql_ms) + ", \"ratio\": " + Number(s.ratio()) + "}";
  }
  json += "\n  ],\n  \"view_page\": [";
  for (size_t index = 0; index < results.http.size(); ++index) {
    const auto& h = results.http[index];
    json += std::string(index ? "," : "") + "\n    {\"scale\": " + Number(h.scale) + ", \"clients\": " +
            std::to_string(h.clients) + ", \"p50_ms\": " + Number(h.load.p50_ms) + ", \"p95_ms\": " +
            Number(h.load.p95_ms) + ", \"requests_per_second\": " + Number(h.load.requests_per_second) +
            ", \"errors\": " + std::to_string(h.load.errors) + "}";
  }
  json += "\n  ],\n  \"server_peak_memory\": [";
  for (size_t index = 0; index < results.memory.size(); ++index) {
    json += std::string(index ? "," : "") + "\n    {\"scale\": " + Number(results.memory[index].scale) +
            ", \"peak_mb\": " + Number(results.memory[index].peak_mb) + "}";
  }
  json += "\n  ],\n  \"targets\": [";
  auto targets = Targets(results);
  for (size_t index = 0; index < targets.size(); ++index) {
    const auto& t = targets[index];
    json += std::string(index ? "," : "") + "\n    {\"target\": " + JsonText(t.name) + ", \"limit\": " +
            Number(t.limit) + ", \"value\": " + (t.value ? Number(*t.value) : "null") + ", \"verdict\": " +
            JsonText(Verdict(t)) + "}";
  }
  return json + "\n  ]\n}\n";
}

}  // namespace orvex::bench
