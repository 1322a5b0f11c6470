#pragma once
#include <string>

#include "provider/cellset_data.h"
#include "provider/tabular_data.h"

// Text forms of an executed statement, over the provider API (any provider).
namespace orvex::engine {

// A readable grid, cells separated by " | " and padded to line up on a
// terminal (widths count characters, East Asian wide ones as two):
//  - no axes: the one cell's formatted value;
//  - one axis: a line per position, its members' unique names then the cell;
//  - two axes: a heading line with the column positions, then a line per row;
//  - more axes: one such grid per combination of positions of axes 2 and up,
//    each after a line "page: ...".
// Members of one position are joined with ", ". An empty cell is blank. With
// `filter_axis`, a first line "filter: ..." lists the filter axis's members.
// Every line ends in a line feed.
std::string CellsetToTable(const provider::CellsetData& data, bool filter_axis);

// The result as one JSON object:
// {"axes": [{"positions": [{"members": [{"uniqueName", "caption", "levelDepth",
//    "levelName", "levelUniqueName", "parentUniqueName" ("" at the top), "childCount"}]}]}],
//  "filterAxis": {"positions": [...]},
//  "cells": [{"ordinal", "value" (number, text or null), "formattedValue"}]}.
std::string CellsetToJson(const provider::CellsetData& data);

// Rows (a drill-through's) as a grid like CellsetToTable's: a heading line of
// the column names, then a line per row; a null is blank.
std::string TabularToTable(const provider::TabularData& data);
// The rows as one JSON object: {"columns": [names], "rows": [[values]]},
// values numbers, texts or null.
std::string TabularToJson(const provider::TabularData& data);

}  // namespace orvex::engine
