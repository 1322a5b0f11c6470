// Builds the MDX statement of a view from the page's state. Pure: no DOM, so
// the same code runs under Node for its tests.
//
// state = {
//   cube, rows: [hierarchy unique name, or "set:" + a named set's unique name],
//   columns: [...], measures: [unique name],
//   measuresOnRows, filters: [{hierarchy, members: [{uniqueName, caption}]}],
//   expanded: {hierarchy: [member unique name or "level:" + level unique name]},
//   calcs: [{name, formula}], nonEmpty, totals,
//   sort: {tuple: [unique names] (null: by the first measure), desc, breaking} | null,
//   columnSort: {tuple: [unique names of a row], desc, breaking} | null,
//   topN: number | 0,
// }

// An axis entry that is a named set of the cube rather than a hierarchy.
export function isSetEntry(entry) { return String(entry).startsWith('set:'); }

export function bracket(name) { return `[${String(name).replaceAll(']', ']]')}]`; }

export function calcUniqueName(name) { return `[Measures].${bracket(name)}`; }

// MDX text quoted for a WITH formula between single quotes.
function quoteFormula(formula) { return `'${String(formula).replaceAll("'", "''")}'`; }

// A hierarchy starts as the members of its first level (the all member, where
// it has one), from the cube's metadata: `cube.firstLevels[hierarchy]`.
function hierarchySet(hierarchy, state, cube) {
  // A named set of the cube: its members as the cube defines them.
  if (isSetEntry(hierarchy)) return `{${hierarchy.slice(4)}}`;
  const level = cube?.firstLevels?.[hierarchy];
  const base = level ? `${level}.Members` : `${hierarchy}.Members`;
  const expanded = state.expanded?.[hierarchy] || [];
  if (expanded.length === 0) return `{${base}}`;
  const targets = expanded.map((name) => (name.startsWith('level:') ? `${name.slice(6)}.Members` : name));
  const drilled = `DrilldownMember({${base}}, {${targets.join(', ')}}, RECURSIVE)`;
  if (state.totals !== false) return drilled;
  // Without totals a drilled member gives way to its children.
  const members = expanded.filter((name) => !name.startsWith('level:'));
  const levels = expanded.filter((name) => name.startsWith('level:')).map((name) => `${name.slice(6)}.Members`);
  const hidden = [...members, ...levels];
  return `Except(${drilled}, {${hidden.join(', ')}})`;
}

function measureSet(state) { return `{${state.measures.join(', ')}}`; }

function crossJoinAll(sets) {
  return sets.reduce((left, right) => (left ? `CrossJoin(${left}, ${right})` : right), '');
}

function axisSet(hierarchies, withMeasures, state, cube) {
  const sets = hierarchies.map((hierarchy) => hierarchySet(hierarchy, state, cube));
  if (withMeasures && state.measures.length) sets.push(measureSet(state));
  return crossJoinAll(sets);
}

function orderFlag(sort) {
  return sort.breaking ? (sort.desc ? 'BDESC' : 'BASC') : sort.desc ? 'DESC' : 'ASC';
}

function tupleText(tuple) { return tuple.length === 1 ? tuple[0] : `(${tuple.join(', ')})`; }

function sortKey(state) {
  const tuple = state.sort?.tuple;
  if (tuple && tuple.length) return tuple.length === 1 ? tuple[0] : `(${tuple.join(', ')})`;
  return state.measures[0] || '[Measures].DefaultMember';
}

// The slicer: one member per hierarchy is a tuple; several members of a
// hierarchy make a compound slicer, the cross join of the hierarchies' sets.
export function slicer(filters) {
  const used = (filters || []).filter((filter) => filter.members.length > 0);
  if (used.length === 0) return '';
  if (used.every((filter) => filter.members.length === 1)) {
    const members = used.map((filter) => filter.members[0].uniqueName);
    return members.length === 1 ? members[0] : `(${members.join(', ')})`;
  }
  return crossJoinAll(used.map((filter) => `{${filter.members.map((member) => member.uniqueName).join(', ')}}`));
}

