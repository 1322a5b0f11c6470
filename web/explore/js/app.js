// The analyst's page: the cube's tree, the axes and filters, the grid and its
// chart, the MDX editor, saved views and the link in the address bar. The
// page's state is one object (see mdx.js); every change rebuilds the
// statement, asks the server, and redraws the grid from the answer.
import { api } from './api.js';
import { PivotGrid } from './grid.js';
import { drawChart, disposeChart } from './chart.js';
import { buildMdx, calcUniqueName, decodeState, encodeState, errorPosition, isSetEntry, offsetOf, viewXml } from './mdx.js';
import { language, setLanguage, t } from './i18n.js';

const $ = (id) => document.getElementById(id);

function make(tag, attributes = {}, ...children) {
  const element = document.createElement(tag);
  for (const [key, value] of Object.entries(attributes)) {
    if (key === 'text') element.textContent = value;
    else if (key === 'on') for (const [type, handler] of Object.entries(value)) element.addEventListener(type, handler);
    else if (key === 'dataset') Object.assign(element.dataset, value);
    else if (value !== undefined && value !== null && value !== false) element.setAttribute(key, value === true ? '' : value);
  }
  element.append(...children.filter((child) => child !== null && child !== undefined));
  return element;
}

function emptyState(cube, measures) {
  return {
    cube, rows: [], columns: [], measures, measuresOnRows: false, filters: [], expanded: {}, calcs: [],
    nonEmpty: false, totals: true, sort: null, columnSort: null, topN: 0, shading: false, ranges: [], chart: 'none',
  };
}

const page = {
  where: { dataSource: '', catalog: '' },
  cubes: [],
  cube: null,
  state: null,
  data: null,
  sequence: 0,
  customMdx: null,
  timing: {},
};
window.explore = page;

function hierarchiesOf(cube) {
  const list = [];
  for (const dimension of cube?.dimensions || []) {
    if (dimension.name === 'Measures' || dimension.uniqueName === '[Measures]') continue;
    const hierarchies = dimension.hierarchies?.length ? dimension.hierarchies : [dimension];
    for (const hierarchy of hierarchies) list.push({ ...hierarchy, dimension: dimension.name });
  }
  return list;
}

function measuresOf(cube) {
  if (cube?.measures) return cube.measures;
  const dimension = (cube?.dimensions || []).find((one) => one.name === 'Measures');
  return dimension?.hierarchies?.[0]?.levels?.[0]?.members || [];
}

function captionOf(uniqueName) {
  if (isSetEntry(uniqueName)) {
    const set = (page.cube?.namedSets || []).find((one) => `set:${one.uniqueName}` === uniqueName);
    return set ? set.caption || set.name : uniqueName.slice(4);
  }
  const hierarchy = hierarchiesOf(page.cube).find((one) => one.uniqueName === uniqueName);
  if (hierarchy) return hierarchy.caption || hierarchy.name;
  const calc = page.state.calcs.find((one) => calcUniqueName(one.name) === uniqueName);
  if (calc) return calc.name;
  const measure = measuresOf(page.cube).find((one) => one.uniqueName === uniqueName);
  return measure ? measure.caption || measure.name : uniqueName;
}

function status(text, isError = false) {
  $('status').textContent = text;
  $('status').classList.toggle('error', isError);
}

// ---- choosing the data source, catalog and cube ----

async function loadCatalogs() {
  const catalogs = await api.catalogs(page.where.dataSource);
  fillSelect($('catalog'), catalogs.map((one) => one.name), page.where.catalog);
  page.where.catalog = $('catalog').value;
  await loadCubes();
}

async function loadCubes(wanted) {
  page.cubes = await api.cubes(page.where.dataSource, page.where.catalog);
  fillSelect($('cube'), page.cubes.map((one) => one.name), wanted || page.state?.cube);
  chooseCube($('cube').value, null);
}

function fillSelect(select, names, wanted) {
  select.replaceChildren(...names.map((name) => make('option', { value: name, text: name })));
  if (names.includes(wanted)) select.value = wanted;
}

function chooseCube(name, state) {
  page.cube = page.cubes.find((one) => one.name === name) || null;
  if (!page.cube) return;
  page.cubeInfo = { firstLevels: {} };
  for (const hierarchy of hierarchiesOf(page.cube)) {
    const levels = [...(hierarchy.levels || [])].sort((a, b) => (a.depth ?? 0) - (b.depth ?? 0));
    if (levels[0]) page.cubeInfo.firstLevels[hierarchy.uniqueName] = levels[0].uniqueName || `${hierarchy.uniqueName}.[${levels[0].name.replaceAll(']', ']]')}]`;
  }
  const first = measuresOf(page.cube)[0];
  page.state = state || emptyState(page.cube.name, first ? [first.uniqueName] : []);
  page.customMdx = null;
  drawTree();
  refresh();
}

