// The analyst's page at /explore used for real, in Chromium against
// orvex-server and its JSON API: a person lays out a view of the sample cube
// by dragging and clicking, filters on two stores through the member search,
// adds a measure, sorts, expands, charts, exports, drills through, reopens the
// view by its link and switches to Dutch; a view of 50,000 cells scrolls to
// its end; hostile captions stay text.
import assert from 'node:assert/strict';
import path from 'node:path';
import { test } from 'node:test';
import { withExplorer } from '../harness.mjs';

const catalogs = process.env.ORVEX_E2E_CATALOGS;
const skip = catalogs ? false : 'ORVEX_E2E_CATALOGS is not set (the browser_catalogs fixture writes them)';
const serverArgs = catalogs ? ['--catalogs', catalogs, '--data-source', `Odd=${path.join(catalogs, '.odd')}`] : [];

// The page with the test catalogs; `body` gets { page, url, problems }.
function withPage(body, hash = '') {
  return withExplorer({ args: serverArgs, path: `/explore${hash}` }, async ({ page, url, server, problems }) => {
    await page.waitForSelector('body[data-ready]');
    await body({ page, url, server, problems });
    assert.deepEqual(problems.scriptErrors, []);
    assert.deepEqual(problems.dialogs, []);
  });
}

// Runs `action` and waits for the grid it brings about; a statement that
// fails instead fails the test with the page's message.
async function afterQuery(page, action) {
  const before = Number(await page.evaluate(() => document.body.dataset.done || 0));
  await action();
  await page.waitForFunction((seen) => Number(document.body.dataset.done) > seen, before);
  const failed = await page.evaluate(() => document.getElementById('status').classList.contains('error'));
  assert.ok(!failed, await page.textContent('#status'));
}

const rowCaptions = (page) => page.$$eval('.grid-heading.row:not(.continued) .caption', (list) => list.map((one) => one.textContent));
const columnCaptions = (page) => page.$$eval('.grid-heading.column:not(.continued) .caption', (list) => list.map((one) => one.textContent));

async function chooseSample(page) {
  if ((await page.inputValue('#catalog')) !== 'Sample') await afterQuery(page, () => page.selectOption('#catalog', 'Sample'));
  assert.equal(await page.inputValue('#cube'), 'Sales');
}

// Whether the server answers a call at all (404 means a server without it).
async function answers(page, method, call) {
  return page.evaluate(async ([method, call]) => (await fetch(`/api/${call}`, { method, headers: { 'Content-Type': 'application/json' }, body: method === 'POST' ? '{}' : undefined })).status !== 404, [method, call]);
}