export function buildMdx(state, cube) {
  // Measures go on rows only beside something on the columns: an axis of
  // columns is required, and a single wide row would be of no use.
  const measuresOnRows = state.measuresOnRows && state.columns.length > 0;
  let columns = axisSet(state.columns, !measuresOnRows, state, cube);
  // Sorting and top N pick among the rows' members; measures on the rows
  // are crossed in afterwards, so each member keeps all of its measures.
  let rows = axisSet(state.rows, false, state, cube);
  if (!columns && rows) {
    columns = rows;
    rows = '';
  }
  if (!columns) columns = state.measures.length ? measureSet(state) : '{[Measures].DefaultMember}';
  if (rows) {
    if (state.sort) rows = `Order(${rows}, ${sortKey(state)}, ${orderFlag(state.sort)})`;
    // The columns sorted by the values of one row.
    if (state.columnSort?.tuple?.length) {
      columns = `Order(${columns}, ${tupleText(state.columnSort.tuple)}, ${orderFlag(state.columnSort)})`;
    }
    if (state.topN > 0) rows = `TopCount(${rows}, ${Math.floor(state.topN)}, ${sortKey(state)})`;
    if (measuresOnRows && state.measures.length) rows = `CrossJoin(${rows}, ${measureSet(state)})`;
  }
  const nonEmpty = state.nonEmpty ? 'NON EMPTY ' : '';
  let text = '';
  const calcs = (state.calcs || []).filter((calc) => calc.name && calc.formula);
  if (calcs.length) {
    text += `WITH${calcs.map((calc) => ` MEMBER ${calcUniqueName(calc.name)} AS ${quoteFormula(calc.formula)}`).join('')}\n`;
  }
  text += `SELECT ${nonEmpty}${columns} ON COLUMNS`;
  if (rows) text += `,\n  ${nonEmpty}${rows} ON ROWS`;
  text += `\nFROM ${bracket(state.cube)}`;
  const where = slicer(state.filters);
  if (where) text += `\nWHERE ${where}`;
  return text;
}

// Where an engine message places its error: "line N, column M", or null.
export function errorPosition(message) {
  const match = /line (\d+), column (\d+)/i.exec(String(message));
  return match ? { line: Number(match[1]), column: Number(match[2]) } : null;
}

// The offset in `text` of a 1-based line and column (clamped to the text).
export function offsetOf(text, line, column) {
  const lines = text.split('\n');
  let offset = 0;
  for (let index = 0; index < Math.min(line - 1, lines.length); index++) offset += lines[index].length + 1;
  return Math.min(text.length, offset + Math.max(0, column - 1));
}

// The state as text for the address bar, and back. A state from a link is
// checked for shape: anything else gives null, never a half-read view.
export function encodeState(state) {
  const bytes = new TextEncoder().encode(JSON.stringify(state));
  let binary = '';
  for (const byte of bytes) binary += String.fromCharCode(byte);
  return btoa(binary).replaceAll('+', '-').replaceAll('/', '_').replace(/=+$/, '');
}

export function decodeState(text) {
  try {
    const binary = atob(String(text).replaceAll('-', '+').replaceAll('_', '/'));
    const state = JSON.parse(new TextDecoder().decode(Uint8Array.from(binary, (c) => c.charCodeAt(0))));
    const strings = (list) => Array.isArray(list) && list.every((item) => typeof item === 'string');
    const objects = (list, check) => list === undefined || (Array.isArray(list) && list.every((item) => item && check(item)));
    const expanded = state?.expanded ?? {};
    if (!state || typeof state.cube !== 'string' || !strings(state.rows) || !strings(state.columns) ||
        !strings(state.measures) ||
        !objects(state.filters, (filter) => typeof filter.hierarchy === 'string' &&
          objects(filter.members, (member) => typeof member.uniqueName === 'string')) ||
        !objects(state.calcs, (calc) => typeof calc.name === 'string' && typeof calc.formula === 'string') ||
        typeof expanded !== 'object' || Array.isArray(expanded) || !Object.values(expanded).every(strings)) {
      return null;
    }
    return state;
  } catch {
    return null;
  }
}

function xmlText(text) {
  return String(text).replaceAll('&', '&amp;').replaceAll('<', '&lt;').replaceAll('>', '&gt;')
    .replaceAll('"', '&quot;').replaceAll("'", '&apos;');
}