// ---- the tree ----

function treeItem(kind, uniqueName, caption, buttons) {
  const item = make('li', { class: `tree-item ${kind}`, draggable: 'true', dataset: { kind, uniqueName } },
    make('span', { class: 'tree-caption', text: caption }));
  item.addEventListener('dragstart', (event) => {
    event.dataTransfer.setData('application/x-orvex', JSON.stringify({ kind, uniqueName }));
    event.dataTransfer.effectAllowed = 'move';
  });
  const tools = make('span', { class: 'tree-tools' });
  for (const [zone, label] of buttons) {
    tools.append(make('button', { type: 'button', class: `to-${zone}`, title: t(label), 'aria-label': `${t(label)}: ${caption}`,
      text: { rows: '≡', columns: '‖', filters: '⚲', measures: '+' }[zone], on: { click: () => place(kind, uniqueName, zone) } }));
  }
  item.append(tools);
  return item;
}

function drawTree() {
  const tree = $('tree-list');
  const query = $('tree-search').value.trim().toLowerCase();
  const matches = (text) => !query || String(text).toLowerCase().includes(query);
  const items = [];
  const measures = [...measuresOf(page.cube), ...page.state.calcs.map((calc) => ({ uniqueName: calcUniqueName(calc.name), name: calc.name }))];
  const measureItems = measures.filter((one) => matches(one.caption || one.name))
    .map((one) => treeItem('measure', one.uniqueName, one.caption || one.name, [['measures', 'add']]));
  if (measureItems.length) items.push(make('li', { class: 'tree-group' }, make('span', { text: t('measures') }), make('ul', {}, ...measureItems)));
  const byDimension = new Map();
  for (const hierarchy of hierarchiesOf(page.cube)) {
    const caption = hierarchy.caption || hierarchy.name;
    if (!matches(caption) && !matches(hierarchy.dimension)) continue;
    if (!byDimension.has(hierarchy.dimension)) byDimension.set(hierarchy.dimension, []);
    byDimension.get(hierarchy.dimension).push(treeItem('hierarchy', hierarchy.uniqueName, caption,
      [['rows', 'toRows'], ['columns', 'toColumns'], ['filters', 'toFilters']]));
  }
  for (const [dimension, list] of byDimension) {
    items.push(make('li', { class: 'tree-group' }, make('span', { text: dimension }), make('ul', {}, ...list)));
  }
  // A named set goes on rows or columns in place of its hierarchy's members.
  const sets = (page.cube?.namedSets || []).filter((set) => matches(set.caption || set.name) || matches(set.name))
    .map((set) => treeItem('set', `set:${set.uniqueName}`, set.caption || set.name, [['rows', 'toRows'], ['columns', 'toColumns']]));
  if (sets.length) items.push(make('li', { class: 'tree-group sets' }, make('span', { text: t('namedSets') }), make('ul', {}, ...sets)));
  tree.replaceChildren(...items);
}

// ---- axes and filters ----

function removeEverywhere(state, uniqueName) {
  state.rows = state.rows.filter((one) => one !== uniqueName);
  state.columns = state.columns.filter((one) => one !== uniqueName);
  state.filters = state.filters.filter((one) => one.hierarchy !== uniqueName);
}

function place(kind, uniqueName, zone) {
  const state = page.state;
  if (kind === 'measure') {
    if (!state.measures.includes(uniqueName)) state.measures.push(uniqueName);
    if (zone === 'rows') state.measuresOnRows = true;
    if (zone === 'columns') state.measuresOnRows = false;
  } else if (kind === 'set' && zone === 'filters') {
    return;
  } else if (zone === 'filters') {
    if (!state.filters.some((one) => one.hierarchy === uniqueName)) {
      removeEverywhere(state, uniqueName);
      state.filters.push({ hierarchy: uniqueName, members: [] });
    }
    openMemberSearch(uniqueName);
  } else if (zone === 'rows' || zone === 'columns') {
    removeEverywhere(state, uniqueName);
    state[zone].push(uniqueName);
  }
  state.sort = null;
  state.columnSort = null;
  refresh();
}

