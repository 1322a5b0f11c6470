// The browser-test harness: starts orvex-server on a free loopback port and
// drives Debian's Chromium through playwright-core. A test file under tests/
// named *.test.mjs is picked up by the build and run as its own ctest test.
//
//   import { test } from 'node:test';
//   import { withExplorer } from '../harness.mjs';
//   test('...', () => withExplorer({ args: ['--lang', 'nl'] }, async ({ page, url, problems }) => { ... }));
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const sourceDir = path.resolve(here, '../..');

export const serverPath = process.env.ORVEX_SERVER || path.join(sourceDir, 'build/bin/orvex-server');
export const webRoot = process.env.ORVEX_WEB_ROOT || path.join(sourceDir, 'web');
export const chromiumPath = process.env.ORVEX_CHROMIUM || '/usr/bin/chromium';

// Starts orvex-server with `args` added to its own (a free port, the web root,
// saved views in a fresh folder). Resolves to { url, port, stop }.
export async function startServer(args = []) {
  const viewsDir = mkdtempSync(path.join(tmpdir(), 'orvex-e2e-views-'));
  const child = spawn(serverPath, ['--port', '0', '--web-root', webRoot, '--views-dir', viewsDir, ...args], {
    stdio: ['ignore', 'pipe', 'inherit'],
  });
  const exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve({ code, signal })));
  const lines = createInterface({ input: child.stdout });
  const url = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('orvex-server did not start in time')), 15000);
    lines.once('line', (line) => {
      clearTimeout(timer);
      const match = line.match(/(http:\/\/\S+)/);
      if (match) resolve(match[1]);
      else reject(new Error(`unexpected first line from orvex-server: ${line}`));
    });
    child.once('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`orvex-server exited with ${code} before it served`));
    });
  });
  return {
    url,
    port: Number(new URL(url).port),
    async stop() {
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
      const result = await exited;
      rmSync(viewsDir, { recursive: true, force: true });
      return result;
    },
  };
}

// Launches Chromium headless with a fresh profile. Resolves to { context, close }.
export async function launchBrowser() {
  const profile = mkdtempSync(path.join(tmpdir(), 'orvex-e2e-profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath,
    headless: true,
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
    ],
  });
  return {
    context,
    async close() {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Records what goes wrong on a page and in all its frames: uncaught script
// errors, console errors, failed and refused requests, and the texts of alert
// boxes (which are accepted so that the page goes on).
export function watchProblems(page) {
  const problems = { scriptErrors: [], consoleErrors: [], failedRequests: [], dialogs: [] };
  page.on('pageerror', (error) => problems.scriptErrors.push(String(error)));
  page.on('console', (message) => {
    if (message.type() === 'error') problems.consoleErrors.push(message.text());
  });
  page.on('requestfailed', (request) => {
    // A view body that loads before the parameters pane reloads the pane
    // instead of filling it: what the pane's first load had asked for is dropped.
    let frameName = '';
    try {
      frameName = request.frame().name();
    } catch (e) {
      // A service-worker request has no frame.
    }
    // Likewise the pane lists the saved views through the hidden frame as soon
    // as it loads, which may cut short that frame's own first, blank page. Only
    // that frame loads the blank page, and a request cut short while its frame
    // navigates does not always report the frame's name, so the page is enough.
    const aborted = request.failure()?.errorText === 'net::ERR_ABORTED';
    const paneReload = aborted && (frameName === 'paramsBody' || new URL(request.url()).search === '?id=5');
    const hiddenBlank = aborted && new URL(request.url()).pathname.endsWith('/html/blank.htm');
    if (!paneReload && !hiddenBlank) problems.failedRequests.push(`${request.url()} ${request.failure()?.errorText}`);
  });
  page.on('response', (response) => {
    if (response.status() >= 400) problems.failedRequests.push(`${response.url()} ${response.status()}`);
  });
  page.on('dialog', async (dialog) => {
    problems.dialogs.push(dialog.message());
    await dialog.accept();
  });
  return problems;
}

// The frame named `name` of the page, once it has loaded.
export async function frameNamed(page, name) {
  for (let attempt = 0; attempt < 100; attempt++) {
    const frame = page.frame({ name });
    if (frame) {
      await frame.waitForLoadState('load');
      return frame;
    }
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error(`no frame named ${name}`);
}

// Resolves once `condition()` (checked in the test, not the page) holds, such
// as a dialog having been recorded; fails naming `what` after `timeout` ms.
export async function waitUntil(condition, what, timeout = 10000) {
  for (const start = Date.now(); !condition(); ) {
    if (Date.now() - start > timeout) throw new Error(`timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

// Starts a server with `args` and a fresh browser with one page whose problems
// are watched, and runs `body` with { page, server, problems }. Both are
// stopped afterwards, also when `body` fails.
export async function withServerAndPage(args, body) {
  const server = await startServer(args);
  let browser;
  try {
    browser = await launchBrowser();
    const page = await browser.context.newPage();
    await body({ page, server, problems: watchProblems(page) });
  } finally {
    if (browser) await browser.close();
    await server.stop();
  }
}

// Starts a server with `options.args`, opens the explorer (at `options.path`,
// default the page itself) in a fresh browser, and runs `body` with
// { page, url, server, problems }. Everything is stopped afterwards, also when
// `body` fails.
export async function withExplorer(options, body) {
  return withServerAndPage(options.args || [], async ({ page, server, problems }) => {
    const url = new URL(options.path || '', server.url).toString();
    await page.goto(url, { waitUntil: 'load' });
    await body({ page, url, server, problems });
  });
}
