// The analyst's page in Chromium against orvex-server: how long the page
// takes to load and show its first grid, and how long a click that changes a
// view of about 1,000 cells takes until the new grid is drawn (server and
// browser together), each the median of several runs.
//   node bench/explore/explore_bench.mjs --server build/bin/orvex-server --catalogs DIR --web-root web [--runs N] [--out FILE]
import { writeFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const args = Object.fromEntries(process.argv.slice(2).reduce((pairs, value, index, all) => (index % 2 ? pairs : [...pairs, [value.replace(/^--/, ''), all[index + 1]]]), []));
process.env.ORVEX_SERVER = path.resolve(args.server || 'build/bin/orvex-server');
process.env.ORVEX_WEB_ROOT = path.resolve(args['web-root'] || 'web');
const { startServer, launchBrowser } = await import(path.join(here, '../../tests/e2e/harness.mjs'));
const { encodeState } = await import(path.join(here, '../../web/explore/js/mdx.js'));
const runs = Number(args.runs || 5);

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// Product down to its categories on the rows, the years and quarters on the columns.
const view = {
  cube: 'Sales', rows: ['[Product]'], columns: ['[Time]'], measures: ['[Measures].[Unit Sales]', '[Measures].[Store Sales]'],
  measuresOnRows: false, filters: [], calcs: [], nonEmpty: false, totals: true, sort: null, topN: 0, chart: 'none', ranges: [],
  expanded: { '[Product]': ['[Product].[All Products]', 'level:[Product].[Product Family]', 'level:[Product].[Product Department]'], '[Time]': ['level:[Time].[Year]'] },
};

const server = await startServer(['--catalogs', path.resolve(args.catalogs)]);
const browser = await launchBrowser();
const results = { load: [], firstGrid: [], change: [], cells: 0 };
try {
  const page = await browser.context.newPage();
  const link = `${server.url.replace(/\/$/, '')}/explore#${new URLSearchParams({ catalog: 'Sample', view: encodeState(view) })}`;
  // A first visit warms the server's caches and the browser's, as a person's second look would.
  await page.goto(link);
  await page.waitForSelector('body[data-ready]');
  for (let run = 0; run < runs; run++) {
    await page.goto('about:blank');
    const started = Date.now();
    await page.goto(link, { waitUntil: 'load' });
    results.load.push(Date.now() - started);
    await page.waitForFunction(() => window.explore?.data?.cells?.length > 0);
    results.firstGrid.push(Date.now() - started);
  }
  results.cells = await page.evaluate(() => window.explore.data.cells.length);
  for (let run = 0; run < runs * 2; run++) {
    const seen = Number(await page.evaluate(() => document.body.dataset.ready));
    const started = await page.evaluate(() => performance.now());
    // Sorting by the first column and back: a click that changes the whole grid.
    await page.click('.grid-heading.column[data-level="1"][data-index="0"]');
    await page.waitForFunction((before) => Number(document.body.dataset.ready) > before, seen);
    const ended = await page.evaluate(() => performance.now());
    results.change.push(ended - started);
  }
} finally {
  await browser.close();
  await server.stop();
}

const figures = {
  'page load (ms)': median(results.load),
  'first grid (ms)': median(results.firstGrid),
  [`view change, ${results.cells} cells (ms)`]: Math.round(median(results.change)),
};
for (const [name, value] of Object.entries(figures)) console.log(`explore  ${name.padEnd(36)} ${String(value).padStart(6)}`);
if (args.out) writeFileSync(args.out, `${JSON.stringify({ runs, ...figures }, null, 2)}\n`);