function chip(label, onRemove, onClick) {
  const body = make('span', { class: 'chip' });
  body.append(onClick ? make('button', { type: 'button', class: 'chip-label', text: label, on: { click: onClick } })
    : make('span', { class: 'chip-label', text: label }));
  body.append(make('button', { type: 'button', class: 'chip-remove', 'aria-label': `${t('remove')}: ${label}`, text: '×', on: { click: onRemove } }));
  return body;
}

function drawZones() {
  const state = page.state;
  for (const zone of ['rows', 'columns']) {
    const chips = state[zone].map((name) => {
      const body = chip(captionOf(name), () => { removeEverywhere(state, name); state.sort = null; state.columnSort = null; refresh(); });
      if (isSetEntry(name)) return body;
      body.insertBefore(make('button', { type: 'button', class: 'chip-level', 'aria-label': `${t('expandLevel')}: ${captionOf(name)}`, title: t('expandLevel'),
        text: '⊞', on: { click: () => expandNextLevel(name) } }), body.lastChild);
      if ((state.expanded[name] || []).length) {
        body.insertBefore(make('button', { type: 'button', class: 'chip-collapse', 'aria-label': `${t('collapseAll')}: ${captionOf(name)}`, title: t('collapseAll'),
          text: '⊟', on: { click: () => { state.expanded[name] = []; page.customMdx = null; refresh(); } } }), body.lastChild);
      }
      return body;
    });
    const measuresHere = (zone === 'rows') === Boolean(state.measuresOnRows && state.columns.length > 0);
    if (measuresHere) {
      for (const name of state.measures) {
        chips.push(chip(captionOf(name), () => {
          if (state.measures.length > 1) state.measures = state.measures.filter((one) => one !== name);
          refresh();
        }));
      }
    }
    $(`zone-${zone}`).replaceChildren(...(chips.length ? chips : [make('span', { class: 'hint', text: t('dropHere') })]));
  }
  const filters = state.filters.map((filter) => chip(filterLabel(filter), () => {
    state.filters = state.filters.filter((one) => one !== filter);
    refresh();
  }, () => openMemberSearch(filter.hierarchy)));
  $('zone-filters').replaceChildren(...(filters.length ? filters : [make('span', { class: 'hint', text: t('dropHere') })]));
  drawActiveFilters();
}

function hasNoAll(hierarchy) {
  if (hierarchy.hasAll !== undefined) return hierarchy.hasAll === false;
  const levels = hierarchy.levels || [];
  return levels.length > 0 && !levels.some((level) => level.depth === 0 && /^\(All\)$/.test(level.name));
}

// Opens every member of the next level not yet open as a whole.
function expandNextLevel(hierarchyName) {
  const hierarchy = hierarchiesOf(page.cube).find((one) => one.uniqueName === hierarchyName);
  const levels = [...(hierarchy?.levels || [])].sort((a, b) => (a.depth ?? 0) - (b.depth ?? 0));
  const open = page.state.expanded[hierarchyName] || [];
  const next = levels.slice(0, -1).map((level) => `level:${level.uniqueName || `${hierarchyName}.[${level.name.replaceAll(']', ']]')}]`}`)
    .find((name) => !open.includes(name));
  if (!next) return;
  page.state.expanded[hierarchyName] = [...open, next];
  page.customMdx = null;
  refresh();
}

function filterLabel(filter) {
  const members = filter.members.map((member) => member.caption).join(', ');
  return `${captionOf(filter.hierarchy)}: ${members || '…'}`;
}

// Above the grid: every filter in force, the hidden default members too.
function drawActiveFilters() {
  const state = page.state;
  const items = state.filters.filter((one) => one.members.length)
    .map((filter) => make('li', { class: 'active-filter', text: filterLabel(filter) }));
  // A hierarchy without an all member slices every cell by its default
  // member even when no one chose it: the answer's filter axis names it.
  const used = new Set([...state.rows, ...state.columns, ...state.filters.map((one) => one.hierarchy)]);
  const slicing = (page.answerFilter || []).filter((member) => member.uniqueName);
  for (const hierarchy of hierarchiesOf(page.cube)) {
    if (used.has(hierarchy.uniqueName) || !hasNoAll(hierarchy)) continue;
    const member = slicing.find((one) => one.uniqueName.startsWith(`${hierarchy.uniqueName}.`));
    const fallback = hierarchy.defaultMember;
    const caption = member?.caption ?? (typeof fallback === 'string' ? fallback : fallback?.caption);
    if (!caption) continue;
    items.push(make('li', { class: 'active-filter default', text: `${hierarchy.caption || hierarchy.name}: ${t('defaultMember', caption)}` }));
  }
  $('active-filters').replaceChildren(...(items.length ? items : [make('li', { class: 'hint', text: t('noFilters') })]));
}

