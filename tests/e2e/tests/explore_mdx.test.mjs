// The statements the analyst's page builds from its state, and the link that
// carries the state. Plain Node: the module has no DOM.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { buildMdx, decodeState, encodeState, errorPosition, offsetOf, slicer } from '../../../web/explore/js/mdx.js';

function state(changes) {
  return {
    cube: 'Sales', rows: [], columns: [], measures: ['[Measures].[Unit Sales]'], measuresOnRows: false, filters: [],
    expanded: {}, calcs: [], nonEmpty: false, totals: true, sort: null, topN: 0, ...changes,
  };
}

test('statements from states', () => {
  const cases = [
    ['measures only', {}, 'SELECT {[Measures].[Unit Sales]} ON COLUMNS\nFROM [Sales]'],
    ['rows and columns with measures crossed at the end of the columns',
      { rows: ['[Product]'], columns: ['[Time]'], measures: ['[Measures].[Unit Sales]', '[Measures].[Store Cost]'] },
      'SELECT CrossJoin({[Time].[Year].Members}, {[Measures].[Unit Sales], [Measures].[Store Cost]}) ON COLUMNS,\n' +
      '  {[Product].[(All)].Members} ON ROWS\nFROM [Sales]'],
    ['measures on rows', { rows: ['[Product]'], columns: ['[Time]'], measuresOnRows: true },
      'SELECT {[Time].[Year].Members} ON COLUMNS,\n  CrossJoin({[Product].[(All)].Members}, {[Measures].[Unit Sales]}) ON ROWS\nFROM [Sales]'],
    ['top N with measures on rows picks members, each with all its measures', { rows: ['[Product]'], columns: ['[Time]'], measuresOnRows: true, topN: 3 },
      'SELECT {[Time].[Year].Members} ON COLUMNS,\n  CrossJoin(TopCount({[Product].[(All)].Members}, 3, [Measures].[Unit Sales]), {[Measures].[Unit Sales]}) ON ROWS\nFROM [Sales]'],
    ['measures on rows with nothing on the columns stay on the columns', { rows: ['[Product]'], measuresOnRows: true },
      'SELECT {[Measures].[Unit Sales]} ON COLUMNS,\n  {[Product].[(All)].Members} ON ROWS\nFROM [Sales]'],
    ['expanded members and a whole level, recursively', { rows: ['[Store]'], expanded: { '[Store]': ['[Store].[USA]', 'level:[Store].[Store State]'] } },
      'SELECT {[Measures].[Unit Sales]} ON COLUMNS,\n  DrilldownMember({[Store].[(All)].Members}, {[Store].[USA], [Store].[Store State].Members}, RECURSIVE) ON ROWS\nFROM [Sales]'],
    ['without totals a drilled member gives way to its children', { rows: ['[Store]'], totals: false, expanded: { '[Store]': ['[Store].[USA]'] } },
      'SELECT {[Measures].[Unit Sales]} ON COLUMNS,\n  Except(DrilldownMember({[Store].[(All)].Members}, {[Store].[USA]}, RECURSIVE), {[Store].[USA]}) ON ROWS\nFROM [Sales]'],
    ['breaking sort by a column, top 10, non empty, calculated measure with a quote',
      { rows: ['[Store]'], nonEmpty: true, sort: { tuple: ['[Time].[1997]', '[Measures].[Unit Sales]'], desc: true, breaking: true }, topN: 10,
        calcs: [{ name: "Margin's", formula: "[Measures].[Store Sales] - [Measures].[Store Cost]" }] },
      "WITH MEMBER [Measures].[Margin's] AS '[Measures].[Store Sales] - [Measures].[Store Cost]'\n" +
      'SELECT NON EMPTY {[Measures].[Unit Sales]} ON COLUMNS,\n' +
      '  NON EMPTY TopCount(Order({[Store].[(All)].Members}, ([Time].[1997], [Measures].[Unit Sales]), BDESC), 10, ([Time].[1997], [Measures].[Unit Sales])) ON ROWS\nFROM [Sales]'],
    ['columns sorted by a row, hierarchy kept', { rows: ['[Store]'], columns: ['[Time]'], columnSort: { tuple: ['[Store].[All Stores]'], desc: false } },
      'SELECT Order(CrossJoin({[Time].[Year].Members}, {[Measures].[Unit Sales]}), [Store].[All Stores], ASC) ON COLUMNS,\n  {[Store].[(All)].Members} ON ROWS\nFROM [Sales]'],
    ['a hierarchy on rows alone moves to the columns', { rows: ['[Store]'], measures: [] },
      'SELECT {[Store].[(All)].Members} ON COLUMNS\nFROM [Sales]'],
    ['a cube name with a closing bracket', { cube: 'A]B' }, 'SELECT {[Measures].[Unit Sales]} ON COLUMNS\nFROM [A]]B]'],
  ];
  const cube = { firstLevels: { '[Time]': '[Time].[Year]', '[Product]': '[Product].[(All)]', '[Store]': '[Store].[(All)]' } };
  for (const [name, changes, expected] of cases) assert.equal(buildMdx(state(changes), cube), expected, name);
  assert.match(buildMdx(state({ rows: ['[Gender]'] }), {}), /\{\[Gender\]\.Members\} ON ROWS/);
  assert.match(buildMdx(state({ calcs: [{ name: 'q', formula: "'x'" }] })), /AS '''x'''/);
});