test('a person lays out, filters, sorts, expands, charts and reopens a view', { skip }, () => withPage(async ({ page, problems }) => {
  await chooseSample(page);
  // Drag Product to the rows; Time goes to the columns by its button.
  await afterQuery(page, () => page.dragAndDrop('.tree-item[data-unique-name="[Product]"]', '#zone-rows'));
  await afterQuery(page, () => page.click('.tree-item[data-unique-name="[Time]"] .to-columns'));
  assert.deepEqual(await rowCaptions(page), ['All Products']);
  assert.deepEqual((await columnCaptions(page)).filter((one) => /^\d{4}$/.test(one)), ['1997', '1998']);

  // Expand the all member: its children appear below it, and collapse again.
  await afterQuery(page, () => page.click('.grid-heading.row .toggle'));
  assert.deepEqual(await rowCaptions(page), ['All Products', 'Drink', 'Food', 'Non-Consumable']);

  // Two stores through the member search make one compound filter, shown above the grid.
  await page.click('.tree-item[data-unique-name="[Store]"] .to-filters');
  await page.fill('#member-search', 'Store 1');
  await page.waitForFunction(() => {
    const found = [...document.querySelectorAll('#member-results li span')];
    return found.length > 0 && found.every((one) => one.textContent.toLowerCase().includes('store 1'));
  });
  const found = await page.$$eval('#member-results li span', (list) => list.map((one) => one.textContent));
  assert.ok(found.some((one) => one.startsWith('Store 11 (Store Name)')), found.join(', '));
  for (const name of ['Store 11', 'Store 12']) {
    await page.fill('#member-search', name);
    await page.waitForFunction((wanted) => [...document.querySelectorAll('#member-results li span')].some((one) => one.textContent.startsWith(wanted)), name);
    await page.locator('#member-results li', { hasText: name }).first().locator('input').check();
  }
  await afterQuery(page, () => page.click('#member-apply'));
  const filters = await page.$$eval('#active-filters li', (list) => list.map((one) => one.textContent));
  assert.ok(filters.some((one) => one.includes('Store 11') && one.includes('Store 12')), filters.join(' | '));
  assert.match(await page.inputValue('#mdx-text'), /WHERE \{\[Store\]\.[^}]*Store 11\], [^}]*Store 12\]\}/);

  // The grid's total against the same statement asked of the API directly.
  const mdx = await page.inputValue('#mdx-text');
  const direct = await page.evaluate(async (text) => (await (await fetch('/api/query', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ catalog: 'Sample', mdx: text }) })).json()), mdx);
  const firstCell = await page.textContent('.grid-cell[data-row="0"][data-column="0"]');
  assert.equal(firstCell, direct.cells[0].formattedValue);

  // A second measure: both stand side by side under each year.
  await afterQuery(page, () => page.click('.tree-item[data-unique-name="[Measures].[Store Sales]"] .to-measures'));
  const headings = await columnCaptions(page);
  assert.ok(headings.includes('Unit Sales') && headings.includes('Store Sales'), headings.join(', '));
  assert.equal(await page.$$eval('.grid-heading.column[data-level="1"]', (list) => list.length), 4);

  // Sort the rows by the first column, largest first, hierarchy kept: Food leads its family.
  await afterQuery(page, () => page.click('.grid-heading.column[data-level="1"][data-index="0"]'));
  assert.equal(await page.textContent('.grid-heading.column[data-index="0"] .sort-mark'), '▼');
  assert.deepEqual(await rowCaptions(page), ['All Products', 'Food', 'Non-Consumable', 'Drink']);

  // A bar chart of the grid.
  await page.selectOption('#chart-kind', 'bar');
  await page.waitForSelector('#chart canvas');

  // The MDX editor shows the engine's message at its line and column.
  await page.click('.mdx summary');
  await page.fill('#mdx-text', 'SELECT\n  {[Measures].[Unit Sales]} ON COLUMNS\nFROMM [Sales]');
  await page.click('#mdx-run');
  await page.waitForFunction(() => document.getElementById('mdx-error').textContent !== '');
  assert.match(await page.textContent('#mdx-error'), /^Line 3, column \d+: /);
  await afterQuery(page, () => page.click('#mdx-reset'));

  // A calculated measure that is wrong says why; a right one becomes a column.
  await page.fill('#calc-name', 'Margin');
  await page.fill('#calc-formula', '[Measures].[Store Sales] - ');
  await page.click('#calc-form button[type=submit]');
  await page.waitForFunction(() => document.getElementById('calc-error').textContent !== '');
  await page.fill('#calc-formula', '[Measures].[Store Sales] - [Measures].[Store Cost]');
  await afterQuery(page, () => page.click('#calc-form button[type=submit]'));
  assert.equal(await page.textContent('#calc-error'), '');
  assert.ok((await columnCaptions(page)).includes('Margin'));

  // Saved in the classic explorer's store, under a name with an ampersand, quotes and accents.
  await page.fill('#view-name', "Walk & 'één'");
  await page.click('#view-save');
  await page.waitForFunction(() => [...document.querySelectorAll('#views-list option')].some((one) => one.textContent === "Walk & 'één'"));

  // The address bar reopens the same view in a fresh page.
  const link = page.url();
  const rows = await rowCaptions(page);
  const columns = await columnCaptions(page);
  const again = await page.context().newPage();
  await again.goto(link);
  await again.waitForSelector('body[data-ready]');
  await again.waitForFunction(() => !document.getElementById('status').textContent.endsWith('…'));
  assert.deepEqual(await rowCaptions(again), rows);
  assert.deepEqual(await columnCaptions(again), columns);
  assert.match(await again.textContent('#active-filters'), /Store 11/);

  // So does the saved view, after the layout was cleared.
  await afterQuery(again, () => again.click('#zone-rows .chip-remove'));
  await again.fill('#view-name', "Walk & 'één'");
  await afterQuery(again, () => again.click('#view-open'));
  assert.deepEqual(await rowCaptions(again), rows);

  // Dutch, and back: the page's texts change, the view stays.
  await again.click('#language');
  assert.equal(await again.textContent('.zone h2'), 'Rijen');
  assert.equal(await again.getAttribute('html', 'lang'), 'nl');
  assert.match(again.url(), /lang=nl/);
  await again.close();
  assert.deepEqual(problems.failedRequests.filter((one) => !one.includes('/api/query')), []);
}));