// The named sets on the axes, each in place of the hierarchy its members
// belong to, found from the grid's first position: rows without columns or
// measures are shown as columns. A set whose grid is empty has no hierarchy
// to name and is left to the page's own state.
function namedSetsXml(view) {
  const { state } = view;
  const moved = !state.columns.length && !state.measures.length;
  const entries = moved ? [state.rows, []] : [state.columns, state.rows];
  const positions = [view.columns, view.rows];
  const hierarchyOf = (uniqueName) => Object.keys(view.hierarchies || {})
    .filter((name) => uniqueName.startsWith(`${name}.`)).sort((a, b) => b.length - a.length)[0];
  let sets = '';
  entries.forEach((list, axis) => {
    const first = (positions[axis]?.[0] || []).filter((member) => !member.uniqueName.startsWith('[Measures].'));
    list.forEach((entry, index) => {
      if (!isSetEntry(entry) || !first[index]) return;
      const hierarchy = hierarchyOf(first[index].uniqueName);
      if (!hierarchy) return;
      const { dimension = '', name = '' } = view.hierarchies[hierarchy];
      sets += `<set axis="${axis}" dimensionName="${xmlText(dimension)}" hierarchyName="${xmlText(name !== dimension ? name : '')}">`;
      sets += `${xmlText(entry.slice(4))}</set>`;
    });
  });
  return sets ? `<namedSets>${sets}</namedSets>` : '';
}

// A saved view's definition: the classic elements (the axes as the sets of
// tuples the grid shows, the first measure), the optional filters and
// measures, and the page's whole state in <explore>, which other readers
// leave alone; named sets on the axes in <namedSets>. `view`: {dataSource, catalog, state, hierarchies: {uniqueName:
// {dimension, name}}, measureNames: {uniqueName: name}, columns, rows} where
// columns and rows are the grid's positions (arrays of members).
export function viewXml(view) {
  const { state } = view;
  const isMeasure = (member) => member.uniqueName.startsWith('[Measures].');
  const axisXml = (positions) => {
    const seen = new Set();
    let tuples = '';
    for (const position of positions || []) {
      const members = position.filter((member) => !isMeasure(member));
      if (!members.length) continue;
      const key = members.map((member) => member.uniqueName).join('\n');
      if (seen.has(key)) continue;
      seen.add(key);
      tuples += `<t>${members.map((member) => `<m>${xmlText(member.uniqueName)}</m>`).join('')}</t>`;
    }
    return `<axis><set>${tuples}</set></axis>`;
  };
  const firstMeasure = state.measures[0];
  let xml = `<cubeView><dataSource provider="MSOLAP">${xmlText(view.dataSource || 'localhost')}</dataSource>`;
  xml += `<catalog>${xmlText(view.catalog)}</catalog><cube>${xmlText(state.cube)}</cube>`;
  if (firstMeasure) xml += `<measure>${xmlText(view.measureNames?.[firstMeasure] ?? firstMeasure)}</measure>`;
  xml += `<ranges/><axes>${axisXml(view.columns)}${axisXml(view.rows)}</axes>`;
  xml += namedSetsXml(view);
  const filters = state.filters.filter((filter) => filter.members.length);
  if (filters.length) {
    xml += '<filters>';
    for (const filter of filters) {
      const hierarchy = view.hierarchies?.[filter.hierarchy] || {};
      const dimension = hierarchy.dimension ?? '';
      const name = hierarchy.name && hierarchy.name !== dimension ? hierarchy.name : '';
      xml += `<hierarchy dimensionName="${xmlText(dimension)}" hierarchyName="${xmlText(name)}">`;
      xml += filter.members.map((member) => `<m>${xmlText(member.uniqueName)}</m>`).join('');
      xml += '</hierarchy>';
    }
    xml += '</filters>';
  }
  const realMeasures = state.measures.filter((name) => !(state.calcs || []).some((calc) => calcUniqueName(calc.name) === name));
  if (realMeasures.length) {
    const axis = state.measuresOnRows && state.columns.length > 0 ? 1 : 0;
    xml += `<measures axis="${axis}">${realMeasures.map((name) => `<m>${xmlText(name)}</m>`).join('')}</measures>`;
  }
  xml += `<explore>${encodeState(state)}</explore></cubeView>`;
  return xml;
}