test('filters: one member each is a tuple, several members of a hierarchy a compound slicer', () => {
  const one = (uniqueName) => ({ uniqueName, caption: uniqueName });
  assert.equal(slicer([]), '');
  assert.equal(slicer([{ hierarchy: '[Store]', members: [] }]), '');
  assert.equal(slicer([{ hierarchy: '[Store]', members: [one('[Store].[USA]')] }]), '[Store].[USA]');
  assert.equal(slicer([{ hierarchy: '[Store]', members: [one('[Store].[USA]')] }, { hierarchy: '[Time]', members: [one('[Time].[1997]')] }]),
    '([Store].[USA], [Time].[1997])');
  assert.equal(slicer([{ hierarchy: '[Store]', members: [one('[Store].[A]'), one('[Store].[B]')] }, { hierarchy: '[Time]', members: [one('[Time].[1997]')] }]),
    'CrossJoin({[Store].[A], [Store].[B]}, {[Time].[1997]})');
  assert.match(buildMdx(state({ filters: [{ hierarchy: '[Store]', members: [one('[Store].[A]'), one('[Store].[B]')] }] })), /\nWHERE \{\[Store\]\.\[A\], \[Store\]\.\[B\]\}$/);
});

test('the link carries the state, non-ASCII too, and refuses what is not one', () => {
  const original = state({ cube: 'Verkäufe "<script>"', rows: ['[Ürün]'], filters: [{ hierarchy: '[S]', members: [{ uniqueName: '[S].[é]', caption: 'é' }] }] });
  const text = encodeState(original);
  assert.match(text, /^[A-Za-z0-9_-]+$/);
  assert.deepEqual(decodeState(text), original);
  for (const bad of ['', '!!!', encodeState({ cube: 1 }), encodeState({ cube: 'x', rows: [1], columns: [], measures: [] }), btoa('{'),
    encodeState(state({ expanded: { '[A]': '[A].[b]' } })), encodeState(state({ expanded: [] })),
    encodeState(state({ filters: [{ hierarchy: '[A]', members: ['[A].[b]'] }] })), encodeState(state({ filters: [null] })),
    encodeState(state({ calcs: [{ name: 'x' }] }))]) {
    assert.equal(decodeState(bad), null, bad);
  }
});

test('where an engine message places its error', () => {
  assert.deepEqual(errorPosition('Syntax error at line 2, column 7: unexpected FROM'), { line: 2, column: 7 });
  assert.equal(errorPosition('The cube does not exist'), null);
  const text = 'SELECT\nFROM [x]';
  assert.equal(offsetOf(text, 2, 1), 7);
  assert.equal(text.slice(offsetOf(text, 2, 6)), '[x]');
  assert.equal(offsetOf(text, 9, 99), text.length);
});