test('exports and drill-through from the grid', { skip }, () => withPage(async ({ page }) => {
  await chooseSample(page);
  await afterQuery(page, () => page.click('.tree-item[data-unique-name="[Gender]"] .to-rows'));
  // By keyboard: into the grid, left onto the row heading, Enter opens it.
  await page.focus('.grid-scroller');
  await page.keyboard.press('ArrowLeft');
  await afterQuery(page, () => page.keyboard.press('Enter'));
  assert.deepEqual(await rowCaptions(page), ['All Gender', 'F', 'M']);
  if (await answers(page, 'POST', 'export?format=csv')) {
    const [csv] = await Promise.all([page.waitForEvent('download'), page.click('#export-csv')]);
    const text = await new Promise(async (resolve) => {
      const stream = await csv.createReadStream();
      const chunks = [];
      stream.on('data', (chunk) => chunks.push(chunk));
      stream.on('end', () => resolve(Buffer.concat(chunks).toString('utf8')));
    });
    assert.ok(text.startsWith('\uFEFF'), 'a byte-order mark first');
    assert.match(text, /All Gender/);
    const [xlsx] = await Promise.all([page.waitForEvent('download'), page.click('#export-xlsx')]);
    assert.match(xlsx.suggestedFilename(), /\.xlsx$/);
  }
  if (await answers(page, 'POST', 'drillthrough')) {
    await page.dblclick('.grid-cell[data-row="1"][data-column="0"]');
    await page.waitForFunction(() => /\d/.test(document.getElementById('drill-message').textContent));
    assert.ok(await page.$$eval('#drill-table tbody tr', (list) => list.length) > 0);
    await page.click('#drill-close');
  }
}));

test('a view of 50,000 cells scrolls to its end with only what is in sight in the document', { skip }, () => withPage(async ({ page }) => {
  await chooseSample(page);
  await page.click('.mdx summary');
  await page.fill('#mdx-text', 'SELECT {[Measures].[Unit Sales], [Measures].[Store Cost], [Measures].[Store Sales], [Measures].[Sales Count], ' +
    '[Measures].[Customer Count]} ON COLUMNS, [Customers].[Name].Members ON ROWS FROM [Sales]');
  await afterQuery(page, () => page.click('#mdx-run'));
  assert.equal(await page.evaluate(() => window.explore.data.cells.length), 50000);
  const last = await page.evaluate(() => window.explore.data.rows.at(-1)[0].caption);
  await page.$eval('.grid-scroller', (element) => { element.scrollTop = element.scrollHeight; });
  await page.waitForFunction((caption) => [...document.querySelectorAll('.grid-heading.row .caption')].some((one) => one.textContent === caption), last);
  assert.ok(await page.$$eval('.grid-cell', (list) => list.length) < 1000);
  // The last row's cells are there, right of its heading.
  assert.ok(await page.$$eval('.grid-cell[data-row="9999"]', (list) => list.length) === 5);
}));