function setUpDropZones() {
  for (const zone of ['rows', 'columns', 'filters']) {
    const target = $(`zone-${zone}`);
    target.addEventListener('dragover', (event) => { event.preventDefault(); target.classList.add('over'); });
    target.addEventListener('dragleave', () => target.classList.remove('over'));
    target.addEventListener('drop', (event) => {
      event.preventDefault();
      target.classList.remove('over');
      try {
        const { kind, uniqueName } = JSON.parse(event.dataTransfer.getData('application/x-orvex'));
        if ((kind === 'measure' || kind === 'set') && zone === 'filters') return;
        place(kind, uniqueName, zone);
      } catch {
        // Something dragged in from elsewhere.
      }
    });
  }
}

// ---- member search for filters ----

let searchHierarchy = null;
let searchTimer = 0;

function openMemberSearch(hierarchy) {
  searchHierarchy = hierarchy;
  $('member-title').textContent = t('filterSearch', captionOf(hierarchy));
  $('member-search').value = '';
  drawChosen();
  $('member-results').replaceChildren();
  $('member-dialog').showModal();
  $('member-search').focus();
  searchMembers();
}

function currentFilter() { return page.state.filters.find((one) => one.hierarchy === searchHierarchy); }

function drawChosen() {
  const filter = currentFilter();
  $('member-chosen').replaceChildren(...(filter?.members || []).map((member) => chip(member.caption, () => {
    filter.members = filter.members.filter((one) => one.uniqueName !== member.uniqueName);
    drawChosen();
    searchMembers();
  })));
}

let searchSequence = 0;

async function searchMembers() {
  const text = $('member-search').value.trim();
  const where = { ...page.where, cube: page.state.cube, hierarchy: searchHierarchy };
  const sequence = ++searchSequence;
  try {
    const found = await api.members(where, text ? { search: text, limit: 50 } : { limit: 50 });
    // An answer to an older search that arrives late must not replace the newer one's.
    if (sequence !== searchSequence) return;
    const members = found.members.filter((member) => !member.uniqueName || member.uniqueName.startsWith(`${searchHierarchy}.`) || member.uniqueName === searchHierarchy);
    const filter = currentFilter();
    const chosen = new Set((filter?.members || []).map((member) => member.uniqueName));
    $('member-count').textContent = t('results', found.total ?? members.length);
    $('member-results').replaceChildren(...members.map((member) => {
      const box = make('input', { type: 'checkbox', checked: chosen.has(member.uniqueName) });
      box.addEventListener('change', () => {
        if (!filter) return;
        if (box.checked) filter.members.push({ uniqueName: member.uniqueName, caption: member.caption });
        else filter.members = filter.members.filter((one) => one.uniqueName !== member.uniqueName);
        drawChosen();
      });
      const path = member.levelName ? ` (${member.levelName})` : '';
      return make('li', {}, make('label', {}, box, make('span', { text: member.caption + path })));
    }));
  } catch (error) {
    if (sequence === searchSequence) $('member-count').textContent = error.message;
  }
}

// ---- running the view ----

function positionsOf(answer, index) {
  const axis = answer.axes?.[index];
  return axis ? axis.positions.map((position) => position.members) : [[]];
}

async function refresh() {
  if (!page.state) return;
  drawZones();
  const mdx = page.customMdx ?? buildMdx(page.state, page.cubeInfo);
  if (page.customMdx === null) $('mdx-text').value = mdx;
  writeLink();
  const sequence = ++page.sequence;
  const started = performance.now();
  status(t('loading'));
  let answer;
  try {
    answer = await api.query(page.where, mdx);
  } catch (error) {
    if (sequence !== page.sequence) return;
    showError(error.message);
    document.body.dataset.done = String(sequence);
    return;
  }
  if (sequence !== page.sequence) return;
  const answered = performance.now();
  $('mdx-error').textContent = '';
  $('calc-error').textContent = '';
  const columns = positionsOf(answer, 0);
  const rows = answer.axes?.length > 1 ? positionsOf(answer, 1) : [[]];
  let largest = 0;
  for (const cell of answer.cells) if (typeof cell.value === 'number') largest = Math.max(largest, Math.abs(cell.value));
  page.data = { columns, rows, cells: answer.cells, colour: (cell) => colourOf(cell, largest) };
  page.answerFilter = answer.filterAxis?.positions?.[0]?.members || [];
  drawActiveFilters();
  page.grid.setData(page.data);
  const shown = performance.now();
  page.timing = { server: answer.millis, answer: answered - started, render: shown - answered, total: shown - started, cells: answer.cells.length };
  status(t('cells', answer.cells.length, Math.round(shown - started)));
  document.body.dataset.ready = String(sequence);
  document.body.dataset.done = String(sequence);
  if (page.state.chart !== 'none') drawChart($('chart'), page.state.chart, page.data).catch((error) => status(error.message, true));
}

