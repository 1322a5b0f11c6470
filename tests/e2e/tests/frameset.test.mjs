// The frameset and its chrome in a real browser.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { frameNamed, waitUntil, withExplorer } from '../harness.mjs';

const chromeFrames = ['header', 'paramsHeader', 'viewHeader'];

test('the frameset loads its chrome without script errors and keeps the browser', () =>
  withExplorer({}, async ({ page, url, problems }) => {
    for (const name of chromeFrames) await frameNamed(page, name);
    await frameNamed(page, 'viewBody');
    await frameNamed(page, 'hidden');

    assert.equal(page.url(), url, 'the top window stays on the explorer');
    for (const frame of page.frames()) {
      assert.ok(!frame.url().includes('UnsupportedBrowser'), `${frame.name()} was sent away: ${frame.url()}`);
    }
    const sniffer = await page.evaluate(() => {
      const sniffer = new BrowserSniffer();
      return { ie4up: sniffer.ie4up, nav4up: sniffer.nav4up, ie3mac: isIE3Mac() };
    });
    assert.deepEqual(sniffer, { ie4up: false, nav4up: true, ie3mac: false });

    const header = await frameNamed(page, 'header');
    assert.match(await header.innerText('body'), /Powered by Brannock\s+Orvex \d+\.\d+\s+Need help\?/);
    const paramsHeader = await frameNamed(page, 'paramsHeader');
    assert.match(await paramsHeader.innerText('body'), /Synchronize/);
    const viewHeader = await frameNamed(page, 'viewHeader');
    assert.match(await viewHeader.innerText('body'), /Back\s+Forward\s+Refresh/);

    // The scripts each bar relies on are there, and the style sheet and icons load.
    assert.equal(await paramsHeader.evaluate(() => typeof changeStatus + ' ' + typeof synchronize),
                 'function function');
    assert.equal(await viewHeader.evaluate(() => typeof changeStatus + ' ' + typeof takeSnapshot),
                 'function function');
    assert.equal(await header.evaluate(() => getComputedStyle(document.querySelector('.heading0')).backgroundColor),
                 'rgb(31, 78, 121)');
    for (const frame of [paramsHeader, viewHeader]) {
      const images = await frame.evaluate(() =>
        Array.from(document.images).map((image) => [image.getAttribute('src'), image.complete && image.naturalWidth > 0]));
      assert.ok(images.length > 0);
      for (const [src, loaded] of images) assert.ok(loaded, `${src} did not load`);
    }

    assert.deepEqual(problems.scriptErrors, []);
    assert.deepEqual(problems.consoleErrors, []);
    assert.deepEqual(problems.failedRequests, []);
  }));

test('the bars explain themselves when there is no view yet', () =>
  // A saved view that does not exist leaves the view body without a view page.
  withExplorer({ path: '?view=Missing' }, async ({ page, problems }) => {
    const windows = page.context().pages().length;
    const paramsHeader = await frameNamed(page, 'paramsHeader');
    await paramsHeader.click('text=Synchronize');
    const viewHeader = await frameNamed(page, 'viewHeader');
    await viewHeader.click('input[name=btnSnapshot]');
    await waitUntil(() => problems.dialogs.length >= 2, 'the two alerts');
    assert.deepEqual(problems.dialogs, [
      'There is no view to synchronize with yet.',
      'There is no view to take a snapshot of yet. Choose a cube first.',
    ]);
    assert.equal(page.context().pages().length, windows, 'no snapshot window without a view');
    assert.deepEqual(problems.scriptErrors, []);
  }));

test('with --lang nl the chrome is Dutch and only the view frames remain when every section is hidden', () =>
  withExplorer({ args: ['--lang', 'nl', '--hide', 'measure', '--hide', 'axes', '--hide', 'ranges',
                        '--hide', 'saved-views'] },
  async ({ page, problems }) => {
    const header = await frameNamed(page, 'header');
    assert.match(await header.innerText('body'), /Brannock\s+Orvex \d+\.\d+\s+Help\?/);
    assert.equal(await header.getAttribute('a[target=help]', 'href'), 'help_NL/default.htm');
    const viewHeader = await frameNamed(page, 'viewHeader');
    assert.match(await viewHeader.innerText('body'), /Vorige\s+Volgende\s+Vernieuwen/);
    assert.equal(await viewHeader.inputValue('input[name=btnSnapshot]'), 'Toon in apart venster');
    const names = page.frames().map((frame) => frame.name()).filter((name) => name).sort();
    assert.deepEqual(names, ['header', 'viewBody', 'viewHeader']);
    assert.deepEqual(problems.scriptErrors, []);
    assert.deepEqual(problems.failedRequests, []);
  }));