test('hostile names and captions appear as text in the tree, the grid, searches and messages', { skip }, () => withPage(async ({ page }) => {
  assert.match(await page.inputValue('#cube'), /^Odd "<b>cube<\/b>"/);
  const dimension = '<img src=x onerror="window.injected=1">';
  assert.ok((await page.$$eval('.tree-caption', (list) => list.map((one) => one.textContent))).includes(dimension));
  const hierarchy = await page.$eval('.tree-item.hierarchy', (item) => item.dataset.uniqueName);

  // A named set named in markup is text in the tree and on its chip. On the
  // rows it shows the set's members; the link keeps it, and so does a saved
  // view, which the server runs with the set in place of the listed members.
  const setName = '<i>Items</i> "all" \'x\'';
  assert.deepEqual(await page.$$eval('.tree-item.set .tree-caption', (list) => list.map((one) => one.textContent)), [setName]);
  await afterQuery(page, () => page.click('.tree-item.set .to-rows'));
  await afterQuery(page, () => page.click(".tree-item[data-unique-name='[Side]'] .to-columns"));
  assert.equal(await page.textContent('#zone-rows .chip-label'), setName);
  const items = await rowCaptions(page);
  assert.equal(items.length, 3);
  assert.ok(items.includes("it's <b>bold</b>"), items.join(' | '));
  await page.fill('#view-name', 'set');
  await page.click('#view-save');
  await page.waitForFunction(() => [...document.querySelectorAll('#views-list option')].some((one) => one.textContent === 'set'));
  const saved = await page.evaluate(async () => {
    const { xml } = await (await fetch('/api/view?name=set')).json();
    const body = JSON.stringify({ ...window.explore.where, view: xml });
    const answer = await (await fetch('/api/query', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body })).json();
    return { xml, rows: answer.axes?.[1]?.positions.map((position) => position.members[0].caption), error: answer.error };
  });
  assert.match(saved.xml, /<namedSets><set axis="1" [^>]*>\[&lt;i&gt;Items&lt;\/i&gt; &quot;all&quot; &apos;x&apos;\]<\/set><\/namedSets>/);
  assert.deepEqual(saved.rows, items, saved.error);
  await page.reload();
  await page.waitForSelector('body[data-ready]');
  assert.deepEqual(await rowCaptions(page), items);
  await afterQuery(page, () => page.click('#zone-rows .chip-remove'));

  await afterQuery(page, () => page.click(`.tree-item[data-unique-name='${hierarchy.replaceAll("'", "\\'")}'] .to-rows`));
  await afterQuery(page, () => page.click('.grid-heading.row .toggle'));
  const groups = await rowCaptions(page);
  assert.ok(groups.includes('"><script>window.injected=2</script>'), groups.join(' | '));
  // The member search lists the same captions as text, and a filter of them shows above the grid.
  await page.click(`.tree-item[data-unique-name='${hierarchy.replaceAll("'", "\\'")}'] .to-filters`);
  await page.fill('#member-search', 'script');
  await page.waitForFunction(() => [...document.querySelectorAll('#member-results li span')].some((one) => one.textContent.includes('<script>')));
  await page.locator('#member-results li input').first().check();
  await afterQuery(page, () => page.click('#member-apply'));
  assert.match(await page.textContent('#active-filters'), /<script>/);
  await page.click('.mdx summary');
  await page.fill('#mdx-text', 'SELECT {[<b>x</b>]} ON COLUMNS FROM [Odd]');
  await page.click('#mdx-run');
  await page.waitForFunction(() => document.getElementById('mdx-error').textContent !== '');
  assert.equal(await page.$$eval('b, i, u, img, script:not([type=module])', (list) => list.length), 0);
  assert.equal(await page.evaluate(() => window.injected), undefined);
}, '#ds=Odd'));