test('a saved view keeps the classic elements, the filters and measures, and the page state, all escaped', async () => {
  const { viewXml } = await import('../../../web/explore/js/mdx.js');
  const member = (uniqueName) => ({ uniqueName, caption: uniqueName });
  const saved = state({
    cube: 'Odd "<b>cube</b>" \'x\'', rows: ['[Store]'], columns: ['[Time]'],
    measures: ['[Measures].[Unit Sales]', '[Measures].[Margin]'], calcs: [{ name: 'Margin', formula: '1' }],
    filters: [{ hierarchy: '[Product]', members: [member('[Product].[A&B]'), member('[Product].[<i>]')] }, { hierarchy: '[Gender]', members: [] }],
  });
  const xml = viewXml({
    dataSource: 'localhost', catalog: 'Sample', state: saved,
    hierarchies: { '[Product]': { dimension: 'Product', name: 'Product' } }, measureNames: { '[Measures].[Unit Sales]': 'Unit Sales' },
    columns: [[member('[Time].[1997]'), member('[Measures].[Unit Sales]')], [member('[Time].[1997]'), member('[Measures].[Margin]')]],
    rows: [[member('[Store].[USA]')]],
  });
  assert.equal(xml,
    '<cubeView><dataSource provider="MSOLAP">localhost</dataSource><catalog>Sample</catalog>' +
    '<cube>Odd &quot;&lt;b&gt;cube&lt;/b&gt;&quot; &apos;x&apos;</cube><measure>Unit Sales</measure><ranges/>' +
    '<axes><axis><set><t><m>[Time].[1997]</m></t></set></axis><axis><set><t><m>[Store].[USA]</m></t></set></axis></axes>' +
    '<filters><hierarchy dimensionName="Product" hierarchyName=""><m>[Product].[A&amp;B]</m><m>[Product].[&lt;i&gt;]</m></hierarchy></filters>' +
    `<measures axis="0"><m>[Measures].[Unit Sales]</m></measures><explore>${encodeState(saved)}</explore></cubeView>`);
});

test('a named set stands on its axis as itself, and a saved view names it with its hierarchy', async () => {
  const { viewXml } = await import('../../../web/explore/js/mdx.js');
  const member = (uniqueName) => ({ uniqueName, caption: uniqueName });
  const cube = { firstLevels: { '[Time]': '[Time].[Year]' } };
  assert.equal(buildMdx(state({ rows: ['[Time]', 'set:[Big & <b>]'] }), cube),
    'SELECT {[Measures].[Unit Sales]} ON COLUMNS,\n  CrossJoin({[Time].[Year].Members}, {[Big & <b>]}) ON ROWS\nFROM [Sales]');
  const hierarchies = { '[Time]': { dimension: 'Time', name: 'Time' }, '[Product]': { dimension: 'Product', name: 'Product' },
    '[Product].[Brand]': { dimension: 'Product', name: 'Brand' } };
  const cases = [
    ['on rows beside the columns, after a hierarchy', { rows: ['[Time]', 'set:[Big & <b>]'], columns: ['[Store]'] },
      [[member('[Store].[USA]'), member('[Measures].[Unit Sales]')]], [[member('[Time].[1997]'), member('[Product].[Brand].[X]')]],
      '<namedSets><set axis="1" dimensionName="Product" hierarchyName="Brand">[Big &amp; &lt;b&gt;]</set></namedSets>'],
    ['rows without columns or measures are shown as columns', { rows: ['set:[Big]'], columns: [], measures: [] },
      [[member('[Product].[Drink]')]], undefined,
      '<namedSets><set axis="0" dimensionName="Product" hierarchyName="">[Big]</set></namedSets>'],
    ['an empty grid names no hierarchy', { rows: ['set:[Big]'], columns: ['[Time]'] }, [[member('[Time].[1997]')]], [], ''],
  ];
  for (const [name, changes, columns, rows, expected] of cases) {
    const xml = viewXml({ catalog: 'Sample', state: state(changes), hierarchies, columns, rows });
    assert.equal(xml.match(/<\/axes>(.*?)(<measures|<explore>)/)[1], expected, name);
  }
});
