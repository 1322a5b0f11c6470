// The explorer over a data source on another XMLA server: a second
// orvex-server serves the test catalogs at its XMLA endpoint, and the
// explorer's server reaches it only through a data source defined as
// xmla:URL. The walk must show exactly what the embedded engine shows.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { frameNamed, startServer, withExplorer } from '../harness.mjs';

const catalogs = process.env.ORVEX_E2E_CATALOGS;
const skip = catalogs ? false : 'ORVEX_E2E_CATALOGS is not set (the browser_catalogs fixture writes them)';

async function viewLoaded(page) {
  await page.waitForFunction(() => {
    const view = window.frames['viewBody'];
    try {
      return view.stale !== true && view.loaded === true;
    } catch (e) {
      return false;
    }
  });
  return page.frame({ name: 'viewBody' });
}

async function newView(page, action) {
  await page.evaluate(() => { window.frames['viewBody'].stale = true; });
  await action();
  const view = await viewLoaded(page);
  await page.frame({ name: 'paramsBody' }).waitForFunction(() => handleParamChanges === true);
  return view;
}

function table(view) {
  return view.evaluate(() => {
    const grid = document.forms['frmInterface'].getElementsByTagName('table')[0];
    return Array.from(grid.rows).map((row) =>
      Array.from(row.cells).map((cell) => cell.innerText.replace(/\s+/g, ' ').trim()));
  });
}

async function moveToAxis(pane, text, axis) {
  await pane.evaluate((wanted) => {
    for (const option of document.forms['frmInterface'].elements['lbxAvailable'].options) {
      option.selected = option.text.replace(/\u00a0/g, ' ') == wanted;
    }
  }, text);
  await pane.click(`a[href="javascript:moveToAxis${axis}()"]`);
  await pane.waitForFunction(([name, wanted]) =>
    Array.from(document.forms['frmInterface'].elements[name].options)
      .some((option) => option.text.replace(/\u00a0/g, ' ') == wanted),
  [`lbxAxis${axis}`, text]);
}

async function expand(page, view, caption) {
  const link = view.locator(`td[title="${caption}"] a:has(img[title="Expand"])`).first();
  return newView(page, () => link.click());
}

// Picks the Tiny catalog and its cube, lays out Time by Product, expands
// products and a family; gives the data source shown and every table seen.
async function walk(args) {
  const seen = { tables: [] };
  await withExplorer({ args }, async ({ page, problems }) => {
    const pane = await frameNamed(page, 'paramsBody');
    let view = await viewLoaded(page);
    await pane.waitForFunction(() => handleParamChanges === true);
    seen.dataSource = await pane.inputValue('input[name=txtDataSource]');
    view = await newView(page, () => pane.selectOption('select[name=lbxCatalog]', 'Tiny'));
    view = await newView(page, () => pane.selectOption('select[name=lbxCube]', 'Sales'));
    seen.measures = await pane.evaluate(() =>
      Array.from(document.forms['frmInterface'].elements['lbxMeasure'].options).map((option) => option.text));
    await moveToAxis(pane, 'Time', 0);
    await moveToAxis(pane, 'Product', 1);
    view = await newView(page, () => pane.click('input[name=btnApplyAxes]'));
    seen.tables.push(await table(view));
    view = await expand(page, view, 'All Products');
    seen.tables.push(await table(view));
    view = await expand(page, view, 'Drink');
    seen.tables.push(await table(view));
    view = await expand(page, view, '1997');
    seen.tables.push(await table(view));
    assert.deepEqual(problems.scriptErrors, []);
    assert.deepEqual(problems.failedRequests, []);
  });
  return seen;
}

test('the explorer over an XMLA data source shows what the embedded engine shows', { skip }, async () => {
  const upstream = await startServer(['--catalogs', catalogs]);
  try {
    const embedded = await walk(['--catalogs', catalogs]);
    const remote = await walk(['--catalogs', catalogs, '--data-source', `Remote=xmla:${upstream.url}xmla`,
                               '--default-data-source', 'Remote']);
    assert.equal(remote.dataSource, 'Remote');
    assert.deepEqual(remote.measures, embedded.measures);
    assert.equal(remote.tables.length, 4);
    assert.deepEqual(remote.tables, embedded.tables);
    // The walk went somewhere: Drink's departments and 1997's quarters are on the last page.
    assert.ok(JSON.stringify(remote.tables[3]).includes('Q1'), JSON.stringify(remote.tables[3]));
  } finally {
    await upstream.stop();
  }
});