function colourOf(cell, largest) {
  if (typeof cell.value !== 'number') return '';
  for (const range of page.state.ranges || []) {
    const from = range.from === '' || range.from === null ? -Infinity : Number(range.from);
    const to = range.to === '' || range.to === null ? Infinity : Number(range.to);
    if (cell.value >= from && cell.value <= to) return range.colour;
  }
  if (page.state.shading && largest > 0) return `rgba(46, 117, 182, ${(0.08 + 0.5 * Math.abs(cell.value) / largest).toFixed(3)})`;
  return '';
}

function showError(message) {
  status(message, true);
  const where = errorPosition(message);
  const box = page.customMdx !== null ? $('mdx-error') : page.state.calcs.length ? $('calc-error') : $('mdx-error');
  box.textContent = where ? t('errorAt', where.line, where.column, message) : message;
  if (where && page.customMdx !== null) {
    const editor = $('mdx-text');
    const at = offsetOf(editor.value, where.line, where.column);
    editor.setSelectionRange(at, Math.min(editor.value.length, at + 1));
  }
}

function hierarchyOfMember(member) {
  const names = [...page.state.rows, ...page.state.columns].filter((name) => member.uniqueName.startsWith(`${name}.`));
  return names.sort((a, b) => b.length - a.length)[0];
}

// The "level:" entry that opens the member's whole level, by its depth.
function levelEntryOf(hierarchyName, member) {
  const hierarchy = hierarchiesOf(page.cube).find((one) => one.uniqueName === hierarchyName);
  const levels = [...(hierarchy?.levels || [])].sort((a, b) => (a.depth ?? 0) - (b.depth ?? 0));
  const level = levels.find((one, index) => (one.depth ?? index) === member.levelDepth);
  return level ? `level:${level.uniqueName || `${hierarchyName}.[${level.name.replaceAll(']', ']]')}]`}` : null;
}

function isExpanded(member) {
  const hierarchy = hierarchyOfMember(member);
  const list = page.state.expanded[hierarchy] || [];
  return Boolean(hierarchy && (list.includes(member.uniqueName) || list.includes(levelEntryOf(hierarchy, member))));
}

// Opens or closes one member; closing a member opened with its whole level closes that level.
function toggle(member) {
  const hierarchy = hierarchyOfMember(member);
  if (!hierarchy) return;
  const list = page.state.expanded[hierarchy] || [];
  const level = levelEntryOf(hierarchy, member);
  page.state.expanded[hierarchy] = isExpanded(member) ? list.filter((one) => one !== member.uniqueName && one !== level) : [...list, member.uniqueName];
  page.customMdx = null;
  refresh();
}

function sortTuple(axis, index) {
  const positions = axis === 'row' ? page.data.rows : page.data.columns;
  return positions[index].map((member) => member.uniqueName);
}

function sortOf(axis, index) {
  const sort = axis === 'row' ? page.state.columnSort : page.state.sort;
  if (!sort?.tuple || !page.data) return null;
  const tuple = sortTuple(axis, index);
  return tuple.length === sort.tuple.length && tuple.every((name, at) => name === sort.tuple[at]) ? (sort.desc ? 'desc' : 'asc') : null;
}

// A click on a heading sorts by it: largest first, then smallest first, then as the cube has it.
function sortBy(axis, index) {
  const current = sortOf(axis, index);
  const breaking = $('opt-breaking').checked;
  const sort = current === 'asc' ? null : { tuple: sortTuple(axis, index), desc: current !== 'desc', breaking };
  if (axis === 'row') page.state.columnSort = sort;
  else page.state.sort = sort;
  page.customMdx = null;
  refresh();
}

// ---- drill-through ----

async function drillThrough(row, column) {
  // A calculated measure has no fact rows of its own: the cell's other coordinates still do.
  const calculated = new Set(page.state.calcs.map((calc) => calcUniqueName(calc.name)));
  const members = [...(page.data.rows[row] || []), ...(page.data.columns[column] || [])].map((member) => member.uniqueName)
    .filter((name) => !calculated.has(name));
  for (const filter of page.state.filters) if (filter.members.length === 1) members.push(filter.members[0].uniqueName);
  const mdx = `DRILLTHROUGH MAXROWS 1000 SELECT FROM [${page.state.cube.replaceAll(']', ']]')}]` + (members.length ? ` WHERE (${members.join(', ')})` : '');
  const table = $('drill-table');
  table.replaceChildren();
  $('drill-message').textContent = t('loading');
  $('drill-dialog').showModal();
  try {
    const answer = await api.drillthrough(page.where, mdx);
    $('drill-message').textContent = t('results', answer.total ?? answer.rows.length);
    table.append(make('thead', {}, make('tr', {}, ...answer.columns.map((name) => make('th', { text: typeof name === 'string' ? name : name.name })))));
    table.append(make('tbody', {}, ...answer.rows.map((cells) => make('tr', {}, ...cells.map((value) => make('td', { text: value ?? '' }))))));
  } catch (error) {
    $('drill-message').textContent = error.message;
  }
}

// ---- export ----

async function exportAs(format) {
  try {
    const blob = await api.exportFile(format, page.where, page.customMdx ?? buildMdx(page.state, page.cubeInfo));
    const link = make('a', { href: URL.createObjectURL(blob), download: `${page.state.cube}.${format}` });
    document.body.append(link);
    link.click();
    link.remove();
  } catch (error) {
    status(error.message, true);
  }
}

// ---- saved views, in the store the classic explorer uses ----

const views = { folder: '' };

async function listViews() {
  try {
    const answer = await api.views(views.folder);
    const options = [];
    if (views.folder) options.push(make('option', { value: 'up', text: '..' }));
    for (const name of answer.folders || []) options.push(make('option', { value: `folder:${name}`, text: `${name}/` }));
    for (const name of answer.views || []) options.push(make('option', { value: `view:${name}`, text: name }));
    $('views-list').replaceChildren(...options);
    $('views-folder').textContent = `/${views.folder}`;
  } catch (error) {
    $('views-message').textContent = error.message;
  }
}

function enterViewsEntry() {
  const value = $('views-list').value;
  if (value === 'up') {
    views.folder = views.folder.split('/').slice(0, -1).join('/');
  } else if (value.startsWith('folder:')) {
    views.folder = views.folder ? `${views.folder}/${value.slice(7)}` : value.slice(7);
  } else if (value.startsWith('view:')) {
    openView(value.slice(5));
    return;
  }
  listViews();
}

async function saveView() {
  const name = $('view-name').value.trim();
  if (!name || !page.state) return;
  const hierarchies = Object.fromEntries(hierarchiesOf(page.cube).map((one) => [one.uniqueName, { dimension: one.dimension, name: one.name }]));
  const measureNames = Object.fromEntries(measuresOf(page.cube).map((one) => [one.uniqueName, one.name]));
  const xml = viewXml({ dataSource: page.where.dataSource, catalog: page.where.catalog, state: page.state, hierarchies, measureNames,
    columns: page.data?.columns, rows: page.data?.rows });
  try {
    await api.saveView(views.folder, name, xml, true);
    $('views-message').textContent = t('saved', name);
    listViews();
  } catch (error) {
    $('views-message').textContent = error.message;
  }
}

// A view saved by this page reopens from its own state; one saved by the
// classic explorer gives its cube, measures, hierarchies and filters.
function stateFromXml(xml) {
  const document = new DOMParser().parseFromString(xml, 'application/xml');
  const text = (selector) => document.querySelector(selector)?.textContent ?? '';
  const own = decodeState(text('explore'));
  const where = { dataSource: text('dataSource'), catalog: text('catalog') };
  if (own) return { where, state: own };
  const cube = text('cube');
  const info = page.cubes.find((one) => one.name === cube);
  const all = hierarchiesOf(info);
  const hierarchyOf = (uniqueName) => all.filter((one) => uniqueName.startsWith(`${one.uniqueName}.`)).sort((a, b) => b.uniqueName.length - a.uniqueName.length)[0]?.uniqueName;
  const axis = (index) => {
    const found = [];
    for (const member of document.querySelectorAll(`axes > axis:nth-of-type(${index + 1}) m`)) {
      const hierarchy = hierarchyOf(member.textContent);
      if (hierarchy && !found.includes(hierarchy)) found.push(hierarchy);
    }
    return found;
  };
  const measureNames = [...document.querySelectorAll('measures > m')].map((one) => one.textContent);
  const byName = (name) => measuresOf(info).find((one) => one.uniqueName === name || one.name === name)?.uniqueName;
  const measures = (measureNames.length ? measureNames : [text('measure')]).map(byName).filter(Boolean);
  const state = emptyState(cube, measures);
  state.columns = axis(0);
  state.rows = axis(1);
  state.filters = [...document.querySelectorAll('filters > hierarchy')].map((hierarchy) => {
    const members = [...hierarchy.querySelectorAll('m')].map((one) => ({ uniqueName: one.textContent, caption: one.textContent.replace(/^.*\.\[(.*)\]$/, '$1') }));
    return { hierarchy: hierarchyOf(members[0]?.uniqueName || '') || '', members };
  }).filter((filter) => filter.hierarchy);
  return { where, state };
}

async function openView(name) {
  try {
    const answer = await api.view(views.folder, name);
    const { where, state } = stateFromXml(answer.xml);
    $('view-name').value = name;
    if (where.catalog && where.catalog !== page.where.catalog) {
      page.where.catalog = where.catalog;
      page.cubes = await api.cubes(page.where.dataSource, page.where.catalog);
      fillSelect($('catalog'), [...$('catalog').options].map((one) => one.value), where.catalog);
    }
    fillSelect($('cube'), page.cubes.map((one) => one.name), state.cube);
    chooseCube(state.cube, { ...emptyState(state.cube, []), ...state });
    syncOptions();
  } catch (error) {
    $('views-message').textContent = error.message;
  }
}

async function deleteView() {
  const name = $('view-name').value.trim();
  if (!name) return;
  try {
    await api.deleteView(views.folder, name);
    listViews();
  } catch (error) {
    $('views-message').textContent = error.message;
  }
}

// ---- the link in the address bar ----

function writeLink() {
  const link = new URL(location.href);
  link.hash = new URLSearchParams({ ds: page.where.dataSource, catalog: page.where.catalog, lang: language(), view: encodeState(page.state) }).toString();
  history.replaceState(null, '', link);
}

function readLink() {
  const params = new URLSearchParams(location.hash.slice(1));
  return { dataSource: params.get('ds') || '', catalog: params.get('catalog') || '', lang: params.get('lang'), state: params.get('view') ? decodeState(params.get('view')) : null };
}

// ---- texts ----

function applyTexts() {
  document.title = t('title');
  for (const element of document.querySelectorAll('[data-t]')) element.textContent = t(element.dataset.t);
  for (const element of document.querySelectorAll('[data-t-placeholder]')) element.placeholder = t(element.dataset.tPlaceholder);
  for (const element of document.querySelectorAll('[data-t-label]')) element.setAttribute('aria-label', t(element.dataset.tLabel));
  $('language').textContent = t('language');
  if (page.cube) {
    drawTree();
    drawZones();
    if (page.data) page.grid.setData(page.data);
  }
}

// ---- wiring ----

function option(id, apply) {
  $(id).addEventListener('change', () => {
    apply($(id));
    page.customMdx = null;
    refresh();
  });
}

function wire() {
  setUpDropZones();
  $('catalog').addEventListener('change', () => { page.where.catalog = $('catalog').value; page.state = null; loadCubes().catch((error) => status(error.message, true)); });
  $('data-source').addEventListener('change', () => { page.where.dataSource = $('data-source').value; page.state = null; loadCatalogs().catch((error) => status(error.message, true)); });
  $('cube').addEventListener('change', () => chooseCube($('cube').value, null));
  $('tree-search').addEventListener('input', drawTree);
  option('opt-nonempty', (box) => { page.state.nonEmpty = box.checked; });
  option('opt-totals', (box) => { page.state.totals = box.checked; });
  option('opt-measures-rows', (box) => { page.state.measuresOnRows = box.checked; });
  option('opt-shading', (box) => { page.state.shading = box.checked; });
  option('opt-topn', (box) => { page.state.topN = Math.max(0, Number(box.value) || 0); });
  option('opt-breaking', (box) => {
    if (page.state.sort) page.state.sort.breaking = box.checked;
    if (page.state.columnSort) page.state.columnSort.breaking = box.checked;
  });
  $('chart-kind').addEventListener('change', () => {
    page.state.chart = $('chart-kind').value;
    $('chart').hidden = page.state.chart === 'none';
    if (page.state.chart === 'none') disposeChart($('chart'));
    else drawChart($('chart'), page.state.chart, page.data).catch((error) => status(error.message, true));
    writeLink();
  });
  $('range-form').addEventListener('submit', (event) => {
    event.preventDefault();
    page.state.ranges.push({ from: $('range-from').value, to: $('range-to').value, colour: $('range-colour').value });
    page.grid.setData(page.data);
    writeLink();
  });
  $('range-clear').addEventListener('click', () => { page.state.ranges = []; page.grid.setData(page.data); writeLink(); });
  $('calc-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const name = $('calc-name').value.trim();
    const formula = $('calc-formula').value.trim();
    if (!name || !formula) return;
    page.state.calcs = page.state.calcs.filter((one) => one.name !== name);
    page.state.calcs.push({ name, formula });
    if (!page.state.measures.includes(calcUniqueName(name))) page.state.measures.push(calcUniqueName(name));
    page.customMdx = null;
    drawTree();
    refresh();
  });
  $('mdx-run').addEventListener('click', () => { page.customMdx = $('mdx-text').value; refresh(); });
  $('mdx-reset').addEventListener('click', () => { page.customMdx = null; refresh(); });
  $('mdx-text').addEventListener('keydown', (event) => {
    if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) $('mdx-run').click();
  });
  $('member-search').addEventListener('input', () => { clearTimeout(searchTimer); searchTimer = setTimeout(searchMembers, 150); });
  $('member-apply').addEventListener('click', () => { $('member-dialog').close(); page.customMdx = null; refresh(); });
  $('member-close').addEventListener('click', () => $('member-dialog').close());
  $('drill-close').addEventListener('click', () => $('drill-dialog').close());
  $('export-csv').addEventListener('click', () => exportAs('csv'));
  $('export-xlsx').addEventListener('click', () => exportAs('xlsx'));
  $('language').addEventListener('click', () => {
    setLanguage(language() === 'nl' ? 'en' : 'nl');
    applyTexts();
    if (page.state) writeLink();
  });
  $('views-list').addEventListener('dblclick', enterViewsEntry);
  $('views-list').addEventListener('keydown', (event) => { if (event.key === 'Enter') enterViewsEntry(); });
  $('views-list').addEventListener('change', () => {
    const value = $('views-list').value;
    if (value.startsWith('view:')) $('view-name').value = value.slice(5);
  });
  $('view-save').addEventListener('click', saveView);
  $('view-open').addEventListener('click', () => { if ($('view-name').value.trim()) openView($('view-name').value.trim()); });
  $('view-delete').addEventListener('click', deleteView);
  $('copy-link').addEventListener('click', () => { navigator.clipboard?.writeText(location.href).catch(() => {}); status(location.href); });
}

function syncOptions() {
  const state = page.state;
  $('opt-nonempty').checked = state.nonEmpty;
  $('opt-totals').checked = state.totals !== false;
  $('opt-measures-rows').checked = Boolean(state.measuresOnRows);
  $('opt-shading').checked = Boolean(state.shading);
  $('opt-topn').value = state.topN || '';
  $('chart-kind').value = state.chart || 'none';
  $('chart').hidden = (state.chart || 'none') === 'none';
}

async function start() {
  const link = readLink();
  setLanguage(link.lang || (navigator.language || 'en').slice(0, 2));
  applyTexts();
  page.grid = new PivotGrid($('grid'), { onToggle: toggle, onDrill: (member) => { if (!isExpanded(member)) toggle(member); }, onSort: sortBy, onCell: drillThrough, isExpanded, sortOf });
  wire();
  try {
    const sources = await api.dataSources().catch(() => []);
    fillSelect($('data-source'), sources.map((one) => one.name), link.dataSource);
    page.where.dataSource = link.dataSource || $('data-source').value || '';
    const catalogs = await api.catalogs(page.where.dataSource);
    fillSelect($('catalog'), catalogs.map((one) => one.name), link.catalog);
    page.where.catalog = $('catalog').value;
    page.cubes = await api.cubes(page.where.dataSource, page.where.catalog);
    fillSelect($('cube'), page.cubes.map((one) => one.name), link.state?.cube);
    const state = link.state && link.state.cube === $('cube').value ? { ...emptyState(link.state.cube, []), ...link.state } : null;
    if (state) page.state = state;
    chooseCube($('cube').value, state);
    syncOptions();
  } catch (error) {
    status(error.message, true);
  }
  listViews();
}

start();
